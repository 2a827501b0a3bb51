// Preloaded into dravik by the command-line tests (LD_PRELOAD) to bring a
// file fault about at a chosen moment, as DRAVIK_TEST_FAULT says:
//   append:PATH or remove:PATH: right after the first read of PATH, two
//     bytes are added to it, or it is unlinked, as an editor saving it
//     while dravik reads it would;
//   stop-on-fsync: the process stops itself (SIGSTOP) at its first fsync,
//     a file written whole but not yet in place, for the test to send it a
//     signal there.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

void ChangeAfterRead(int fd, ssize_t got) {
  static bool done = false;
  const char* spec = std::getenv("DRAVIK_TEST_FAULT");
  const char* colon = spec == nullptr ? nullptr : std::strchr(spec, ':');
  struct stat opened {}, named {};
  if (done || got <= 0 || colon == nullptr || ::fstat(fd, &opened) != 0 || ::stat(colon + 1, &named) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    return;
  }
  done = true;
  if (std::strncmp(spec, "remove:", 7) == 0) {
    ::unlink(colon + 1);
    return;
  }
  const int out = ::open(colon + 1, O_WRONLY | O_APPEND | O_CLOEXEC);
  if (out >= 0 && ::write(out, "\n\n", 2) == 2) ::close(out);
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t count) {
  static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  const ssize_t got = real(fd, buffer, count);
  ChangeAfterRead(fd, got);
  return got;
}

extern "C" __attribute__((visibility("default"))) ssize_t __read_chk(int fd, void* buffer, size_t count, size_t) {
  return read(fd, buffer, count);
}

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  static const auto real = Next<int (*)(int)>("fsync");
  static bool stopped = false;
  const char* fault = std::getenv("DRAVIK_TEST_FAULT");
  if (!stopped && fault != nullptr && std::strcmp(fault, "stop-on-fsync") == 0) {
    stopped = true;
    ::raise(SIGSTOP);
  }
  return real(fd);
}
