// The one place that looks inside a WAV file: it finds the format and the
// sample data of a RIFF "WAVE" container and answers with a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "sound/sound.h"

// Where the reader takes its bytes from: an open stream, or bytes in memory
// (tests and fuzzing drive the reader without touching the file system).
struct WavSource {
  FILE* file = nullptr;           // the stream, or nullptr for memory
  const uint8_t* bytes = nullptr;  // memory form
  uint64_t position = 0;          // memory form: the next byte to read
  uint64_t length = 0;            // the whole file's length in bytes
  bool closed = false;
};

// `length` as the file system tells it; the stream's position is never used
// for it.
WavSource wav_file_source(FILE* file, uint64_t length);
WavSource wav_memory_source(const uint8_t* bytes, size_t size);

enum : int32_t {
  WAV_NO_RIFF_HEADER = -1,  // fewer than 12 bytes
  WAV_NOT_WAVE = -2,        // RIFF size beyond the file, or no "WAVE"
  WAV_NO_FORMAT = -3,       // no complete "fmt " chunk before the end
  WAV_SHORT_FORMAT = -4,    // "fmt " chunk smaller than 16 bytes
  WAV_NO_DATA = -5,         // no "data" chunk after the format chunk
};

// Fills `format` from the "fmt " chunk and leaves the source at the first
// sample byte.  Returns the "data" chunk's size as stored (a size of 2^31 or
// more comes back negative), or one of the codes above, in which case the
// source has been closed and must not be used again.
int32_t read_wav_header(WavSource& source, WavFormat* format);
