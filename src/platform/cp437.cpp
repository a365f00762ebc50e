#include "platform/cp437.h"

#include <cstdint>

// The second byte of a two-byte UTF-8 sequence that starts with 0xC3.
static char from_c3(uint8_t second) {
  switch (second) {
    case 0xA4: return '\x84';  // ä
    case 0xB6: return '\x94';  // ö
    case 0xBC: return '\x81';  // ü
    case 0x9F: return '\xE1';  // ß
    case 0x84: return '\x8E';  // Ä
    case 0x96: return '\x99';  // Ö
    case 0x9C: return '\x9A';  // Ü
    default: return '?';
  }
}

// Bytes that follow a lead byte of UTF-8 (10xxxxxx).
static bool is_continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

const char* utf8_to_cp437(const char* text, char* buffer, size_t size) {
  const char* p = text;
  while (*p && static_cast<uint8_t>(*p) < 0x80) ++p;
  if (!*p) return text;

  size_t n = 0;
  for (p = text; *p;) {
    uint8_t b = static_cast<uint8_t>(*p);
    char converted;
    if (b < 0x80) {
      converted = *p++;
    } else if (b == 0xC3 && is_continuation(static_cast<uint8_t>(p[1]))) {
      converted = from_c3(static_cast<uint8_t>(p[1]));
      p += 2;
    } else {
      converted = '?';
      ++p;
      while (is_continuation(static_cast<uint8_t>(*p))) ++p;
    }
    if (n + 1 >= size) return text;
    buffer[n++] = converted;
  }
  buffer[n] = '\0';
  return buffer;
}
