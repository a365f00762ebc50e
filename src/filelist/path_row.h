// Paths are kept in fixed rows of PATH_ROW bytes.
#pragma once

#include <cstring>

#include "filelist/tables.h"

// Stores the first PATH_ROW - 1 characters of `text` in `row`, zero-padded,
// so that a longer path is kept cut.
inline void store_path_row(char* row, const char* text) {
  size_t kept = strnlen(text, PATH_ROW - 1);
  memcpy(row, text, kept);
  memset(row + kept, 0, PATH_ROW - kept);
}
