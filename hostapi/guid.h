// GUID: a 16-byte identifier of a channel type, in the platform layout.
//
// Layout (16 bytes, little-endian fields as saved):
//   offset 0   uint32_t Data1
//   offset 4   uint16_t Data2
//   offset 6   uint16_t Data3
//   offset 8   uint8_t  Data4[8]   (bytes in the order of the text form)
//
// Text form: XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX (upper case hex).
#ifndef HOSTAPI_GUID_H_
#define HOSTAPI_GUID_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);
static_assert(offsetof(GUID, Data1) == 0);
static_assert(offsetof(GUID, Data2) == 4);
static_assert(offsetof(GUID, Data3) == 6);
static_assert(offsetof(GUID, Data4) == 8);

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool operator<(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

namespace guid {

// Parses the text form. Returns false, leaving *out alone, unless `text` is
// exactly 36 characters of hex digits and dashes in the standard places.
inline bool Parse(std::string_view text, GUID* out) {
  if (text.size() != 36) return false;
  static constexpr int kDash[] = {8, 13, 18, 23};
  for (int d : kDash) {
    if (text[static_cast<size_t>(d)] != '-') return false;
  }
  uint8_t bytes[16];
  size_t pos = 0;
  for (uint8_t& b : bytes) {
    int v = 0;
    for (int nibble = 0; nibble < 2; ++nibble) {
      if (pos == 8 || pos == 13 || pos == 18 || pos == 23) ++pos;
      const char c = text[pos++];
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return false;
      }
      v = v * 16 + digit;
    }
    b = static_cast<uint8_t>(v);
  }
  GUID g;
  g.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
            (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
  g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(g.Data4, bytes + 8, 8);
  *out = g;
  return true;
}

// The text form, upper case.
inline std::string ToString(const GUID& g) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(36);
  auto put = [&](uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s.push_back(kHex[(v >> (4 * i)) & 0xF]);
  };
  put(g.Data1, 8);
  s.push_back('-');
  put(g.Data2, 4);
  s.push_back('-');
  put(g.Data3, 4);
  s.push_back('-');
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  s.push_back('-');
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  return s;
}

// A GUID from a literal known to be well formed (all-zero GUID otherwise).
inline GUID FromString(std::string_view text) {
  GUID g{};
  Parse(text, &g);
  return g;
}

// Channel types the plug-in and the host stand-ins agree on.
inline constexpr std::string_view kFloatChannelType = "BE69CCC4-CFC1-4362-AC81-767D199BBFC3";
inline constexpr std::string_view kVectorChannelType = "9D045960-EAC2-4C40-9BBF-10F32F7FA305";
inline constexpr std::string_view kCoreRefChannelType = "34B011DC-643D-4244-A707-71FB7AE9F1AB";
inline constexpr std::string_view kPrcCallChannelType = "C7653FCA-6B0C-44FA-936F-EA1952B129F0";

}  // namespace guid

#endif  // HOSTAPI_GUID_H_
