// The one path of the image's bytes: into the output file, or into the page
// buffer and from there in page frames over the serial link.
#include <cstdio>

#include "driver/report.h"
#include "image/image.h"
#include "link/link.h"

namespace {

const uint8_t PAGE_START[] = {0x76, 0xFF, 0xFF, 0x23};

struct PageTail {
  uint8_t bytes[PAGE_TAIL] = {};
  constexpr PageTail() {
    for (uint8_t& b : bytes) b = 0xFF;
  }
};
constexpr PageTail PAGE_TAIL_BYTES;

[[noreturn]] void output_file_failed(RunState& run) {
  error_report(run, run.output_path);
  error_exit(run, OUTPUT_FILE_FAILED);
}

}  // namespace

void write_output(RunState& run, const uint8_t* bytes, uint32_t count) {
  if (fwrite(bytes, 1, count, run.output_file) != count) output_file_failed(run);
}

void close_output_file(RunState& run) {
  // The last buffered bytes only reach the device here; a full disk often
  // shows up first at this point.
  FILE* file = run.output_file;
  run.output_file = nullptr;
  bool flushed = fflush(file) == 0;
  bool closed = fclose(file) == 0;
  if (!flushed || !closed) output_file_failed(run);
}

void sink_byte(RunState& run, int b) {
  ImageState& image = run.image;
  ++image.page_byte_count;
  uint8_t byte = static_cast<uint8_t>(b);
  if (run.file_mode) {
    write_output(run, &byte, 1);
    return;
  }
  // Sized for one frame; the transmission empties it at every frame's end.
  image.page_buffer[image.page_buffer_count++] = byte;
}

void begin_page_frame(RunState& run) {
  if (run.file_mode) return;
  for (uint8_t b : PAGE_START) auxout(run, b);
}

void end_page_frame(RunState& run) {
  if (run.file_mode) return;
  flush_page_buffer(run);
  auxoutblock(run, PAGE_TAIL_BYTES.bytes, PAGE_TAIL, true);
}

void flush_page_buffer(RunState& run) {
  ImageState& image = run.image;
  if (image.page_buffer_count != 0)
    auxoutblock(run, image.page_buffer, image.page_buffer_count, true);
  image.page_buffer_count = 0;
}

void send_checksum(RunState& run) {
  // Only the low 16 bits go to the receiver; the whole sum is printed.
  sink_byte(run, static_cast<int>(run.image.checksum & 0xFF));
  sink_byte(run, static_cast<int>((run.image.checksum >> 8) & 0xFF));
  flush_page_buffer(run);
}
