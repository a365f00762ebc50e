// The flash image: header, directory, framing, transmission.
#pragma once

#include <cstdint>

#include "driver/run_state.h"

// Header: the CV defaults file into run.image.header; closes the file.
void read_cv_defaults(RunState& run);

// Flash address of an image offset: page number x 512 + byte in page.
uint32_t flash_address(uint32_t image_offset);

bool is_group_start(const RunState& run, int slot);
void compute_group_chains(RunState& run);
void compute_step_chains(RunState& run);
void list_chains(RunState& run);
void directory_entry(const RunState& run, int slot, uint8_t entry[8]);

// Exit status of a write, flush or close of the output file that failed.
// A short image must never end like a finished one.
enum : int { OUTPUT_FILE_FAILED = 78 };

// Exit status of a serial write that the system refused during the image.
enum : int { IMAGE_WRITE_REFUSED = 79 };

// Writes to the output file (file mode); a failure ends the run.
void write_output(RunState& run, const uint8_t* bytes, uint32_t count);
// Flushes and closes the output file; a failure ends the run.
void close_output_file(RunState& run);

void sink_byte(RunState& run, int b);
void begin_page_frame(RunState& run);
void end_page_frame(RunState& run);
void flush_page_buffer(RunState& run);
void send_checksum(RunState& run);

// Sends or writes the whole image, ending with the checksum.
void transmit_image(RunState& run);
