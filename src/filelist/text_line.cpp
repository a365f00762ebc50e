#include "filelist/text_line.h"

#include <cstring>

bool read_text_line(FILE* file, char* buffer, int size) {
  int length = 0;
  while (length < size - 1) {
    int c = getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      int next = getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        ungetc(next, file);
      }
    }
    buffer[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return false;
  buffer[length] = '\0';
  return true;
}

void strip_line_feeds(char* line) {
  size_t length = strlen(line);
  while (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
}
