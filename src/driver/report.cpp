#include "driver/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

void vsay(FILE* stream, const char* format, va_list args) {
  char console[1024];
  vfprintf(stream, console_format(format, console, sizeof console), args);
}

void say(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsay(stream, format, args);
  va_end(args);
}

void error_report(RunState& run, const char* name) {
  const char* text = strerror(errno);
  fprintf(run.err, "%s: %s\n", name, text);
}

void error_exit(RunState& run, int status) {
  fflush(run.out);
  fflush(run.err);
  run.platform->wait_for_key();
  throw RunEnded{status};
}

FILE* open_or_exit(RunState& run, const char* path, const char* mode) {
  FILE* file = fopen(path, mode);
  if (!file) {
    error_report(run, path);
    error_exit(run, 0);
  }
  return file;
}

void fail(RunState& run, int status, FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsay(stream, format, args);
  va_end(args);
  error_exit(run, status);
}
