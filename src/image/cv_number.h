#pragma once

#include <cstdint>

// Reads an integer as the "%i" conversion of formatted input does: leading
// white space, an optional sign, then "0x"/"0X" for hexadecimal, a leading 0
// for octal, else decimal; it stops at the first character that cannot go
// on.  false when no digit was read.  The value is returned as an unsigned
// 32-bit number, so -1 comes back as 0xFFFFFFFF; values beyond 32 bits are
// kept out of the range 0 to 256 rather than wrapped into it.
bool read_i_conversion(const char* text, uint32_t* value);
