#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/filelist.h"
#include "filelist/sound_project_test_support.h"
#include "filelist/text_line.h"

namespace {

// Reads the AUTO blocks of `list` as the second pass does, with auto_anzahl
// as the directive pass would have counted it.  The status of an error exit,
// or -1.
int read_blocks(TestRun& t, const std::string& list, int auto_anzahl) {
  RunState& run = t.run();
  run.options.auto_anzahl = auto_anzahl;
  run.file_list = file_with(list);
  int status = t.attempt([&] {
    while (read_text_line(run.file_list, run.line, LINE_BUFFER)) {
      strip_line_feeds(run.line);
      read_auto_block(run);
    }
  });
  fclose(run.file_list);
  run.file_list = nullptr;
  return status;
}

std::vector<int> steps_given(const AutoTable& autos) {
  std::vector<int> steps;
  for (int row = 0; row < AUTO_STEPS; ++row)
    if (autos.step_given[row]) steps.push_back(row + 1);
  return steps;
}

// `count` AUTO lines without a number, each with its block "F<i>", "S<i>",
// "T<i>"; explicit Fahrstufen where `explicit_steps` gives one (0: none).
std::string blocks(int count, std::vector<int> explicit_steps = {}) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    int step = i < static_cast<int>(explicit_steps.size()) ? explicit_steps[i] : 0;
    list += step ? "AUTO " + std::to_string(step) + "\n" : "AUTO\n";
    for (const char* kind : {"F", "S", "T"}) list += kind + std::to_string(i) + "\n";
  }
  return list;
}

TEST(AutoBlocks, AutomaticFahrstufen) {
  std::vector<int> one_to_126;
  for (int s = 1; s <= 126; ++s) one_to_126.push_back(s);
  struct Case {
    int auto_anzahl;
    std::vector<int> explicit_steps;
    std::vector<int> steps;
  } cases[] = {
      {3, {}, {1, 43, 85}},
      {4, {}, {1, 33, 64, 96}},
      {126, {}, one_to_126},
      // A numbered block counts in auto_anzahl but does not move the others.
      {3, {0, 50, 0}, {1, 43, 50}},
  };
  for (const Case& c : cases) {
    TestRun t;
    ASSERT_EQ(read_blocks(t, blocks(c.auto_anzahl, c.explicit_steps), c.auto_anzahl), -1);
    const AutoTable& autos = t.run().autos;
    EXPECT_EQ(steps_given(autos), c.steps) << c.auto_anzahl;
    // The automatic blocks keep their order: block i at the i-th step.
    EXPECT_STREQ(autos.first_path[c.steps.back() - 1],
                 c.explicit_steps.empty() ? ("F" + std::to_string(c.auto_anzahl - 1)).c_str()
                                          : "F1");
    EXPECT_EQ(autos.pass_state, 1);
  }
}

// Block lines are stored as they stand; the third sound of Fahrstufe s goes
// to row s-2, and Fahrstufen 1 and 2 share row 0, the later block winning.
TEST(AutoBlocks, RowsOfTheBlockLines) {
  TestRun t;
  std::string long_line(150, 'L');
  ASSERT_EQ(read_blocks(t,
                        "AUTO 2\nf2\ns2\nthird of 2\n"
                        "AUTO 1\n;not a comment\nAUTO 3\nthird of 1\n"
                        "AUTO 5\n\n" + long_line + "\nlower.wav\n",
                        3),
            -1);
  const AutoTable& autos = t.run().autos;
  EXPECT_STREQ(autos.first_path[0], ";not a comment");
  EXPECT_STREQ(autos.second_path[0], "AUTO 3");
  EXPECT_STREQ(autos.third_path[0], "third of 1");
  EXPECT_STREQ(autos.first_path[1], "f2");
  EXPECT_STREQ(autos.first_path[4], "");
  EXPECT_EQ(std::string(autos.second_path[4]), long_line.substr(0, 119));
  EXPECT_STREQ(autos.third_path[3], "lower.wav");
  EXPECT_EQ(steps_given(autos), (std::vector<int>{1, 2, 5}));
  for (int row = 0; row < AUTO_STEPS; ++row)
    EXPECT_EQ(autos.third_given[row], row == 0 || row == 3) << row;
}

// Blocks for Fahrstufe 64 and then 1 beside twelve plain lines: every step
// without a block takes the second sound of the nearest block below it.
TEST(AutoBlocks, SlotLayoutOfAnAutoList) {
  SoundProject p;
  p.list(plain_lines(0, 12, "p.wav") +
         "AUTO 64\nb1.wav\nb2.wav\nb3.wav\n"
         "AUTO\na1.wav\na2.wav\na3.wav\n");
  for (const char* name : {"p.wav", "a1.wav", "a2.wav", "a3.wav", "b1.wav", "b2.wav", "b3.wav"})
    p.wav8(name);
  InProcessRun r;
  p.run_in_process(&r);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  expect_layout(r.run->slots,
                {{0, 11, "P.WAV"},
                 {12, 131, ""},
                 {132, 132, "A1.WAV"},   // 1000
                 {133, 194, "A2.WAV"},
                 {195, 195, "B1.WAV"},   // 1063: Fahrstufe 64
                 {196, 262, "B2.WAV"},   // up to 1126, then repeated
                 {263, 263, ""},
                 {264, 326, "A2.WAV"},   // 2000
                 {327, 394, "B2.WAV"},
                 {395, 395, ""},
                 {396, 396, "A3.WAV"},   // 3000
                 {397, 457, "A2.WAV"},
                 {458, 458, "B3.WAV"},   // 3062: the third sound of Fahrstufe 64
                 {459, 526, "B2.WAV"},
                 {527, 527, ""}},
                "AUTO list");
  EXPECT_EQ(r.run->staging.image_end, 4752u + 7 * 10);  // each file staged once
  // The completion leaves the flags as the blocks set them.
  EXPECT_EQ(steps_given(r.run->autos), (std::vector<int>{1, 64}));
}

// A single block: its second sound everywhere but at 1000 and 3000.
TEST(AutoBlocks, SingleBlockFillsEveryStep) {
  SoundProject p;
  p.list("AUTO\nf.wav\ns.wav\nt.wav\n");
  for (const char* name : {"f.wav", "s.wav", "t.wav"}) p.wav8(name);
  InProcessRun r;
  p.run_in_process(&r);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  expect_layout(r.run->slots,
                {{0, 131, ""},
                 {132, 132, "F.WAV"},
                 {133, 262, "S.WAV"},
                 {263, 263, ""},
                 {264, 394, "S.WAV"},
                 {395, 395, ""},
                 {396, 396, "T.WAV"},
                 {397, 526, "S.WAV"},
                 {527, 527, ""}},
                "single block");
}

TEST(AutoBlocks, Refusals) {
  const std::string block = "a.wav\nb.wav\nc.wav\n";
  const char* mixed = "entweder nur Sounds > 1000 oder nur Sounds mit '+'-Kennung!\n";
  Refusal cases[] = {
      {"1000 after a block", "AUTO\n" + block + "1000: a.wav\n", 477, "", mixed},
      {"2000 after a block", "AUTO\n" + block + "2000: a.wav\n", 488, "", mixed},
      {"3000 after a block", "AUTO\n" + block + "3000: a.wav\n", 502, "", mixed},
      {"block after a series line", "1000: a.wav\nAUTO\n" + block, 410, "", mixed},
      {"Fahrstufe 127", "AUTO 127\n" + block, 422, "",
       "ungültige ZeileAUTO 127\nFahrstufe nicht im Bereich 1 bis 126\n"},
      {"Fahrstufe -1", "AUTO -1\n" + block, 422, "",
       "ungültige ZeileAUTO -1\nFahrstufe nicht im Bereich 1 bis 126\n"},
      // Cut short by the end of the file, the block would take stale text.
      {"block cut short", "AUTO 1\na.wav\nb.wav\n", 430, "",
       "unvollständiger AUTO-Block: AUTO 1\n"
       "Die Fileliste endet vor den drei Zeilen des Blocks!\n"},
      {"no block for Fahrstufe 1", "AUTO 2\n" + block, 675, "",
       "AUTO-Sounds müssen bei Fahrstufe 1 beginnen!\n"},
      {"Fahrstufe 1 without a second sound", "AUTO\na.wav\n\nc.wav\n", 675, "",
       "AUTO-Sounds müssen bei Fahrstufe 1 beginnen!\n"},
      // Generated lines are refused like lines of the file, and quoted.
      {"plain lines up to slot 132", plain_lines(0, 133, "a.wav") + "AUTO\n" + block, 34,
       "ungültige Soundnummer: 1000: a.wav\n", ""},
      {"generated path not found", "AUTO\nmissing.wav\nb.wav\nc.wav\n", 551, "",
       "MISSING.WAV nicht gefunden!\n"},
  };
  for (const Refusal& c : cases) expect_refusal(c);
}

}  // namespace
