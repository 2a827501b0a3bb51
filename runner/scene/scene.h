// Scene: what the dravik runner builds and evaluates, as read from a scene
// file (see scene_json.h and examples/README.md for the JSON form).
//
// A scene is a plain value: framework objects, channels (values, vectors,
// object references and procedure calls), channel groups, procedures
// defined by expressions, the frame count and events at given frames. It
// holds names only; the runtime (scene_runtime.h) turns them into channels.
#ifndef RUNNER_SCENE_SCENE_H_
#define RUNNER_SCENE_SCENE_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "hostapi/float_channel.h"
#include "runner/scene/id_index.h"

namespace dravik {

// Bounds every scene respects; the loader refuses anything larger so that
// no input can make the runner allocate or loop without limit. Every list
// is bounded by the scene's bytes too, so memory follows the scene's size.
// examples/README.md lists them.
inline constexpr uint32_t kMaxFrames = 10'000'000;
inline constexpr size_t kMaxItems = 2'000'000;      // objects, channels, events, ... per list
inline constexpr size_t kMaxParams = 64;            // parameters of one procedure
inline constexpr size_t kMaxAnimationValues = 100'000;
inline constexpr size_t kMaxNameLength = 255;       // fits a framework variable name
inline constexpr size_t kMaxLinkNameLength = 99;    // fits an engine link name
inline constexpr size_t kMaxExpressionLength = 4096;
inline constexpr size_t kMaxDescriptionLength = 4096;
inline constexpr size_t kMaxSceneBytes = size_t{256} << 20;
inline constexpr int kMaxNesting = 64;              // arrays and objects within each other

enum class ParamType : int32_t { kFloat = 0, kVec3 = 1 };

// One typed parameter of a procedure; `mode` is 1 in, 2 out, 3 in and out.
struct ParamSpec {
  std::string name;
  ParamType type = ParamType::kFloat;
  uint16_t mode = 1;

  bool operator==(const ParamSpec&) const = default;
};

// A procedure written in the scene: muparser expressions, one per output
// parameter (three, x y z, for a vector output). Inputs are named after
// their parameters; a vector parameter `p` is read as p.x, p.y and p.z. A
// procedure that is not static also reads its target object's properties
// as self.<key> (floats) and self.<key>.x/.y/.z (vectors).
struct ExpressionProcedureSpec {
  std::string owner;
  std::string name;
  bool isStatic = true;
  std::vector<ParamSpec> params;
  // Output parameter name -> expressions (1 for a float, 3 for a vector).
  std::map<std::string, std::vector<std::string>> outputs;
  std::map<std::string, double> constants;
  std::string path;  // JSON path of the definition, for messages
};

struct ObjectSpec {
  std::string id;         // the scene's name for the object
  std::string className;
  std::string name;
  std::map<std::string, float> floats;
  std::map<std::string, Vec3> vectors;
};

enum class ChannelKind { kValue, kVector, kObjectRef, kCall };

// How an input channel changes from one frame to the next. A step is added
// before every frame after the first; a list gives the value of frame 1,
// 2, ... and then holds its last entry (or starts over with `cycle`).
struct Animation {
  enum class Kind : uint8_t { kNone, kStep, kValues };
  Kind kind = Kind::kNone;
  bool cycle = false;
  Vec3 step{0, 0, 0};         // floats use x
  std::vector<Vec3> values;   // floats use x
};

struct LinkSpec {
  std::string param;   // link name: a parameter name or "This"
  std::string source;  // id of the channel plugged into it
};

struct ChannelSpec {
  std::string id;
  std::string name;  // engine name; the id when not given (calls name themselves)
  ChannelKind kind = ChannelKind::kValue;
  float value = 0;
  Vec3 vector{0, 0, 0};
  uint32_t index = 0;  // position in the scene's channels
  bool watch = true;
  // kCall: see hasParams below.
  bool hasParams = false;
  bool isStatic = true;
  std::string objectId;  // kObjectRef: scene id of the object, "" for none
  Animation animation;
  // kCall:
  std::string owner;
  std::string procedure;
  std::vector<LinkSpec> links;
  // Parameter layout to give the channel when the procedure is not
  // registered when the scene is built (so that its links exist).
  std::vector<ParamSpec> params;

  // The JSON path of the channel, for messages: "/channels/<index>".
  std::string Path() const { return "/channels/" + std::to_string(index); }
};
// Small fields together: a million-channel scene holds a million of these.
static_assert(sizeof(void*) != 8 || sizeof(ChannelSpec) <= 280);

struct GroupSpec {
  std::string name;
  std::vector<std::string> channels;
};

enum class EventKind {
  kRename,         // owner/procedure -> newOwner/newName
  kChangeParams,   // owner/procedure get params, isStatic (and outputs)
  kRemove,         // owner/procedure leave the registry
  kRegister,       // the scene's definition of owner/procedure is registered again
  kPrepareModes,   // PrepareModesList(owner) on channel
  kLink,           // plug source into channel's link `param` ("" source: unplug)
  kSet,            // set channel's value or vector
};

struct EventSpec {
  uint32_t frame = 1;
  EventKind kind = EventKind::kRename;
  std::string owner;
  std::string procedure;
  std::string newOwner;
  std::string newName;
  bool isStatic = true;
  std::vector<ParamSpec> params;
  bool hasOutputs = false;  // kChangeParams of an expression procedure
  std::map<std::string, std::vector<std::string>> outputs;
  bool hasConstants = false;  // kChangeParams: constants over the procedure's own
  std::map<std::string, double> constants;
  std::string channel;
  std::string param;
  std::string source;
  float value = 0;
  Vec3 vector{0, 0, 0};
  bool isVector = false;
  std::string path;
};

struct Scene {
  std::string name;
  std::string description;
  uint32_t frames = 10;
  std::vector<ObjectSpec> objects;
  std::vector<ExpressionProcedureSpec> procedures;
  std::vector<ChannelSpec> channels;
  std::vector<GroupSpec> groups;
  std::vector<EventSpec> events;  // in frame order (stable)

  // The channel / object of that id, or null. Uses the indexes that
  // BuildIndexes fills (the loader calls it); call it again after changing
  // `channels` or `objects`.
  const ChannelSpec* FindChannel(std::string_view id) const;
  const ObjectSpec* FindObject(std::string_view id) const;
  // The position in `channels` / `objects` of the first of that id, or
  // IdIndex::kNone.
  size_t ChannelPosition(std::string_view id) const;
  // As ChannelPosition, looking first at positions [from, to) (clipped to
  // the channels): a large scene's index is read from memory.
  size_t ChannelPositionNear(std::string_view id, size_t from, size_t to) const;
  // Where scenes put what they name, looked at first: a link's source
  // just before its call (at `callAt`), and a group's channel around the
  // group's channel found last (`last`, IdIndex::kNone for the first), as
  // groups list channels in about scene order.
  size_t SourcePosition(std::string_view id, size_t callAt) const {
    return ChannelPositionNear(id, callAt < 4 ? 0 : callAt - 4, callAt);
  }
  size_t MemberPosition(std::string_view id, size_t last) const {
    return last == IdIndex::kNone ? ChannelPosition(id) : ChannelPositionNear(id, last < 2 ? 0 : last - 2, last + 4);
  }
  size_t ObjectPosition(std::string_view id) const;
  void BuildIndexes();
  bool HasIndexes() const { return channelIndex.size() + objectIndex.size() != 0; }

  // id -> position in `channels` / `objects` (first of a repeated id).
  IdIndex channelIndex;
  IdIndex objectIndex;
};

const char* ChannelKindName(ChannelKind kind);
const char* ParamModeName(uint16_t mode);  // "in", "out", "inout" or "?"

}  // namespace dravik

#endif  // RUNNER_SCENE_SCENE_H_
