#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "image/image.h"
#include "testing/testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes entry_of(const RunState& run, int slot) {
  uint8_t entry[8];
  directory_entry(run, slot, entry);
  return Bytes(entry, entry + 8);
}

// Gives each slot a sound of its own, one after the other in the image.
void give_sounds(RunState& run, const std::vector<int>& slots) {
  uint32_t offset = 4752;
  for (int slot : slots) {
    snprintf(run.slots.path[slot], PATH_ROW, "S%d.WAV", slot);
    run.slots.length[slot] = 100;
    run.slots.offset[slot] = offset;
    offset += 100;
  }
}

TEST(DirectoryEntry, Layout) {
  struct Case {
    const char* what;
    uint32_t length, offset;
    bool is22kHz;
    uint8_t ni, pi;
    Bytes entry;
  } cases[] = {
      {"slot 5 of 11025 samples", 11025, 4752, false, 6, 0,
       {0xEF, 0xD4, 0x00, 0x24, 0x00, 0x06, 0xFF, 0x01}},
      {"the same at 22 kHz", 11025, 4752, true, 6, 0,
       {0xEF, 0xD4, 0x00, 0x24, 0x00, 0x06, 0xFF, 0x00}},
      {"page 19, byte 0", 1, 5016, false, 0x80, 0,
       {0xFF, 0xFF, 0x00, 0x26, 0x00, 0x80, 0xFF, 0x01}},
      {"address above 16 bits, pi in bits 1 to 7", 0x10000, 264 * 200 + 7, false, 9, 9,
       {0x00, 0x00, 0x07, 0x90, 0x01, 0x09, 0xFF, 0x13}},
      {"longest length, largest pi", 0xFFFFFF, 4752, true, 0, 126,
       {0x01, 0x00, 0x00, 0x24, 0x00, 0x00, 0x00, 0xFC}},
      {"empty data chunk keeps its address", 0, 4852, false, 0xFF, 0,
       {0x00, 0x00, 0x64, 0x24, 0x00, 0xFF, 0x00, 0x01}},
  };
  for (const Case& c : cases) {
    TestRun t;
    RunState& run = t.run();
    run.slots.length[5] = c.length;
    run.slots.offset[5] = c.offset;
    run.slots.is22kHz[5] = c.is22kHz;
    run.slots.ni[5] = c.ni;
    run.slots.pi[5] = c.pi;
    EXPECT_EQ(entry_of(run, 5), c.entry) << c.what;
  }
}

TEST(DirectoryEntry, UnusedSlotsAfterChaining) {
  TestRun t;
  RunState& run = t.run();
  compute_group_chains(run);
  compute_step_chains(run);
  const Bytes block0 = {0, 0, 0, 0, 0, 0xFF, 0, 0x01};
  const Bytes auto_blocks = {0, 0, 0, 0, 0, 0, 0, 0x01};
  for (int slot : {0, 12, 131}) EXPECT_EQ(entry_of(run, slot), block0) << slot;
  for (int slot : {132, 263, 300, 522, 527}) EXPECT_EQ(entry_of(run, slot), auto_blocks) << slot;
}

TEST(GroupChains, GroupStartTables) {
  struct Case {
    int xmega, slot;
    bool start;
  } cases[] = {
      {0, 0, true},    {0, 4, true},     {0, 5, false},   {0, 12, true},
      {0, 13, true},   {0, 14, true},    {0, 123, true},  {0, 125, false},
      {0, 40, false},  {1, 40, true},    {1, 125, true},  {1, 126, false},
      {0, 260, true},  // only the low 8 bits count: 260 is 4
      {0, 255, false}, {1, 511, false},  // the end marker is no entry
  };
  for (const Case& c : cases) {
    TestRun t;
    t.run().options.xmega = c.xmega;
    EXPECT_EQ(is_group_start(t.run(), c.slot), c.start) << c.xmega << " " << c.slot;
  }
}

TEST(GroupChains, NextSlotOrBackToGroupStart) {
  struct Case {
    const char* what;
    int xmega;
    std::vector<int> sounds;
    std::map<int, uint8_t> ni;
  } cases[] = {
      {"slots 0 to 3", 0, {0, 1, 2, 3}, {{0, 1}, {1, 2}, {2, 3}, {3, 0x80}, {4, 0xFF}}},
      {"18 and 20 around an empty 19", 0, {18, 20}, {{18, 0x92}, {19, 0xFF}, {20, 0x92}}},
      {"12 alone: 13 starts a group", 0, {12, 13}, {{12, 0x8C}, {13, 0x8D}}},
      {"xmega: 40 starts a group", 1, {37, 38, 39, 40},
       {{37, 38}, {38, 39}, {39, 0xA5}, {40, 0xA8}}},
      {"normal: 37 to 41 is one group", 0, {37, 38, 39, 40},
       {{37, 38}, {38, 39}, {39, 40}, {40, 0xA5}}},
      {"slot 131 looks into slot block 1", 0, {130, 131, 132},
       {{130, 131}, {131, 132}, {132, 0}}},
      // A group whose first slot is empty loops back to its first sound, not
      // to an earlier group's start.
      {"slot 0 empty", 0, {1, 2}, {{0, 0xFF}, {1, 2}, {2, 0x81}}},
      {"slot 15 empty after 12", 0, {12, 16, 17}, {{12, 0x8C}, {16, 17}, {17, 0x90}}},
      {"gap after the first sound", 0, {4, 6, 7}, {{4, 0x84}, {6, 7}, {7, 0x84}}},
  };
  for (const Case& c : cases) {
    TestRun t;
    RunState& run = t.run();
    run.options.xmega = c.xmega;
    give_sounds(run, c.sounds);
    compute_group_chains(run);
    for (auto [slot, ni] : c.ni) EXPECT_EQ(run.slots.ni[slot], ni) << c.what << ", slot " << slot;
  }
}

TEST(GroupChains, EmptyDataChunkCountsAsNoSound) {
  TestRun t;
  RunState& run = t.run();
  give_sounds(run, {0, 2});
  run.slots.offset[1] = 4752 + 200;  // a used slot whose WAV file has no data
  compute_group_chains(run);
  EXPECT_EQ(run.slots.ni[0], 0x80);
  EXPECT_EQ(run.slots.ni[1], 0xFF);
  EXPECT_EQ(run.slots.ni[2], 0x80);
}

// The AUTO slot blocks as the second pass leaves them: one row per step
// index in each of the three tables, equal names sharing their data.
struct AutoFixture {
  TestRun t;
  std::map<std::string, uint32_t> offsets;

  void place(int slot, const std::string& name) {
    auto [it, added] = offsets.emplace(name, 4752 + 1000 * static_cast<uint32_t>(offsets.size()));
    snprintf(t.run().slots.path[slot], PATH_ROW, "%s", name.c_str());
    t.run().slots.length[slot] = 1000;
    t.run().slots.offset[slot] = it->second;
  }

  // Blocks at the given Fahrstufen; every other row takes the second sound
  // of the nearest block below.
  void blocks(const std::vector<int>& fahrstufen) {
    AutoTable& autos = t.run().autos;
    std::string second, first, third;
    for (int k = 0; k < AUTO_ROWS; ++k) {
      bool block_here = false, third_here = false;
      for (int s : fahrstufen) {
        if (s == k + 1) block_here = true;
        if (s == k + 2 || (s == 1 && k == 0)) third_here = true;
      }
      if (block_here) {
        second = "B" + std::to_string(k + 1) + ".WAV";
        autos.step_given[k] = 1;
      }
      first = block_here ? "A" + std::to_string(k + 1) + ".WAV" : second;
      third = second;
      for (int s : fahrstufen)
        if (third_here && (s == k + 2 || (s == 1 && k == 0)))
          third = "C" + std::to_string(s) + ".WAV";
      if (third_here) autos.third_given[k] = 1;
      place(SLOT_BLOCK + k, first);
      place(2 * SLOT_BLOCK + k, second);
      place(3 * SLOT_BLOCK + k, third);
    }
  }
};

TEST(StepChains, BlocksAtFahrstufe1And10) {
  AutoFixture f;
  f.blocks({1, 10});
  RunState& run = f.t.run();
  compute_step_chains(run);
  for (int k = 0; k < AUTO_ROWS; ++k) {
    int up = k <= 8 ? 9 : 0;
    // Fahrstufe 10's third line sits in row 8, so every step from 9 on
    // leads down to 8; below, only row 0 differs.
    int down = k >= 9 ? 8 : 0;
    for (int block = 1; block <= 3; ++block) {
      int slot = block * SLOT_BLOCK + k;
      EXPECT_EQ(run.slots.ni[slot], up) << "slot " << slot;
      EXPECT_EQ(run.slots.pi[slot], down) << "slot " << slot;
    }
  }
  for (int block = 1; block <= 3; ++block)
    for (int index = AUTO_ROWS; index < SLOT_BLOCK; ++index) {
      EXPECT_EQ(run.slots.ni[block * SLOT_BLOCK + index], 0);
      EXPECT_EQ(run.slots.pi[block * SLOT_BLOCK + index], 0);
    }
}

TEST(StepChains, SoundChangesWithoutBlocks) {
  // Series lines instead of AUTO blocks: no flags, only the offsets speak.
  AutoFixture f;
  for (int k = 0; k < AUTO_ROWS; ++k) {
    std::string second = k < 5 ? "LOW.WAV" : "HIGH.WAV";
    f.place(SLOT_BLOCK + k, second);
    f.place(2 * SLOT_BLOCK + k, second);
    // Step 60's third sound equals its own second sound: no change there.
    f.place(3 * SLOT_BLOCK + k, k == 60 ? "HIGH.WAV" : k < 50 ? "T1.WAV" : "T2.WAV");
  }
  RunState& run = f.t.run();
  compute_step_chains(run);
  EXPECT_EQ(run.slots.ni[2 * SLOT_BLOCK + 0], 5);
  EXPECT_EQ(run.slots.ni[2 * SLOT_BLOCK + 4], 5);
  EXPECT_EQ(run.slots.ni[2 * SLOT_BLOCK + 5], 0);
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 49], 0);   // nothing differs below
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 50], 49);  // T1 below T2
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 59], 49);
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 60], 59);  // T2 differs from HIGH
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 61], 49);  // HIGH at 60 is 61's second sound
  EXPECT_EQ(run.slots.pi[3 * SLOT_BLOCK + 61], run.slots.pi[SLOT_BLOCK + 61]);
}

TEST(ChainListing, StepsThenUsedSlots) {
  TestRun t;
  RunState& run = t.run();
  give_sounds(run, {0, 1, 2, 3, 20});
  snprintf(run.slots.path[SLOT_BLOCK + 9], PATH_ROW, "HORN.WAV");
  run.slots.ni[SLOT_BLOCK + 9] = 0x1A;
  run.slots.pi[SLOT_BLOCK + 9] = 0x08;
  run.slots.length[2 * SLOT_BLOCK + 130] = 70000;  // block index 0x82
  run.slots.offset[2 * SLOT_BLOCK + 130] = 123456;
  snprintf(run.slots.path[2 * SLOT_BLOCK + 130], PATH_ROW, "X.WAV");
  compute_group_chains(run);
  list_chains(run);

  std::string expected;
  for (int k = 0; k < AUTO_STEPS; ++k) {
    char hex[8];
    snprintf(hex, sizeof hex, "%02x", k);
    std::string number = std::to_string(k);
    number.insert(0, 3 - number.size(), ' ');
    if (k == 9)
      expected += "  9 0x09 HORN.WAV 1a/08  00/00  00/00\n";
    else
      expected += number + " 0x" + hex + "  00/00  00/00  00/00\n";
  }
  expected +=
      "  0 ( 0): S0.WAV l=100 off=4752 ni=1\n"
      "  1 ( 1): S1.WAV l=100 off=4852 ni=2\n"
      "  2 ( 2): S2.WAV l=100 off=4952 ni=3\n"
      "  3 ( 3): S3.WAV l=100 off=5052 ni=0(*)\n"
      " 20 (14): S20.WAV l=100 off=5152 ni=20(*)\n"
      "394 (82): X.WAV l=70000 off=123456 ni=0\n";
  EXPECT_EQ(t.out(), expected);
}

}  // namespace
