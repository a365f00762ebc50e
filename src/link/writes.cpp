// The two serial writes.  Each is handed to the system with the completion
// routine auxcomplete and, as a rule, waited for in an alertable sleep, which
// is where the routine runs: one thread, at most one write outstanding.
#include "driver/report.h"
#include "link/link.h"

// `operation` names the write in the message of a refusal.
static void issue_write(RunState& run, const uint8_t* bytes, uint32_t count,
                        bool wait, const char* operation) {
  LinkState& link = run.link;
  link.auxdone = 0;
  if (!link.port->start_write(bytes, count, auxcomplete, &run)) {
    say(run.err, "%s: WriteFileEx returns %ld\n", operation,
        link.port->last_error());
    link.port->clear_errors();
    if (link.refused_write_status) error_exit(run, link.refused_write_status);
    // No completion will come for a refused write, so it counts as done: a
    // completion wait owed for it (the reset's first preamble) must not
    // sleep forever.
    link.auxdone = 1;
    return;
  }
  if (wait) completion_wait(run);
}

void auxout(RunState& run, int b) {
  // The byte lives in the run, not on this stack frame, so it outlasts the
  // write even if the wait were ever left early.
  run.link.single_byte = static_cast<uint8_t>(b & 0xFF);
  issue_write(run, &run.link.single_byte, 1, true, "auxout");
}

void auxoutblock(RunState& run, const uint8_t* buffer, uint32_t count,
                 bool wait) {
  issue_write(run, buffer, count, wait, "auxoutblock");
}

void completion_wait(RunState& run) {
  while (!run.link.auxdone) run.link.port->wait_alertable();
}

void auxcomplete(void* context, uint32_t error_code, uint32_t) {
  RunState& run = *static_cast<RunState*>(context);
  // An error on the line is cleared and the write still counts as done; a
  // short write is not noticed.
  if (error_code != 0) run.link.port->clear_errors();
  run.link.auxdone = 1;
}
