#include "sound/wav_reader.h"

#include <cstring>

WavSource wav_file_source(FILE* file, uint64_t length) {
  WavSource source;
  source.file = file;
  source.length = length;
  return source;
}

WavSource wav_memory_source(const uint8_t* bytes, size_t size) {
  WavSource source;
  source.bytes = bytes;
  source.length = size;
  return source;
}

static size_t read_bytes(WavSource& source, uint8_t* buffer, size_t count) {
  if (source.file) return fread(buffer, 1, count, source.file);
  uint64_t left = source.position < source.length
                      ? source.length - source.position
                      : 0;
  size_t got = left < count ? static_cast<size_t>(left) : count;
  if (got == 0) return 0;  // also for an empty source, which has no bytes
  memcpy(buffer, source.bytes + source.position, got);
  source.position += got;
  return got;
}

// A move past the end is not an error here: the next read comes up short.
static void skip_forward(WavSource& source, uint32_t count) {
  if (source.file) {
    fseek(source.file, static_cast<long>(count), SEEK_CUR);
  } else {
    source.position += count;
  }
}

static int32_t close_with(WavSource& source, int32_t code) {
  if (source.file) fclose(source.file);
  source.file = nullptr;
  source.closed = true;
  return code;
}

static uint16_t get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

static uint32_t get32(const uint8_t* p) {
  return get16(p) | static_cast<uint32_t>(get16(p + 2)) << 16;
}

// A chunk size of 2^31 or more would be a backward move where the size is
// taken as a signed number, and could bring the walk back to the same header
// forever; no sound file is that large, so such a chunk ends the walk as the
// end of the file would.
static bool too_large_to_pass(uint32_t size) { return size >= 0x80000000u; }

// Passes over chunks until one with `id`; false at the end of the file.
static bool find_chunk(WavSource& source, const char* id, uint32_t* size) {
  uint8_t header[8];
  for (;;) {
    if (read_bytes(source, header, 8) != 8) return false;
    *size = get32(header + 4);
    if (memcmp(header, id, 4) == 0) return true;
    if (too_large_to_pass(*size)) return false;
    // Chunks of odd size are passed over without a pad byte.
    skip_forward(source, *size);
  }
}

int32_t read_wav_header(WavSource& source, WavFormat* format) {
  uint8_t riff[12];
  if (read_bytes(source, riff, 12) != 12)
    return close_with(source, WAV_NO_RIFF_HEADER);
  // Only the low 32 bits of the length count, and bytes beyond the RIFF
  // body are allowed.  The container id (bytes 0..3) is not looked at.
  uint32_t length_after_id = static_cast<uint32_t>(source.length - 8);
  if (get32(riff + 4) > length_after_id)
    return close_with(source, WAV_NOT_WAVE);
  if (memcmp(riff + 8, "WAVE", 4) != 0) return close_with(source, WAV_NOT_WAVE);

  uint32_t format_size = 0;
  uint8_t body[16];
  if (!find_chunk(source, "fmt ", &format_size) ||
      read_bytes(source, body, 16) != 16)
    return close_with(source, WAV_NO_FORMAT);
  if (static_cast<int32_t>(format_size) < 16)
    return close_with(source, WAV_SHORT_FORMAT);
  if (format_size > 16) skip_forward(source, format_size - 16);

  format->format_tag = get16(body);
  format->channels = get16(body + 2);
  format->sample_rate = get32(body + 4);
  format->bytes_per_second = get32(body + 8);
  format->block_align = get16(body + 12);
  format->bits_per_sample = get16(body + 14);

  // The data chunk counts only after the format chunk.
  uint32_t data_size = 0;
  if (!find_chunk(source, "data", &data_size))
    return close_with(source, WAV_NO_DATA);
  return static_cast<int32_t>(data_size);
}
