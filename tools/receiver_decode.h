// What a receiver makes of the bytes that arrive on its serial line: the
// opening packet, the reset and wake-up bytes, the page frames, the end byte
// and the checksum; and what the received image holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class WakeKind { none, unflagged, flagged };

struct ReceivedStream {
  bool accepted = false;
  std::string refusal;  // why the stream is no usable image

  bool opening_packet = false;
  bool reset_byte = false;   // 0x41 before an unflagged reset
  bool preamble = false;     // 2 x 300 bytes 0x55 after a flagged reset
  WakeKind wake = WakeKind::none;
  int frames = 0;
  bool end_byte = false;
  bool complete = false;     // end byte and both checksum bytes arrived
  uint16_t checksum_received = 0;
  uint32_t checksum_computed = 0;  // byte sum of the image
  std::vector<uint8_t> image;      // the pages that hold the image
  bool file_mode_only = false;     // an opening packet and nothing else
};

// Decodes a whole stream for a flash of `flash_size` bytes.
ReceivedStream decode_stream(const std::vector<uint8_t>& stream,
                             uint32_t flash_size);

struct SlotEntry {
  int slot;
  uint32_t samples;
  uint32_t flash_address;
  uint32_t image_offset;
  bool is22kHz;
  uint8_t ni;
  uint8_t pi;
};

// The slots of a received image's directory that hold a sound.
std::vector<SlotEntry> sounding_slots(const std::vector<uint8_t>& image);

// The human-readable report of a received stream.
std::string format_report(const ReceivedStream& received);
