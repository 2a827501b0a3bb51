// The float channel library: Ubo_FloatChannel, the base of every channel
// that delivers one float, and the three plain channel kinds that links
// accept: "Value" (one float), "Value Vector" (three floats) and "CoreRef"
// (a reference to an object of the framework, by object id).
#ifndef HOSTAPI_FLOAT_CHANNEL_H_
#define HOSTAPI_FLOAT_CHANNEL_H_

#include <cstdint>

#include "hostapi/export.h"
#include "hostapi/zyr_channel.h"

// A new float channel has the value 0 and the type record FloatRecord():
// no name, type GUID zero and the float channel type as base, so that a
// "Value" link accepts it until its maker sets its own record (a module's
// channel gets its module's record from the engine).
class FLOATCH_API Ubo_FloatChannel : public Zyr_Channel {
 public:
  Ubo_FloatChannel();
  Ubo_FloatChannel(const Ubo_FloatChannel& other);
  Ubo_FloatChannel& operator=(const Ubo_FloatChannel& other);
  ~Ubo_FloatChannel() override;

  // Evaluates the channel: calls GetFloat().
  void CallChannel() override;
  ChannelFeedback* GetFeedbackClass() override;

  // ---- the float channel's virtual operations, in slot order ----
  // The current value. The base answers _value.
  virtual float GetFloat();
  // The value before the last SetFloat.
  virtual float GetOldFloat();
  // Stores the value; afterwards _value holds it. Safe to call without
  // virtual dispatch (Ubo_FloatChannel::SetFloat).
  virtual void SetFloat(float value);
  virtual float GetDefaultFloat();
  virtual void SetDefaultFloat(float value);
  virtual bool GetDefaultFloatSetting();
  virtual void SetDefaultFloatSetting(bool enabled);

  // The record a bare float channel starts with (see above).
  static ChannelType FloatRecord();

  float _value;

 protected:
  float _oldValue;
  float _defaultValue;
  bool _bUseDefault;
};

// Type records of the three kinds (TypeRecord()) carry interface version 7
// and flags 0. Their base type GUIDs are all zero: none of them counts as
// another kind, so a "Value" link takes a "Value" channel or a channel
// whose base is the float channel type (such as a procedure-call channel),
// and never a "Value Vector" or "CoreRef".
//
// Loading refuses (false, loader error) a value entry of the wrong size; a
// missing value entry leaves the value as it was.

// "Value", BE69CCC4-CFC1-4362-AC81-767D199BBFC3: holds one float, saved
// under "FVAL" (4 bytes) after the engine's part.
class FLOATCH_API Ubo_ValueChannel final : public Ubo_FloatChannel {
 public:
  Ubo_ValueChannel();
  bool SaveChannel(ZyrFileSaver& saver) override;
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;
  static ChannelType TypeRecord();
};

struct Vec3 {
  float x;
  float y;
  float z;
};
static_assert(sizeof(Vec3) == 12);

// "Value Vector", 9D045960-EAC2-4C40-9BBF-10F32F7FA305: three floats, saved
// under "VVAL" (12 bytes). Its float value is the vector's length.
class FLOATCH_API Ubo_VectorChannel final : public Ubo_FloatChannel {
 public:
  Ubo_VectorChannel();
  const Vec3& GetVector() const { return _vector; }
  void SetVector(const Vec3& v);
  float GetFloat() override;
  bool SaveChannel(ZyrFileSaver& saver) override;
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;
  static ChannelType TypeRecord();

 private:
  Vec3 _vector;
};

// "CoreRef", 34B011DC-643D-4244-A707-71FB7AE9F1AB: refers to a framework
// object by its id (0 = none), saved under "OREF" (4 bytes).
class FLOATCH_API Ubo_CoreRefChannel final : public Ubo_FloatChannel {
 public:
  Ubo_CoreRefChannel();
  uint32_t GetObjectId() const { return _objectId; }
  void SetObjectId(uint32_t id) { _objectId = id; }
  bool SaveChannel(ZyrFileSaver& saver) override;
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;
  static ChannelType TypeRecord();

 private:
  uint32_t _objectId;
};

class ChannelFactory;

// Registers "Value", "Value Vector" and "CoreRef" in a host's factory.
FLOATCH_API void RegisterFloatChannelTypes(ChannelFactory& factory);

#endif  // HOSTAPI_FLOAT_CHANNEL_H_
