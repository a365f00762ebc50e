#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/sound_project_test_support.h"
#include "sound/sound.h"
#include "testing/testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes samples16(std::initializer_list<uint16_t> samples) {
  Bytes data;
  for (uint16_t s : samples) {
    data.push_back(static_cast<uint8_t>(s));
    data.push_back(static_cast<uint8_t>(s >> 8));
  }
  return data;
}

// The staging of one run, with WAV files in a temporary directory.  Paths are
// handed over as the second pass does: upper-cased, with the path as written
// beside it.
class Staging {
 public:
  explicit Staging(uint32_t flash_size = 0x420000, int pad_to_12 = 0) {
    RunState& r = run();
    r.options.generation4 = 1;
    r.options.directory_pages = 16;
    r.options.flash_size = flash_size;
    r.options.pad_to_12 = pad_to_12;
    r.slots.capacity = SLOT_COUNT;
    r.staging.file = fopen(dir.file(STAGING_FILE_NAME).c_str(), "wb");
    begin_staging(r);
  }
  ~Staging() {
    if (run().staging.file) fclose(run().staging.file);
  }
  RunState& run() { return t.run(); }

  // Stages into the next slot; the status of an error exit, or -1.
  int stage(const std::string& path, const std::string& written) {
    return t.attempt([&] {
      stage_sound_file(run(), run().slots.count, path.c_str(), written.c_str());
    });
  }
  int stage(const std::string& name) { return stage(dir.file(name), dir.file(name)); }

  std::string staged() {
    if (run().staging.file) fflush(run().staging.file);
    return dir.read(STAGING_FILE_NAME);
  }

  TempDir dir;
  TestRun t;
};

TEST(Staging, SixteenBitSamplesKeepTheirHighByteMadeUnsigned) {
  Staging s;
  s.dir.write("A.WAV", make_wav(11025, 16, 1,
                                samples16({0x1234, 0xFF00, 0x8000, 0x7FFF, 0x0000, 0xFFFF})));
  ASSERT_EQ(s.stage("A.WAV"), -1);
  EXPECT_EQ(s.staged(), std::string("\x92\x7F\x00\xFF\x80\x7F", 6));
  EXPECT_EQ(s.run().slots.length[0], 6u);
  EXPECT_EQ(s.run().slots.is16Bit[0], 1);
}

// Files longer than one piece of 2048 samples come out whole and in order.
TEST(Staging, LongFilesConvertPieceByPiece) {
  const size_t count = 5000;
  Bytes data8, data16;
  std::string expected8, expected16;
  for (size_t i = 0; i < count; ++i) {
    auto sample = static_cast<uint16_t>(i * 7919);
    data16.push_back(static_cast<uint8_t>(sample));
    data16.push_back(static_cast<uint8_t>(sample >> 8));
    expected16 += static_cast<char>((sample >> 8) + 0x80);
    data8.push_back(static_cast<uint8_t>(i * 31));
    expected8 += static_cast<char>(i * 31);
  }
  Staging s;
  s.dir.write("S16.WAV", make_wav(11025, 16, 1, data16));
  s.dir.write("S8.WAV", make_wav(11025, 8, 1, data8));
  ASSERT_EQ(s.stage("S16.WAV"), -1);
  ASSERT_EQ(s.stage("S8.WAV"), -1);
  EXPECT_EQ(s.staged(), expected16 + expected8);
  EXPECT_EQ(s.run().slots.offset[1], 4752u + count);
}

TEST(Staging, OddSixteenBitDataLengthDropsTheLastByte) {
  Bytes data(1001, 0x00);
  data[999] = 0x10;        // high byte of sample 499
  data[1000] = 0x55;       // never read
  Staging s;
  s.dir.write("ODD.WAV", make_wav(11025, 16, 1, data));
  ASSERT_EQ(s.stage("ODD.WAV"), -1);
  EXPECT_EQ(s.run().slots.length[0], 500u);
  std::string staged = s.staged();
  ASSERT_EQ(staged.size(), 500u);
  EXPECT_EQ(static_cast<uint8_t>(staged.back()), 0x90);
}

// The worked example: 11025 8-bit samples, 16 directory pages, 32 MBit.
TEST(Staging, OffsetLengthPaddingAndCapacityReport) {
  for (int pad : {0, 1}) {
    Staging s(0x420000, pad);
    s.dir.write("A.WAV", make_wav(11025, 8, 1, Bytes(11025, 0x41)));
    ASSERT_EQ(s.stage("A.WAV"), -1);
    const SlotTable& slots = s.run().slots;
    EXPECT_EQ(slots.offset[0], 4752u);
    EXPECT_EQ(slots.length[0], pad ? 11028u : 11025u);
    EXPECT_EQ(slots.count, 1);
    EXPECT_EQ(s.staged(), std::string(11025, 0x41) + (pad ? std::string(3, '\x80') : ""));

    EXPECT_EQ(s.t.attempt([&] { report_capacity(s.run()); }), -1);
    EXPECT_EQ(s.t.out(), "1.4 Sekunden von maximal 391.9 Sekunden benutzt\n");
    EXPECT_EQ(s.run().staging.file, nullptr);  // closed
  }
}

TEST(Staging, EmptyDataChunkTakesNoRoomAndNoPadding) {
  Staging s(0x420000, 1);
  s.dir.write("A.WAV", make_wav(11025, 8, 1, Bytes(10, 0x41)));
  s.dir.write("E.WAV", make_wav(11025, 8, 1, {}));
  s.dir.write("B.WAV", make_wav(11025, 8, 1, Bytes(7, 0x42)));
  for (const char* name : {"A.WAV", "E.WAV", "B.WAV"}) ASSERT_EQ(s.stage(name), -1);
  const SlotTable& slots = s.run().slots;
  EXPECT_EQ(slots.offset[1], 4752u + 12);
  EXPECT_EQ(slots.length[1], 0u);
  EXPECT_NE(slots.path[1][0], '\0');  // used, though silent
  EXPECT_EQ(slots.offset[2], 4752u + 12);
  EXPECT_EQ(slots.length[2], 12u);
  EXPECT_EQ(s.run().staging.image_end, 4752u + 24);
}

// A repeated path shares the first slot's data: the file is not opened again
// (here it is gone by then) and nothing is staged.
TEST(Staging, RepeatedPathReusesTheFirstSlotAcrossAnIntervening) {
  Staging s;
  s.dir.write("A.WAV", make_wav(22050, 16, 1, samples16({0x1000, 0x2000})));
  s.dir.write("B.WAV", make_wav(11025, 8, 1, Bytes(5, 0x42)));
  ASSERT_EQ(s.stage("A.WAV"), -1);
  ASSERT_EQ(s.stage("B.WAV"), -1);
  std::string before = s.staged();
  remove(s.dir.file("A.WAV").c_str());
  ASSERT_EQ(s.stage("A.WAV"), -1);

  const SlotTable& slots = s.run().slots;
  EXPECT_EQ(s.staged(), before);
  EXPECT_EQ(slots.count, 3);
  EXPECT_EQ(slots.offset[2], slots.offset[0]);
  EXPECT_EQ(slots.length[2], slots.length[0]);
  EXPECT_EQ(slots.is22kHz[2], 1);
  EXPECT_EQ(slots.is16Bit[2], 0);  // not taken over
  EXPECT_STREQ(slots.path[2], slots.path[0]);
}

// Only 119 characters are kept, so a long path never matches its own row
// and is staged again.
TEST(Staging, PathsOf120CharactersOrMoreAreKeptCut) {
  Staging s;
  std::string name = std::string(130 - s.dir.path().size(), 'L') + ".WAV";
  std::string path = s.dir.file(name);
  ASSERT_GE(path.size(), 120u);
  s.dir.write(name, make_wav(11025, 8, 1, Bytes(4, 0x44)));
  ASSERT_EQ(s.stage(name), -1);
  ASSERT_EQ(s.stage(name), -1);
  const SlotTable& slots = s.run().slots;
  EXPECT_EQ(std::string(slots.path[0]), path.substr(0, 119));
  EXPECT_EQ(std::string(slots.path[1]), path.substr(0, 119));
  EXPECT_EQ(slots.offset[1], slots.offset[0] + 4);
  EXPECT_EQ(s.staged(), std::string(8, 0x44));
}

TEST(Staging, OnlyTheRate22050SetsTheFlag) {
  struct Case {
    uint32_t rate;
    uint8_t flag;
  } cases[] = {{22050, 1}, {11025, 0}, {16000, 0}, {44100, 0}, {22051, 0}};
  Staging s;
  std::string expected;
  for (const Case& c : cases) {
    std::string name = std::to_string(c.rate) + ".WAV";
    s.dir.write(name, make_wav(c.rate, 8, 1, Bytes(3, static_cast<uint8_t>(c.rate))));
    expected += std::string(3, static_cast<char>(c.rate));
    int slot = s.run().slots.count;
    ASSERT_EQ(s.stage(name), -1);
    EXPECT_EQ(s.run().slots.is22kHz[slot], c.flag) << c.rate;
  }
  EXPECT_EQ(s.staged(), expected);  // byte for byte, whatever the rate
}

// The file opens under the path as the list spells it; where that does not
// exist, under any spelling of its letters and with \ as separator.
TEST(Staging, OpensThePathAsWrittenElseWithoutRegardToCase) {
  Staging s;
  s.dir.write("horn.wav", make_wav(11025, 8, 1, Bytes(2, 0x11)));
  s.dir.write("HORN.WAV", make_wav(11025, 8, 1, Bytes(2, 0x22)));
  mkdir(s.dir.file("sub").c_str(), 0755);
  s.dir.write("sub/Horn.WAV", make_wav(11025, 8, 1, Bytes(2, 0x33)));

  ASSERT_EQ(s.stage(s.dir.file("HORN.WAV"), s.dir.file("horn.wav")), -1);
  ASSERT_EQ(s.stage(s.dir.file("SUB\\HORN.WAV"), s.dir.file("SUB\\HORN.WAV")), -1);
  EXPECT_EQ(s.staged(), std::string("\x11\x11\x33\x33"));
  EXPECT_EQ(std::string(s.run().slots.path[0]), s.dir.file("HORN.WAV"));
  EXPECT_EQ(std::string(s.run().slots.path[1]), s.dir.file("SUB\\HORN.WAV"));
}

TEST(Staging, CapacityBoundary) {
  const uint32_t flash = 0x108000;
  struct Case {
    uint32_t image_end;
    int status;
    const char* out;
  } cases[] = {
      // Data that end exactly at the flash's end pass, and the used figure
      // (which counts header and directory) exceeds the maximum.
      {flash, -1, "98.1 Sekunden von maximal 97.7 Sekunden benutzt\n"},
      {flash + 1, 740, "Files zu groß! (98.1 Sekunden, 97.7 Sekunden möglich\n"},
  };
  for (const Case& c : cases) {
    Staging s(flash);
    s.run().staging.image_end = c.image_end;
    EXPECT_EQ(s.t.attempt([&] { report_capacity(s.run()); }), c.status);
    EXPECT_EQ(s.t.out(), c.out);
    // The staging file stays open (and on disk) after the refusal.
    EXPECT_EQ(s.run().staging.file != nullptr, c.status == 740);
  }
}

// ---- Refusals, through the real program ----------------------------------

void limit_file_size_to_64k() {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {65536, 65536};
  setrlimit(RLIMIT_FSIZE, &limit);
}

// A data chunk that claims `missing` bytes more than the file holds.
Bytes cut_short(Bytes wav, uint32_t missing) {
  uint32_t claimed = static_cast<uint32_t>(wav.size() - 44) + missing;
  for (int i = 0; i < 4; ++i) wav[40 + i] = static_cast<uint8_t>(claimed >> (8 * i));
  return wav;
}

TEST(Staging, RefusalsOfTheProgram) {
  Bytes wav8k = make_wav(11025, 8, 1, Bytes(100000, 0x40));
  struct Case {
    const char* name;
    const char* directives;
    const char* file_name;
    Bytes file;
    int status;
    const char* err;
    const char* out;  // after the banner
    void (*before_exec)();
  } cases[] = {
      {"file missing", "", nullptr, {}, 551, "A.WAV nicht gefunden!\n", "", nullptr},
      {"not a WAV file", "", "a.wav", Bytes(40, 'x'), 559,
       "Header-Problem bei File A.WAV (Code=-2)\n", "", nullptr},
      {"too short for a header", "", "a.wav", Bytes(11, 'x'), 559,
       "Header-Problem bei File A.WAV (Code=-1)\n", "", nullptr},
      {"stereo 8-bit", "", "a.wav", make_wav(11025, 8, 2, Bytes(8, 0)), 596,
       "Formatproblem bei File A.WAV (Align=2, bits=8)\n", "", nullptr},
      {"16-bit stereo", "", "a.wav", make_wav(11025, 16, 2, Bytes(8, 0)), 596,
       "Formatproblem bei File A.WAV (Align=4, bits=16)\n", "", nullptr},
      {"16-bit data end early", "", "a.wav", cut_short(make_wav(11025, 16, 1, Bytes(100, 0)), 900),
       616, "A.WAV: Datei endet vorzeitig\n", "", nullptr},
      {"8-bit data end early", "", "a.wav", cut_short(make_wav(11025, 8, 1, Bytes(100, 0)), 1),
       639, "A.WAV: Datei endet vorzeitig\n", "", nullptr},
      {"16-bit staging write fails", "", "a.wav", make_wav(11025, 16, 1, Bytes(200000, 0)), 627,
       "klangtmp.$$$: File too large\n", "", limit_file_size_to_64k},
      {"8-bit staging write fails", "", "a.wav", wav8k, 646, "klangtmp.$$$: File too large\n", "",
       limit_file_size_to_64k},
      // The samples just fit; the padding does not.
      {"padding write fails", "**PAD-12\n", "a.wav", make_wav(11025, 8, 1, Bytes(65536, 0)), 646,
       "klangtmp.$$$: File too large\n", "", limit_file_size_to_64k},
      {"too much sound", "", "a.wav", make_wav(11025, 8, 1, Bytes(0x108000 - 4752 + 1, 0)), 740,
       "", "Files zu groß! (98.1 Sekunden, 97.7 Sekunden möglich\n", nullptr},
  };
  for (const Case& c : cases) {
    SoundProject p(std::string("**4.Generation\n**8MBit\n") + c.directives);
    p.list(plain_lines(0, 12, "a.wav"));
    if (c.file_name) p.dir.write(c.file_name, c.file);
    ProcessResult r = p.run(c.before_exec);
    EXPECT_EQ(r.status, c.status % 256) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.out, std::string("Klangbau Version 7.3, 21.10.2015\n") + c.out) << c.name;
    EXPECT_TRUE(p.dir.exists(STAGING_FILE_NAME)) << c.name;
  }
}

}  // namespace
