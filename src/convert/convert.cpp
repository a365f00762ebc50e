#include "convert/convert.h"

#include <cctype>
#include <cstdarg>
#include <cerrno>
#include <climits>
#include <cstring>

#include "driver/report.h"
#include "filelist/text_line.h"

namespace {

enum : int {
  CONVERSION_BUFFER = 500,  // a line, or a piece of a longer one
  FIRST_GROUPED = 37,       // old lines 37 to 116 form groups of five
  LAST_GROUPED = 116,
  LAST_MOVED = 125,         // old lines 117 to 125 move down behind them
};

struct Conversion {
  RunState* run;
  FILE* input;
  FILE* converted;
  FILE* log;
  char line[CONVERSION_BUFFER];
  int expected_index = FIRST_GROUPED;
  int new_index = FIRST_GROUPED;
  int position_in_group = 0;
};

bool is_numbered(const char* line) { return isdigit((unsigned char)line[0]); }

int line_number(const char* line) {
  long long number = 0;
  for (const char* p = line; isdigit((unsigned char)*p); ++p)
    if (number <= INT_MAX) number = number * 10 + (*p - '0');
  return number > INT_MAX ? INT_MAX : static_cast<int>(number);
}

[[noreturn]] void stop(Conversion& c, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

[[noreturn]] void stop(Conversion& c, const char* format, ...) {
  fflush(c.converted);
  fflush(c.log);
  va_list args;
  va_start(args, format);
  vsay(c.run->out, format, args);
  va_end(args);
  error_exit(*c.run, 0);
}

void check_index(Conversion& c, int number) {
  if (number != c.expected_index)
    stop(c, "Index %d erwartet, %d gefunden - Abbruch\n", c.expected_index,
         number);
  ++c.expected_index;
}

// Writes a kept sound line under its new number to both files.
void renumber(Conversion& c, int number) {
  const char* colon = strchr(c.line, ':');
  if (!colon) stop(c, "kein : in Zeile %s gefunden - Abbruch\n", c.line);
  fprintf(c.converted, "%d:%s", c.new_index, colon + 1);
  fprintf(c.log, "%d -> %d:%s", number, c.new_index, colon + 1);
  ++c.new_index;
}

bool read_line(Conversion& c) {
  return read_text_line(c.input, c.line, CONVERSION_BUFFER);
}

// Reads up to the next numbered line; the unnumbered lines on the way go to
// both files unchanged.  false at the end of the input.
bool read_numbered_line(Conversion& c, int* number) {
  while (read_line(c)) {
    if (is_numbered(c.line)) {
      *number = line_number(c.line);
      return true;
    }
    fputs(c.line, c.converted);
    fputs(c.line, c.log);
  }
  return false;
}

// Old lines up to 116: of each group of five, the 1st, 3rd and 5th stay.
void convert_groups(Conversion& c) {
  int number;
  while (read_numbered_line(c, &number)) {
    if (number < FIRST_GROUPED) {
      fputs(c.line, c.converted);
      continue;
    }
    check_index(c, number);
    ++c.position_in_group;
    if (c.position_in_group == 2 || c.position_in_group == 4) continue;
    renumber(c, number);
    if (c.position_in_group == 5) c.position_in_group = 0;
    if (number == LAST_GROUPED) return;
  }
}

// Old lines 117 to 125 follow the kept lines.
void convert_moved_lines(Conversion& c) {
  int number;
  while (read_numbered_line(c, &number)) {
    check_index(c, number);
    renumber(c, number);
    if (number == LAST_MOVED) return;
  }
}

void empty_sound_lines(Conversion& c, int lines) {
  for (int i = 0; i < lines; ++i) fprintf(c.converted, "%d: ---\n", c.new_index++);
}

// The new sound lines of the 2015 list, up to line 125.
void write_tail(Conversion& c) {
  fputs(";Verzoegerungsgeraeusch\n", c.converted);
  empty_sound_lines(c, 3);
  fputs(";Zusatzgeraeusch tempoabhaengig\n", c.converted);
  empty_sound_lines(c, 2);
  fputs(";Reserve\n", c.converted);
  empty_sound_lines(c, 1);
  fputs(";Geraeusch fuer Reed2\n", c.converted);
  empty_sound_lines(c, 3);
  for (int j = 1; j <= 5; ++j) {
    fprintf(c.converted, ";Reserve %d (dreiteilig)\n", j);
    empty_sound_lines(c, 3);
  }
  for (int j = 1; c.new_index < 126; ++j) {
    fprintf(c.converted, ";Reserve %d (einteilig)\n", j);
    empty_sound_lines(c, 1);
  }
}

}  // namespace

void convert_to_2015(RunState& run, const char* list_path) {
  Conversion c;
  c.run = &run;
  say(run.out, "Konvertiere %s ins 2015er-Format als %s.neu\n", list_path,
      list_path);

  // Both output names are built in the line buffer and must fit whole.
  if (strlen(list_path) + strlen(".neu2") >= CONVERSION_BUFFER) {
    errno = ENAMETOOLONG;
    error_report(run, list_path);
    error_exit(run, 0);
  }
  c.input = open_or_exit(run, list_path, "r");
  snprintf(c.line, sizeof c.line, "%s.neu", list_path);
  c.converted = open_or_exit(run, c.line, "w");
  snprintf(c.line, sizeof c.line, "%s.neu2", list_path);
  c.log = open_or_exit(run, c.line, "w");

  convert_groups(c);
  convert_moved_lines(c);
  write_tail(c);
  while (read_line(c)) fputs(c.line, c.converted);

  say(run.out, "fertig!\n");
  fflush(run.out);
  run.platform->wait_for_key();
  fclose(c.input);
  fclose(c.converted);
  fclose(c.log);
}
