// ChannelExtension<Base>: the framework's channel mixin. It knows the
// channel it belongs to (CE_SetSelf), names child links, declares links
// through the channel, and saves and reads tagged values.
//
// Tagged values, as laid out in the engine's file (see zyr_file.h):
//   std::string   tag, block size = length, the characters (no NUL)
//   uint32_t      tag, block size 4, the value little-endian (on every
//                 platform)
#ifndef HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_
#define HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "hostapi/channel_type.h"
#include "hostapi/export.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

// Longest string ReadChannelValue accepts (bytes); longer blocks are refused,
// and SaveChannelValue refuses to write them.
inline constexpr uint32_t kMaxChannelValueString = 1u << 20;

template <class Base>
class ChannelExtension {
 public:
  // No channel set, no link names.
  ChannelExtension();
  // Copies the link names. The copy belongs to no channel until CE_SetSelf:
  // it never acts on the channel of `other`.
  ChannelExtension(const ChannelExtension& other);
  // Assigns the link names; keeps the channel this extension belongs to.
  ChannelExtension& operator=(const ChannelExtension& other);

  // ---- virtual operations, in slot order ----
  virtual ~ChannelExtension();
  // Runs a framework trigger on the channel; the base knows none and
  // answers 1.
  virtual int CE_ExecuteTrigger(unsigned int trigger, void* data);
  // Appends a link description to the channel set with CE_SetSelf, at the
  // next index (its current count of descriptions), and names it: type name
  // (cut to 79 characters) and type GUID, link name (cut to 99), link mode,
  // and the index as LinkIndex, or -1 with `noLinkIndex`. Ignored while no
  // channel is set or a text is null.
  virtual void CreateLink(GUID typeGuid, const char* typeName, const char* name, int linkMode,
                          bool noLinkIndex);

 protected:
  // Names child link `link` (null: empty), replacing an earlier name.
  virtual void SetChildLinkName(unsigned int link, const char* name);

 public:
  // The name given to link `link`; "" when none was given. Never null; valid
  // until the link is named again or the extension is destroyed.
  virtual const char* GetChildLinkName(unsigned int link);

  // The channel this extension belongs to (referred to, not owned).
  void CE_SetSelf(Zyr_Channel* self) { _self = self; }
  Zyr_Channel* CE_GetSelf() const { return _self; }

 protected:
  // Writes `value` under `tag` as one entry (layout above). True when the
  // saver took it whole; false, writing nothing, when `tag` is not exactly
  // 4 characters or the string is longer than kMaxChannelValueString.
  bool SaveChannelValue(ZyrFileSaver& saver, const char* tag, const std::string& value);
  bool SaveChannelValue(ZyrFileSaver& saver, const char* tag, uint32_t value);
  // Reads the entry at the loader's position when it carries `tag` and has
  // the right size (4 bytes for a number, at most kMaxChannelValueString
  // for a string). True when read; otherwise `value` stays as it was.
  // An entry found under `tag` but of the wrong size is refused and passed
  // over: the position moves past it as GetInfoIfTag moved it, so the next
  // tag is read from the entry behind. An entry of another tag is not
  // consumed. A `tag` not exactly 4 characters is refused.
  bool ReadChannelValue(ZyrFileLoader& loader, const char* tag, std::string& value);
  bool ReadChannelValue(ZyrFileLoader& loader, const char* tag, uint32_t& value);

 private:
  using LinkNames = std::map<unsigned int, std::string>;
  Zyr_Channel* _self;
  // By link index; sparse, so a far index costs one entry. Made by the
  // first SetChildLinkName: most channels name no link here (a mode's
  // links are named in its type's registry), so the map stays out of
  // their objects.
  std::unique_ptr<LinkNames> _linkNames;
};

extern template class VANTIC_API ChannelExtension<Ubo_FloatChannel>;

#endif  // HOSTAPI_VANTIC_CHANNEL_EXTENSION_H_
