// Ubo_FloatChannel: the base of every channel that delivers one float.
#include "hostapi/float_channel.h"

namespace {

ChannelFeedback floatFeedback("Float");

}  // namespace

Ubo_FloatChannel::Ubo_FloatChannel()
    : _value(0.0f), _oldValue(0.0f), _defaultValue(0.0f), _bUseDefault(false) {
  SetChannelTypeRecord(FloatRecord());
}

Ubo_FloatChannel::Ubo_FloatChannel(const Ubo_FloatChannel& other) = default;

Ubo_FloatChannel& Ubo_FloatChannel::operator=(const Ubo_FloatChannel& other) = default;

Ubo_FloatChannel::~Ubo_FloatChannel() = default;

void Ubo_FloatChannel::CallChannel() { GetFloat(); }

ChannelFeedback* Ubo_FloatChannel::GetFeedbackClass() { return &floatFeedback; }

float Ubo_FloatChannel::GetFloat() { return _value; }

float Ubo_FloatChannel::GetOldFloat() { return _oldValue; }

void Ubo_FloatChannel::SetFloat(float value) {
  _oldValue = _value;
  _value = value;
}

float Ubo_FloatChannel::GetDefaultFloat() { return _defaultValue; }

void Ubo_FloatChannel::SetDefaultFloat(float value) { _defaultValue = value; }

bool Ubo_FloatChannel::GetDefaultFloatSetting() { return _bUseDefault; }

void Ubo_FloatChannel::SetDefaultFloatSetting(bool enabled) { _bUseDefault = enabled; }

ChannelType Ubo_FloatChannel::FloatRecord() {
  static const ChannelType record = [] {
    ChannelType type;
    type._baseTypeGuid = guid::FromString(guid::kFloatChannelType);
    type._interfaceVersion = kChannelInterfaceVersion;
    return type;
  }();
  return record;
}
