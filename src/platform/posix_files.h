// File services of the POSIX platform, shared with the test platform.
#pragma once

#include <cstdint>
#include <cstdio>

bool posix_file_length(FILE* file, uint64_t* length);

// Opens `path` for binary reading.  When it does not exist as written, each
// component is looked up without regard to letter case and `\` counts as a
// separator, so that a sound project made on Windows opens unchanged.
FILE* posix_open_sound_file(const char* path);
