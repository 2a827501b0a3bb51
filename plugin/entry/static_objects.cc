// The module's static objects, defined in one translation unit so that they
// are built in this order when the module is loaded (and released in the
// reverse order when it is unloaded).
#include "plugin/entry/static_objects.h"

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

// 1. FormatTempString's text holder.
std::string formatTempStringHolder;

// 2. The channel-type record, as ChannelType() leaves it until GetType.
ChannelType channelTypeRecord;

// 3. The mode registry of the procedure-call channel type: empty, no live
//    instance, not built.
template <>
PrcCallModeChannel::ModeMap PrcCallModeChannel::_modes{};
template <>
std::vector<uint32_t> PrcCallModeChannel::_modeOrder{};
template <>
std::vector<std::vector<ChildCreation>> PrcCallModeChannel::_tempLinks{};
template <>
uint32_t PrcCallModeChannel::_refCount = 0;
template <>
bool PrcCallModeChannel::_bModesInitialized = false;

// 4. The shared message buffer, all 0.
char debugMessageBuffer[kDebugMessageBufferSize] = {};
