#include <cstring>

#include "driver/report.h"
#include "filelist/text_line.h"
#include "image/cv_number.h"
#include "image/image.h"

void read_cv_defaults(RunState& run) {
  memset(run.image.header, 0xFF, sizeof run.image.header);
  while (read_text_line(run.cv_file, run.line, LINE_BUFFER)) {
    strip_line_feeds(run.line);
    char* equals = strchr(run.line, '=');
    if (!equals) continue;

    // The CV number's text ends at the equals sign.
    *equals = '\0';
    uint32_t cv = 0;
    bool cv_read = read_i_conversion(run.line, &cv);
    *equals = '=';
    uint32_t value = 0;
    bool value_read = read_i_conversion(equals + 1, &value);

    // A side without a number is refused like a number out of range: it
    // must never set some CV nor vanish unnoticed.
    if (!cv_read || cv < 1 || cv > 256)
      fail(run, 906, run.out, "ungültige Zeile %s in %s: CV > 256 oder CV < 1\n",
           run.line, run.cv_path);
    if (!value_read || value > 255)
      fail(run, 913, run.out, "ungültige Zeile %s in %s: WERT > 255\n",
           run.line, run.cv_path);
    run.image.header[cv - 1] = static_cast<uint8_t>(value);
  }
  fclose(run.cv_file);
  run.cv_file = nullptr;
}

uint32_t flash_address(uint32_t image_offset) {
  return image_offset / PAGE_SIZE * 512 + image_offset % PAGE_SIZE;
}
