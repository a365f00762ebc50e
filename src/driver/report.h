// Console output and the error exit, which every Part follows: message,
// one key press when there is a console, end of the run with the status.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "driver/run_state.h"

// Thrown by error_exit and caught by run_klangbau, which returns the status
// as the process's exit status.  Nothing is cleaned up on the way.
struct RunEnded {
  int status;
};

// printf to one of the run's console streams; `format` is UTF-8 and reaches
// the console in its own encoding.
void say(FILE* stream, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void vsay(FILE* stream, const char* format, va_list args);

// The error report of a file: "name: <system text>\n" on stderr, as perror
// prints it, for the current errno.
void error_report(RunState& run, const char* name);

[[noreturn]] void error_exit(RunState& run, int status);

// Opens a file with fopen; one that cannot be opened or created gets its
// error report and ends the run with status 0, as every file of a run and
// of the conversion does.
FILE* open_or_exit(RunState& run, const char* path, const char* mode);

// say() followed by error_exit().
[[noreturn]] void fail(RunState& run, int status, FILE* stream,
                       const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;
