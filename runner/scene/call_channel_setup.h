// Setting up a procedure-call channel from a host.
//
// A host knows the procedure-call channel only through the engine's channel
// interface. It gives a new channel its owner class, procedure name, static
// flag and parameter layout the way a file load does: it loads a record of
// the channel's saved form into it. The record is the channel's own
// (SaveChannel) up to the end of the mode part ("MODE", "UACN"), followed
// by the procedure-call part:
//   "OWNC" text, "PRCN" text, "STTC" u32 (1 static), "PRMS" u32 n,
//   then n times "TYPE" u32 (0 float, 1 vector), "MODE" u32 (1, 2, 3),
//   "NAME" text.
// Loading makes the channel's child links from the layout and names it
// "<owner> :: <name>"; the procedure is bound at the first due evaluation.
#ifndef RUNNER_SCENE_CALL_CHANNEL_SETUP_H_
#define RUNNER_SCENE_CALL_CHANNEL_SETUP_H_

#include <string>
#include <unordered_map>
#include <vector>

#include "hostapi/zyr_channel.h"
#include "runner/scene/scene.h"

namespace dravik {

struct CallSetup {
  std::string owner;
  std::string name;
  bool isStatic = true;
  std::vector<ParamSpec> params;

  bool operator==(const CallSetup&) const = default;
};

// Loads `setup` into `channel`. True on success; false with *error when the
// channel's record could not be made or the channel refused it.
// REQUIRES: `channel` is a procedure-call channel.
bool ConfigureCallChannel(Zyr_Channel& channel, const CallSetup& setup, std::string* error);

// Sets up many new channels of the procedure-call type: the record of each
// setup is made once, from the first channel given it, and loaded into
// every further channel given the same setup. The record leaves out the
// engine's part (id, name, group, links), which a new channel has no use
// for, so it holds nothing of the channel it was made from.
class CallSetupRecords {
 public:
  // As ConfigureCallChannel. REQUIRES: every `channel` is a new
  // procedure-call channel made by the same factory, none set up yet.
  bool Configure(Zyr_Channel& channel, const CallSetup& setup, std::string* error);

 private:
  std::unordered_map<std::string, std::vector<uint8_t>> _records;  // setup key -> file bytes
  std::string _key;  // scratch
  // The setup given last and its record: scenes give runs of calls alike.
  CallSetup _last;
  const std::vector<uint8_t>* _lastRecord = nullptr;
};

// The owner class and procedure name a procedure-call channel's saved
// record holds ("OWNC", "PRCN"); false when it holds none.
bool ReadCallNames(Zyr_Channel& channel, std::string* owner, std::string* name);

// The owner class, procedure name, static flag and parameter layout a
// procedure-call channel's saved record holds (the procedure-call part
// above); false when the record holds no "OWNC"/"PRCN".
bool ReadCallSetup(Zyr_Channel& channel, CallSetup* setup);

// The channel's current mode code as its saved record holds it (the first
// "MODE" entry after the engine's part); false when there is none.
bool ReadCurrentMode(Zyr_Channel& channel, uint32_t* mode);

}  // namespace dravik

#endif  // RUNNER_SCENE_CALL_CHANNEL_SETUP_H_
