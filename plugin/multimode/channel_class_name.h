// ChannelClassName<T>: the class name a multi-mode channel's report heads
// spell, e.g. "MultiModeChannel<class Ubo_FloatChannel,class Ubo_Foo>::Op".
// Specialise it for every class used as Base or Derived.
#ifndef PLUGIN_MULTIMODE_CHANNEL_CLASS_NAME_H_
#define PLUGIN_MULTIMODE_CHANNEL_CLASS_NAME_H_

class Ubo_FloatChannel;

template <class T>
struct ChannelClassName;  // static constexpr const char* kName

template <>
struct ChannelClassName<Ubo_FloatChannel> {
  static constexpr const char* kName = "Ubo_FloatChannel";
};

#endif  // PLUGIN_MULTIMODE_CHANNEL_CLASS_NAME_H_
