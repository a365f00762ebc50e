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

void begin_staging(RunState& run);
void stage_sound_file(RunState& run, int slot, const char* path);
void report_capacity(RunState& run);
