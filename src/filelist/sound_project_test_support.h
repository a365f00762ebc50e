// Tests of the second pass: a sound project (file list, empty CV defaults,
// WAV files) in a temporary directory, run through the real program in file
// mode with a pseudo-terminal as its port, or in-process over the fake
// platform when the slot table is what the test looks at.
#pragma once

#include <string>
#include <vector>

#include "testing/testing.h"

class SoundProject {
 public:
  explicit SoundProject(std::string directives = "**4.Generation\n**32MBit\n")
      : directives_(std::move(directives)) {
    dir.write("cv.txt", std::string());
  }

  // The file list: the directives, then `lines`.
  void list(const std::string& lines) const {
    dir.write("list.txt", directives_ + lines);
  }

  // An 8-bit mono WAV file at 11025 Hz holding `samples` bytes of `value`.
  void wav8(const std::string& name, size_t samples = 10, uint8_t value = 0x40) const {
    dir.write(name, make_wav(11025, 8, 1, std::vector<uint8_t>(samples, value)));
  }

  ProcessResult run(void (*before_exec)() = nullptr) {
    ProcessOptions options = in_directory(dir);
    options.port = &port;
    options.unset_env = {"ZT_HOME"};
    options.before_exec = before_exec;
    return run_klangbau_binary(
        {port.slave_path(), "list.txt", "cv.txt", "out.bin"}, options);
  }

  void run_in_process(InProcessRun* result) const {
    ::run_in_process(result, dir.path(),
                     {port.slave_path(), "list.txt", "cv.txt", "out.bin"});
  }

  TempDir dir;
  PseudoTerminal port;

 private:
  std::string directives_;
};

// The text of `count` sound lines "00: <name>" and on.
inline std::string plain_lines(int first, int count, const std::string& name) {
  std::string lines;
  char line[64];
  for (int i = first; i < first + count; ++i) {
    snprintf(line, sizeof line, "%02d: %s\n", i, name.c_str());
    lines += line;
  }
  return lines;
}
