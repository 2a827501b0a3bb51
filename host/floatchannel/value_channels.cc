// The three plain channel kinds: "Value", "Value Vector" and "CoreRef".
// Each saves its value after the engine's part:
//
//   "FVAL"  4 bytes   float, IEEE 754 single, LE
//   "VVAL" 12 bytes   x, y, z as three such floats
//   "OREF"  4 bytes   object id, uint32 LE (0 = none)
#include <cmath>

#include "host/engine/channel_factory.h"
#include "host/engine/le_bytes.h"
#include "host/engine/tagged_value.h"
#include "host/floatchannel/type_record.h"
#include "hostapi/float_channel.h"

// ---- "Value" ----

Ubo_ValueChannel::Ubo_ValueChannel() { SetChannelTypeRecord(TypeRecord()); }

ChannelType Ubo_ValueChannel::TypeRecord() {
  static const ChannelType record = floatchannel::MakeTypeRecord("Value", guid::kFloatChannelType);
  return record;
}

bool Ubo_ValueChannel::SaveChannel(ZyrFileSaver& saver) {
  if (!Zyr_Channel::SaveChannel(saver)) return false;
  uint8_t bytes[4];
  le::PutF32(bytes, _value);
  return tagged::Save(saver, "FVAL", bytes, sizeof(bytes));
}

bool Ubo_ValueChannel::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  if (!Zyr_Channel::LoadChannel(loader, group)) return false;
  float value = 0.0f;
  const tagged::Read read = tagged::ReadF32(loader, "FVAL", &value);
  if (read == tagged::Read::kRead) _value = _oldValue = value;
  return read != tagged::Read::kDamaged;
}

// ---- "Value Vector" ----

Ubo_VectorChannel::Ubo_VectorChannel() : _vector{0.0f, 0.0f, 0.0f} {
  SetChannelTypeRecord(TypeRecord());
}

ChannelType Ubo_VectorChannel::TypeRecord() {
  static const ChannelType record = floatchannel::MakeTypeRecord("Value Vector", guid::kVectorChannelType);
  return record;
}

void Ubo_VectorChannel::SetVector(const Vec3& v) { _vector = v; }

float Ubo_VectorChannel::GetFloat() {
  const float length = std::sqrt(_vector.x * _vector.x + _vector.y * _vector.y + _vector.z * _vector.z);
  Ubo_FloatChannel::SetFloat(length);
  return _value;
}

bool Ubo_VectorChannel::SaveChannel(ZyrFileSaver& saver) {
  if (!Zyr_Channel::SaveChannel(saver)) return false;
  uint8_t bytes[12];
  le::PutF32(bytes, _vector.x);
  le::PutF32(bytes + 4, _vector.y);
  le::PutF32(bytes + 8, _vector.z);
  return tagged::Save(saver, "VVAL", bytes, sizeof(bytes));
}

bool Ubo_VectorChannel::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  if (!Zyr_Channel::LoadChannel(loader, group)) return false;
  uint8_t bytes[12];
  const tagged::Read read = tagged::ReadFixed(loader, "VVAL", bytes, sizeof(bytes));
  if (read == tagged::Read::kRead) {
    _vector = Vec3{le::GetF32(bytes), le::GetF32(bytes + 4), le::GetF32(bytes + 8)};
  }
  return read != tagged::Read::kDamaged;
}

// ---- "CoreRef" ----

Ubo_CoreRefChannel::Ubo_CoreRefChannel() : _objectId(0) { SetChannelTypeRecord(TypeRecord()); }

ChannelType Ubo_CoreRefChannel::TypeRecord() {
  static const ChannelType record = floatchannel::MakeTypeRecord("CoreRef", guid::kCoreRefChannelType);
  return record;
}

bool Ubo_CoreRefChannel::SaveChannel(ZyrFileSaver& saver) {
  return Zyr_Channel::SaveChannel(saver) && tagged::SaveU32(saver, "OREF", _objectId);
}

bool Ubo_CoreRefChannel::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  if (!Zyr_Channel::LoadChannel(loader, group)) return false;
  return tagged::ReadU32(loader, "OREF", &_objectId) != tagged::Read::kDamaged;
}

// ---- registration ----

void RegisterFloatChannelTypes(ChannelFactory& factory) {
  factory.Register(Ubo_ValueChannel::TypeRecord(), [] { return new Ubo_ValueChannel(); });
  factory.Register(Ubo_VectorChannel::TypeRecord(), [] { return new Ubo_VectorChannel(); });
  factory.Register(Ubo_CoreRefChannel::TypeRecord(), [] { return new Ubo_CoreRefChannel(); });
}
