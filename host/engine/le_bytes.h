// Little-endian encoding of the numbers the engine's files hold.
#ifndef HOST_ENGINE_LE_BYTES_H_
#define HOST_ENGINE_LE_BYTES_H_

#include <cstdint>
#include <cstring>

#include "hostapi/guid.h"

namespace le {

inline void PutU32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t GetU32(const uint8_t* in) {
  return uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
         (uint32_t{in[3]} << 24);
}

inline void PutF32(uint8_t* out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  PutU32(out, bits);
}

inline float GetF32(const uint8_t* in) {
  const uint32_t bits = GetU32(in);
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

// GUID in the platform layout: Data1, Data2, Data3 little-endian, then the
// eight bytes of Data4 as they stand.
inline void PutGuid(uint8_t* out, const GUID& g) {
  PutU32(out, g.Data1);
  out[4] = static_cast<uint8_t>(g.Data2);
  out[5] = static_cast<uint8_t>(g.Data2 >> 8);
  out[6] = static_cast<uint8_t>(g.Data3);
  out[7] = static_cast<uint8_t>(g.Data3 >> 8);
  std::memcpy(out + 8, g.Data4, 8);
}

inline GUID GetGuid(const uint8_t* in) {
  GUID g;
  g.Data1 = GetU32(in);
  g.Data2 = static_cast<uint16_t>(in[4] | (in[5] << 8));
  g.Data3 = static_cast<uint16_t>(in[6] | (in[7] << 8));
  std::memcpy(g.Data4, in + 8, 8);
  return g;
}

}  // namespace le

#endif  // HOST_ENGINE_LE_BYTES_H_
