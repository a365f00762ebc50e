#include <gtest/gtest.h>

#include "filelist/filelist.h"
#include "testing/testing.h"

namespace {

struct Outcome {
  int status;  // -1: the list was accepted
  ListOptions options;
  std::string out, err;
};

Outcome read_list(const std::string& list, bool diagnostic = false) {
  TestRun t;
  t.run().diagnostic = diagnostic;
  t.run().file_list = file_with(list);
  Outcome outcome;
  outcome.status = t.attempt([&] { read_directives(t.run()); });
  outcome.options = t.run().options;
  outcome.out = t.out();
  outcome.err = t.err();
  if (outcome.status == -1) {
    // The list is rewound for the second pass.
    EXPECT_EQ(ftell(t.run().file_list), 0);
    EXPECT_FALSE(feof(t.run().file_list));
  }
  fclose(t.run().file_list);
  return outcome;
}

const char BASE[] = "**4.Generation\n**8MBit\n";

TEST(Directives, MinimalListTakesTheStartValues) {
  Outcome o = read_list(BASE);
  ASSERT_EQ(o.status, -1);
  EXPECT_EQ(o.options.flash_size, 0x108000u);
  EXPECT_EQ(o.options.directory_pages, 16);
  EXPECT_EQ(o.options.generation4, 1);
  EXPECT_EQ(o.options.mega_168 + o.options.xmega + o.options.pad_to_12 +
                o.options.cv_only + o.options.auto_anzahl,
            0);
  EXPECT_EQ(o.out, "");
}

TEST(Directives, PrefixesDecide) {
  struct Case {
    const char* lines;
    uint32_t flash_size;
    int mega_168, xmega, pad_to_12, cv_only, auto_anzahl;
  } cases[] = {
      {"**XMe\n", 0x108000, 0, 1, 0, 0, 0},            // five characters suffice
      {"**XME\n **XMega\n", 0x108000, 0, 0, 0, 0, 0},  // case and position matter
      {"**16MBitmore\n", 0x210000, 0, 0, 0, 0, 0},     // only eight compared
      {"**16mbit\n", 0x108000, 0, 0, 0, 0, 0},
      {"**32MBit\n", 0x420000, 0, 0, 0, 0, 0},          // after **8MBit: last wins
      {"**Mega168\n**PAD-12\n**nurCVs\n", 0x108000, 1, 0, 1, 1, 0},
      {"**Mega16\n", 0x108000, 0, 0, 0, 0, 0},          // shorter than nine
      {"AUTO\nAUTOBAHN.WAV\nauto\n AUTO\n", 0x108000, 0, 0, 0, 0, 2},
      {"**8MBit\r\n", 0x108000, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Outcome o = read_list(std::string(BASE) + c.lines);
    ASSERT_EQ(o.status, -1) << c.lines;
    EXPECT_EQ(o.options.flash_size, c.flash_size) << c.lines;
    EXPECT_EQ(o.options.mega_168, c.mega_168) << c.lines;
    EXPECT_EQ(o.options.xmega, c.xmega) << c.lines;
    EXPECT_EQ(o.options.pad_to_12, c.pad_to_12) << c.lines;
    EXPECT_EQ(o.options.cv_only, c.cv_only) << c.lines;
    EXPECT_EQ(o.options.auto_anzahl, c.auto_anzahl) << c.lines;
  }
  // The size directives overwrite each other in file order.
  EXPECT_EQ(read_list("**4.Generation\n**32MBit\n**8MBit\n").options.flash_size,
            0x108000u);
}

TEST(Directives, Refusals) {
  std::string autos126, autos127;
  for (int i = 0; i < 126; ++i) autos126 += "AUTO\n";
  autos127 = autos126 + "AUTO\n";
  struct Case {
    std::string list;
    int status;
    const char* message;
  } cases[] = {
      {"**8MBit\n", 375, "nur Empfaenger der 4. Generation unterstuetzt!\n"},
      {"", 375, "nur Empfaenger der 4. Generation unterstuetzt!\n"},
      {"**nurCVs\n**8MBit\n", 375, "nur Empfaenger der 4. Generation unterstuetzt!\n"},
      {"**4.Generation\n", 381, "keine FLASHSIZE angegeben!\n"},
      {"**4.Generatio\n**8MBit\n", 375, "nur Empfaenger der 4. Generation unterstuetzt!\n"},
      // The AUTO limit strikes while reading, before the other checks.
      {autos127, 366, "zu viele AUTO-Bloecke!\n"},
  };
  for (const Case& c : cases) {
    Outcome o = read_list(c.list);
    EXPECT_EQ(o.status, c.status) << c.list;
    EXPECT_EQ(o.err, c.message) << c.list;
    EXPECT_EQ(o.out, "");
  }
  Outcome full = read_list(std::string(BASE) + autos126);
  EXPECT_EQ(full.status, -1);
  EXPECT_EQ(full.options.auto_anzahl, 126);
}

TEST(Directives, DiagnosticLineOnlyWhenAccepted) {
  Outcome o = read_list("**4.Generation\n**32MBit\n**XMega\n**PAD-12\nAUTO 3\n",
                        /*diagnostic=*/true);
  EXPECT_EQ(o.out,
            "FLASHSIZE=0x420000 mega_168=0 xmega=1 pad_to_12=1 auto_anzahl=1\n");
  EXPECT_EQ(read_list("**4.Generation\n", true).out, "");
  EXPECT_EQ(read_list(BASE, false).out, "");
}

}  // namespace
