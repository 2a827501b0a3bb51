#include "runner/output/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "runner/output/printable_text.h"
#include "runner/scene/scene_file.h"

namespace dravik {
namespace {

// The temporary file being written, removed by OnInterrupt.
std::atomic<const char*> g_temporary{nullptr};

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void OnInterrupt(int signal) {
  if (const char* temporary = g_temporary.load()) ::unlink(temporary);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);  // delivered, with the default action, when the handler returns
}

// Holds the interrupts while it lives.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kInterrupts) sigaddset(&set, s);
    ::sigprocmask(SIG_BLOCK, &set, &_old);
  }
  ~InterruptsHeld() { ::sigprocmask(SIG_SETMASK, &_old, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t _old;
};

// A new file beside `path` that is removed unless it is renamed over
// `path`, also when an interrupt ends the process. While it lives, a write
// past the file size limit fails with EFBIG instead of ending the process.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& path) {
    InterruptsHeld held;
    struct sigaction handler {};
    handler.sa_handler = &OnInterrupt;
    sigemptyset(&handler.sa_mask);
    for (int s : kInterrupts) sigaddset(&handler.sa_mask, s);  // one at a time
    for (size_t i = 0; i < std::size(kInterrupts); ++i) {
      ::sigaction(kInterrupts[i], nullptr, &_oldActions[i]);
      // Only an interrupt that would end the process is taken over: one it
      // ignores or handles itself (a host embedding the library, Python)
      // stays as it is, and the write goes on to its end.
      const bool ends = (_oldActions[i].sa_flags & SA_SIGINFO) == 0 && _oldActions[i].sa_handler == SIG_DFL;
      if (ends) ::sigaction(kInterrupts[i], &handler, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &_oldSizeAction);
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100 && _fd < 0; ++attempt) {
      _path = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
      _fd = ::open(_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (_fd < 0 && errno != EEXIST) break;
    }
    _errno = errno;
    if (_fd >= 0) g_temporary.store(_path.c_str());
  }

  ~TemporaryFile() {
    InterruptsHeld held;
    if (_fd >= 0) ::close(_fd);
    if (g_temporary.load() != nullptr) ::unlink(_path.c_str());
    g_temporary.store(nullptr);
    for (size_t i = 0; i < std::size(kInterrupts); ++i) ::sigaction(kInterrupts[i], &_oldActions[i], nullptr);
    ::sigaction(SIGXFSZ, &_oldSizeAction, nullptr);
  }

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The open file, or -1 with Errno() saying why it could not be made.
  int Fd() const { return _fd; }
  int Errno() const { return _errno; }

  // Writes all of `bytes`, flushes them to disk and closes the file. False
  // with errno set when any step fails.
  bool WriteAll(std::string_view bytes) {
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(_fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;
        return false;
      }
      done += static_cast<size_t>(n);
    }
    if (::fsync(_fd) != 0) return false;
    const int fd = _fd;
    _fd = -1;
    return ::close(fd) == 0;
  }

  // Renames the file over `path`; it is then no longer removed.
  bool RenameTo(const std::string& path) {
    InterruptsHeld held;
    if (::rename(_path.c_str(), path.c_str()) != 0) return false;
    g_temporary.store(nullptr);
    return true;
  }

 private:
  std::string _path;
  int _fd = -1;
  int _errno = 0;
  struct sigaction _oldActions[std::size(kInterrupts)] {};
  struct sigaction _oldSizeAction {};
};

const char* KindName(OutputKind kind) {
  switch (kind) {
    case OutputKind::kSavedScene: return "a saved scene";
    case OutputKind::kReport: return "a dravik report";
    case OutputKind::kGraph: return "a dravik graph";
  }
  return "";
}

// The first bytes of the file `path` ("" when it cannot be read).
std::string Head(const std::string& path) {
  std::string head(512, '\0');
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::string();
  const ssize_t n = ::read(fd, head.data(), head.size());
  ::close(fd);
  head.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return head;
}

// `path` made absolute, its links resolved as far as it exists.
std::string Resolved(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? path : resolved.string();
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The rules for one output; `others` are the files of the other outputs
// of the command. With `probe`, a file is made in the folder and removed.
bool CheckOne(const OutputFile& output, const std::vector<const OutputFile*>& others, const std::string& scenePath,
              bool force, bool probe, std::string* error) {
  const std::string shown = output.option + " '" + Printable(output.path, 200) + "'";
  const auto fail = [&](const std::string& why) {
    *error = shown + why;
    return false;
  };
  struct stat target {};
  if (::stat(output.path.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) return fail(": it is a folder");
    if (!S_ISREG(target.st_mode)) return fail(" is not a regular file; write to a file");
    struct stat scene {};
    const bool own = LooksLikeOutput(output.kind, Head(output.path));
    if (!scenePath.empty() && ::stat(scenePath.c_str(), &scene) == 0 && SameInode(scene, target)) {
      const bool continuation = output.kind == OutputKind::kSavedScene && own;
      if (!(continuation && force)) {
        return fail(std::string(" is the scene itself; write to another file") +
                    (continuation ? " (or give --force to replace the saved scene with its continuation)" : ""));
      }
    }
    for (const OutputFile* other : others) {
      struct stat o {};
      if (::stat(other->path.c_str(), &o) == 0 && SameInode(o, target)) {
        return fail(" is also the " + other->option + " file; give each its own");
      }
    }
    if (!own && !force) {
      return fail(std::string(" exists and is not ") + KindName(output.kind) + "; give --force to replace it");
    }
  } else if (errno != ENOENT) {
    return fail(std::string(": ") + std::strerror(errno));
  } else {
    for (const OutputFile* other : others) {
      if (Resolved(other->path) == Resolved(output.path)) {
        return fail(" is also the " + other->option + " file; give each its own");
      }
    }
  }
  if (!probe) return true;
  std::filesystem::path folder = std::filesystem::path(output.path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    return fail(": folder '" + Printable(folder.string(), 200) + "' does not exist");
  }
  const TemporaryFile made(output.path);
  if (made.Fd() < 0) {
    return fail(": cannot write in folder '" + Printable(folder.string(), 200) + "': " + std::strerror(made.Errno()));
  }
  return true;
}

}  // namespace

bool LooksLikeOutput(OutputKind kind, std::string_view head) {
  switch (kind) {
    case OutputKind::kSavedScene:
      return LooksLikeSavedFile(head);
    case OutputKind::kReport:
      return head.rfind("<!DOCTYPE html>", 0) == 0 && head.find(kReportMarker) != std::string_view::npos;
    case OutputKind::kGraph:
      return head.rfind(kGraphDotHeader, 0) == 0 ||
             (head.rfind("<?xml", 0) == 0 && head.find(kGraphSvgMarker) != std::string_view::npos);
  }
  return false;
}

bool CheckOutputFiles(const std::vector<OutputFile>& outputs, const std::string& scenePath, bool force,
                      std::string* error) {
  for (const OutputFile& output : outputs) {
    std::vector<const OutputFile*> others;
    for (const OutputFile& other : outputs) {
      if (&other != &output) others.push_back(&other);
    }
    if (!CheckOne(output, others, scenePath, force, true, error)) return false;
  }
  return true;
}

bool WriteOutputFile(const OutputFile& output, std::string_view bytes, const std::string& scenePath, bool force,
                     std::string* error) {
  if (!CheckOne(output, {}, scenePath, force, false, error)) return false;
  const auto fail = [&](int why) {
    *error = "cannot write " + output.option + " '" + Printable(output.path, 200) + "': " + std::strerror(why);
    return false;
  };
  TemporaryFile temporary(output.path);
  if (temporary.Fd() < 0) return fail(temporary.Errno());
  if (!temporary.WriteAll(bytes) || !temporary.RenameTo(output.path)) {
    const int why = errno;
    return fail(why);
  }
  // The rename lasts once the folder is on disk too.
  std::filesystem::path folder = std::filesystem::path(output.path).parent_path();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace dravik
