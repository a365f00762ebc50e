// WAV files and the staging of their samples.
#pragma once

#include <cstdint>
#include <cstdio>

#include "driver/run_state.h"

// The first 16 bytes of a "fmt " chunk, as stored (little-endian).
struct WavFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t sample_rate;
  uint32_t bytes_per_second;
  uint16_t block_align;
  uint16_t bits_per_sample;
};

// Start of the second pass: the first sample offset, the empty staging
// area and the seconds the flash can hold.
void begin_staging(RunState& run);

// Gives slot `slot` (the current count) the sound of `path`, upper-cased: the
// data of an earlier slot with the same path, or the file's samples converted
// and appended to the staging file.  Advances the count.  The file is opened
// under `path_as_written`, the path as the file list spells it; the 3-argument
// form opens it under `path`.
void stage_sound_file(RunState& run, int slot, const char* path);
void stage_sound_file(RunState& run, int slot, const char* path,
                      const char* path_as_written);

// After the second pass: refuses data beyond the flash, otherwise reports
// the seconds used and closes the staging file.
void report_capacity(RunState& run);
