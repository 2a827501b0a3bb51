// The runner reads the module's mode descriptions through its own copy of
// the exported record's layout; this keeps the two in step.
#include <cstddef>
#include <type_traits>

#include "plugin/multimode/mode_description.h"
#include "runner/environment/prc_call_module.h"

namespace {

using dravik::ExportedModeDescription;

static_assert(sizeof(ExportedModeDescription) == sizeof(ModeDescription));
static_assert(alignof(ExportedModeDescription) == alignof(ModeDescription));
static_assert(offsetof(ExportedModeDescription, Name) == offsetof(ModeDescription, Name));
static_assert(offsetof(ExportedModeDescription, ShortName) == offsetof(ModeDescription, ShortName));
static_assert(offsetof(ExportedModeDescription, Children) == offsetof(ModeDescription, Children));
static_assert(offsetof(ExportedModeDescription, OrderIndex) == offsetof(ModeDescription, OrderIndex));
static_assert(std::is_same_v<decltype(ExportedModeDescription::Name), decltype(ModeDescription::Name)>);
static_assert(std::is_same_v<decltype(ExportedModeDescription::Children), decltype(ModeDescription::Children)>);
static_assert(std::is_same_v<decltype(ExportedModeDescription::OrderIndex), decltype(ModeDescription::OrderIndex)>);

}  // namespace
