// ProcedureForVesk: the converters between a channel's child links and a
// procedure's variables.
#include <climits>
#include <cstring>
#include <type_traits>
#include <typeinfo>

#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"

namespace {

// The target-object link: link 0, named "This", accepting "CoreRef".
constexpr char kThisLinkName[] = "This";
const GUID kCoreRefGuid = guid::FromString(guid::kCoreRefChannelType);

// The link index of variable 0: 1 behind a "This" link, else 0. Decided
// once per conversion, by GUID first and then by name.
int FirstParameterLink(const Zyr_Channel& channel) {
  const ChildCreation* link0 = channel.GetChildCreation(0);
  if (link0 == nullptr || link0->Type._typeGuid != kCoreRefGuid) return 0;
  return std::strncmp(link0->LinkName, kThisLinkName, sizeof(link0->LinkName)) == 0 ? 1 : 0;
}

// The plugged channel as a channel of kind T, or null. The three plain
// kinds are final, so their exact type decides, without the walk over the
// class tree that a dynamic_cast makes.
template <class T>
T* AsFinalKind(Zyr_Channel& child) {
  static_assert(std::is_final_v<T>);
  return typeid(child) == typeid(T) ? static_cast<T*>(&child) : nullptr;
}

// The plugged channel as a float channel, or null. The kinds links hold
// most are told by their exact type; any other goes through dynamic_cast.
Ubo_FloatChannel* AsFloatChannel(Zyr_Channel& child) {
  const std::type_info& type = typeid(child);
  if (type == typeid(Ubo_ValueChannel)) return static_cast<Ubo_ValueChannel*>(&child);
  if (type == typeid(Ubo_VectorChannel)) return static_cast<Ubo_VectorChannel*>(&child);
  return dynamic_cast<Ubo_FloatChannel*>(&child);
}

// Resolves the "This" link into vars->_thisObject.
int ReadTargetObject(const Zyr_Channel& channel, VarList& vars) {
  Zyr_Channel* child = channel.GetChild(0);
  if (child == nullptr) return ProcedureForVesk::kUnplugged;
  auto* ref = AsFinalKind<Ubo_CoreRefChannel>(*child);
  if (ref == nullptr) return ProcedureForVesk::kWrongKind;
  VanticObject* object =
      CoreFramework::Singleton<ProceduresManager>::Instance().Objects().Get(ref->GetObjectId());
  if (object == nullptr) return ProcedureForVesk::kNoObject;
  vars._thisObject = object;
  return ProcedureForVesk::kOk;
}

bool Selected(const VarBase& var, unsigned short direction) {
  return (var.Mode() & direction) != 0;
}

// The link of variable `i`, or -1 when no link index can hold it.
int LinkOf(int first, size_t i) {
  return i < static_cast<size_t>(INT_MAX) ? first + static_cast<int>(i) : -1;
}

}  // namespace

int ProcedureForVesk::FromDataChannelToVar(Zyr_Channel* channel, VarList* vars,
                                           unsigned short direction) {
  if (channel == nullptr || vars == nullptr) return kBadArgument;
  const int first = FirstParameterLink(*channel);
  if (first == 1) {
    const int result = ReadTargetObject(*channel, *vars);
    if (result != kOk) return result;
  }
  const size_t count = vars->_vars.size();
  for (size_t i = 0; i < count; ++i) {
    VarBase* var = vars->_vars[i];
    if (!Selected(*var, direction)) continue;
    const int link = LinkOf(first, i);
    if (link < 0 || channel->GetChildCreation(link) == nullptr) return kMissingLink;
    Zyr_Channel* child = channel->GetChild(link);
    if (child == nullptr) return kUnplugged;
    if (float* value = var->FloatValue()) {
      auto* source = AsFloatChannel(*child);
      if (source == nullptr) return kWrongKind;
      *value = source->GetFloat();
    } else if (Vec3* vector = var->VectorValue()) {
      auto* source = AsFinalKind<Ubo_VectorChannel>(*child);
      if (source == nullptr) return kWrongKind;
      *vector = source->GetVector();
    }
  }
  return kOk;
}

int ProcedureForVesk::FromVarToDataChannel(VarList* vars, Zyr_Channel* channel,
                                           unsigned short direction) {
  if (channel == nullptr || vars == nullptr) return kBadArgument;
  const int first = FirstParameterLink(*channel);
  int result = kOk;
  const size_t count = vars->_vars.size();
  for (size_t i = 0; i < count; ++i) {
    VarBase* var = vars->_vars[i];
    if (!Selected(*var, direction)) continue;
    const int link = LinkOf(first, i);
    if (link < 0 || channel->GetChildCreation(link) == nullptr) continue;  // no such link
    Zyr_Channel* child = channel->GetChild(link);
    if (child == nullptr) continue;  // unplugged: nothing to write
    if (const float* value = var->FloatValue()) {
      auto* target = AsFloatChannel(*child);
      if (target == nullptr) {
        result = kWrongKind;
        continue;
      }
      target->SetFloat(*value);
    } else if (const Vec3* vector = var->VectorValue()) {
      auto* target = AsFinalKind<Ubo_VectorChannel>(*child);
      if (target == nullptr) {
        result = kWrongKind;
        continue;
      }
      target->SetVector(*vector);
    }
  }
  return result;
}
