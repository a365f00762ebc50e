#include "driver/report.h"
#include "filelist/filelist.h"

static bool slot_used(const RunState& run, int slot) {
  return run.slots.path[slot][0] != '\0';
}

void check_slot_pairing(RunState& run) {
  // The partner in the second group is tested before the one in the third.
  const int partner_distance[2] = {4, 8};
  const int status_base[2] = {754, 766};
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 2; ++k) {
      int partner = i + partner_distance[k];
      if (!slot_used(run, i) && slot_used(run, partner))
        fail(run, status_base[k], run.out,
             "Fehler: Slot %d unbenutzt, Slot %d benutzt!\n", i, partner);
      if (slot_used(run, i) && !slot_used(run, partner))
        fail(run, status_base[k] + 6, run.out,
             "Fehler: Slot %d benutzt, Slot %d unbenutzt!\n", i, partner);
    }
  }
}
