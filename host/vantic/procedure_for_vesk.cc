// ProcedureForVesk: the converters between a channel's child links and a
// procedure's variables.
#include <climits>
#include <cstring>
#include <type_traits>
#include <typeinfo>

#include "hostapi/engine_interface.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"

namespace {

// The target-object link: link 0, named "This", accepting "CoreRef".
constexpr char kThisLinkName[] = "This";
const GUID kCoreRefGuid = guid::FromString(guid::kCoreRefChannelType);

// The link index of variable 0: 1 behind a "This" link, else 0. Decided
// once per conversion, by GUID first and then by name.
inline int FirstParameterLink(const Zyr_Channel& channel) {
  const ChildCreation* link0 = channel.GetChildCreation(0);
  if (link0 == nullptr || link0->Type._typeGuid != kCoreRefGuid) return 0;
  return std::memcmp(link0->LinkName, kThisLinkName, sizeof(kThisLinkName)) == 0 ? 1 : 0;
}

// The plugged channel as a channel of kind T, or null. The three plain
// kinds are final, so their exact type decides, without the walk over the
// class tree that a dynamic_cast makes.
template <class T>
T* AsFinalKind(Zyr_Channel& child) {
  static_assert(std::is_final_v<T>);
  return typeid(child) == typeid(T) ? static_cast<T*>(&child) : nullptr;
}

// Reads a float from `child` into *value; false when it is no float
// channel. The kinds links hold most are told by their exact type (and
// called without a virtual dispatch); any other goes through dynamic_cast.
inline bool ReadFloat(Zyr_Channel& child, float* value) {
  const std::type_info& type = typeid(child);
  if (type == typeid(Ubo_ValueChannel)) {
    // A "Value" channel's float is its value as it stands (it keeps the
    // float channel's GetFloat): read in place, without a call.
    *value = static_cast<Ubo_ValueChannel&>(child)._value;
  } else if (type == typeid(Ubo_VectorChannel)) {
    *value = static_cast<Ubo_VectorChannel&>(child).GetFloat();
  } else if (auto* source = dynamic_cast<Ubo_FloatChannel*>(&child)) {
    // A channel of another kind may evaluate as it is read (a call
    // channel): its work ends with the read.
    const ChannelWorkScope work(child._engine ? *child._engine : *globalEngine);
    *value = source->GetFloat();
  } else {
    return false;
  }
  return true;
}

// Writes `value` into `child`; false when it is no float channel.
inline bool WriteFloat(Zyr_Channel& child, float value) {
  const std::type_info& type = typeid(child);
  if (type == typeid(Ubo_ValueChannel)) {
    static_cast<Ubo_ValueChannel&>(child).SetFloat(value);
  } else if (type == typeid(Ubo_VectorChannel)) {
    static_cast<Ubo_VectorChannel&>(child).SetFloat(value);
  } else if (auto* target = dynamic_cast<Ubo_FloatChannel*>(&child)) {
    target->SetFloat(value);
  } else {
    return false;
  }
  return true;
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

// The link of variable `i` behind `first`, or -1 when no link index can
// hold it.
inline int LinkOf(int first, size_t i) {
  return i < static_cast<size_t>(INT_MAX) ? first + static_cast<int>(i) : -1;
}

}  // namespace

// Each variable's link is looked at afresh: a child read on the way may
// change what the channel holds.
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
    if ((var->Mode() & direction) == 0) continue;
    const int link = LinkOf(first, i);
    Zyr_Channel* child = channel->GetChild(link);
    if (child == nullptr) {
      return channel->GetChildCreation(link) == nullptr ? kMissingLink : kUnplugged;
    }
    if (float* value = vars->FloatValueAt(i)) {
      if (!ReadFloat(*child, value)) return kWrongKind;
    } else if (Vec3* vector = vars->VectorValueAt(i)) {
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
    if ((var->Mode() & direction) == 0) continue;
    Zyr_Channel* child = channel->GetChild(LinkOf(first, i));
    if (child == nullptr) continue;  // no such link, or unplugged: nothing to write
    if (const float* value = vars->FloatValueAt(i)) {
      if (!WriteFloat(*child, *value)) result = kWrongKind;
    } else if (const Vec3* vector = vars->VectorValueAt(i)) {
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
