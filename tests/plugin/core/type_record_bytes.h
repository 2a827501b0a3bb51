// The channel-type record the module must answer, byte for byte, written
// out independently of the code that fills it.
#ifndef TESTS_PLUGIN_CORE_TYPE_RECORD_BYTES_H_
#define TESTS_PLUGIN_CORE_TYPE_RECORD_BYTES_H_

#include <array>
#include <cstdint>

inline constexpr std::array<uint8_t, 132> MakeExpectedTypeRecord() {
  std::array<uint8_t, 132> bytes{};
  constexpr char kName[] = "VanticPrcCall";
  for (size_t i = 0; i + 1 < sizeof(kName); ++i) bytes[i] = static_cast<uint8_t>(kName[i]);
  // 80: C7653FCA-6B0C-44FA-936F-EA1952B129F0, fields little-endian.
  constexpr uint8_t kType[16] = {0xCA, 0x3F, 0x65, 0xC7, 0x0C, 0x6B, 0xFA, 0x44,
                                 0x93, 0x6F, 0xEA, 0x19, 0x52, 0xB1, 0x29, 0xF0};
  // 96: BE69CCC4-CFC1-4362-AC81-767D199BBFC3.
  constexpr uint8_t kBase[16] = {0xC4, 0xCC, 0x69, 0xBE, 0xC1, 0xCF, 0x62, 0x43,
                                 0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3};
  for (size_t i = 0; i < 16; ++i) {
    bytes[80 + i] = kType[i];
    bytes[96 + i] = kBase[i];
  }
  bytes[120] = 7;  // 112..119, 121..131 stay 0
  return bytes;
}

inline constexpr std::array<uint8_t, 132> kExpectedTypeRecord = MakeExpectedTypeRecord();

#endif  // TESTS_PLUGIN_CORE_TYPE_RECORD_BYTES_H_
