#include <gtest/gtest.h>

#include "filelist/filelist.h"
#include "testing/testing.h"

namespace {

struct Outcome {
  int status;
  std::string out;
};

// Runs the check over a table in which exactly the slots `used` (of 0 to 11)
// have a path.
Outcome check(std::initializer_list<int> used) {
  TestRun t;
  for (int slot : used) snprintf(t.run().slots.path[slot], PATH_ROW, "S%d.WAV", slot);
  // Slots beyond the twelve never matter.
  snprintf(t.run().slots.path[12], PATH_ROW, "X.WAV");
  Outcome outcome{t.attempt([&] { check_slot_pairing(t.run()); }), t.out()};
  return outcome;
}

TEST(SlotPairing, Refusals) {
  struct Case {
    std::initializer_list<int> used;
    int status;
    const char* message;
  } cases[] = {
      {{0, 1, 2, 3}, 760, "Fehler: Slot 0 benutzt, Slot 4 unbenutzt!\n"},
      {{0, 1, 2, 3, 4, 5, 6, 7}, 772, "Fehler: Slot 0 benutzt, Slot 8 unbenutzt!\n"},
      {{5}, 754, "Fehler: Slot 1 unbenutzt, Slot 5 benutzt!\n"},
      {{7, 11}, 754, "Fehler: Slot 3 unbenutzt, Slot 7 benutzt!\n"},
      {{10}, 766, "Fehler: Slot 2 unbenutzt, Slot 10 benutzt!\n"},
      {{0, 4, 8, 1, 5}, 772, "Fehler: Slot 1 benutzt, Slot 9 unbenutzt!\n"},
  };
  for (const Case& c : cases) {
    Outcome o = check(c.used);
    EXPECT_EQ(o.status, c.status) << c.message;
    EXPECT_EQ(o.out, c.message);
  }
}

TEST(SlotPairing, ListsThatPass) {
  for (auto used : {std::initializer_list<int>{},
                    std::initializer_list<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                    std::initializer_list<int>{2, 6, 10},
                    std::initializer_list<int>{0, 4, 8, 3, 7, 11}}) {
    Outcome o = check(used);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "");
  }
}

}  // namespace
