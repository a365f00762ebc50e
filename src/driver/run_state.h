// Everything one programming run knows, in one record of fixed size.  The
// program makes one for the whole process; a test can make its own and drive
// a run, or any phase of it, inside the test.
#pragma once

#include <cstdint>
#include <cstdio>

#include "filelist/tables.h"
#include "platform/platform.h"

enum class ResetMode { none, short_reset, long_reset };

enum : int {
  PREAMBLE_SIZE = 300,
  HEADER_SIZE = 528,
  FRAME_DATA = 528,  // two pages
  PAGE_TAIL = 96,
};

// The serial link: the one port of the run and its write state.
struct LinkState {
  SerialPort* port = nullptr;
  char device_name[300] = {};
  LineConfig config;             // the configuration as last read and edited
  uint8_t check_byte = 0;        // XOR of the opening packet's bytes
  int auxdone = 0;               // 0 while a write is outstanding
  uint8_t single_byte = 0;       // auxout's byte, kept until its completion
  uint8_t preamble[PREAMBLE_SIZE] = {};
  int refused_write_status = 0;  // non-zero: a refused write ends the run
};

// The sample staging between the second pass and the transmission.
struct StagingState {
  FILE* file = nullptr;              // "klangtmp.$$$", written
  uint32_t first_sample_offset = 0;  // image offset of the first sample byte
  uint32_t image_end = 0;            // one past the last staged byte
  double max_seconds = 0;
  uint8_t input[4096] = {};          // one piece of WAV samples
  uint8_t output[2048] = {};         // the same piece as 8-bit samples
};

// The image as it is sent or written.
struct ImageState {
  uint8_t header[HEADER_SIZE] = {};
  uint8_t page_buffer[FRAME_DATA] = {};
  uint32_t page_buffer_count = 0;
  int32_t page_byte_count = 0;
  uint32_t checksum = 0;  // byte sum of the image, modulo 2^32
  bool frame_half = false;
  int page_number = 2;
  int directory_page = 0;
  uint8_t page_area[PAGE_SIZE] = {};
};

struct RunState {
  Platform* platform = nullptr;
  FILE* out = stdout;  // the console's two streams
  FILE* err = stderr;

  bool diagnostic = false;  // ZT_HOME is set
  ResetMode reset_mode = ResetMode::long_reset;
  const char* port_text = "";  // first argument without its reset letter
  int port_number = 0;
  bool file_mode = false;

  const char* list_path = nullptr;
  const char* cv_path = nullptr;
  const char* output_path = nullptr;
  FILE* file_list = nullptr;
  FILE* cv_file = nullptr;
  FILE* output_file = nullptr;

  char line[LINE_BUFFER] = {};  // the line buffer of the file list and CV file

  ListOptions options;
  SlotTable slots;
  AutoTable autos;
  LinkState link;
  StagingState staging;
  ImageState image;
};

// The staging file's fixed name, in the working directory.
inline constexpr const char* STAGING_FILE_NAME = "klangtmp.$$$";
