// SceneRuntime: a scene turned into channels, evaluated frame by frame.
//
// Building registers the procedure library in the framework, creates the
// objects, makes every channel through the host's factory (procedure-call
// channels through their module), sets them up, puts them in their groups
// and plugs the links, checking every link against the channel's link
// names. Procedure-call channels whose procedure is registered are bound
// at once (UpdatePrc), so that they follow their procedure from the start:
// a rename before their first evaluation reaches them. A loaded scene's
// channels are bound the same way, as they were when the scene was saved.
// Each frame then applies the scene's animations and events and evaluates
// the procedure-call channels once each, in scene order: outputs written
// by one call are read by the calls after it in the same frame, and by
// every call in the next frame.
//
// Events take effect in their frame: once a frame's events are applied,
// the calls they touched are bound again (UpdatePrc) when their procedure
// changed, was renamed to their names or registered, and then get the
// links the scene asks for that their links now offer (a procedure whose
// parameters changed has a new set of links), before any call of the frame
// is evaluated. Calls no event touched are left alone.
//
// A call that answers 3.0 (inputs not taken) gets a note naming the input
// links that held nothing, a channel of the wrong kind or a reference to no
// object, when it starts failing so or its links changed.
//
// Messages: the engine knows the channel at work (EngineInterface::
// GetChannelAtWork): the runtime sets the call channel it binds, prepares
// the modes of or evaluates, and a call channel read by another while that
// one evaluates sets itself, until the read returns. A message shown
// meanwhile is told apart by the scene id of that channel (MessageChannel),
// whatever its text says: calls of the same name are not confused.
#ifndef RUNNER_SCENE_SCENE_RUNTIME_H_
#define RUNNER_SCENE_SCENE_RUNTIME_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hostapi/float_channel.h"
#include "hostapi/zyr_channel.h"
#include "runner/environment/host_environment.h"
#include "runner/scene/scene.h"
#include "runner/scene/wanted_links.h"

namespace dravik {

struct RuntimeChannel;
class CallSetupRecords;

// The status a call channel answers when it could not take its inputs.
inline constexpr float kStatusInputsNotTaken = 3.0f;

// One channel's value after a frame.
struct ChannelValue {
  const ChannelSpec* spec = nullptr;
  std::string name;   // the channel's engine name at the end of the frame
  float value = 0;    // float value; a call channel's status
  Vec3 vector{0, 0, 0};
  bool isVector = false;
};

// What a run reports, as it happens.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The frames [first, last] are about to run (none when last < first);
  // `watched` holds the watched channels as they stand, in scene order.
  virtual void OnBegin(const Scene& scene, uint32_t first, uint32_t last,
                       const std::vector<ChannelValue>& watched) = 0;
  // A runtime note (an event applied, a link plugged) at `frame`.
  virtual void OnNote(uint32_t frame, const std::string& text) = 0;
  // The watched channels after `frame`, in scene order.
  virtual void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) = 0;
  virtual void OnEnd() = 0;
  // Around each call channel's evaluation at `frame` (every call channel,
  // watched or not, in scene order); `status` is what it answered. The
  // default ignores them.
  virtual void OnCallEvaluating(uint32_t frame, const RuntimeChannel& call) {
    (void)frame;
    (void)call;
  }
  virtual void OnCallEvaluated(uint32_t frame, const RuntimeChannel& call, float status) {
    (void)frame;
    (void)call;
    (void)status;
  }
};

struct RuntimeObject {
  std::string sceneId;
  uint32_t id;  // framework object id
};

struct RuntimeChannel {
  const ChannelSpec* spec = nullptr;
  std::unique_ptr<Zyr_Channel> channel;
  // Links the scene asks for: link name -> source channel id.
  WantedLinks links;
  // Call channels: the frame whose events last touched it (0: none yet).
  uint32_t touchedAt = 0;
};

class SceneRuntime {
 public:
  // REQUIRES: `host` outlives the runtime.
  explicit SceneRuntime(HostEnvironment& host);
  ~SceneRuntime();
  SceneRuntime(const SceneRuntime&) = delete;
  SceneRuntime& operator=(const SceneRuntime&) = delete;

  // Builds `scene` (of JSON text `sceneText`, kept for saving) fresh. True
  // on success; false with *error naming the scene's JSON path at fault.
  bool Build(Scene scene, std::string sceneText, std::string* error);

  // Runs frames NextFrame() .. NextFrame()+count-1, reporting to
  // `observer`. Calls `progress` (when set) after each frame.
  void Run(uint32_t count, RunObserver& observer, void (*progress)(void*, uint32_t, uint32_t) = nullptr,
           void* progressContext = nullptr);

  // The frame the next Run starts with (1 for a new scene).
  uint32_t NextFrame() const { return _lastFrame + 1; }
  uint32_t LastFrame() const { return _lastFrame; }
  // The frame whose work is under way (0 outside frames), for messages.
  uint32_t CurrentFrame() const { return _currentFrame; }

  // Call evaluations of the runs so far that answered a status other than
  // 0.0, and the first of them ("'id' at frame N"; empty when none).
  uint64_t FailedCalls() const { return _failedCalls; }
  const std::string& FirstFailedCall() const { return _firstFailedCall; }

  const Scene& GetScene() const { return _scene; }
  const std::string& SceneText() const { return _sceneText; }
  const std::vector<RuntimeChannel>& Channels() const { return _channels; }
  const std::vector<RuntimeObject>& Objects() const { return _objects; }
  const std::string& ModesOwner() const { return _modesOwner; }
  HostEnvironment& Host() { return _host; }
  // Makes the channels of `ids` the watched ones, and no other. False with
  // *error, changing nothing, when an id names no channel.
  bool Watch(const std::vector<std::string>& ids, std::string* error);

  // The channel of scene id `id`, or null.
  const RuntimeChannel* FindChannel(const std::string& id) const;

  // The channel whose work shows a message now: the engine's channel at
  // work when it is one of the scene's, else null (outside any channel's
  // work).
  const ChannelSpec* MessageChannel() const;

  // ---- used by the scene file loader ----
  // Takes `scene` over, compiles its procedures and registers the library
  // in the framework (Build starts with it). False with *error on a
  // procedure that does not compile.
  bool Prepare(Scene scene, std::string sceneText, std::string* error);
  // Applies the procedure events (rename, change_params, remove, register)
  // of frames up to `lastFrame` to the registry, as a run did before it
  // saved.
  void ReplayRegistryEvents(uint32_t lastFrame);
  // Takes over the state a saved file held: the frame reached, the owner of
  // the last PrepareModesList, the objects, and the channels in scene order
  // with their links and groups already set.
  void AdoptLoaded(uint32_t lastFrame, std::string modesOwner, std::vector<RuntimeObject> objects,
                   std::vector<RuntimeChannel> channels,
                   std::vector<std::unique_ptr<Zyr_ChannelGroup>> groups);
  // The links the scene asks for on `spec` once the events of frames up to
  // `lastFrame` have been applied.
  // REQUIRES: `spec` is one of GetScene()'s channels.
  WantedLinks DesiredLinks(const ChannelSpec& spec, uint32_t lastFrame) const;

 private:
  bool CompileEventBodies(std::string* error);
  bool CreateObjects(std::string* error);
  bool CreateChannels(std::string* error);
  bool SetUpCall(RuntimeChannel& rc, CallSetupRecords& records, std::string* error);
  bool PlugSceneLinks(std::string* error);
  void MakeGroups();

  // Binds every procedure-call channel whose procedure is registered. With
  // `namesFromScene` the names of each call are its scene's (the channels
  // were just set up from it); otherwise they are read from the channels.
  void BindCalls(bool namesFromScene);
  // Binds the call channel at `position` when its procedure is registered.
  void BindCall(size_t position);
  RuntimeChannel* Find(const std::string& id);
  void IndexChannels();
  // Finds the animated channels with their typed faces (once a run).
  void FindAnimated();
  void ApplyAnimations(uint32_t frame);
  void ApplyEvent(size_t index, RunObserver& observer);
  void ApplyRegistryEvent(const EventSpec& e, size_t index, std::string* note);
  // Plugs the wanted links the channel offers now; notes each change.
  void Wire(RuntimeChannel& rc, uint32_t frame, RunObserver* observer);

  // ---- the calls a frame's events touched (runtime_calls.cc) ----
  using CallName = std::pair<std::string, std::string>;  // owner class, procedure
  // Remembers the names each call channel holds, to find the calls a
  // procedure event touches. Reads every call channel once (see BindCalls
  // for `namesFromScene`).
  void IndexCallNames(bool namesFromScene);
  // Marks for binding again the calls that hold `owner`::`name`.
  void TouchCallsNamed(const std::string& owner, const std::string& name);
  // After a rename from `from`: reads again the names of the calls that
  // held them (those following the procedure now hold the new ones).
  void FollowRename(const CallName& from);
  // Marks the channel at `position` for wiring (and binding, with `bind`).
  void Touch(size_t position, bool bind);
  // Binds the touched calls whose procedure is registered, wires every
  // touched call, and notes the link events whose link has not appeared.
  void SettleTouched(uint32_t frame, RunObserver& observer);
  // Notes which input links of `rc` kept it from taking its inputs.
  void NoteInputsNotTaken(const RuntimeChannel& rc, uint32_t frame, RunObserver& observer);
  ChannelValue Read(RuntimeChannel& rc, float callStatus);


  HostEnvironment& _host;
  Scene _scene;
  std::string _sceneText;
  std::vector<RuntimeObject> _objects;
  std::vector<RuntimeChannel> _channels;
  std::vector<std::unique_ptr<Zyr_ChannelGroup>> _groups;
  std::map<size_t, VeskProcedure::Body> _eventBodies;  // event index -> new body
  std::string _modesOwner;
  uint32_t _lastFrame = 0;
  uint32_t _currentFrame = 0;
  // (channel, its spec), by channel address: the channel at work's spec.
  std::vector<std::pair<const Zyr_Channel*, const ChannelSpec*>> _specByChannel;
  uint64_t _failedCalls = 0;
  std::string _firstFailedCall;
  std::map<CallName, std::vector<size_t>> _callsByName;  // names -> call positions in _channels
  std::vector<const CallName*> _callNames;               // by position: its key there, or null
  std::vector<size_t> _toBind;        // calls the frame's procedure events touched
  std::vector<size_t> _toWire;        // calls the frame's events touched
  std::vector<size_t> _linkEvents;    // the frame's link events that plug a source
  struct AnimatedChannel {
    const Animation* animation;
    Ubo_FloatChannel* value;   // a float channel, or null
    Ubo_VectorChannel* vector;  // a vector channel, or null
  };
  std::vector<AnimatedChannel> _animated;  // FindAnimated's, in scene order
};

// "Owner::Name".
std::string FullName(const std::string& owner, const std::string& name);

}  // namespace dravik

#endif  // RUNNER_SCENE_SCENE_RUNTIME_H_
