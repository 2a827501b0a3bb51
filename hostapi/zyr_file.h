// ZyrFileSaver and ZyrFileLoader: the engine's tagged binary file format.
//
// File layout (all numbers little-endian):
//
//   offset 0   char[4]   magic "ZYRF"
//   offset 4   uint32_t  format version (2)
//   offset 8   records, one per channel, until the end of the file:
//                GUID      type of the channel (16 bytes, platform layout)
//                uint32_t  body size B (bytes that follow the record header)
//                uint32_t  checksum: CRC-32 of the type, the body size and
//                          the body, i.e. of the record without this field
//                B bytes   entries, each:
//                            char[4]   tag
//                            uint32_t  block size S
//                            S bytes   data
//
// Version 1 is the same without the checksum field (a 20-byte record
// header); it is still read, unchecked, and never written. Every byte of a
// version-2 file is covered: the header by its magic and version (no single
// changed bit turns 2 into 1), each record by its checksum.
//
// Entries are read back in the order written; a tag may repeat within a
// record and is then told apart by its position. Nothing is ever read past
// the end of an entry, a record or the file: damaged input makes the reader
// answer false and record an error, never allocate more than the file holds.
#ifndef HOSTAPI_ZYR_FILE_H_
#define HOSTAPI_ZYR_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/export.h"
#include "hostapi/guid.h"

inline constexpr char kZyrFileMagic[4] = {'Z', 'Y', 'R', 'F'};
inline constexpr uint32_t kZyrFileVersion = 2;
inline constexpr uint32_t kZyrFileVersionUnchecked = 1;  // records carry no checksum
inline constexpr size_t kZyrFileHeaderSize = 8;
inline constexpr size_t kZyrRecordHeaderSize = 24;  // GUID + body size + checksum
inline constexpr size_t kZyrRecordHeaderSizeUnchecked = 20;  // version 1: GUID + body size
inline constexpr size_t kZyrRecordChecksumOffset = 20;  // within the record header
inline constexpr size_t kZyrEntryHeaderSize = 8;    // tag + block size

// Results of the saver's entry calls.
inline constexpr int kZyrSaveOk = 0;
inline constexpr int kZyrSaveOutOfOrder = 1;  // not tag, size, data in turn
inline constexpr int kZyrSaveNoRecord = 2;    // no record open
inline constexpr int kZyrSaveOverrun = 3;     // more data than announced
inline constexpr int kZyrSaveBadTag = 4;      // tag not four characters
inline constexpr int kZyrSaveTooLarge = 5;    // record over 4 GiB
inline constexpr int kZyrSaveInError = 6;     // an earlier call failed

// The checksum of a version-2 record: CRC-32 (zlib's, the IEEE 802.3
// polynomial) of the record header's first 20 bytes (type, body size)
// followed by the `bodySize` bytes of the body.
// REQUIRES: `record` points at a record header followed by its body.
DRAVIK_API uint32_t ZyrRecordChecksum(const uint8_t* record, uint32_t bodySize);

// Recomputes, in place, the checksum of every record of a version-2 file,
// up to the first record whose header or body does not fit the file. For
// tools and tests that edit saved files on purpose. Returns the number of
// records whose checksum changed; 0 for a file of another version.
DRAVIK_API size_t ZyrResealRecords(std::vector<uint8_t>* file);

class DRAVIK_API ZyrFileSaver {
 public:
  // An empty file in memory: the header only.
  ZyrFileSaver();

  // Opens the record of one channel. An open record is closed first.
  void BeginChannel(const GUID& type);
  // Closes the open record, writing its body size. Returns false when no
  // record was open, an entry of it was left incomplete (the saver is then
  // in error) or the saver is in error; a record in error is dropped.
  bool EndChannel();

  // An entry is SaveTag, then SaveBlockSize, then exactly that many bytes
  // through one or more SaveDataToFile calls. Each returns 0 on success and
  // a non-zero code when called out of that order, outside a record, or
  // with more data than the block size announced; the saver then stays in
  // error (HasError) and ignores further writes to the record.
  int SaveTag(const char* tag);
  int SaveBlockSize(uint32_t size);
  int SaveDataToFile(const void* data, uint32_t size);

  // The first failure, kept until the saver goes.
  bool HasError() const { return !_error.empty(); }
  const std::string& GetError() const { return _error; }
  // The file's bytes so far (the header and every closed record).
  const std::vector<uint8_t>& Bytes() const { return _bytes; }
  // Moves Bytes() out without a copy, and leaves the saver as a new one
  // (the header only, no record open, no error).
  std::vector<uint8_t> TakeBytes();
  size_t RecordCount() const { return _records; }

  // Writes the closed records to `path` through a temporary file in the same
  // folder and a rename, so that `path` is either the old file or the whole
  // new one. Returns false with *error set on failure, and refuses a saver
  // in error (its file would lack a channel).
  bool WriteToFile(const std::string& path, std::string* error) const;

 private:
  int Fail(int code, const std::string& why);

  std::vector<uint8_t> _bytes;   // header and closed records
  std::vector<uint8_t> _record;  // body of the open record
  GUID _recordType;
  bool _recordOpen;
  uint32_t _entryRemain;  // bytes the current entry still expects
  int _entryState;        // 0 none, 1 tag written, 2 size written
  size_t _records;
  std::string _error;
};

class DRAVIK_API ZyrFileLoader {
 public:
  ZyrFileLoader();

  // Takes the file's bytes and checks the header. False, with the error
  // set, when the magic or version is wrong or the header is cut short.
  // Versions 1 and 2 are taken.
  bool Open(std::vector<uint8_t> bytes);
  // Reads a file whole, then Open. False with the error set on failure.
  bool OpenFile(const std::string& path);

  // Moves to the next channel record and reports its type. False at the end
  // of the file (no error) or when the record header or body size does not
  // fit the file (error set, reading ends). In a version-2 file the record's
  // checksum is checked first: when it does not match, false with the error
  // naming the record's offset, and the record is passed over (a further
  // call goes on with the next one). Entries of the previous record not
  // read are skipped.
  bool NextChannel(GUID* type);

  // True only when the entry at the reader's position inside the current
  // record carries `tag` and lies wholly inside the record; that entry then
  // becomes current and the position moves past it. Otherwise false and the
  // position stays; an entry that overruns its record also sets the error.
  bool GetInfoIfTag(const char* tag);
  // Copies the current entry's data to `dest` (GetCurrentTagSize bytes).
  // Returns the number of bytes copied; 0 when there is no current entry or
  // `dest` is null. REQUIRES: `dest` holds GetCurrentTagSize() bytes.
  int CopyTagDataToPointer(void* dest);
  // Size of the current entry's data, for a caller that checks its field.
  uint32_t GetCurrentTagSize() const { return _hasCurrent ? _currentSize : 0; }
  // The current entry's data (GetCurrentTagSize bytes), or null when there
  // is no current entry.
  const uint8_t* GetCurrentTagData() const;

  // The file's format version (0 until a file opened), and whether its
  // records carry checksums.
  uint32_t Version() const { return _version; }
  bool HasChecksums() const { return _version >= kZyrFileVersion; }

  // Whether the position is at the end of the current record.
  bool AtEndOfRecord() const;
  // Tag at the position (4 characters) without consuming it; false at the
  // end of the record or when the entry header does not fit.
  bool PeekTag(char tag[4]) const;
  // Offset in the file of the current record's first entry, and its end.
  size_t RecordBegin() const { return _recordBegin; }
  size_t RecordEnd() const { return _recordEnd; }
  size_t Position() const { return _pos; }

  // The first error since Open or ClearError. Errors do not stop reading:
  // a host may skip a damaged channel and go on with the next record.
  bool HasError() const { return !_error.empty(); }
  const std::string& GetError() const { return _error; }
  // Records an error (a channel's part is damaged); the message gets the
  // offset of the current record. The first error is kept.
  void SetError(const std::string& why);
  void ClearError() { _error.clear(); }
  // Errors recorded so far, kept or not: lets a caller see whether its own
  // reading found damage.
  uint32_t ErrorCount() const { return _errorCount; }
  const std::vector<uint8_t>& Bytes() const { return _bytes; }

 private:
  std::vector<uint8_t> _bytes;
  uint32_t _version;
  size_t _recordHeaderSize;
  size_t _next;          // offset of the next record header
  size_t _recordBegin;
  size_t _recordEnd;
  size_t _pos;
  size_t _currentData;   // offset of the current entry's data
  uint32_t _currentSize;
  bool _hasCurrent;
  bool _inRecord;
  uint32_t _errorCount;
  std::string _error;
};

#endif  // HOSTAPI_ZYR_FILE_H_
