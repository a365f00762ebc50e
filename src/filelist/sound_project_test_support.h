// Tests of the second pass: a sound project (file list, empty CV defaults,
// WAV files) in a temporary directory, run through the real program in file
// mode with a pseudo-terminal as its port, or in-process over the fake
// platform when the slot table is what the test looks at.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// Slots first to last hold `path` ("" for unused).
struct SlotRange {
  int first;
  int last;
  const char* path;
};

// Checks the whole table against `ranges`, which cover slots 0 to 527 in
// order.  Slots with the same path must share their sample data; unused ones
// keep the zero row.
inline void expect_layout(const SlotTable& slots, const std::vector<SlotRange>& ranges,
                          const std::string& name) {
  int next = 0;
  std::vector<std::pair<std::string, uint32_t>> offsets;
  for (const SlotRange& range : ranges) {
    ASSERT_EQ(range.first, next) << name << ": ranges must cover every slot";
    for (int slot = range.first; slot <= range.last; ++slot) {
      EXPECT_STREQ(slots.path[slot], range.path) << name << ", slot " << slot;
      if (range.path[0] == '\0') {
        EXPECT_EQ(slots.offset[slot], 0u) << name << ", slot " << slot;
        EXPECT_EQ(slots.length[slot], 0u) << name << ", slot " << slot;
        continue;
      }
      bool known = false;
      for (const auto& [path, offset] : offsets)
        if (path == range.path) {
          known = true;
          EXPECT_EQ(slots.offset[slot], offset) << name << ", slot " << slot;
        }
      if (!known) offsets.emplace_back(range.path, slots.offset[slot]);
    }
    next = range.last + 1;
  }
  EXPECT_EQ(next, SLOT_COUNT) << name;
}

// A refusal of the second pass, through the real program.  The list may name
// A.WAV, B.WAV and C.WAV, which exist (in lower case).
struct Refusal {
  const char* name;
  std::string lines;  // after "**4.Generation" and "**32MBit"
  int status;
  std::string out;    // after the banner
  std::string err;
};

inline void expect_refusal(const Refusal& c) {
  SoundProject p;
  p.list(c.lines);
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) p.wav8(name);
  ProcessResult r = p.run();
  EXPECT_EQ(r.status, c.status % 256) << c.name;
  EXPECT_EQ(r.out, "Klangbau Version 7.3, 21.10.2015\n" + c.out) << c.name;
  EXPECT_EQ(r.err, c.err) << c.name;
  EXPECT_TRUE(p.dir.exists(STAGING_FILE_NAME)) << c.name;
}
