// The module's static objects that several files share.
//
// They are all defined in static_objects.cc, in one translation unit, so that
// they are built in one fixed order when the module is loaded:
//   1. formatTempStringHolder   (FormatTempString's text holder)
//   2. channelTypeRecord        (what GetType fills and returns)
//   3. the mode registry of the procedure-call channel type
//   4. debugMessageBuffer       (declared in diagnostic_report.h)
// and released in the reverse order when it is unloaded. None is guarded:
// the engine calls the module on one thread.
#ifndef PLUGIN_ENTRY_STATIC_OBJECTS_H_
#define PLUGIN_ENTRY_STATIC_OBJECTS_H_

#include <string>

#include "hostapi/channel_type.h"

// The text FormatTempString returns; empty at load.
extern std::string formatTempStringHolder;

// The module's channel-type record; built by ChannelType() at load, filled
// by GetType, never freed.
extern ChannelType channelTypeRecord;

#endif  // PLUGIN_ENTRY_STATIC_OBJECTS_H_
