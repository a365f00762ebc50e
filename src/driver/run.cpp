#include "driver/run.h"

#include <cstdlib>
#include <cstring>

#include "convert/convert.h"
#include "driver/report.h"
#include "filelist/filelist.h"
#include "image/image.h"
#include "link/link.h"
#include "sound/sound.h"

static const char BANNER[] = "Klangbau Version 7.3, 21.10.2015\n";
static const char USAGE[] = "Usage: klangbau COMx filelist cv-defaults\n";

static void print_help(RunState& run) {
  say(run.out, "%s", USAGE);
  say(run.out,
      "\n"
      "  klangbau [r|x]PORT filelist cv-defaults          programmiert den Empfänger\n"
      "  klangbau [r|x]PORT filelist cv-defaults image    schreibt das Image in eine Datei\n"
      "  klangbau filelist                                konvertiert ins 2015er-Format\n"
      "\n"
      "PORT: die Nummer des COM-Ports (3 = COM3"
#ifndef _WIN32
      " = /dev/ttyS2"
#endif
      ")"
#ifndef _WIN32
      " oder der Pfad des Geräts (/dev/ttyUSB0)"
#endif
      ".\n"
      "  r davor: ohne Reset, x davor: 2 Sekunden Reset, sonst 10 Sekunden Reset.\n"
      "\n"
      "Direktiven der Fileliste: **4.Generation (Pflicht), **8MBit, **16MBit oder\n"
      "**32MBit (Pflicht), **Mega168, **XMega, **PAD-12, **nurCVs.\n"
      "Sounds: \"NN: datei.wav\", Serien 1000/2000/3000, AUTO-Blöcke.\n"
      "\n"
      "Die Exit-Statuswerte stehen in der README.\n");
}

// Reads the reset letter and the port from the first argument.
static void parse_port_argument(RunState& run, const char* argument) {
  run.reset_mode = ResetMode::long_reset;
  run.port_text = argument;
  if (argument[0] == 'r') {
    run.reset_mode = ResetMode::none;
    run.port_text = argument + 1;
  } else if (argument[0] == 'x') {
    run.reset_mode = ResetMode::short_reset;
    run.port_text = argument + 1;
  }
  run.port_number = atoi(run.port_text);
}

// Five or more arguments are a serial-mode run; the fourth on is ignored.
static int programming_run(RunState& run, int arguments, char** argv) {
  parse_port_argument(run, argv[1]);
  run.list_path = argv[2];
  run.cv_path = argv[3];

  link_open(run);

  run.cv_file = open_or_exit(run, run.cv_path, "r");
  run.staging.file = open_or_exit(run, STAGING_FILE_NAME, "wb");
  if (arguments == 4) {
    run.file_mode = true;
    run.output_path = argv[4];
    run.output_file = open_or_exit(run, run.output_path, "wb");
  }
  run.file_list = open_or_exit(run, run.list_path, "r");

  read_directives(run);

  if (!run.options.cv_only) {
    read_sound_lines(run);
    report_capacity(run);
    check_slot_pairing(run);
    compute_group_chains(run);
    compute_step_chains(run);
    if (run.diagnostic) list_chains(run);
  }

  read_cv_defaults(run);

  if (!run.file_mode) {
    if (run.reset_mode != ResetMode::none) reset_receiver(run, run.reset_mode);
    wake_receiver(run);
  }

  transmit_image(run);

  if (run.file_mode) return 1;
  return link_finish(run);
}

int run_klangbau(RunState& run, int argc, char** argv) {
  try {
    run.diagnostic = run.platform->env_present("ZT_HOME");
    say(run.out, "%s", BANNER);
    int arguments = argc - 1;
    if (arguments == 1) {
      if (strcmp(argv[1], "--help") == 0) {
        print_help(run);
        return 0;
      }
      if (strcmp(argv[1], "--version") == 0) return 0;
      convert_to_2015(run, argv[1]);
      return 0;
    }
    if (arguments < 3) fail(run, 9, run.out, "%s", USAGE);
    return programming_run(run, arguments, argv);
  } catch (const RunEnded& ended) {
    fflush(run.out);
    fflush(run.err);
    return ended.status;
  }
}
