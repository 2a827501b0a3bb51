// Helpers shared by the tests: capture of the engine's messages and
// scratch folders, files of the older format.
#ifndef TESTS_SUPPORT_TEST_SUPPORT_H_
#define TESTS_SUPPORT_TEST_SUPPORT_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/engine_interface.h"
#include "hostapi/zyr_file.h"

namespace testing_support {

struct Message {
  unsigned level;
  std::string text;
};

// Captures every message shown through `engine` (globalEngine by default)
// while it lives, and restores the previous sink afterwards.
class MessageCapture {
 public:
  explicit MessageCapture(EngineInterface* engine = globalEngine) : _engine(engine) {
    _engine->SetMessageSink(&MessageCapture::Sink, this, &_oldSink, &_oldContext);
  }
  ~MessageCapture() { _engine->SetMessageSink(_oldSink, _oldContext); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  const std::vector<Message>& Messages() const { return _messages; }
  size_t Count() const { return _messages.size(); }
  size_t CountAtLevel(unsigned level) const {
    size_t n = 0;
    for (const Message& m : _messages) n += (m.level == level);
    return n;
  }
  // Messages whose text contains `part`.
  size_t CountContaining(const std::string& part) const {
    size_t n = 0;
    for (const Message& m : _messages) n += (m.text.find(part) != std::string::npos);
    return n;
  }
  const Message& Last() const { return _messages.back(); }
  void Clear() { _messages.clear(); }

 private:
  static void Sink(void* context, unsigned level, const char* text) {
    static_cast<MessageCapture*>(context)->_messages.push_back({level, text ? text : ""});
  }

  EngineInterface* _engine;
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
  std::vector<Message> _messages;
};

// `file`, a current-version channel file, as version 1 writes it: the same
// records without their checksums.
inline std::vector<uint8_t> WithoutChecksums(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out(file.begin(), file.begin() + kZyrFileHeaderSize);
  out[4] = kZyrFileVersionUnchecked;
  for (size_t at = kZyrFileHeaderSize; at + kZyrRecordHeaderSize <= file.size();) {
    const uint8_t* size = &file[at + 16];
    const size_t end = at + kZyrRecordHeaderSize + (size[0] | size[1] << 8 | size[2] << 16 | size_t{size[3]} << 24);
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
               file.begin() + static_cast<std::ptrdiff_t>(at + kZyrRecordChecksumOffset));
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at + kZyrRecordHeaderSize),
               file.begin() + static_cast<std::ptrdiff_t>(std::min(end, file.size())));
    at = end;
  }
  return out;
}

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vpc-test-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    _path = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(_path, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return _path; }
  std::string File(const std::string& name) const { return (_path / name).string(); }

 private:
  std::filesystem::path _path;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_TEST_SUPPORT_H_
