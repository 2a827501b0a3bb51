// Reading and writing single tagged values (one entry each) of a channel's
// record, shared by the engine's and the float channels' save and load.
#ifndef HOST_ENGINE_TAGGED_VALUE_H_
#define HOST_ENGINE_TAGGED_VALUE_H_

#include <cstdint>
#include <string>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_file.h"

namespace tagged {

// Writes `tag`, `size`, then the `size` bytes at `data`. True when the saver
// took all three.
inline bool Save(ZyrFileSaver& saver, const char* tag, const void* data, uint32_t size) {
  const bool tagOk = saver.SaveTag(tag) == kZyrSaveOk;
  const bool sizeOk = tagOk && saver.SaveBlockSize(size) == kZyrSaveOk;
  return sizeOk && saver.SaveDataToFile(data, size) == kZyrSaveOk;
}

inline bool SaveU32(ZyrFileSaver& saver, const char* tag, uint32_t value) {
  uint8_t bytes[4];
  le::PutU32(bytes, value);
  return Save(saver, tag, bytes, 4);
}

inline bool SaveString(ZyrFileSaver& saver, const char* tag, const std::string& value) {
  if (value.size() > UINT32_MAX) return false;
  return Save(saver, tag, value.data(), static_cast<uint32_t>(value.size()));
}

enum class Read {
  kMissing,  // the entry at the position carries another tag (or none)
  kRead,     // read; the value was filled
  kDamaged,  // carries the tag but is damaged; the loader's error is set
};

// Reads the entry at the loader's position when it carries `tag` and holds
// exactly `size` bytes, into `dest`. An entry of another size is refused
// with an error naming the tag.
inline Read ReadFixed(ZyrFileLoader& loader, const char* tag, void* dest, uint32_t size) {
  const uint32_t before = loader.ErrorCount();
  if (!loader.GetInfoIfTag(tag)) {
    return loader.ErrorCount() != before ? Read::kDamaged : Read::kMissing;
  }
  if (loader.GetCurrentTagSize() != size) {
    loader.SetError("entry \"" + std::string(tag) + "\" holds " +
                    std::to_string(loader.GetCurrentTagSize()) + " bytes, expected " +
                    std::to_string(size));
    return Read::kDamaged;
  }
  loader.CopyTagDataToPointer(dest);
  return Read::kRead;
}

inline Read ReadU32(ZyrFileLoader& loader, const char* tag, uint32_t* value) {
  uint8_t bytes[4];
  const Read r = ReadFixed(loader, tag, bytes, 4);
  if (r == Read::kRead) *value = le::GetU32(bytes);
  return r;
}

inline Read ReadF32(ZyrFileLoader& loader, const char* tag, float* value) {
  uint8_t bytes[4];
  const Read r = ReadFixed(loader, tag, bytes, 4);
  if (r == Read::kRead) *value = le::GetF32(bytes);
  return r;
}

// Reads a string entry of at most `maxSize` bytes; a longer one, or one
// holding a NUL byte, is refused with an error naming the tag.
inline Read ReadString(ZyrFileLoader& loader, const char* tag, uint32_t maxSize,
                       std::string* value) {
  const uint32_t before = loader.ErrorCount();
  if (!loader.GetInfoIfTag(tag)) {
    return loader.ErrorCount() != before ? Read::kDamaged : Read::kMissing;
  }
  const uint32_t size = loader.GetCurrentTagSize();
  if (size > maxSize) {
    loader.SetError("entry \"" + std::string(tag) + "\" holds " + std::to_string(size) +
                    " bytes, more than the " + std::to_string(maxSize) + " allowed");
    return Read::kDamaged;
  }
  const char* data = reinterpret_cast<const char*>(loader.GetCurrentTagData());
  std::string text(data ? data : "", size);
  if (text.find('\0') != std::string::npos) {
    loader.SetError("entry \"" + std::string(tag) + "\" holds a NUL byte");
    return Read::kDamaged;
  }
  *value = std::move(text);
  return Read::kRead;
}

}  // namespace tagged

#endif  // HOST_ENGINE_TAGGED_VALUE_H_
