// The fixed tables that the two passes over the file list fill.
#pragma once

#include <cstdint>

enum : int {
  PAGE_SIZE = 264,
  SLOT_COUNT = 528,         // 16 directory pages of 33 entries
  SLOTS_PER_PAGE = 33,
  SLOT_BLOCK = 132,         // slots per slot block
  PATH_ROW = 120,           // a stored path: 119 characters and a zero byte
  AUTO_ROWS = 127,          // rows of each AUTO path table
  AUTO_STEPS = 126,         // Fahrstufen 1 to 126
  LINE_BUFFER = 3000,       // one line of the file list or the CV file
};

// The file list's directive lines.
struct ListOptions {
  uint32_t flash_size = 0;  // FLASHSIZE in bytes; 0: no size directive
  int mega_168 = 0;
  int xmega = 0;
  int pad_to_12 = 0;
  int generation4 = 0;
  int cv_only = 0;
  int directory_pages = 4;
  int auto_anzahl = 0;      // lines that begin with AUTO
};

// One row per sound slot.  A slot is used when its path is not empty.
struct SlotTable {
  char path[SLOT_COUNT][PATH_ROW] = {};
  uint32_t length[SLOT_COUNT] = {};  // bytes of 8-bit samples, padding included
  uint32_t offset[SLOT_COUNT] = {};  // image offset of the first sample byte
  uint8_t is22kHz[SLOT_COUNT] = {};
  uint8_t is16Bit[SLOT_COUNT] = {};
  uint8_t ni[SLOT_COUNT] = {};
  uint8_t pi[SLOT_COUNT] = {};
  int count = 0;     // slots handed out so far: the next sound line's slot
  int capacity = 0;  // directory_pages x 33
};

// The AUTO blocks of the file list, per Fahrstufe, and the second pass's
// state that goes with them.
struct AutoTable {
  char first_path[AUTO_ROWS][PATH_ROW] = {};
  char second_path[AUTO_ROWS][PATH_ROW] = {};
  char third_path[AUTO_ROWS][PATH_ROW] = {};
  uint8_t step_given[AUTO_STEPS] = {};
  uint8_t third_given[AUTO_STEPS] = {};

  // 0: no AUTO line yet; 1: AUTO lines read; 2, 3, 4: generating the lines
  // of the 1000, 2000 and 3000 series at the end of the file.
  int pass_state = 0;
  bool series_seen = false;    // a 1000/2000/3000 line was read
  double auto_position = 1.5;  // where the next unnumbered AUTO line goes
  int generated = 0;           // generated lines of the current series
};
