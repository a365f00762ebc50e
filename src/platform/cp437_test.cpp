#include "platform/cp437.h"

#include <gtest/gtest.h>

#include <string>

TEST(Cp437, GermanLettersBecomeTheirConsoleBytes) {
  struct Case {
    const char* utf8;
    const char* cp437;
  };
  for (Case c : {
           Case{"\nEmpfänger sollte kurz hupen\n", "\nEmpf\x84nger sollte kurz hupen\n"},
           Case{"äöüß ÄÖÜ", "\x84\x94\x81\xE1 \x8E\x99\x9A"},
           Case{" Länge zu groß: %ld\n", " L\x84nge zu gro\xE1: %ld\n"},
           // Other characters, of two, three or four bytes, become one '?'.
           Case{"é€😀 x", "??? x"},
           // A stray lead or continuation byte too.
           Case{"a\xC3", "a?"},
           Case{"a\x80z", "a?z"},
       }) {
    char buffer[64];
    EXPECT_EQ(std::string(utf8_to_cp437(c.utf8, buffer, sizeof buffer)), c.cp437)
        << c.utf8;
  }
}

TEST(Cp437, PlainAsciiIsReturnedUnchanged) {
  const char* text = "Open %s: Error %ld\n";
  char buffer[64];
  EXPECT_EQ(utf8_to_cp437(text, buffer, sizeof buffer), text);
}

TEST(Cp437, TextThatDoesNotFitStaysAsItIs) {
  const char* text = "Empfänger";  // 9 bytes converted, plus the end
  char buffer[9];
  EXPECT_EQ(utf8_to_cp437(text, buffer, sizeof buffer), text);
  char enough[10];
  EXPECT_STREQ(utf8_to_cp437(text, enough, sizeof enough), "Empf\x84nger");
}
