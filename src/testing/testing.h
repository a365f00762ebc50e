// Helpers shared by the tests: temporary directories, the real binary run as
// a child process (optionally against a pseudo-terminal as its port), and a
// whole run driven in-process over the fake platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/report.h"
#include "driver/run_state.h"
#include "platform/fake_platform.h"

// The whole content of a file, by path or as an open stream (read from
// its start, after a flush).
std::string read_file(const std::string& path);
std::string contents_of(FILE* stream);

// A fresh directory under /tmp, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  void write(const std::string& name, const std::vector<uint8_t>& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// The master side of a pseudo-terminal; its slave path serves as the port.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  int master() const { return master_; }
  const std::string& slave_path() const { return slave_path_; }
  // Reads whatever is waiting, without blocking.
  void drain_into(std::string* received) const;
  // Lifts the exclusive use that a program set on the port, so that the
  // next run can open it too.
  void release_exclusive_use() const;

 private:
  int master_ = -1;
  int slave_keepalive_ = -1;  // keeps the slave side open between runs
  std::string slave_path_;
};

struct ProcessResult {
  int status = -1;     // exit status as the shell sees it (0 to 255)
  std::string out;     // everything the program wrote on stdout
  std::string err;     // and on stderr
  std::string port;    // bytes that arrived at the pseudo-terminal
};

struct ProcessOptions {
  std::string working_directory;          // empty: the current one
  std::vector<std::string> set_env;       // "NAME=value"
  std::vector<std::string> unset_env;     // names
  PseudoTerminal* port = nullptr;         // drained while the program runs
  // A terminal as stdin instead of /dev/null, with `typed` already typed
  // on it.
  PseudoTerminal* terminal = nullptr;
  std::string typed;
  int timeout_seconds = 120;
  // Called in the child before exec, e.g. to set a resource limit.
  void (*before_exec)() = nullptr;
};

// Options that only set the working directory.
ProcessOptions in_directory(const TempDir& dir);

// Runs `program` with `args` (without argv[0]), stdin from /dev/null
// unless a terminal is given.
ProcessResult run_process(const std::string& program,
                          const std::vector<std::string>& args,
                          const ProcessOptions& options = {});

// Runs the klangbau binary of this build.
ProcessResult run_klangbau_binary(const std::vector<std::string>& args,
                                  const ProcessOptions& options = {});

// A whole run inside the test over the fake platform, in `directory`.
struct InProcessRun {
  std::unique_ptr<RunState> run = std::make_unique<RunState>();
  FakePlatform platform;
  int status = -1;
  std::string out;
  std::string err;
};
void run_in_process(InProcessRun* result, const std::string& directory,
                    const std::vector<std::string>& args);

// A RunState over the fake platform with its console streams in files, for
// driving one phase of a run.
class TestRun {
 public:
  TestRun();
  ~TestRun();
  RunState& run() { return *run_; }
  FakePlatform platform;

  // Runs `phase`.  Returns the status of its error exit, or -1 when it
  // returned normally.
  template <typename Phase>
  int attempt(Phase phase) {
    try {
      phase();
      return -1;
    } catch (const RunEnded& ended) {
      return ended.status;
    }
  }
  std::string out();
  std::string err();

 private:
  std::unique_ptr<RunState> run_ = std::make_unique<RunState>();
};

// A temporary file holding `content`, positioned at its start.
FILE* file_with(const std::string& content);

// "24 80 11 " for the bytes 0x24 0x80 0x11: byte strings that compare
// readably in a failed expectation.
std::string hex(const std::string& bytes);

// Little-endian WAV file of the given format with `data` as its data chunk.
std::vector<uint8_t> make_wav(uint32_t sample_rate, uint16_t bits,
                              uint16_t channels,
                              const std::vector<uint8_t>& data);
