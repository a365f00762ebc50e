#include "convert/convert.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "testing/testing.h"

namespace {

const char BANNER[] = "Klangbau Version 7.3, 21.10.2015\n";

struct Converted {
  ProcessResult result;
  std::string list;  // list.txt.neu
  std::string log;   // list.txt.neu2
};

Converted convert(const std::string& input) {
  TempDir dir;
  dir.write("list.txt", input);
  Converted c;
  c.result = run_klangbau_binary({"list.txt"}, in_directory(dir));
  c.list = dir.read("list.txt.neu");
  c.log = dir.read("list.txt.neu2");
  return c;
}

// The generated tail from `first` on, as the 2015 list lays it out.
std::string tail_from(int first) {
  std::string tail;
  int n = first;
  auto sounds = [&](int count) {
    for (int i = 0; i < count; ++i) tail += std::to_string(n++) + ": ---\n";
  };
  tail += ";Verzoegerungsgeraeusch\n";
  sounds(3);
  tail += ";Zusatzgeraeusch tempoabhaengig\n";
  sounds(2);
  tail += ";Reserve\n";
  sounds(1);
  tail += ";Geraeusch fuer Reed2\n";
  sounds(3);
  for (int j = 1; j <= 5; ++j) {
    tail += ";Reserve " + std::to_string(j) + " (dreiteilig)\n";
    sounds(3);
  }
  int j = 1;
  while (n <= 125) {
    tail += ";Reserve " + std::to_string(j++) + " (einteilig)\n";
    sounds(1);
  }
  return tail;
}

TEST(Conversion, WorkedExample) {
  Converted c = convert(
      "**4.Generation\n"
      "36: x.wav\n"
      "0037: a.wav\n38: b.wav\n39: c.wav\n40: d\n41: e.wav\n"
      ";horn\n"
      "42: f.wav\n43: g.wav\n44: h.wav\n");
  EXPECT_EQ(c.result.status, 0);
  EXPECT_EQ(c.result.out, std::string(BANNER) +
                              "Konvertiere list.txt ins 2015er-Format als list.txt.neu\n"
                              "fertig!\n");
  EXPECT_EQ(c.list, "**4.Generation\n36: x.wav\n37: a.wav\n38: c.wav\n39: e.wav\n"
                    ";horn\n40: f.wav\n41: h.wav\n" +
                        tail_from(42));
  EXPECT_EQ(c.log, "**4.Generation\n37 -> 37: a.wav\n39 -> 38: c.wav\n"
                   "41 -> 39: e.wav\n;horn\n42 -> 40: f.wav\n44 -> 41: h.wav\n");
}

TEST(Conversion, TailNumbering) {
  // Spot checks of the tail against the numbers the 2015 layout fixes.
  std::string from37 = tail_from(37);
  EXPECT_NE(from37.find(";Reserve 5 (dreiteilig)\n58: ---\n59: ---\n60: ---\n"
                        ";Reserve 1 (einteilig)\n61: ---\n"),
            std::string::npos);
  EXPECT_TRUE(from37.ends_with(";Reserve 65 (einteilig)\n125: ---\n"));

  Converted none = convert(";only comments\n5: a.wav\n");
  EXPECT_EQ(none.list, ";only comments\n5: a.wav\n" + from37);
  EXPECT_EQ(none.log, ";only comments\n");

  // A list that ends at 50: the kept lines reach 44 (old 49).
  std::string input;
  for (int n = 37; n <= 50; ++n) input += std::to_string(n) + ": s" + std::to_string(n) + "\n";
  Converted short_list = convert(input);
  EXPECT_NE(short_list.list.find("44: s49\n;Verzoegerungsgeraeusch\n45: ---\n"),
            std::string::npos);
  EXPECT_NE(short_list.list.find(";Reserve 1 (einteilig)\n69: ---\n"), std::string::npos);
  EXPECT_TRUE(short_list.list.ends_with(";Reserve 57 (einteilig)\n125: ---\n"));
}

TEST(Conversion, CompleteOldList) {
  std::string input;
  for (int n = 0; n <= 127; ++n) {
    if (n == 120) input += ";between\n";
    input += std::to_string(n) + ": f" + std::to_string(n) + ".wav\n";
  }
  Converted c = convert(input);
  EXPECT_EQ(c.result.status, 0);
  std::string expected;
  for (int n = 0; n <= 36; ++n) expected += std::to_string(n) + ": f" + std::to_string(n) + ".wav\n";
  for (int g = 0; g < 16; ++g) {
    for (int k : {0, 2, 4})
      expected += std::to_string(37 + 3 * g + k / 2) + ": f" + std::to_string(37 + 5 * g + k) + ".wav\n";
  }
  for (int n = 117; n <= 125; ++n) {
    if (n == 120) expected += ";between\n";
    expected += std::to_string(n - 32) + ": f" + std::to_string(n) + ".wav\n";
  }
  expected += tail_from(94);
  expected += "126: f126.wav\n127: f127.wav\n";
  EXPECT_EQ(c.list, expected);
  EXPECT_NE(c.log.find("116 -> 84: f116.wav\n117 -> 85: f117.wav\n"), std::string::npos);
  EXPECT_NE(c.log.find(";between\n120 -> 88: f120.wav\n"), std::string::npos);
  EXPECT_TRUE(c.log.ends_with("125 -> 93: f125.wav\n"));
}

TEST(Conversion, Stops) {
  struct Case {
    const char* input;
    const char* message;
    const char* written;  // the converted list up to the stop
  } cases[] = {
      {"37: a\n39: c\n", "Index 38 erwartet, 39 gefunden - Abbruch\n", "37: a\n"},
      {"37: a\n37: a\n", "Index 38 erwartet, 37 gefunden - Abbruch\n", "37: a\n"},
      {"37 a.wav\n", "kein : in Zeile 37 a.wav\n gefunden - Abbruch\n", ""},
      // Dropped lines need no colon; kept ones do.
      {"37: a\n38 b\n39 c\n", "kein : in Zeile 39 c\n gefunden - Abbruch\n", "37: a\n"},
  };
  for (const Case& c : cases) {
    Converted result = convert(c.input);
    EXPECT_EQ(result.result.status, 0);
    EXPECT_EQ(result.result.out, std::string(BANNER) +
                                     "Konvertiere list.txt ins 2015er-Format als list.txt.neu\n" +
                                     c.message);
    EXPECT_EQ(result.list, c.written);
  }
}

TEST(Conversion, LowNumbersBetweenTheGroupsAndAfterThem) {
  std::string input;
  for (int n = 37; n <= 116; ++n) {
    input += std::to_string(n) + ": a\n";
    if (n == 40) input += "5: low\n";
  }
  Converted kept = convert(input);
  EXPECT_NE(kept.list.find("38: a\n5: low\n39: a\n"), std::string::npos);
  EXPECT_EQ(kept.log.find("low"), std::string::npos);

  Converted stopped = convert(input + "117: a\n5: low\n");
  EXPECT_TRUE(stopped.result.out.ends_with("Index 118 erwartet, 5 gefunden - Abbruch\n"));
}

TEST(Conversion, FileErrors) {
  TempDir dir;
  ProcessResult missing = run_klangbau_binary({"absent.txt"}, in_directory(dir));
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.err, "absent.txt: No such file or directory\n");
  EXPECT_FALSE(dir.exists("absent.txt.neu"));

  // A name whose output names would not fit is refused, never cut.
  std::string long_name(496, 'n');
  ProcessResult too_long = run_klangbau_binary({long_name}, in_directory(dir));
  EXPECT_EQ(too_long.status, 0);
  EXPECT_EQ(too_long.err, long_name + ": File name too long\n");

  dir.write("list.txt", "1: a\n");
  mkdir(dir.file("list.txt.neu").c_str(), 0700);
  ProcessResult blocked = run_klangbau_binary({"list.txt"}, in_directory(dir));
  EXPECT_EQ(blocked.status, 0);
  EXPECT_EQ(blocked.err, "list.txt.neu: Is a directory\n");
}

}  // namespace
