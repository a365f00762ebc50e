#include <cstring>

#include "driver/report.h"
#include "filelist/path_row.h"
#include "sound/sound.h"
#include "sound/wav_reader.h"

namespace {

// Every figure in seconds counts 11025 bytes a second, whatever the rate.
const double SECONDS_PER_BYTE = 1.0 / 11025;

// Samples converted at a time, so that memory never grows with a file.
constexpr uint32_t PIECE_SAMPLES = 2048;
static_assert(sizeof StagingState::input >= 2 * PIECE_SAMPLES &&
              sizeof StagingState::output >= PIECE_SAMPLES);
const uint32_t PAD_UNIT = 12;
const uint8_t SILENCE = 0x80;
const uint32_t RATE_22KHZ = 22050;

enum : int {
  STATUS_NOT_FOUND = 551,
  STATUS_HEADER = 559,
  STATUS_FORMAT = 596,
  STATUS_READ_16 = 616,
  STATUS_WRITE_16 = 627,
  STATUS_READ_8 = 639,
  STATUS_WRITE_8 = 646,
  STATUS_TOO_LARGE = 740,
};

int earlier_slot_with(const SlotTable& slots, int slot, const char* path) {
  for (int j = 0; j < slot; ++j)
    if (strcmp(slots.path[j], path) == 0) return j;
  return -1;
}

// A read that comes up short without a read error means that the data end
// before their chunk says; errno then holds nothing, and its text would
// report the failure as a success.
[[noreturn]] void fail_short_read(RunState& run, FILE* wav, const char* path,
                                  int status) {
  if (ferror(wav)) {
    error_report(run, path);
  } else {
    say(run.err, "%s: Datei endet vorzeitig\n", path);
  }
  error_exit(run, status);
}

// Each write goes to disk at once, so that a failing one (a full disk, a
// file-size limit) ends the run here, with the status of its kind, and never
// goes unnoticed in a buffer that is written only when the file is closed.
void write_staged(RunState& run, const uint8_t* bytes, size_t count,
                  int status) {
  FILE* staging = run.staging.file;
  if (fwrite(bytes, 1, count, staging) != count || fflush(staging) != 0) {
    error_report(run, STAGING_FILE_NAME);
    error_exit(run, status);
  }
}

// The high byte of each little-endian sample, made unsigned; the low byte is
// dropped.
void convert_16_bit(RunState& run, FILE* wav, const char* path,
                    uint32_t samples) {
  StagingState& staging = run.staging;
  while (samples > 0) {
    uint32_t piece = samples < PIECE_SAMPLES ? samples : PIECE_SAMPLES;
    if (fread(staging.input, 2, piece, wav) != piece)
      fail_short_read(run, wav, path, STATUS_READ_16);
    for (uint32_t i = 0; i < piece; ++i)
      staging.output[i] = static_cast<uint8_t>(staging.input[2 * i + 1] + SILENCE);
    write_staged(run, staging.output, piece, STATUS_WRITE_16);
    samples -= piece;
  }
}

void copy_8_bit(RunState& run, FILE* wav, const char* path, uint32_t samples) {
  StagingState& staging = run.staging;
  while (samples > 0) {
    uint32_t piece = samples < PIECE_SAMPLES ? samples : PIECE_SAMPLES;
    if (fread(staging.input, 1, piece, wav) != piece)
      fail_short_read(run, wav, path, STATUS_READ_8);
    write_staged(run, staging.input, piece, STATUS_WRITE_8);
    samples -= piece;
  }
}

// Brings a newly staged file's data to a multiple of 12 bytes with silence.
// A failed padding write is caught like the 8-bit sample writes.
uint32_t pad_to_unit(RunState& run, uint32_t length) {
  uint32_t pad = (PAD_UNIT - length % PAD_UNIT) % PAD_UNIT;
  if (pad == 0) return length;
  memset(run.staging.output, SILENCE, pad);
  write_staged(run, run.staging.output, pad, STATUS_WRITE_8);
  return length + pad;
}

}  // namespace

void begin_staging(RunState& run) {
  StagingState& staging = run.staging;
  staging.first_sample_offset =
      static_cast<uint32_t>((run.options.directory_pages + 2) * PAGE_SIZE);
  staging.image_end = staging.first_sample_offset;
  uint32_t sample_area = run.options.flash_size - staging.first_sample_offset;
  staging.max_seconds = static_cast<double>(sample_area) * SECONDS_PER_BYTE;
}

void stage_sound_file(RunState& run, int slot, const char* path) {
  stage_sound_file(run, slot, path, path);
}

void stage_sound_file(RunState& run, int slot, const char* path,
                      const char* path_as_written) {
  SlotTable& slots = run.slots;

  // A file that several slots name is staged once; the slots share its data.
  int earlier = earlier_slot_with(slots, slot, path);
  if (earlier >= 0) {
    slots.offset[slot] = slots.offset[earlier];
    slots.length[slot] = slots.length[earlier];
    slots.is22kHz[slot] = slots.is22kHz[earlier];
    store_path_row(slots.path[slot], path);
    ++slots.count;
    return;
  }

  FILE* wav = run.platform->open_sound_file(path_as_written);
  if (!wav) fail(run, STATUS_NOT_FOUND, run.err, "%s nicht gefunden!\n", path);

  uint64_t file_length = 0;
  int32_t data_length = WAV_NOT_WAVE;
  WavFormat format{};
  if (run.platform->file_length(wav, &file_length)) {
    WavSource source = wav_file_source(wav, file_length);
    data_length = read_wav_header(source, &format);
  } else {
    // Without the file's length its RIFF size cannot be checked.
    fclose(wav);
  }
  if (data_length < 0)
    fail(run, STATUS_HEADER, run.err, "Header-Problem bei File %s (Code=%d)\n",
         path, static_cast<int>(data_length));

  slots.is22kHz[slot] = format.sample_rate == RATE_22KHZ ? 1 : 0;
  uint32_t data_bytes = static_cast<uint32_t>(data_length);
  uint32_t samples = 0;
  if (format.block_align == 2 && format.bits_per_sample == 16) {
    samples = data_bytes / 2;  // an odd last byte is never read
    slots.is16Bit[slot] = 1;
  } else if (format.block_align == 1 && format.bits_per_sample == 8) {
    samples = data_bytes;
    slots.is16Bit[slot] = 0;
  } else {
    // Neither tag nor channel count is looked at: stereo ends here.
    fail(run, STATUS_FORMAT, run.err,
         "Formatproblem bei File %s (Align=%d, bits=%d)\n", path,
         format.block_align, format.bits_per_sample);
  }

  store_path_row(slots.path[slot], path);
  if (slots.is16Bit[slot]) {
    convert_16_bit(run, wav, path, samples);
  } else {
    copy_8_bit(run, wav, path, samples);
  }
  fclose(wav);

  uint32_t length = samples;
  if (run.options.pad_to_12) length = pad_to_unit(run, length);
  slots.length[slot] = length;
  slots.offset[slot] = run.staging.image_end;
  run.staging.image_end += length;
  ++slots.count;
}

void report_capacity(RunState& run) {
  // The used figure counts from the start of the image, header and
  // directory included; the maximum counts the sample area alone.
  double used = static_cast<double>(run.staging.image_end) * SECONDS_PER_BYTE;
  if (run.staging.image_end > run.options.flash_size)
    fail(run, STATUS_TOO_LARGE, run.out,
         "Files zu groß! (%.1f Sekunden, %.1f Sekunden möglich\n", used,
         run.staging.max_seconds);
  say(run.out, "%.1f Sekunden von maximal %.1f Sekunden benutzt\n", used,
      run.staging.max_seconds);
  fclose(run.staging.file);
  run.staging.file = nullptr;
}
