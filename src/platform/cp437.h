// The Windows console shows text in code page 437, while the program's
// messages are written in UTF-8.
#pragma once

#include <cstddef>

// Returns `text` in code page 437: the German letters ä ö ü ß Ä Ö Ü become
// their single bytes, any other non-ASCII character a '?'.  Text that is
// plain ASCII comes back as it is; so does text whose conversion does not
// fit into `buffer`, which is better than a message cut short.
const char* utf8_to_cp437(const char* text, char* buffer, size_t size);
