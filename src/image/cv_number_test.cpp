#include "image/cv_number.h"

#include <gtest/gtest.h>

TEST(PercentIConversion, ReadsLikeFormattedInput) {
  struct Case {
    const char* text;
    bool read;
    uint32_t value;
  } cases[] = {
      {"29", true, 29},
      {"  29 ", true, 29},
      {"+7", true, 7},
      {"-1", true, 0xFFFFFFFF},
      {"-0", true, 0},
      {"0x1d", true, 29},
      {"0X1D", true, 29},
      {"010", true, 8},        // octal
      {"08", true, 0},         // 8 is no octal digit: the number is 0
      {"0", true, 0},
      {"0x", true, 0},         // no hex digit follows: just the 0
      {"6=7", true, 6},
      {"6 ; remark", true, 6},
      {"99999999999", true, 0xFFFFFFFF},  // never wraps into range
      {"", false, 0},
      {"   ", false, 0},
      {"CV29", false, 0},
      {"-", false, 0},
      {"x1", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t value = 12345;
    EXPECT_EQ(read_i_conversion(c.text, &value), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}
