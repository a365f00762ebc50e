#include "receiver_decode.h"
#include "receiver_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// An image of a header (CV 1 = 3, CV 29 = 6), a directory with one sound of
// `samples` samples in slot 5 at the first sample offset, and its pages.
Bytes make_image(uint32_t samples) {
  Bytes image(528, 0xFF);
  image[0] = 3;
  image[28] = 6;
  for (int slot = 0; slot < 528; ++slot) {
    uint8_t entry[8] = {0, 0, 0, 0, 0, 0xFF, 0, 1};
    if (slot == 5) {
      uint32_t negated = (0u - samples) & 0xFFFFFF;
      uint32_t address = 18 * 512;  // page 18, byte 0
      entry[0] = negated & 0xFF;
      entry[1] = (negated >> 8) & 0xFF;
      entry[2] = address & 0xFF;
      entry[3] = (address >> 8) & 0xFF;
      entry[4] = address >> 16;
      entry[5] = 0x85;
      entry[6] = negated >> 16;
      entry[7] = 0;  // 22 kHz, pi 0
    }
    image.insert(image.end(), entry, entry + 8);
  }
  for (uint32_t i = 0; i < samples; ++i) image.push_back(static_cast<uint8_t>(i * 7));
  while (image.size() % 264) image.push_back(0);
  return image;
}

TEST(ReceiverDecode, AcceptsAWholeImage) {
  Bytes image = make_image(100);  // 19 pages: the last frame gets a zero page
  ReceivedStream r = decode_stream(programmer_stream(image, /*after_reset=*/true), 0x108000);
  ASSERT_TRUE(r.accepted) << r.refusal;
  EXPECT_EQ(r.frames, 10);
  EXPECT_EQ(r.wake, WakeKind::unflagged);
  EXPECT_TRUE(r.reset_byte);
  EXPECT_EQ(r.image, image);  // the completing zero page is not part of it
  std::vector<SlotEntry> slots = sounding_slots(r.image);
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].slot, 5);
  EXPECT_EQ(slots[0].samples, 100u);
  EXPECT_EQ(slots[0].image_offset, 4752u);
  EXPECT_TRUE(slots[0].is22kHz);
  EXPECT_EQ(slots[0].ni, 0x85);
  std::string report = format_report(r);
  EXPECT_NE(report.find(" 1=3 29=6\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Ergebnis: Image vollständig und korrekt"), std::string::npos);
}

TEST(ReceiverDecode, FlaggedReceiverWithPreamble) {
  Bytes image = make_image(600);
  Bytes s = programmer_stream(image, /*after_reset=*/true);
  // Replace reset byte and wake-up bytes by the preamble and byte 23.
  Bytes flagged(s.begin(), s.begin() + 6);
  flagged.insert(flagged.end(), 600, 0x55);
  flagged.push_back(0x17);
  flagged.insert(flagged.end(), s.begin() + 6 + 1 + 13, s.end());
  ReceivedStream r = decode_stream(flagged, 0x108000);
  ASSERT_TRUE(r.accepted) << r.refusal;
  EXPECT_TRUE(r.preamble);
  EXPECT_EQ(r.wake, WakeKind::flagged);
  EXPECT_EQ(r.image, image);
}

TEST(ReceiverDecode, RefusesWhatAReceiverCouldNotUse) {
  Bytes good = programmer_stream(make_image(100), /*after_reset=*/true);
  size_t first_frame = 6 + 1 + 13;
  struct Case {
    const char* name;
    Bytes stream;
    uint32_t flash_size;
  };
  std::vector<Case> cases;
  cases.push_back({"cut inside a frame", Bytes(good.begin(), good.begin() + 3000), 0x108000});
  cases.push_back({"no end byte", Bytes(good.begin(), good.end() - 3), 0x108000});
  cases.push_back({"checksum cut short", Bytes(good.begin(), good.end() - 1), 0x108000});
  Bytes extra = good;
  extra.push_back(0);
  cases.push_back({"byte after the checksum", extra, 0x108000});
  Bytes wrong_sum = good;
  wrong_sum.back() ^= 1;
  cases.push_back({"checksum does not match", wrong_sum, 0x108000});
  Bytes data_flip = good;
  data_flip[first_frame + 4 + 700 % 528] ^= 0x10;
  cases.push_back({"corrupted data byte", data_flip, 0x108000});
  Bytes tail = good;
  tail[first_frame + 4 + 528 + 50] = 0xFE;
  cases.push_back({"page tail not 0xFF", tail, 0x108000});
  Bytes start = good;
  start[first_frame + 628 + 3] = 0x24;
  cases.push_back({"malformed page start", start, 0x108000});
  Bytes no_packet = good;
  no_packet[5] = 0xA7;
  cases.push_back({"no opening packet", no_packet, 0x108000});
  cases.push_back({"larger than the flash", good, 4000});
  cases.push_back({"file-mode run", Bytes(good.begin(), good.begin() + 6), 0x108000});
  for (const Case& c : cases) {
    ReceivedStream r = decode_stream(c.stream, c.flash_size);
    EXPECT_FALSE(r.accepted) << c.name;
    EXPECT_FALSE(r.refusal.empty()) << c.name;
    EXPECT_NE(format_report(r).find("ABGELEHNT: "), std::string::npos) << c.name;
  }
}

}  // namespace
