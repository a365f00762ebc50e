#include <cstring>

#include "driver/report.h"
#include "filelist/filelist.h"
#include "filelist/text_line.h"

namespace {

enum class Directive {
  flash_16mbit, flash_32mbit, mega_168, xmega, flash_8mbit, pad_to_12,
  generation4, cv_only, auto_line,
};

struct DirectiveText {
  const char* text;
  size_t compared;  // leading characters that must match
  Directive directive;
};

// Tried in this order; the first match decides.
const DirectiveText DIRECTIVES[] = {
    {"**16MBit", 8, Directive::flash_16mbit},
    {"**32MBit", 8, Directive::flash_32mbit},
    {"**Mega168", 9, Directive::mega_168},
    {"**XMega", 5, Directive::xmega},
    {"**8MBit", 7, Directive::flash_8mbit},
    {"**PAD-12", 8, Directive::pad_to_12},
    {"**4.Generation", 14, Directive::generation4},
    {"**nurCVs", 8, Directive::cv_only},
    {"AUTO", 4, Directive::auto_line},
};

void apply(RunState& run, Directive directive) {
  ListOptions& options = run.options;
  switch (directive) {
    case Directive::flash_16mbit: options.flash_size = 0x210000; break;
    case Directive::flash_32mbit: options.flash_size = 0x420000; break;
    case Directive::mega_168: options.mega_168 = 1; break;
    case Directive::xmega: options.xmega = 1; break;
    case Directive::flash_8mbit: options.flash_size = 0x108000; break;
    case Directive::pad_to_12: options.pad_to_12 = 1; break;
    case Directive::generation4:
      options.generation4 = 1;
      options.directory_pages = 16;
      break;
    case Directive::cv_only: options.cv_only = 1; break;
    case Directive::auto_line:
      if (options.auto_anzahl == AUTO_STEPS)
        fail(run, 366, run.err, "zu viele AUTO-Bloecke!\n");
      ++options.auto_anzahl;
      break;
  }
}

}  // namespace

void read_directives(RunState& run) {
  run.options = ListOptions{};
  while (read_text_line(run.file_list, run.line, LINE_BUFFER)) {
    for (const DirectiveText& d : DIRECTIVES) {
      if (strncmp(run.line, d.text, d.compared) == 0) {
        apply(run, d.directive);
        break;
      }
    }
  }
  if (!run.options.generation4)
    fail(run, 375, run.err, "nur Empfaenger der 4. Generation unterstuetzt!\n");
  if (run.options.flash_size == 0)
    fail(run, 381, run.err, "keine FLASHSIZE angegeben!\n");
  rewind(run.file_list);
  if (run.diagnostic)
    say(run.out,
        "FLASHSIZE=0x%x mega_168=%d xmega=%d pad_to_12=%d auto_anzahl=%d\n",
        static_cast<unsigned>(run.options.flash_size), run.options.mega_168,
        run.options.xmega, run.options.pad_to_12, run.options.auto_anzahl);
}
