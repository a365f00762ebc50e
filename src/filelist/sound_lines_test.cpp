#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/filelist.h"
#include "filelist/sound_project_test_support.h"

namespace {

struct Layout {
  const char* name;
  std::string lines;
  std::vector<SlotRange> slots;
  int count;  // slots handed out at the end of the pass
};

TEST(SoundLines, SlotLayoutsOfTheSeries) {
  const std::string twelve = plain_lines(0, 12, "p.wav");
  Layout layouts[] = {
      // The 1000 series moves on without a fill; the gap repeats the unused
      // slot 131.
      {"plain lines, then 1005", twelve + "1005: x.wav\n",
       {{0, 11, "P.WAV"}, {12, 136, ""}, {137, 137, "X.WAV"}, {138, 527, ""}}, 138},
      // The 2000 series repeats the last sound up to slot 262; 263 is skipped.
      {"plain lines, then 2000", twelve + "2000: y.wav\n",
       {{0, 262, "P.WAV"}, {263, 263, ""}, {264, 264, "Y.WAV"}, {265, 527, ""}}, 265},
      {"1000, then 1003", "1000: a.wav\n1003: b.wav\n",
       {{0, 131, ""}, {132, 134, "A.WAV"}, {135, 135, "B.WAV"}, {136, 527, ""}}, 136},
      {"1131, then 2000: no fill", "1131: x.wav\n2000: y.wav\n",
       {{0, 262, ""}, {263, 263, "X.WAV"}, {264, 264, "Y.WAV"}, {265, 527, ""}}, 265},
      // A fill that starts at slot 0 has nothing to repeat.
      {"2000 first", "2000: y.wav\n",
       {{0, 263, ""}, {264, 264, "Y.WAV"}, {265, 527, ""}}, 265},
      {"3131", "3131: z.wav\n", {{0, 526, ""}, {527, 527, "Z.WAV"}}, 528},
      // Past slot 396 the last sound repeats up to 526; 527 stays unused.
      {"list ending at 3010", "3000: a.wav\n3010: z.wav\n",
       {{0, 395, ""}, {396, 405, "A.WAV"}, {406, 526, "Z.WAV"}, {527, 527, ""}}, 527},
  };
  for (const Layout& layout : layouts) {
    SoundProject p;
    p.list(layout.lines);
    for (const char* name : {"p.wav", "x.wav", "y.wav", "a.wav", "b.wav", "z.wav"})
      p.wav8(name);
    InProcessRun r;
    p.run_in_process(&r);
    EXPECT_EQ(r.status, 1) << layout.name << "\n" << r.out << r.err;  // a complete file-mode run
    expect_layout(r.run->slots, layout.slots, layout.name);
    EXPECT_EQ(r.run->slots.count, layout.count) << layout.name;
    EXPECT_EQ(r.run->slots.capacity, SLOT_COUNT) << layout.name;
  }
}

// Skipped lines, the colon search, "---", case folding and the repeat search
// across letter case, in one list.
TEST(SoundLines, LineRules) {
  SoundProject p;
  p.list(
      "; a comment\n"
      "*another\n"
      "ab\n"
      "\n"
      "00: horn.wav\n"
      "01: HORN.WAV\n"
      "002: a.wav\n"    // colon at the 4th character
      "0003: b.wav\n"   // and at the 5th
      "04:c.wav\n"      // the character after the colon is skipped
      "05: Mixed.Wav\n"
      "06: p.wav\n07: p.wav\n08: p.wav\n09: p.wav\n10: p.wav\n11: p.wav\n"
      "12: --- frei\n"
      "13: \x84x.wav\r\n"  // bytes from 0x80 up stay; CR LF is a line end
      "000014: d.wav\n"    // colon at the 7th character
      "15: SUB\\HORN.WAV\n");  // made on Windows; lies in sub/Horn.WAV
  for (const char* name : {"horn.wav", "a.wav", "b.wav", ".wav", "Mixed.Wav", "p.wav",
                           "\x84x.wav", "d.wav"})
    p.wav8(name, 10, static_cast<uint8_t>(name[0]));
  mkdir(p.dir.file("sub").c_str(), 0755);
  p.wav8("sub/Horn.WAV");
  InProcessRun r;
  p.run_in_process(&r);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  expect_layout(r.run->slots,
                {{0, 1, "HORN.WAV"},
                 {2, 2, "A.WAV"},
                 {3, 3, "B.WAV"},
                 {4, 4, ".WAV"},
                 {5, 5, "MIXED.WAV"},
                 {6, 11, "P.WAV"},
                 {12, 12, ""},
                 {13, 13, "\x84X.WAV"},
                 {14, 14, "D.WAV"},
                 {15, 15, "SUB\\HORN.WAV"},
                 {16, 527, ""}},
                "line rules");
  // One staged copy per file, HORN.WAV included: 9 files of 10 samples.
  EXPECT_EQ(r.run->staging.image_end, 4752u + 9 * 10);
}

TEST(SoundLines, Refusals) {
  const std::string capacity = "0.4 Sekunden von maximal 391.9 Sekunden benutzt\n";
  Refusal cases[] = {
      {"three blanks", "   \n", 452, "", "ungültige Zeile:    !\n"},
      {"no digit first", "x1: a.wav\n", 452, "", "ungültige Zeile: x1: a.wav!\n"},
      {"colon at the 2nd character", "5: a.wav\n", 469, "",
       "ungültige Zeile (kein Doppelpunkt) 5: a.wav\n"},
      {"colon at the 8th character", "0000000: a.wav\n", 469, "",
       "ungültige Zeile (kein Doppelpunkt) 0000000: a.wav\n"},
      // The longer line before leaves a colon in the buffer behind "123".
      {"short line after a long one", "000000: ---\n123\n", 469, "",
       "ungültige Zeile (kein Doppelpunkt) 123\n"},
      {"gap in plain numbers", "00: a.wav\n02: a.wav\n", 34,
       "ungültige Soundnummer: 02: a.wav\n", ""},
      {"repeated plain number", "00: a.wav\n00: a.wav\n", 34,
       "ungültige Soundnummer: 00: a.wav\n", ""},
      {"series going back", "1005: a.wav\n1004: a.wav\n", 34,
       "ungültige Soundnummer: 1004: a.wav\n", ""},
      {"a line past the last slot", "3131: a.wav\n528: a.wav\n", 522, "zu viele Zeilen!\n", ""},
      {"another number after 3131", "3131: a.wav\n529: a.wav\n", 34,
       "ungültige Soundnummer: 529: a.wav\n", ""},
      // The pairing check of slots 0 to 11 follows the capacity report.
      {"slot 0 without slot 4", "00: a.wav\n", 760,
       capacity + "Fehler: Slot 0 benutzt, Slot 4 unbenutzt!\n", ""},
      {"slot 5 without slot 1", "00: ---\n01: ---\n02: ---\n03: ---\n04: ---\n05: a.wav\n", 754,
       capacity + "Fehler: Slot 1 unbenutzt, Slot 5 benutzt!\n", ""},
  };
  for (const Refusal& c : cases) expect_refusal(c);
}

}  // namespace
