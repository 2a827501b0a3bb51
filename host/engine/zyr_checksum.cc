// Record checksums of the tagged file: CRC-32 as zlib computes it.
#include <zlib.h>

#include <vector>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_file.h"

uint32_t ZyrRecordChecksum(const uint8_t* record, uint32_t bodySize) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, record, static_cast<uInt>(kZyrRecordChecksumOffset));
  crc = crc32(crc, record + kZyrRecordHeaderSize, static_cast<uInt>(bodySize));
  return static_cast<uint32_t>(crc);
}

size_t ZyrResealRecords(std::vector<uint8_t>* file) {
  if (file == nullptr || file->size() < kZyrFileHeaderSize ||
      le::GetU32(file->data() + 4) != kZyrFileVersion) {
    return 0;
  }
  size_t changed = 0;
  size_t at = kZyrFileHeaderSize;
  while (file->size() - at >= kZyrRecordHeaderSize) {
    uint8_t* record = file->data() + at;
    const uint32_t bodySize = le::GetU32(record + 16);
    if (bodySize > file->size() - at - kZyrRecordHeaderSize) break;
    const uint32_t sum = ZyrRecordChecksum(record, bodySize);
    if (le::GetU32(record + kZyrRecordChecksumOffset) != sum) {
      le::PutU32(record + kZyrRecordChecksumOffset, sum);
      ++changed;
    }
    at += kZyrRecordHeaderSize + bodySize;
  }
  return changed;
}
