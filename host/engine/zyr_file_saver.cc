// ZyrFileSaver: builds a tagged file in memory, record by record, and
// writes it to disk in one piece.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_file.h"

ZyrFileSaver::ZyrFileSaver()
    : _bytes(kZyrFileHeaderSize),
      _recordType{},
      _recordOpen(false),
      _entryRemain(0),
      _entryState(0),
      _records(0) {
  std::memcpy(_bytes.data(), kZyrFileMagic, 4);
  le::PutU32(_bytes.data() + 4, kZyrFileVersion);
}

std::vector<uint8_t> ZyrFileSaver::TakeBytes() {
  std::vector<uint8_t> bytes = std::move(_bytes);
  *this = ZyrFileSaver();
  return bytes;
}

int ZyrFileSaver::Fail(int code, const std::string& why) {
  if (_error.empty()) _error = why;
  return code;
}

void ZyrFileSaver::BeginChannel(const GUID& type) {
  if (_recordOpen) EndChannel();
  _record.clear();
  _recordType = type;
  _recordOpen = true;
  _entryState = 0;
  _entryRemain = 0;
}

bool ZyrFileSaver::EndChannel() {
  if (!_recordOpen) return false;
  _recordOpen = false;
  if (_entryState != 0) {
    Fail(kZyrSaveOutOfOrder, "record of type " + guid::ToString(_recordType) +
                                 " closed with an incomplete entry");
  }
  if (HasError()) {
    _record.clear();
    return false;
  }
  const size_t at = _bytes.size();
  uint8_t header[kZyrRecordHeaderSize] = {};
  le::PutGuid(header, _recordType);
  le::PutU32(header + 16, static_cast<uint32_t>(_record.size()));
  _bytes.insert(_bytes.end(), header, header + sizeof(header));
  _bytes.insert(_bytes.end(), _record.begin(), _record.end());
  uint8_t* record = _bytes.data() + at;
  le::PutU32(record + kZyrRecordChecksumOffset,
             ZyrRecordChecksum(record, static_cast<uint32_t>(_record.size())));
  _record.clear();
  ++_records;
  return true;
}

int ZyrFileSaver::SaveTag(const char* tag) {
  if (HasError()) return kZyrSaveInError;
  if (!_recordOpen) return Fail(kZyrSaveNoRecord, "SaveTag outside a record");
  if (tag == nullptr || strnlen(tag, 5) != 4) {
    return Fail(kZyrSaveBadTag, "tag is not four characters");
  }
  if (_entryState != 0) {
    return Fail(kZyrSaveOutOfOrder,
                "SaveTag \"" + std::string(tag) + "\" before the previous entry was complete");
  }
  _record.insert(_record.end(), tag, tag + 4);
  _entryState = 1;
  return kZyrSaveOk;
}

int ZyrFileSaver::SaveBlockSize(uint32_t size) {
  if (HasError()) return kZyrSaveInError;
  if (!_recordOpen) return Fail(kZyrSaveNoRecord, "SaveBlockSize outside a record");
  if (_entryState != 1) return Fail(kZyrSaveOutOfOrder, "SaveBlockSize without a tag before it");
  // The body size is a uint32: the entry's header, data and all before it
  // must fit.
  if (uint64_t{_record.size()} + 4 + uint64_t{size} > UINT32_MAX) {
    return Fail(kZyrSaveTooLarge, "record of type " + guid::ToString(_recordType) +
                                      " would exceed 4 GiB");
  }
  uint8_t bytes[4];
  le::PutU32(bytes, size);
  _record.insert(_record.end(), bytes, bytes + 4);
  _entryRemain = size;
  _entryState = size == 0 ? 0 : 2;
  return kZyrSaveOk;
}

int ZyrFileSaver::SaveDataToFile(const void* data, uint32_t size) {
  if (HasError()) return kZyrSaveInError;
  if (!_recordOpen) return Fail(kZyrSaveNoRecord, "SaveDataToFile outside a record");
  if (size == 0) return kZyrSaveOk;
  if (_entryState != 2) return Fail(kZyrSaveOutOfOrder, "SaveDataToFile without a block size");
  if (size > _entryRemain) {
    return Fail(kZyrSaveOverrun, "SaveDataToFile of " + std::to_string(size) +
                                     " bytes where the entry expects " +
                                     std::to_string(_entryRemain));
  }
  if (data == nullptr) return Fail(kZyrSaveOutOfOrder, "SaveDataToFile with null data");
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  _record.insert(_record.end(), bytes, bytes + size);
  _entryRemain -= size;
  if (_entryRemain == 0) _entryState = 0;
  return kZyrSaveOk;
}

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool ZyrFileSaver::WriteToFile(const std::string& path, std::string* error) const {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  if (HasError()) {
    why = "not writing " + path + ": saving failed: " + _error;
    return false;
  }
  // Writing past the process's file size limit raises SIGXFSZ, which kills
  // by default and would leave the temporary file behind: such a file is
  // refused before anything is written.
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && _bytes.size() > limit.rlim_cur) {
    why = "cannot write " + path + ": " + std::strerror(EFBIG) + " (" + std::to_string(_bytes.size()) +
          " bytes, and this process may write files of at most " + std::to_string(limit.rlim_cur) + ")";
    return false;
  }
  // A unique name beside the target, so that the rename stays within one
  // file system and replaces the target in one step.
  static unsigned serial = 0;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    why = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  const bool written = WriteAll(fd, _bytes.data(), _bytes.size());
  const int writeErrno = errno;
  const bool synced = written && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !synced || !closed) {
    why = "cannot write " + temp + ": " + std::strerror(written ? errno : writeErrno);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    why = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}
