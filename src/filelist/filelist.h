// The two passes over the file list.
#pragma once

#include "driver/run_state.h"

// Directive pass: fills run.options from the "**" lines, counts the AUTO
// lines, refuses a list without 4th generation or flash size, rewinds.
void read_directives(RunState& run);

// Second pass: gives every sound line its slot and stages its sound,
// AUTO blocks included, then makes the final fill.
void read_sound_lines(RunState& run);

// Sound line handling from the colon search on; the line is in run.line.
// Used for the lines of the file and for the generated AUTO lines.
void handle_sound_line(RunState& run);

// The AUTO block whose AUTO line is in run.line: reads its three lines.
void read_auto_block(RunState& run);

// At the end of the file: completes the AUTO tables and generates their
// sound lines through handle_sound_line.  Does nothing without AUTO blocks.
void finish_auto_blocks(RunState& run);

// "entweder nur Sounds > 1000 oder nur Sounds mit '+'-Kennung!" with the
// caller's status.
[[noreturn]] void refuse_mixed_numbering(RunState& run, int status);

// Slots 0 to 11: positions of the three groups of four must agree.
void check_slot_pairing(RunState& run);

// Copies the row of slot `count` - 1 into slot `count` until `count` reaches
// `bound`.
void fill_up_to(RunState& run, int bound);
