#include "runner/environment/prc_call_module.h"

#include <dlfcn.h>

#include <exception>

#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"

namespace dravik {
namespace {

template <class Fn>
bool Resolve(void* handle, const char* symbol, Fn* out, std::string* error) {
  void* address = dlsym(handle, symbol);
  if (address == nullptr) {
    *error = std::string("the procedure-call module does not export ") + symbol;
    return false;
  }
  *out = reinterpret_cast<Fn>(address);
  return true;
}

}  // namespace

bool PrcCallModule::Bind(const LoadedModule& module, std::string* error) {
  PrcCallModule bound;
  bound._type = module.type._typeGuid;
  if (module.handle == nullptr || !Resolve(module.handle, kPrepareModesListSymbol, &bound._prepare, error) ||
      !Resolve(module.handle, kUpdatePrcSymbol, &bound._update, error) ||
      !Resolve(module.handle, kGetModeCountSymbol, &bound._count, error) ||
      !Resolve(module.handle, kGetModeFromIndexSymbol, &bound._fromIndex, error) ||
      !Resolve(module.handle, kGetModeDescriptionSymbol, &bound._description, error) ||
      !Resolve(module.handle, kClearModesSymbol, &bound._clear, error) ||
      !Resolve(module.handle, kAddModeSymbol, &bound._add, error)) {
    if (module.handle == nullptr) *error = "the procedure-call module is not loaded";
    return false;
  }
  // The read-only views are optional: without them a host cannot tell a
  // channel's binding, and says so.
  std::string ignored;
  if (!Resolve(module.handle, kGetBoundProcedureSymbol, &bound._bound, &ignored) ||
      !Resolve(module.handle, kGetPrcRevisionSymbol, &bound._revision, &ignored)) {
    bound._bound = nullptr;
    bound._revision = nullptr;
  }
  *this = bound;
  return true;
}

const char* CallBindingStateName(CallBinding::State state) {
  switch (state) {
    case CallBinding::State::kBound: return "bound";
    case CallBinding::State::kStale: return "stale";
    case CallBinding::State::kUnbound: break;
  }
  return "unbound";
}

bool PrcCallModule::ReadBinding(Zyr_Channel& channel, CallBinding* binding) const {
  if (!Owns(channel) || _bound == nullptr || _revision == nullptr) return false;
  const void* self = dynamic_cast<void*>(&channel);
  // The framework owns every procedure it registered, retired ones too,
  // for as long as it lives: the pointer stays valid.
  const auto* procedure = static_cast<const Procedure*>(_bound(self));
  CallBinding b;
  b.revision = _revision(self);
  if (procedure != nullptr) {
    b.procedureRevision = procedure->_revision;
    b.procedure = procedure->_ownerClass + "::" + procedure->_name;
    b.state = procedure->_revision == b.revision ? CallBinding::State::kBound : CallBinding::State::kStale;
  }
  *binding = std::move(b);
  return true;
}

bool PrcCallModule::Owns(Zyr_Channel& channel) const {
  return IsBound() && channel.GetChannelType()._typeGuid == _type;
}

bool PrcCallModule::PrepareModesList(Zyr_Channel& channel, const std::string& owner) const {
  if (!Owns(channel)) return false;
  _prepare(dynamic_cast<void*>(&channel), owner);
  return true;
}

int PrcCallModule::UpdatePrc(Zyr_Channel& channel, const std::string& owner, const std::string& name) const {
  if (!Owns(channel)) return -1;
  return _update(dynamic_cast<void*>(&channel), owner, name);
}

std::vector<ModeEntry> PrcCallModule::Modes(Zyr_Channel& channel) const {
  std::vector<ModeEntry> modes;
  if (!Owns(channel)) return modes;
  void* self = dynamic_cast<void*>(&channel);
  const uint32_t count = _count(self);
  for (uint32_t i = 0; i < count; ++i) {
    ModeEntry entry;
    entry.code = _fromIndex(self, i);
    entry.orderIndex = i;
    if (const ExportedModeDescription* d = _description(self, entry.code)) {
      entry.orderIndex = d->OrderIndex;
      entry.shortName = d->ShortName;
      entry.name = d->Name;
    }
    modes.push_back(std::move(entry));
  }
  return modes;
}

bool PrcCallModule::AddMode(Zyr_Channel& channel, const ModeEntry& mode) const {
  if (!Owns(channel)) return false;
  // A code registered already is refused inside the module, which lets
  // std::out_of_range through only for such a code whose collected links
  // are gone: the mode stays as it was either way.
  try {
    _add(dynamic_cast<void*>(&channel), mode.code, mode.shortName, mode.name);
  } catch (const std::exception&) {
  }
  return true;
}

bool PrcCallModule::ReplaceModes(Zyr_Channel& channel, const std::vector<ModeEntry>& modes) const {
  if (!Owns(channel)) return false;
  _clear(dynamic_cast<void*>(&channel));
  for (const ModeEntry& mode : modes) AddMode(channel, mode);
  return true;
}

}  // namespace dravik
