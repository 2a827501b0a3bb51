// A channel's saved record as a list of entries, for a host that reads or
// rewrites parts of it (see call_channel_setup.h).
#ifndef RUNNER_SCENE_RECORD_ENTRIES_H_
#define RUNNER_SCENE_RECORD_ENTRIES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

namespace dravik {

struct RecordEntry {
  std::string tag;            // 4 characters
  std::vector<uint8_t> data;
};

// Saves `channel` through its own SaveChannel and splits the record into
// its entries. False with *error when the channel or the reader fails.
bool SaveChannelEntries(Zyr_Channel& channel, std::vector<RecordEntry>* entries, std::string* error);

// Calls visit(tag, data, size) for each entry of `bytes` in [begin, end),
// in order, until it returns false (tag: 4 characters, not terminated).
// False when an entry overruns `end`, or bytes too few for an entry's
// header are left; true otherwise (stopped by `visit` or not).
// REQUIRES: begin <= end <= bytes.size().
template <class Visit>
bool WalkEntries(const std::vector<uint8_t>& bytes, size_t begin, size_t end, Visit visit) {
  for (size_t at = begin; at < end;) {
    if (end - at < kZyrEntryHeaderSize) return false;
    const size_t data = at + kZyrEntryHeaderSize;
    const size_t size = le::GetU32(bytes.data() + at + 4);
    if (size > end - data) return false;
    if (!visit(reinterpret_cast<const char*>(bytes.data() + at), bytes.data() + data, size)) return true;
    at = data + size;
  }
  return true;
}

// The data of the first entry tagged `tag` among those of the loader's
// current record from its position on, read without moving the loader.
// False when there is none before the record ends or an entry overruns it.
bool FindEntryAhead(const ZyrFileLoader& loader, const char* tag, std::vector<uint8_t>* data);

// Writers of one entry: a text (its bytes, no NUL), a 32-bit number
// (little-endian), or raw bytes. They return false when the saver refused.
bool PutText(ZyrFileSaver& saver, const char* tag, const std::string& text);
bool PutU32(ZyrFileSaver& saver, const char* tag, uint32_t value);
bool PutBytes(ZyrFileSaver& saver, const char* tag, const void* data, uint32_t size);

}  // namespace dravik

#endif  // RUNNER_SCENE_RECORD_ENTRIES_H_
