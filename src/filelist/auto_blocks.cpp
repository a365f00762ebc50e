#include <cstdlib>
#include <cstring>

#include "driver/report.h"
#include "filelist/filelist.h"
#include "filelist/path_row.h"
#include "filelist/text_line.h"

namespace {

enum : int {
  STATUS_SERIES_BEFORE = 410,
  STATUS_STEP_RANGE = 422,
  // A block cut short by the end of the file is refused rather than filled
  // with whatever the line buffer still holds; a status of its own, listed
  // in the README with the others.
  STATUS_BLOCK_CUT_SHORT = 430,
  STATUS_NO_STEP_ONE = 675,
};

// The Fahrstufe of an AUTO line: its number, or for an AUTO line without one
// the next automatic position.  The automatic positions spread auto_anzahl
// blocks evenly over the 126 steps.
long fahrstufe_of(RunState& run, const char* auto_line) {
  long step = strtol(auto_line + 4, nullptr, 10);
  if (step != 0) return step;
  AutoTable& autos = run.autos;
  step = static_cast<long>(autos.auto_position);
  autos.auto_position += 126.0 / run.options.auto_anzahl;
  return step;
}

// Reads the next line of the block into the line buffer.
void read_block_line(RunState& run, const char* auto_line) {
  if (!read_text_line(run.file_list, run.line, LINE_BUFFER))
    fail(run, STATUS_BLOCK_CUT_SHORT, run.err,
         "unvollständiger AUTO-Block: %s\n"
         "Die Fileliste endet vor den drei Zeilen des Blocks!\n",
         auto_line);
  strip_line_feeds(run.line);
}

void generate_series(RunState& run, int pass_state, int first_number,
                     const char* format, const char (*rows)[PATH_ROW]) {
  AutoTable& autos = run.autos;
  autos.pass_state = pass_state;
  for (autos.generated = 0; autos.generated < AUTO_ROWS; ++autos.generated) {
    int k = autos.generated;
    snprintf(run.line, LINE_BUFFER, format, first_number + k, rows[k]);
    handle_sound_line(run);
  }
}

}  // namespace

void read_auto_block(RunState& run) {
  AutoTable& autos = run.autos;
  autos.pass_state = 1;
  if (autos.series_seen) refuse_mixed_numbering(run, STATUS_SERIES_BEFORE);

  // The block lines overwrite the line buffer; messages quote the AUTO line.
  char auto_line[LINE_BUFFER];
  memcpy(auto_line, run.line, strlen(run.line) + 1);

  long step = fahrstufe_of(run, auto_line);
  if (step < 1 || step > AUTO_STEPS)
    fail(run, STATUS_STEP_RANGE, run.err,
         "ungültige Zeile%s\nFahrstufe nicht im Bereich 1 bis %d\n", auto_line,
         AUTO_STEPS);
  int row = static_cast<int>(step) - 1;

  // Block lines are taken as they are: no skipping, no test, no case folding.
  read_block_line(run, auto_line);
  autos.step_given[row] = 1;
  store_path_row(autos.first_path[row], run.line);

  read_block_line(run, auto_line);
  store_path_row(autos.second_path[row], run.line);

  // The third sounds are kept one step lower: Fahrstufe s in row s-2.
  // Fahrstufen 1 and 2 share row 0, and the later block wins.
  read_block_line(run, auto_line);
  int third_row = row == 0 ? 0 : row - 1;
  autos.third_given[third_row] = 1;
  store_path_row(autos.third_path[third_row], run.line);
}

void finish_auto_blocks(RunState& run) {
  AutoTable& autos = run.autos;
  if (autos.pass_state == 0) return;
  if (autos.second_path[0][0] == '\0')
    fail(run, STATUS_NO_STEP_ONE, run.err,
         "AUTO-Sounds müssen bei Fahrstufe 1 beginnen!\n");

  // A step without a sound of its own takes the second sound of its own
  // block or, without one, of the nearest block below it.
  for (int k = 1; k < AUTO_ROWS; ++k) {
    if (autos.second_path[k][0] == '\0')
      memcpy(autos.second_path[k], autos.second_path[k - 1], PATH_ROW);
    if (autos.first_path[k][0] == '\0')
      memcpy(autos.first_path[k], autos.second_path[k], PATH_ROW);
    if (autos.third_path[k][0] == '\0')
      memcpy(autos.third_path[k], autos.second_path[k], PATH_ROW);
  }

  generate_series(run, 2, 1000, "%4d: %s", autos.first_path);
  generate_series(run, 3, 2000, "%4d: %s", autos.second_path);
  generate_series(run, 4, 3000, "%4.4d: %s", autos.third_path);
}
