// ChannelExtension<Base>: the framework's channel mixin. It knows the
// channel it belongs to (CE_SetSelf), names child links, declares links
// through the channel, and saves and reads tagged values.
//
// Tagged values, as laid out in the engine's file (see zyr_file.h):
//   std::string   tag, block size = length, the characters (no NUL)
//   uint32_t      tag, block size 4, the value little-endian
#ifndef HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_
#define HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/export.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

// Longest string ReadChannelValue accepts (bytes); longer blocks are refused.
inline constexpr uint32_t kMaxChannelValueString = 1u << 20;

template <class Base>
class ChannelExtension {
 public:
  ChannelExtension();
  ChannelExtension(const ChannelExtension& other);
  ChannelExtension& operator=(const ChannelExtension& other);

  // ---- virtual operations, in slot order ----
  virtual ~ChannelExtension();
  // Runs a framework trigger on the channel; the base knows none and
  // answers 1.
  virtual int CE_ExecuteTrigger(unsigned int trigger, void* data);
  // Appends a link description to the channel (through CE_SetSelf's
  // channel) and names it. Ignored while no channel is set or a text is
  // null.
 public:
  virtual void CreateLink(GUID typeGuid, const char* typeName, const char* name, int linkMode,
                          bool noLinkIndex);

 protected:
  // Names child link `link` (null: empty).
  virtual void SetChildLinkName(unsigned int link, const char* name);

 public:
  // The name given to link `link`; "" when none was given. Never null.
  virtual const char* GetChildLinkName(unsigned int link);

  // The channel this extension belongs to.
  void CE_SetSelf(Zyr_Channel* self) { _self = self; }
  Zyr_Channel* CE_GetSelf() const { return _self; }

 protected:
  // Writes `value` under `tag` (4 characters). True when the saver took it.
  bool SaveChannelValue(ZyrFileSaver& saver, const char* tag, const std::string& value);
  bool SaveChannelValue(ZyrFileSaver& saver, const char* tag, uint32_t value);
  // Reads the entry at the loader's position when it carries `tag` and has
  // the right size (4 bytes for a number, at most kMaxChannelValueString
  // for a string). True when read; otherwise `value` stays as it was.
  bool ReadChannelValue(ZyrFileLoader& loader, const char* tag, std::string& value);
  bool ReadChannelValue(ZyrFileLoader& loader, const char* tag, uint32_t& value);

 private:
  Zyr_Channel* _self;
  std::vector<std::string> _linkNames;
};

extern template class VANTIC_API ChannelExtension<Ubo_FloatChannel>;

#endif  // HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_
