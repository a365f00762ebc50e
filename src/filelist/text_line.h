// Reading text lines as a Windows text-mode stream delivers them: a CR
// directly before a LF is dropped while reading, before the line is cut at
// the buffer's length, so lists written on Windows read the same everywhere.
#pragma once

#include <cstdio>

// Reads at most size - 1 characters up to and including a line feed into
// `buffer` and ends it with a zero byte.  false at the end of the file or on
// a read error, with `buffer` unchanged.
bool read_text_line(FILE* file, char* buffer, int size);

// Removes every line feed at the end of `line`.
void strip_line_feeds(char* line);
