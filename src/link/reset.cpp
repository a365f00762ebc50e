// Reset and wake-up of the receiver before the image is sent.  A "flagged"
// receiver is one whose file list declares mega_168 or xmega.
#include "driver/report.h"
#include "link/link.h"

#include <cstring>

static bool flagged(const RunState& run) {
  return run.options.mega_168 || run.options.xmega;
}

static void hold_in_reset(LineConfig& config) {
  config.dtr = true;
  config.rts = false;
}

void reset_receiver(RunState& run, ResetMode mode) {
  LinkState& link = run.link;
  Platform& platform = *run.platform;
  if (!flagged(run)) {
    platform.sleep_ms(500);
    auxout(run, 0x41);
    platform.sleep_ms(200);
  }

  line_change(run, hold_in_reset);
  bool short_hold = mode == ResetMode::short_reset;
  say(run.out, short_hold ? "2 Sekunden Reset...." : "10 Sekunden Reset....");
  fflush(run.out);  // the user sees it during the hold, not after
  platform.sleep_ms(short_hold ? 2000 : 10000);
  say(run.out, "\n");

  memset(link.preamble, 0x55, sizeof link.preamble);
  link.port->read_config(&link.config);
  link.config.dtr = false;
  link.config.rts = true;
  if (!flagged(run)) {
    link.port->write_config(link.config);
    platform.sleep_ms(500);
    return;
  }

  // The release comes while the first preamble is still going out, so that
  // the receiver meets the 0x55 pattern as it leaves reset; hence the line
  // change before that write's completion.
  auxoutblock(run, link.preamble, PREAMBLE_SIZE, false);
  link.port->write_config(link.config);
  completion_wait(run);
  auxoutblock(run, link.preamble, PREAMBLE_SIZE, true);
  platform.sleep_ms(100);
  // From here to the end of the run the port sends two stop bits; the
  // configuration is the one just written, not read again.
  link.config.stop_bits = TWO_STOP_BITS;
  link.port->write_config(link.config);
}

void wake_receiver(RunState& run) {
  Platform& platform = *run.platform;
  if (flagged(run)) {
    auxout(run, 23);
  } else {
    for (int b = 243; b <= 255; ++b) {
      auxout(run, b);
      platform.sleep_ms(20);
    }
  }
  say(run.out, "\nEmpfänger sollte kurz hupen\n");
  fflush(run.out);
  platform.sleep_ms(run.options.xmega ? 1000 : 6000);
}
