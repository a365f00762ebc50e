#include <cstring>

#include "driver/report.h"
#include "filelist/filelist.h"
#include "filelist/text_line.h"
#include "sound/sound.h"

namespace {

enum : int {
  STATUS_NOT_A_SOUND_LINE = 452,
  STATUS_NO_COLON = 469,
  STATUS_SLOT_NUMBER = 34,
  STATUS_TOO_MANY_LINES = 522,
};

// Where the three numbered series put their sounds.
struct Series {
  int first_number;      // 1000, 2000, 3000
  int mixed_status;      // refused after AUTO blocks with this status
};
const Series SERIES[3] = {{1000, 477}, {2000, 488}, {3000, 502}};
const int SERIES_LENGTH = SLOT_BLOCK;  // numbers x000 to x131
const int SERIES_SLOT_STEP = 868;      // 1000 -> 132, 2000 -> 264, 3000 -> 396
const int LAST_SLOT = SLOT_COUNT - 1;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The colon among the line's 3rd to 7th characters; -1 if none.  Only the
// line's own characters count, never what an earlier, longer line left in
// the buffer behind its end.
int colon_position(const char* line) {
  size_t length = strlen(line);
  for (size_t i = 2; i <= 6 && i < length; ++i)
    if (line[i] == ':') return static_cast<int>(i);
  return -1;
}

// The value of the leading digits; a value beyond any slot stops growing,
// so a long run of digits cannot overflow.
int leading_number(const char* line) {
  int number = 0;
  for (const char* p = line; is_digit(*p); ++p)
    if (number < 100000000) number = number * 10 + (*p - '0');
  return number;
}

// The series of a sound number, 1 to 3, or 0 for a plain number.
int series_of(int number) {
  for (int s = 0; s < 3; ++s)
    if (number >= SERIES[s].first_number &&
        number < SERIES[s].first_number + SERIES_LENGTH)
      return s + 1;
  return 0;
}

// Moves the count into the series' slot block when it is still below it.
// The 1000 series starts without a fill; the later ones first repeat the
// last sound up to the block's second-to-last slot, so the block's last slot
// before the series stays unused.
void enter_series_block(RunState& run, int series) {
  int first_slot = series * SLOT_BLOCK;
  if (run.slots.count >= first_slot) return;
  if (series > 1) fill_up_to(run, first_slot - 1);
  run.slots.count = first_slot;
}

// The slot of a sound number; for a series number the gap before it is
// filled.
int slot_for_number(RunState& run, int number) {
  int series = series_of(number);
  if (series == 0) return number;
  run.autos.series_seen = true;
  if (run.autos.pass_state == 1)
    refuse_mixed_numbering(run, SERIES[series - 1].mixed_status);
  int slot = number - series * SERIES_SLOT_STEP;
  enter_series_block(run, series);
  fill_up_to(run, slot);
  return slot;
}

void fold_to_upper_case(char* text) {
  for (char* p = text; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
}

}  // namespace

void refuse_mixed_numbering(RunState& run, int status) {
  fail(run, status, run.err,
       "entweder nur Sounds > 1000 oder nur Sounds mit '+'-Kennung!\n");
}

void fill_up_to(RunState& run, int bound) {
  SlotTable& slots = run.slots;
  while (slots.count < bound) {
    int to = slots.count;
    // A fill from slot 0 has no sound before it: the slots stay unused.
    if (to > 0) {
      int from = to - 1;
      memcpy(slots.path[to], slots.path[from], PATH_ROW);
      slots.length[to] = slots.length[from];
      slots.offset[to] = slots.offset[from];
      slots.is22kHz[to] = slots.is22kHz[from];
    }
    ++slots.count;
  }
}

void handle_sound_line(RunState& run) {
  char* line = run.line;
  int colon = colon_position(line);
  if (colon < 0)
    fail(run, STATUS_NO_COLON, run.err,
         "ungültige Zeile (kein Doppelpunkt) %s\n", line);
  // The character after the colon is skipped, whatever it is.
  size_t length = strlen(line);
  size_t path_start = static_cast<size_t>(colon) + 2;
  char* path = line + (path_start < length ? path_start : length);

  int slot = slot_for_number(run, leading_number(line));
  SlotTable& slots = run.slots;
  if (slot != slots.count)
    fail(run, STATUS_SLOT_NUMBER, run.out, "ungültige Soundnummer: %s\n", line);
  if (slots.count >= slots.capacity)
    fail(run, STATUS_TOO_MANY_LINES, run.out, "zu viele Zeilen!\n");

  if (strncmp(path, "---", 3) == 0) {
    ++slots.count;  // the slot stays unused
    return;
  }
  // The file is opened under the path as written; everything else uses the
  // upper-cased path, as on a file system that ignores letter case.
  char path_as_written[LINE_BUFFER];
  memcpy(path_as_written, path, strlen(path) + 1);
  fold_to_upper_case(path);
  stage_sound_file(run, slots.count, path, path_as_written);
}

void read_sound_lines(RunState& run) {
  run.slots.count = 0;
  run.slots.capacity = run.options.directory_pages * SLOTS_PER_PAGE;
  run.autos.pass_state = 0;
  run.autos.series_seen = false;
  run.autos.auto_position = 1.5;
  run.autos.generated = 0;
  begin_staging(run);

  while (read_text_line(run.file_list, run.line, LINE_BUFFER)) {
    strip_line_feeds(run.line);
    // Comments, blank lines and the directives are passed over.
    if (strlen(run.line) < 3 || run.line[0] == ';' || run.line[0] == '*')
      continue;
    if (strncmp(run.line, "AUTO", 4) == 0) {
      read_auto_block(run);
      continue;
    }
    if (!is_digit(run.line[0]))
      fail(run, STATUS_NOT_A_SOUND_LINE, run.err, "ungültige Zeile: %s!\n",
           run.line);
    handle_sound_line(run);
  }

  finish_auto_blocks(run);
  // Past the start of the 3000 series the last sound repeats to the end;
  // the last slot stays unused unless a line named it.
  if (run.slots.count > 3 * SLOT_BLOCK) fill_up_to(run, LAST_SLOT);
}
