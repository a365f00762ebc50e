// The serial link to the receiver: line control, the two writes, and the
// reset and wake-up sequences.  Nothing is ever read from the port.
#pragma once

#include <cstdint>

#include "driver/run_state.h"

// A write the system refuses gets no completion, so it is never waited for.
// Its bytes never reach the receiver: while the image is being sent, which
// would leave the receiver with a broken image and a run that reports
// success, the transmission sets LinkState::refused_write_status (to
// IMAGE_WRITE_REFUSED, 79) and such a write ends the run by the error exit
// with that status.  Outside the transmission a refused write is reported
// and the run goes on.

// Opens the port of run.port_text / run.port_number, sends the opening packet
// at 57600 baud and switches to 38400 baud.  A port that does not open ends
// the run with status 1.
void link_open(RunState& run);

// Writes b through auxout and XORs it into the opening packet's check byte.
void auxoutxor(RunState& run, uint8_t b);

// Pauses 5 s and toggles RTS off and on ten times.  Returns the result of the
// last configuration write, the exit status of a serial-mode run.
int link_finish(RunState& run);

// One line change: read the configuration, let `edit` change it, write it.
// Returns the configuration write's result.
int line_change(RunState& run, void (*edit)(LineConfig& config));

// Writes the low 8 bits of b and waits for the write to complete.
void auxout(RunState& run, int b);

// Writes a block; waits for its completion when `wait` is true.  Without the
// wait the caller owes completion_wait() before its next write.
void auxoutblock(RunState& run, const uint8_t* buffer, uint32_t count,
                 bool wait);

// Sleeps alertably until the last write's completion routine has run.
void completion_wait(RunState& run);

// The completion routine of every write; `context` is the RunState.
void auxcomplete(void* context, uint32_t error_code,
                 uint32_t bytes_transferred);

// Resets the receiver through DTR and RTS (short or long mode).
void reset_receiver(RunState& run, ResetMode mode);

// Sends the wake-up bytes, announces the beep and gives the receiver time.
void wake_receiver(RunState& run);
