// Test support: images built straight from the layout rules, and the
// serial stream taken apart frame by frame, so that the program's output is
// checked against something it did not produce itself.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace image_expectation {

using Bytes = std::vector<uint8_t>;

// A slot with sound; every slot not listed is unused.
struct Sound {
  int slot;
  uint32_t length;
  uint32_t offset;
  bool is22kHz;
  uint8_t ni;
  uint8_t pi;
};

inline void append_entry(Bytes& image, uint32_t length, uint32_t offset,
                         bool is22kHz, uint8_t ni, uint8_t pi) {
  uint32_t negated = (0x1000000 - length) % 0x1000000;
  uint32_t page = offset / 264, byte_in_page = offset % 264;
  uint32_t address = page * 512 + byte_in_page;
  image.push_back(static_cast<uint8_t>(negated & 0xFF));
  image.push_back(static_cast<uint8_t>((negated >> 8) & 0xFF));
  image.push_back(static_cast<uint8_t>(address & 0xFF));
  image.push_back(static_cast<uint8_t>((address >> 8) & 0xFF));
  image.push_back(static_cast<uint8_t>((address >> 16) & 0xFF));
  image.push_back(ni);
  image.push_back(static_cast<uint8_t>(negated >> 16));
  image.push_back(static_cast<uint8_t>(((pi * 2) & 0xFF) | (is22kHz ? 0 : 1)));
}

// Header, the 528 directory entries (unused slots of slot block 0 carry ni
// 0xFF, all others 0) and the sample pages, without the checksum.
inline Bytes image_of(const Bytes& header, const std::vector<Sound>& sounds,
                      const Bytes& staged) {
  Bytes image = header;
  for (int slot = 0; slot < 528; ++slot) {
    const Sound* sound = nullptr;
    for (const Sound& s : sounds)
      if (s.slot == slot) sound = &s;
    if (sound)
      append_entry(image, sound->length, sound->offset, sound->is22kHz, sound->ni, sound->pi);
    else
      append_entry(image, 0, 0, false, slot < 132 ? 0xFF : 0, 0);
  }
  // Adding 128 modulo 256 flips the top bit.
  for (uint8_t b : staged) image.push_back(static_cast<uint8_t>(b ^ 0x80));
  while ((image.size() - 4752) % 264 != 0) image.push_back(0);
  return image;
}

inline uint32_t byte_sum(const Bytes& bytes) {
  uint32_t sum = 0;
  for (uint8_t b : bytes) sum += b;
  return sum;
}

// The image followed by the low 16 bits of its byte sum, as the output
// file holds it.
// The line the program prints after the image.
inline std::string checksum_line(const Bytes& image) {
  char line[64];
  snprintf(line, sizeof line, "\nmy checksum:0x%x\n", byte_sum(image));
  return line;
}

inline Bytes with_checksum(Bytes image) {
  uint32_t sum = byte_sum(image);
  image.push_back(static_cast<uint8_t>(sum & 0xFF));
  image.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
  return image;
}

// The serial stream from its first page frame on.
struct Frames {
  bool well_formed = false;  // every frame framed, end byte in place
  int count = 0;
  Bytes data;                // the frames' data bytes, in order
  Bytes checksum;            // the two bytes after the end byte
  std::string problem;
};

inline Frames decode_frames(const Bytes& stream) {
  const Bytes command = {0x76, 0xFF, 0xFF, 0x23};
  Frames frames;
  size_t at = 0;
  while (stream.size() - at > 3) {
    if (stream.size() - at < 628) {
      frames.problem = "short frame at " + std::to_string(at);
      return frames;
    }
    if (!std::equal(command.begin(), command.end(), stream.begin() + static_cast<long>(at))) {
      frames.problem = "no page-start command at " + std::to_string(at);
      return frames;
    }
    frames.data.insert(frames.data.end(), stream.begin() + static_cast<long>(at + 4),
                       stream.begin() + static_cast<long>(at + 532));
    for (size_t i = at + 532; i < at + 628; ++i)
      if (stream[i] != 0xFF) {
        frames.problem = "page tail broken at " + std::to_string(i);
        return frames;
      }
    at += 628;
    ++frames.count;
  }
  if (stream.size() - at != 3 || stream[at] != 0x33) {
    frames.problem = "no end byte and checksum after the frames";
    return frames;
  }
  frames.checksum.assign(stream.begin() + static_cast<long>(at + 1), stream.end());
  frames.well_formed = true;
  return frames;
}

}  // namespace image_expectation
