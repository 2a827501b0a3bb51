// ModeDescription: one registered mode of a multi-mode channel type.
#ifndef PLUGIN_MULTIMODE_MODE_DESCRIPTION_H_
#define PLUGIN_MULTIMODE_MODE_DESCRIPTION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"

struct ModeDescription {
  std::string Name;                     // listed by GetModeNames
  std::string ShortName;                // used in channel names and prefixes
  std::vector<ChildCreation> Children;  // links of the mode, in link order
  uint32_t OrderIndex = 0;              // position in the display order
};

// Code that stands for "no mode".
inline constexpr uint32_t kNoMode = 0xFFFFFFFFu;

// Largest mode code a registry accepts. Codes index a work table directly,
// so a larger code would make it absurdly long; such registrations are
// refused with a report.
inline constexpr uint32_t kMaxModeCode = 0xFFFFFu;

#endif  // PLUGIN_MULTIMODE_MODE_DESCRIPTION_H_
