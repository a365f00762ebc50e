// What a programmer sends for an image, built from the wire format for the
// tests of the virtual receiver.
#pragma once

#include <cstdint>
#include <vector>

// The stream for `image` (without its checksum) to an unflagged receiver:
// the opening packet, the reset byte 0x41 when `after_reset`, the wake-up
// bytes, frames of two pages (the last one completed by a zero page), the
// end byte and the checksum's low 16 bits.
inline std::vector<uint8_t> programmer_stream(const std::vector<uint8_t>& image,
                                              bool after_reset) {
  std::vector<uint8_t> s = {0x24, 0x80, 0x11, 0x17, 0x04, 0xA6};
  if (after_reset) s.push_back(0x41);
  for (int b = 0xF3; b <= 0xFF; ++b) s.push_back(static_cast<uint8_t>(b));
  std::vector<uint8_t> pages = image;
  if (pages.size() % 528) pages.resize(pages.size() + 264, 0);
  for (size_t at = 0; at < pages.size(); at += 528) {
    s.insert(s.end(), {0x76, 0xFF, 0xFF, 0x23});
    s.insert(s.end(), pages.begin() + static_cast<long>(at),
             pages.begin() + static_cast<long>(at + 528));
    s.insert(s.end(), 96, 0xFF);
  }
  uint32_t sum = 0;
  for (uint8_t b : image) sum += b;
  s.insert(s.end(), {0x33, static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)});
  return s;
}
