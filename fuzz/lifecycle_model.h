// The reference model of the lifecycle harness: what procedure-call
// channels, the channels plugged into them, the procedures they call and
// the type's mode registry should look like after each operation. Written
// from the channel's documented behaviour, not from its code; the engine's
// and the framework's documented rules (due once per render count, links
// remembering their children by name, the converters' matching) are
// modelled as far as the channel's behaviour depends on them.
#ifndef FUZZ_LIFECYCLE_MODEL_H_
#define FUZZ_LIFECYCLE_MODEL_H_

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/float_channel.h"

namespace lifecycle {

// kActor: a float channel that performs its acts whenever it is read.
enum class Kind { kCall, kValue, kVector, kCoreRef, kActor };
// What a procedure's body does: sums its inputs into its outputs, fails
// (answers 1) or throws; or sums, then changes the procedure running it
// (its static flag flipped), renames it ("!" appended to its name) or
// removes it.
enum class Body { kSum, kFail, kThrow, kChangeSelf, kRenameSelf, kRemoveSelf };

// What a summing body then does, or an acting child when it is read, to a
// channel (UpdatePrc, LoadChannel with the record of another or its own,
// SetCurrentMode, PrepareModesList) or to a procedure (Remove), in order.
enum class ActKind { kUpdatePrc, kLoad, kSetMode, kPrepare, kRemove, kCount };
// Channels an act names: the one whose evaluation runs the body or reads
// the child, the one whose evaluation reads that one, the outermost one
// evaluated; any other channel by its index.
inline constexpr int kRunning = -1, kParent = -2, kOutermost = -3;
struct Act {
  ActKind kind;
  int channel, other;  // the channel acted on; whose record kLoad loads
  std::string owner, name;
  uint32_t mode;
};

inline constexpr uint32_t kNoMode = 0xFFFFFFFFu;
// The one framework object there is, which "CoreRef" channels may refer to.
inline constexpr uint32_t kObjectId = 1;

struct Param {
  int32_t type;   // 0 float, 1 vector
  uint16_t mode;  // 1 in, 2 out, 3 both; anything else is reported
  std::string name;
  bool operator==(const Param&) const = default;
};

// The sum body over the values of `params` (a float in x): s = tag + every
// input's x, kept below 100 so that every value stays a small whole number
// (exact in any float arithmetic); every output becomes (s, s + 1, -s).
void RunSum(float tag, const std::vector<Param>& params, std::vector<Vec3>& values);

// A registered mode: its code and its short name.
using Mode = std::pair<uint32_t, std::string>;

struct Proc {
  std::string owner, name;
  bool isStatic;
  std::vector<Param> params;
  Body body;
  float tag;
  bool live;
  uint64_t place;     // order among its owner's procedures
  uint64_t revision;  // the model's own numbering
  std::vector<Act> acts;
};

struct Link {
  std::string typeName;  // "CoreRef", "Value" or "Value Vector"
  std::string name;
  int32_t mode;
  int child;  // channel plugged in, -1 for none
  bool operator==(const Link&) const = default;
};

struct Channel {
  Kind kind = Kind::kCall;
  bool live = true;
  float value = 0;       // the float value
  float status = 0;      // a call channel's status of its last due evaluation
  Vec3 vector{0, 0, 0};  // "Value Vector"
  uint32_t objectId = 0; // "CoreRef"
  std::vector<Act> acts;  // an acting child's
  // Call channels only.
  std::string name, owner, prc;
  bool isStatic = true;
  std::vector<Param> params;
  std::vector<Link> links;
  std::vector<std::pair<std::string, int>> detached;  // remembered by link name
  int bound = -1;
  uint64_t boundRevision = 0;
  int following = -1;
  uint32_t currentMode = kNoMode;
  uint32_t lastDue = 0;  // render count of the last due evaluation; 0 never
};

class Model {
 public:
  // Channels and procedures by the index these return; never reused.
  int NewCall();
  int NewPlain(Kind kind);
  int Copy(int c);
  void Destroy(int c);
  // A channel made and loaded from the record `saved` was saved from.
  int Load(const Channel& saved);
  void LoadInto(int c, Channel saved);

  // -1 when the names are taken.
  int Register(const std::string& owner, const std::string& name, bool isStatic,
               std::vector<Param> params, Body body, float tag);
  bool Rename(const std::string& owner, const std::string& name, const std::string& newOwner,
              const std::string& newName);
  bool Change(const std::string& owner, const std::string& name, std::vector<Param> params,
              bool isStatic);
  bool Remove(const std::string& owner, const std::string& name);
  void SetBody(const std::string& owner, const std::string& name, Body body);
  int FindLive(const std::string& owner, const std::string& name) const;

  bool Plug(int parent, int index, int child);
  // GetFloat at render count `now`.
  float Read(int c, uint32_t now);
  int UpdatePrc(int c, std::string owner, std::string name);
  void PrepareModesList(int c, const std::string& owner);
  void SetCurrentMode(int c, uint32_t mode);

  bool Stale(const Channel& ch) const {
    return ch.bound >= 0 && procs[static_cast<size_t>(ch.bound)].revision != ch.boundRevision;
  }

  std::vector<Proc> procs;
  std::vector<Channel> channels;
  std::vector<Mode> modes;                              // in order
  long reports = 0;                                     // level-1 messages
  long notes = 0;                                       // level-2 messages
  std::string holder;                                   // FormatTempString's text
  // The live call channels each act of a Read named (-1: none), the one
  // acted on and the one whose record it loads, in the order they acted.
  std::deque<std::pair<int, int>> named;

 private:
  Channel& At(int c) { return channels[static_cast<size_t>(c)]; }
  Proc& Procedure(int p) { return procs[static_cast<size_t>(p)]; }
  const std::string* ShortName(uint32_t mode) const;
  // Level-1 reports a prefixed message costs beyond its own: one when the
  // channel's current mode is not registered.
  long PrefixCost(int c) const;
  void Announce(int p);
  void Rebuild(int c, std::vector<Link> links);
  std::vector<Link> ParamLinks(int c);
  // The due evaluation; returns the status.
  float Evaluate(int c, uint32_t now);
  // The live call channel `selector` names, or -1.
  int CallAt(int selector) const;
  void Perform(const Act& act);
  // The evaluation's reports and its status.
  float Fail(int c, float status) {
    reports += PrefixCost(c) + 2;
    return At(c).value = status;
  }

  std::vector<int> _running;  // channels being evaluated, outermost first
  bool _modesBuilt = false;
  uint64_t _counter = 0;
};

}  // namespace lifecycle

#endif  // FUZZ_LIFECYCLE_MODEL_H_
