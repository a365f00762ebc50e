// The directory's chaining bytes and its 8-byte entries.
#include "driver/report.h"
#include "image/image.h"

namespace {

const uint8_t END_OF_TABLE = 0xFF;

// First slots of the sound groups of slot block 0.
const uint8_t NORMAL_GROUP_STARTS[] = {
    0,  4,  8,  12, 13, 14, 15, 18,  21,  24,  27,  30,  33,  37,  42,  47,
    52, 57, 62, 67, 72, 77, 82, 87,  92,  97,  102, 107, 112, 117, 120, 123,
    END_OF_TABLE};
const uint8_t XMEGA_GROUP_STARTS[] = {
    0,  4,  8,  12, 13, 14, 15, 18,  21,  24,  27,  30,  33,  37,  40,  43,
    46, 49, 52, 55, 58, 61, 64, 67,  70,  73,  76,  79,  82,  85,  88,  91,
    94, 97, 100, 103, 106, 109, 112, 115, 118, 119, 120, 121, 122, 123, 124, 125,
    END_OF_TABLE};

const uint8_t END_OF_GROUP = 0x80;
const uint8_t NO_SOUND = 0xFF;
// The up chain ends at step index 125 (Fahrstufe 126); the extra row 126
// only has a down chain.
const int LAST_STEP = AUTO_STEPS - 1;

bool holds_sound(const RunState& run, int slot) {
  return run.slots.length[slot] != 0;
}

uint32_t slot_offset(const RunState& run, int slot) {
  return run.slots.offset[slot];
}

// The three slots of one step index, one per AUTO slot block.
void set_step_ni(RunState& run, int step, uint8_t value) {
  for (int block = 1; block <= 3; ++block) run.slots.ni[block * SLOT_BLOCK + step] = value;
}

void set_step_pi(RunState& run, int step, uint8_t value) {
  for (int block = 1; block <= 3; ++block) run.slots.pi[block * SLOT_BLOCK + step] = value;
}

}  // namespace

bool is_group_start(const RunState& run, int slot) {
  const uint8_t* table = run.options.xmega ? XMEGA_GROUP_STARTS : NORMAL_GROUP_STARTS;
  uint8_t low = static_cast<uint8_t>(slot);
  for (; *table != END_OF_TABLE; ++table)
    if (*table == low) return true;
  return false;
}

void compute_group_chains(RunState& run) {
  // The receiver loops back to `group_first`, the group's first slot with a
  // sound.  Where the group's first slot by the table is empty, that is a
  // later slot of the same group, never a slot of an earlier group.
  int group_first = 0;
  bool group_has_sound = false;
  for (int i = 0; i < SLOT_BLOCK; ++i) {
    if (is_group_start(run, i)) group_has_sound = false;
    run.slots.ni[i] = NO_SOUND;
    if (!holds_sound(run, i)) continue;
    if (!group_has_sound) {
      group_first = i;
      group_has_sound = true;
    }
    // Slot 131 looks at slot 132, the first of slot block 1.
    if (!is_group_start(run, i + 1) && holds_sound(run, i + 1))
      run.slots.ni[i] = static_cast<uint8_t>(i + 1);
    else
      run.slots.ni[i] = static_cast<uint8_t>(group_first + END_OF_GROUP);
  }
}

void compute_step_chains(RunState& run) {
  const int second = 2 * SLOT_BLOCK;
  const int third = 3 * SLOT_BLOCK;

  // Up: the next step at which the second table's sound changes, or that
  // has an AUTO block of its own.
  for (int k = 0; k < LAST_STEP; ++k) {
    for (int next = k + 1; next <= LAST_STEP; ++next) {
      if (slot_offset(run, second + next) != slot_offset(run, second + k) ||
          run.autos.step_given[next]) {
        set_step_ni(run, k, static_cast<uint8_t>(next));
        break;
      }
    }
  }

  // Down: the previous step whose third-table sound differs from both sounds
  // of the starting step, or whose third line was given.
  for (int u = AUTO_ROWS - 1; u >= 1; --u) {
    uint32_t a3 = slot_offset(run, third + u);
    uint32_t a2 = slot_offset(run, second + u);
    for (int t = u - 1; t >= 0; --t) {
      uint32_t candidate = slot_offset(run, third + t);
      if (run.autos.third_given[t] || (candidate != a3 && candidate != a2)) {
        set_step_pi(run, u, static_cast<uint8_t>(t));
        break;
      }
    }
  }
}

void directory_entry(const RunState& run, int slot, uint8_t entry[8]) {
  uint32_t negated_length = (0u - run.slots.length[slot]) & 0xFFFFFF;
  uint32_t offset = run.slots.offset[slot];
  uint32_t address = offset == 0 ? 0 : flash_address(offset);
  entry[0] = static_cast<uint8_t>(negated_length);
  entry[1] = static_cast<uint8_t>(negated_length >> 8);
  entry[2] = static_cast<uint8_t>(address);
  entry[3] = static_cast<uint8_t>(address >> 8);
  entry[4] = static_cast<uint8_t>(address >> 16);
  entry[5] = run.slots.ni[slot];
  entry[6] = static_cast<uint8_t>(negated_length >> 16);
  uint8_t rate_bit = run.slots.is22kHz[slot] ? 0 : 1;
  entry[7] = static_cast<uint8_t>((run.slots.pi[slot] << 1) | rate_bit);
}

void list_chains(RunState& run) {
  const SlotTable& s = run.slots;
  for (int k = 0; k < AUTO_STEPS; ++k) {
    int first = SLOT_BLOCK + k, second = 2 * SLOT_BLOCK + k, third = 3 * SLOT_BLOCK + k;
    say(run.out, "%3d 0x%2.2x %s %2.2x/%2.2x ", k, k, s.path[first], s.ni[first],
        s.pi[first]);
    say(run.out, "%s %2.2x/%2.2x ", s.path[second], s.ni[second], s.pi[second]);
    say(run.out, "%s %2.2x/%2.2x\n", s.path[third], s.ni[third], s.pi[third]);
  }
  for (int i = 0; i < SLOT_COUNT; ++i) {
    if (!holds_sound(run, i)) continue;
    say(run.out, "%3d (%2x): %s l=%ld off=%ld ni=%d", i, i % SLOT_BLOCK, s.path[i],
        static_cast<long>(s.length[i]), static_cast<long>(s.offset[i]),
        s.ni[i] & ~END_OF_GROUP);
    if (s.ni[i] & END_OF_GROUP) say(run.out, "(*)");
    say(run.out, "\n");
  }
}
