// Placeholder until the sound lines land.
#include "filelist/filelist.h"
#include "sound/sound.h"

void read_sound_lines(RunState&) {}
void report_capacity(RunState&) {}
