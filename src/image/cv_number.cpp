#include "image/cv_number.h"

#include <cctype>

static int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

bool read_i_conversion(const char* text, uint32_t* value) {
  const char* p = text;
  while (isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';

  int base = 10;
  bool digits = false;
  if (p[0] == '0') {
    digits = true;  // the 0 itself is a number, even when nothing follows
    if ((p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) {
      base = 16;
      p += 2;
    } else {
      base = 8;
      ++p;
    }
  }
  uint64_t magnitude = 0;
  for (; digit_value(*p) < base; ++p) {
    digits = true;
    if (magnitude < 0x100000000ull)
      magnitude = magnitude * base + digit_value(*p);
  }
  if (!digits) return false;
  if (magnitude > 0xFFFFFFFFull) magnitude = 0xFFFFFFFFull;
  uint32_t result = static_cast<uint32_t>(magnitude);
  *value = negative ? 0u - result : result;
  return true;
}
