// Runs the built dravik program for the command-line tests and captures
// what it prints.
#ifndef TESTS_RUNNER_DRAVIK_PROCESS_H_
#define TESTS_RUNNER_DRAVIK_PROCESS_H_

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

extern char** environ;

namespace runner_testing {

struct Result {
  int exitCode = -1;  // -1: did not exit normally (a crash)
  int signal = 0;     // the signal that ended it, if one did
  std::string out;
  std::string err;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes `bytes` to `path` and returns `path`.
inline std::string WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

inline std::string Example(const std::string& name) {
  return std::string(VPC_SOURCE_DIR) + "/examples/" + name;
}

// The program argv[0] started with its arguments and every signal as by
// default, `env` ("NAME=value") added to the environment, standard input
// empty, its standard output and error captured until Wait(); killed if
// the test leaves it running.
class Process {
 public:
  explicit Process(std::vector<std::string> argv, std::vector<std::string> env = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, _out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, _err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);  // the first of a name counts
    std::vector<char*> args, vars;
    for (std::string& a : argv) args.push_back(a.data());
    for (std::string& v : env) vars.push_back(v.data());
    args.push_back(nullptr);
    vars.push_back(nullptr);
    if (posix_spawn(&_pid, args[0], &actions, &attributes, args.data(), vars.data()) != 0) _pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (_pid > 0 && kill(_pid, SIGKILL) == 0) Wait();
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t Pid() const { return _pid; }
  const std::string& OutPath() const { return _out; }

  Result Wait() {
    Result r;
    int status = 0;
    if (_pid > 0 && waitpid(_pid, &status, 0) == _pid) {
      r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    _pid = -1;
    r.out = ReadFile(_out);
    r.err = ReadFile(_err);
    return r;
  }

 private:
  testing_support::ScratchDir _scratch;
  const std::string _out = _scratch.File("out");
  const std::string _err = _scratch.File("err");
  pid_t _pid = -1;
};

// Runs the program argv[0] with its arguments; standard input is empty.
inline Result RunProgram(std::vector<std::string> all) { return Process(std::move(all)).Wait(); }

// bin/dravik and `args`.
inline std::vector<std::string> DravikLine(const std::vector<std::string>& args) {
  std::vector<std::string> all = {std::string(VPC_BIN_DIR) + "/dravik"};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

// Runs bin/dravik with `args`; standard input is empty.
inline Result RunDravik(const std::vector<std::string>& args) { return RunProgram(DravikLine(args)); }

// Expects `r` to be a failure: exit code `exitCode`, nothing on stdout and
// one line "dravik: ..." holding `part` on stderr.
inline void ExpectFailure(const Result& r, int exitCode, const std::string& part) {
  EXPECT_EQ(r.exitCode, exitCode) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.rfind("dravik: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(part), std::string::npos) << "wanted: " << part << "\ngot: " << r.err;
}

// Expects each of `parts` in `text`.
inline void ExpectHas(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

// How many times `part` is in `text`.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The lines of `text` that contain `part`.
inline std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// A scene of chains of 16 Math::Add calls, each call adding the result of
// the one before (the chain's animated input, for the first) to the input
// into its own result channel, 33 channels a chain, `chains` chains in
// groups of 32; every 97th chain from the sixth calls the missing
// Math::Missing at its eighth call. Watched: "k0.c0", "k0.r15" and, with
// six chains or more, "k5.c7". (bench/scale_scene.py writes the same.)
inline std::string ChainScene(size_t chains) {
  std::string scene = R"({"name": "chains", "frames": 3, "channels": [)";
  std::string groups;
  for (size_t k = 0; k < chains; ++k) {
    const std::string c = "k" + std::to_string(k) + ".";
    scene += (k ? ",\n" : "\n") + std::string(R"({"id": ")") + c +
             R"(in", "type": "value", "animate": {"step": 1}, "watch": false})";
    if (k % 32 == 0) groups += std::string(k ? "]}," : "") + R"({"name": "bank )" + std::to_string(k / 32) + R"(", "channels": [)";
    groups += (k % 32 ? ",\"" : "\"") + c + "in\"";
    std::string source = c + "in";
    for (int j = 0; j < 16; ++j) {
      const std::string call = c + "c" + std::to_string(j);
      const std::string result = c + "r" + std::to_string(j);
      const bool missing = j == 7 && k % 97 == 5;
      scene += R"(,{"id": ")" + result + R"(", "type": "value")" + (result == "k0.r15" ? "" : R"(, "watch": false)") +
               R"(},{"id": ")" + call + R"(", "type": "call", "owner": "Math", "procedure": ")" +
               (missing ? R"(Missing", "params": [{"name": "a"}, {"name": "b"}, {"name": "result", "mode": "out"}])"
                        : "Add\"") +
               R"(, "links": {"a": ")" + source + R"(", "b": ")" + c + R"(in", "result": ")" + result + "\"}" +
               (call == "k0.c0" || call == "k5.c7" ? "}" : R"(, "watch": false})");
      groups += ",\"" + call + "\",\"" + result + "\"";
      source = result;
    }
  }
  return scene + "\n], \"groups\": [" + groups + "]}]}\n";
}

}  // namespace runner_testing

#endif  // TESTS_RUNNER_DRAVIK_PROCESS_H_
