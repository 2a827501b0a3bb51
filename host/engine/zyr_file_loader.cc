// ZyrFileLoader: reads a tagged file record by record, entry by entry,
// checking every size against the bytes that remain before using it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_file.h"

ZyrFileLoader::ZyrFileLoader()
    : _version(0),
      _recordHeaderSize(kZyrRecordHeaderSize),
      _next(0),
      _recordBegin(0),
      _recordEnd(0),
      _pos(0),
      _currentData(0),
      _currentSize(0),
      _hasCurrent(false),
      _inRecord(false),
      _errorCount(0) {}

void ZyrFileLoader::SetError(const std::string& why) {
  ++_errorCount;
  if (!_error.empty()) return;
  _error = why;
  if (_inRecord) {
    _error += " (record at offset " + std::to_string(_recordBegin - _recordHeaderSize) + ")";
  }
}

bool ZyrFileLoader::Open(std::vector<uint8_t> bytes) {
  _bytes = std::move(bytes);
  _next = _bytes.size();  // nothing to read unless the header is good
  _recordBegin = _recordEnd = _pos = 0;
  _hasCurrent = false;
  _inRecord = false;
  _version = 0;
  _error.clear();
  _errorCount = 0;
  if (_bytes.size() < kZyrFileHeaderSize) {
    SetError("file of " + std::to_string(_bytes.size()) + " bytes is shorter than its header");
    return false;
  }
  if (std::memcmp(_bytes.data(), kZyrFileMagic, 4) != 0) {
    SetError("not a channel file (bad magic)");
    return false;
  }
  const uint32_t version = le::GetU32(_bytes.data() + 4);
  if (version != kZyrFileVersion && version != kZyrFileVersionUnchecked) {
    SetError("unsupported file version " + std::to_string(version) + " (expected " +
             std::to_string(kZyrFileVersionUnchecked) + " or " + std::to_string(kZyrFileVersion) + ")");
    return false;
  }
  _version = version;
  _recordHeaderSize = version == kZyrFileVersion ? kZyrRecordHeaderSize : kZyrRecordHeaderSizeUnchecked;
  _next = kZyrFileHeaderSize;
  return true;
}

bool ZyrFileLoader::OpenFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    Open({});
    _error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    Open({});
    _error = "cannot read " + path;
    return false;
  }
  if (!Open(std::move(bytes))) {
    _error = path + ": " + _error;
    return false;
  }
  return true;
}

bool ZyrFileLoader::NextChannel(GUID* type) {
  _hasCurrent = false;
  _inRecord = false;
  if (_next >= _bytes.size()) return false;
  const size_t remain = _bytes.size() - _next;
  if (remain < _recordHeaderSize) {
    SetError("record header at offset " + std::to_string(_next) + " cut short (" +
             std::to_string(remain) + " bytes left)");
    _next = _bytes.size();
    return false;
  }
  const uint8_t* header = _bytes.data() + _next;
  const uint32_t bodySize = le::GetU32(header + 16);
  if (bodySize > remain - _recordHeaderSize) {
    SetError("record at offset " + std::to_string(_next) + " claims " + std::to_string(bodySize) +
             " bytes, but only " + std::to_string(remain - _recordHeaderSize) + " remain");
    _next = _bytes.size();
    return false;
  }
  const size_t at = _next;
  _next = at + _recordHeaderSize + bodySize;
  if (HasChecksums()) {
    const uint32_t stored = le::GetU32(header + kZyrRecordChecksumOffset);
    const uint32_t computed = ZyrRecordChecksum(header, bodySize);
    if (stored != computed) {
      char sums[48];
      std::snprintf(sums, sizeof sums, " (stored %08X, computed %08X)", stored, computed);
      SetError("record at offset " + std::to_string(at) + " fails its checksum" + sums);
      return false;
    }
  }
  if (type != nullptr) *type = le::GetGuid(header);
  _recordBegin = at + _recordHeaderSize;
  _recordEnd = _next;
  _pos = _recordBegin;
  _inRecord = true;
  return true;
}

bool ZyrFileLoader::GetInfoIfTag(const char* tag) {
  if (!_inRecord || tag == nullptr || strnlen(tag, 5) != 4 || _pos >= _recordEnd) return false;
  const size_t remain = _recordEnd - _pos;
  if (remain < kZyrEntryHeaderSize) {
    SetError("entry header at offset " + std::to_string(_pos) + " cut short by the record's end");
    return false;
  }
  const uint8_t* header = _bytes.data() + _pos;
  const uint32_t size = le::GetU32(header + 4);
  if (size > remain - kZyrEntryHeaderSize) {
    SetError("entry \"" + std::string(reinterpret_cast<const char*>(header), 4) + "\" at offset " +
             std::to_string(_pos) + " claims " + std::to_string(size) + " bytes, but its record has " +
             std::to_string(remain - kZyrEntryHeaderSize) + " left");
    return false;
  }
  if (std::memcmp(header, tag, 4) != 0) return false;
  _currentData = _pos + kZyrEntryHeaderSize;
  _currentSize = size;
  _hasCurrent = true;
  _pos = _currentData + size;
  return true;
}

int ZyrFileLoader::CopyTagDataToPointer(void* dest) {
  if (!_hasCurrent || dest == nullptr || _currentSize > INT32_MAX) return 0;
  if (_currentSize > 0) std::memcpy(dest, _bytes.data() + _currentData, _currentSize);
  return static_cast<int>(_currentSize);
}

const uint8_t* ZyrFileLoader::GetCurrentTagData() const {
  return _hasCurrent ? _bytes.data() + _currentData : nullptr;
}

bool ZyrFileLoader::AtEndOfRecord() const { return !_inRecord || _pos >= _recordEnd; }

bool ZyrFileLoader::PeekTag(char tag[4]) const {
  if (!_inRecord || _pos >= _recordEnd || _recordEnd - _pos < kZyrEntryHeaderSize) return false;
  std::memcpy(tag, _bytes.data() + _pos, 4);
  return true;
}
