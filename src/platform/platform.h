// The few operating-system services the program needs, behind one small
// interface: the serial port, pauses, the console key wait, the environment
// and two file-system questions.  Everything above this layer is portable.
//
// Implementations: platform_posix.cpp (termios), platform_win32.cpp (the
// Windows communications API) and, for tests, fake_platform.h, which records
// every line change, byte and pause on a virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The port settings the program edits.  Field values follow the Windows DCB
// so that the Win32 implementation is a plain copy.
struct LineConfig {
  uint32_t baud_rate = 0;
  uint8_t byte_size = 0;
  uint8_t parity = 0;     // 0: no parity
  uint8_t stop_bits = 0;  // ONE_STOP_BIT or TWO_STOP_BITS
  bool cts_flow = false;  // CTS output flow control
  bool dtr = false;
  bool rts = false;
};

enum : uint8_t { ONE_STOP_BIT = 0, TWO_STOP_BITS = 2 };

// Completion routine of a serial write.  It runs on the program's own thread,
// only inside SerialPort::wait_alertable, once for every accepted write.
using WriteCompletion = void (*)(void* context, uint32_t error_code,
                                 uint32_t bytes_transferred);

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Read-edit-write of the line settings.  write_config returns non-zero on
  // success (the system's own result, passed on as the run's exit status).
  virtual void read_config(LineConfig* config) = 0;
  virtual int write_config(const LineConfig& config) = 0;

  // Issues a write.  true: accepted, `done` will be called once for it inside
  // a later wait_alertable.  false: refused, last_error() tells why and no
  // completion will come.  The bytes must stay untouched until `done` ran.
  virtual bool start_write(const uint8_t* bytes, uint32_t count,
                           WriteCompletion done, void* context) = 0;

  // Sleeps without time limit until a completion routine has run.
  virtual void wait_alertable() = 0;

  virtual long last_error() = 0;

  // Clears the port's error state so that it accepts writes again.
  virtual void clear_errors() = 0;
};

// Why a port did not open: the code printed in "Open %s: Error %ld" and an
// optional second line that explains it to the user (empty when none).
struct OpenFailure {
  long code = 0;
  char explanation[256] = {};
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The device that the port text of the command line names.  `port_text` is
  // the first argument without its reset letter, `port_number` its value as
  // read by atoi.  Writes the name used in messages into `name`.
  virtual void device_name(const char* port_text, int port_number, char* name,
                           size_t name_size) = 0;

  // Opens the device for exclusive writing.  nullptr on failure.  The port is
  // owned by the platform and lives until the process ends.
  virtual SerialPort* open_serial(const char* name, OpenFailure* failure) = 0;

  // Pauses the thread.  Bytes already written reach the line first.
  virtual void sleep_ms(uint32_t milliseconds) = 0;

  // Waits for one key press and echoes it, when there is a console to read.
  virtual void wait_for_key() = 0;

  // Whether the environment variable exists, its name compared without
  // regard to case.
  virtual bool env_present(const char* name) = 0;

  // Length of an open file in bytes, without moving its stream.
  virtual bool file_length(FILE* file, uint64_t* length) = 0;

  virtual int remove_file(const char* path) = 0;

  // Opens a sound file for binary reading.  Where the file system tells
  // letter case apart, a path written for one that does not still opens.
  virtual FILE* open_sound_file(const char* path) = 0;
};

// The platform the program runs on.
Platform* system_platform();

// The program's message texts are written in UTF-8.  Returns `format` as the
// console expects it: unchanged on POSIX, code page 437 on Windows.  Only
// format strings pass through here, never user data such as paths.
const char* console_format(const char* format, char* buffer, size_t size);
