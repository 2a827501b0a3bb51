#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/message_route.h"
#include "runner/output/printable_text.h"
#include "runner/output/run_record.h"
#include "runner/output/value_format.h"
#include "runner/scene/call_channel_setup.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {
namespace {

// A channel's value as it stands, read without evaluating anything (a call
// channel's float value is its last status).
struct Reading {
  bool isVector = false;
  float value = 0;
  Vec3 vector{0, 0, 0};
};

Reading ReadStanding(Zyr_Channel& channel) {
  Reading r;
  if (auto* v = dynamic_cast<Ubo_VectorChannel*>(&channel)) {
    r.isVector = true;
    r.vector = v->GetVector();
    r.value = v->_value;
  } else if (auto* ref = dynamic_cast<Ubo_CoreRefChannel*>(&channel)) {
    r.value = static_cast<float>(ref->GetObjectId());
  } else if (auto* f = dynamic_cast<Ubo_FloatChannel*>(&channel)) {
    r.value = f->_value;
  }
  return r;
}

std::string ReadingText(const Reading& r) { return r.isVector ? FormatVector(r.vector) : FormatNumber(r.value); }

std::string ReadingJson(const Reading& r) {
  return r.isVector ? "[" + JsonNumber(r.vector.x) + "," + JsonNumber(r.vector.y) + "," + JsonNumber(r.vector.z) + "]"
                    : JsonNumber(r.value);
}

const char* LinkModeName(int32_t mode) {
  switch (mode) {
    case 0: return "out";
    case 1: return "in";
    case 2: return "inout";
    default: return "?";
  }
}

const char* StatusMeaning(float status) {
  if (status == 0.0f) return "executed";
  if (status == 1.0f) return "no procedure, or it failed";
  if (status == 3.0f) return "inputs not taken";
  return "not a status";
}

// One child link of the inspected call channel at the inspected frame.
struct LinkView {
  std::string name;
  std::string type;     // the link's channel type name
  std::string mode;     // in, out, inout
  const RuntimeChannel* plugged = nullptr;
  std::optional<Reading> read;     // inputs, before the evaluation
  std::optional<Reading> written;  // outputs, after it
};

// Watches the inspected call channel's evaluation at the inspected frame.
class Probe final : public RunObserver {
 public:
  Probe(const RuntimeChannel& target, uint32_t frame, const std::map<const Zyr_Channel*, const RuntimeChannel*>& all)
      : _target(target), _frame(frame), _all(all) {}

  void OnBegin(const Scene&, uint32_t, uint32_t, const std::vector<ChannelValue>&) override {}
  void OnNote(uint32_t, const std::string&) override {}
  void OnFrame(uint32_t, const std::vector<ChannelValue>&) override {}
  void OnEnd() override {}
  void OnCallEvaluating(uint32_t frame, const RuntimeChannel& call) override {
    if (frame != _frame || &call != &_target) return;
    _before.clear();
    for (int i = 0; i < call.channel->GetChildCreationCount(); ++i) {
      Zyr_Channel* child = call.channel->GetChild(i);
      _before.push_back(child ? std::optional<Reading>(ReadStanding(*child)) : std::nullopt);
    }
  }
  void OnCallEvaluated(uint32_t frame, const RuntimeChannel& call, float answered) override {
    if (frame != _frame || &call != &_target) return;
    evaluated = true;
    status = answered;
    _after.clear();
    for (int i = 0; i < call.channel->GetChildCreationCount(); ++i) {
      Zyr_Channel* child = call.channel->GetChild(i);
      _after.push_back(child ? std::optional<Reading>(ReadStanding(*child)) : std::nullopt);
    }
  }

  // The links as they stand after the run, with what the inputs held
  // before the evaluation and, when it executed, what the outputs held
  // after it.
  std::vector<LinkView> Links() const {
    std::vector<LinkView> links;
    Zyr_Channel& channel = *_target.channel;
    for (int i = 0; i < channel.GetChildCreationCount(); ++i) {
      const ChildCreation* c = channel.GetChildCreation(i);
      LinkView link;
      link.name = c ? std::string(c->LinkName, strnlen(c->LinkName, sizeof c->LinkName)) : "?";
      link.type = c ? std::string(c->Type._name, strnlen(c->Type._name, sizeof c->Type._name)) : "?";
      link.mode = c ? LinkModeName(c->LinkMode) : "?";
      Zyr_Channel* child = channel.GetChild(i);
      if (child != nullptr) {
        auto it = _all.find(child);
        link.plugged = it == _all.end() ? nullptr : it->second;
        const bool input = c == nullptr || c->LinkMode != 0;
        const bool output = c != nullptr && c->LinkMode != 1;
        if (evaluated && input && static_cast<size_t>(i) < _before.size()) link.read = _before[static_cast<size_t>(i)];
        if (evaluated && output && status == 0.0f && static_cast<size_t>(i) < _after.size()) {
          link.written = _after[static_cast<size_t>(i)];
        }
      }
      links.push_back(std::move(link));
    }
    return links;
  }

  bool evaluated = false;
  float status = 0;

 private:
  const RuntimeChannel& _target;
  uint32_t _frame;
  const std::map<const Zyr_Channel*, const RuntimeChannel*>& _all;
  std::vector<std::optional<Reading>> _before;
  std::vector<std::optional<Reading>> _after;
};

// Everything shown about the channel.
struct View {
  const RuntimeChannel* rc = nullptr;
  uint32_t frame = 0;
  bool ran = false;  // whether the frame was run here (or only loaded)
  std::string name;
  std::string group;  // "" for none
  Reading standing;
  // Calls:
  bool haveSetup = false;
  CallSetup setup;
  bool haveBinding = false;
  CallBinding binding;
  std::optional<float> status;
  std::vector<LinkView> links;
  std::vector<RunMessage> messages;
};

std::string Quote(const std::string& text) { return "\"" + Printable(text, 200) + "\""; }

void PrintText(const View& v) {
  const ChannelSpec& spec = *v.rc->spec;
  std::printf("channel %s (%s) at frame %u%s\n", Printable(spec.id, 200).c_str(), ChannelKindName(spec.kind), v.frame,
              v.ran ? "" : " (as loaded: the frame was not run here)");
  std::printf("  engine name  %s\n", Quote(v.name).c_str());
  std::printf("  group        %s\n", v.group.empty() ? "(none)" : Quote(v.group).c_str());
  if (spec.kind != ChannelKind::kCall) {
    std::printf("  value        %s\n", ReadingText(v.standing).c_str());
  } else {
    if (v.haveSetup) {
      std::printf("  procedure    %s :: %s  (owner class %s, procedure %s)\n", Printable(v.setup.owner, 120).c_str(),
                  Printable(v.setup.name, 120).c_str(), Quote(v.setup.owner).c_str(), Quote(v.setup.name).c_str());
      std::printf("  static       %s\n", v.setup.isStatic ? "yes" : "no");
    }
    if (v.haveBinding) {
      std::string binding = CallBindingStateName(v.binding.state);
      if (v.binding.state != CallBinding::State::kUnbound) {
        binding += " to " + Printable(v.binding.procedure, 200) + ", revision " + std::to_string(v.binding.revision);
        if (v.binding.state == CallBinding::State::kStale) {
          binding += " (the procedure is at revision " + std::to_string(v.binding.procedureRevision) + ")";
        }
      }
      std::printf("  binding      %s\n", binding.c_str());
    } else {
      std::printf("  binding      (the module does not tell)\n");
    }
    const float status = v.status.value_or(v.standing.value);
    std::printf("  status       %s (%s)\n", FormatNumber(status).c_str(), StatusMeaning(status));
    std::printf("  links        %zu\n", v.links.size());
    size_t width = 4;
    for (const LinkView& l : v.links) width = std::max(width, DisplayWidth(Printable(l.name, 60)));
    for (const LinkView& l : v.links) {
      std::string line = "    " + Pad(Printable(l.name, 60), width, false) + "  " + Pad(l.type, 12, false) + " " +
                         Pad(l.mode, 5, false) + "  ";
      if (l.plugged == nullptr) {
        line += "(nothing plugged)";
      } else {
        line += Printable(l.plugged->spec->id, 60) + " (" + ChannelKindName(l.plugged->spec->kind) + ")";
        if (l.read) line += "  read " + ReadingText(*l.read);
        if (l.written) line += "  written " + ReadingText(*l.written);
      }
      std::printf("%s\n", line.c_str());
    }
  }
  std::printf("  messages     %zu at frame %u\n", v.messages.size(), v.frame);
  for (const RunMessage& m : v.messages) {
    std::printf("    [%s] %s\n", LevelName(m.level).c_str(), Printable(m.text, 2000).c_str());
  }
}

void PrintJson(const View& v) {
  const ChannelSpec& spec = *v.rc->spec;
  std::string out = "{\"channel\":" + JsonString(spec.id) + ",\"kind\":" + JsonString(ChannelKindName(spec.kind)) +
                    ",\"frame\":" + std::to_string(v.frame) + ",\"ran\":" + (v.ran ? "true" : "false") +
                    ",\"name\":" + JsonString(v.name) + ",\"group\":" + (v.group.empty() ? "null" : JsonString(v.group));
  if (spec.kind != ChannelKind::kCall) {
    out += ",\"value\":" + ReadingJson(v.standing);
  } else {
    out += ",\"owner\":" + (v.haveSetup ? JsonString(v.setup.owner) : "null") +
           ",\"procedure\":" + (v.haveSetup ? JsonString(v.setup.name) : "null") +
           ",\"static\":" + (v.haveSetup ? (v.setup.isStatic ? "true" : "false") : "null");
    if (v.haveBinding) {
      out += ",\"binding\":" + JsonString(CallBindingStateName(v.binding.state)) +
             ",\"revision\":" + std::to_string(v.binding.revision);
    } else {
      out += ",\"binding\":null,\"revision\":null";
    }
    Reading status;
    status.value = v.status.value_or(v.standing.value);
    out += ",\"status\":" + ReadingJson(status) + ",\"links\":[";
    for (size_t i = 0; i < v.links.size(); ++i) {
      const LinkView& l = v.links[i];
      out += std::string(i ? "," : "") + "{\"name\":" + JsonString(l.name) + ",\"type\":" + JsonString(l.type) +
             ",\"mode\":" + JsonString(l.mode) + ",\"plugged\":" +
             (l.plugged ? "{\"channel\":" + JsonString(l.plugged->spec->id) +
                              ",\"kind\":" + JsonString(ChannelKindName(l.plugged->spec->kind)) + "}"
                        : std::string("null")) +
             ",\"read\":" + (l.read ? ReadingJson(*l.read) : "null") +
             ",\"written\":" + (l.written ? ReadingJson(*l.written) : "null") + "}";
    }
    out += "]";
  }
  out += ",\"messages\":[";
  for (size_t i = 0; i < v.messages.size(); ++i) {
    out += std::string(i ? "," : "") + "{\"level\":" + std::to_string(v.messages[i].level) +
           ",\"text\":" + JsonString(v.messages[i].text) + "}";
  }
  out += "]}";
  std::printf("%s\n", out.c_str());
}

}  // namespace

int InspectCommand(const InspectOptions& options) {
  HostEnvironment host;
  std::string error;
  if (!LoadModules(host, options.modulesDir, &error)) return Fail(error);
  SceneRuntime runtime(host);
  RunRecord record;
  RunRecorder recorder(&record);
  MessageRoute route(recorder, runtime);
  uint32_t framesLeft = 0;
  bool saved = false;
  if (!OpenScene(options.scene, runtime, &framesLeft, &saved, &error)) return Fail(error);
  const RuntimeChannel* rc = runtime.FindChannel(options.channel);
  if (rc == nullptr) {
    return Fail((options.scene.empty() ? std::string("the default scene") : Printable(options.scene, 200)) +
                ": no channel '" + Printable(options.channel, 60) + "'");
  }
  const uint32_t reached = runtime.LastFrame();
  const uint64_t last = options.hasFrame ? options.frame : uint64_t{reached} + framesLeft;
  if (last < reached) {
    return Fail("--frame " + std::to_string(last) + ": the file was saved after frame " + std::to_string(reached) +
                "; it can be inspected at that frame or a later one");
  }
  std::map<const Zyr_Channel*, const RuntimeChannel*> all;
  for (const RuntimeChannel& c : runtime.Channels()) all.emplace(c.channel.get(), &c);
  Probe probe(*rc, static_cast<uint32_t>(last), all);
  // The probe watches the evaluation; the recorder keeps the messages.
  class Fan final : public Reporter {
   public:
    Fan(Reporter& a, RunObserver& b) : _a(a), _b(b) {}
    void OnBegin(const Scene& s, uint32_t f, uint32_t l, const std::vector<ChannelValue>& w) override { _a.OnBegin(s, f, l, w); }
    void OnNote(uint32_t f, const std::string& t) override { _a.OnNote(f, t); }
    void OnFrame(uint32_t f, const std::vector<ChannelValue>& v) override { _a.OnFrame(f, v); }
    void OnEnd() override { _a.OnEnd(); }
    void OnMessage(const RunMessage& m) override { _a.OnMessage(m); }
    void OnCallEvaluating(uint32_t f, const RuntimeChannel& c) override { _b.OnCallEvaluating(f, c); }
    void OnCallEvaluated(uint32_t f, const RuntimeChannel& c, float s) override { _b.OnCallEvaluated(f, c, s); }

   private:
    Reporter& _a;
    RunObserver& _b;
  } fan(recorder, probe);
  if (last > reached) runtime.Run(static_cast<uint32_t>(last - reached), fan);

  View v;
  v.rc = rc;
  v.frame = static_cast<uint32_t>(last);
  v.ran = probe.evaluated || (rc->spec->kind != ChannelKind::kCall && last > reached);
  v.name = rc->channel->GetChannelName();
  if (Zyr_ChannelGroup* g = rc->channel->GetChannelGroup()) v.group = g->GetGroupName() ? g->GetGroupName() : "";
  v.standing = ReadStanding(*rc->channel);
  if (rc->spec->kind == ChannelKind::kCall) {
    v.haveSetup = ReadCallSetup(*rc->channel, &v.setup);
    v.haveBinding = host.PrcCall().ReadBinding(*rc->channel, &v.binding);
    if (probe.evaluated) v.status = probe.status;
    v.links = probe.Links();
  }
  for (const RunMessage& m : record.messages) {
    if (m.frame == v.frame && m.channel == rc->spec->id) v.messages.push_back(m);
  }
  if (options.json) {
    PrintJson(v);
  } else {
    PrintText(v);
  }
  return std::fflush(stdout) == 0 ? kExitOk : Fail("cannot write to the standard output");
}

}  // namespace dravik
