// Placeholder until the receiver link lands: the port opens, nothing is sent.
#include "driver/report.h"
#include "link/link.h"

void link_open(RunState& run) {
  run.platform->device_name(run.port_text, run.port_number,
                            run.link.device_name, sizeof run.link.device_name);
  OpenFailure failure;
  run.link.port = run.platform->open_serial(run.link.device_name, &failure);
  if (!run.link.port)
    fail(run, 1, run.err, "Open %s: Error %ld\n", run.link.device_name,
         failure.code);
}
int link_finish(RunState&) { return 1; }
void auxout(RunState&, int) {}
void auxoutblock(RunState&, const uint8_t*, uint32_t, bool) {}
void reset_receiver(RunState&, ResetMode) {}
void wake_receiver(RunState&) {}
