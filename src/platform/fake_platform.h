// A platform for tests: a serial port that records every line change, byte
// and pause on a virtual clock, an environment of its own, and a key wait
// that only counts.  Files are the real ones.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeEvent {
  enum Kind {
    config_write,   // a configuration write; `line` holds what was written
    write_started,  // an accepted write; `bytes` holds its bytes
    write_refused,  // a refused write; `bytes` holds its bytes
    completion,     // a completion routine ran; `code` is its error code
    clear_errors,
    pause,          // `milliseconds` long
  };
  Kind kind;
  uint64_t time_ms;  // virtual clock when the event happened
  LineConfig line;  // the line settings when the event happened
  std::vector<uint8_t> bytes;
  uint32_t milliseconds = 0;
  uint32_t code = 0;
  long console_length = 0;  // bytes in `FakeSerialPort::console` by then
};

class FakeSerialPort : public SerialPort {
 public:
  explicit FakeSerialPort(uint64_t* clock) : clock_(clock) {}

  void read_config(LineConfig* config) override;
  int write_config(const LineConfig& config) override;
  bool start_write(const uint8_t* bytes, uint32_t count, WriteCompletion done,
                   void* context) override;
  void wait_alertable() override;
  long last_error() override { return last_error_; }
  void clear_errors() override;

  // Every byte of the accepted writes, in order.
  std::vector<uint8_t> bytes_sent() const;

  // Stamps the event with the clock and the console length and keeps it.
  void record(FakeEvent event);

  std::vector<FakeEvent> events;
  LineConfig current;          // what the port holds now
  int config_result = 1;       // what write_config returns
  std::vector<int> config_results;  // if given, per write from the first
  int refuse_write = -1;       // index of the write (from 0) to refuse
  long refuse_code = 0;
  int fail_completion = -1;    // index of the write whose completion fails
  uint32_t completion_code = 0;
  // A console stream whose length each event notes, so that a test sees
  // where messages fall between line changes, bytes and pauses.
  FILE* console = nullptr;

 private:
  uint64_t* clock_;
  int writes_ = 0;
  long last_error_ = 0;
  size_t config_writes_ = 0;
  bool outstanding_ = false;
  uint32_t outstanding_code_ = 0;
  uint32_t outstanding_count_ = 0;
  WriteCompletion done_ = nullptr;
  void* context_ = nullptr;
};

class FakePlatform : public Platform {
 public:
  FakePlatform() : port(&clock_ms) {}

  void device_name(const char* port_text, int port_number, char* name,
                   size_t name_size) override;
  SerialPort* open_serial(const char* name, OpenFailure* failure) override;
  void sleep_ms(uint32_t milliseconds) override;
  void wait_for_key() override { ++key_waits; }
  bool env_present(const char* name) override;
  bool file_length(FILE* file, uint64_t* length) override;
  int remove_file(const char* path) override;
  FILE* open_sound_file(const char* path) override;

  uint64_t clock_ms = 0;
  FakeSerialPort port;
  bool port_opens = true;
  long open_error = 2;
  std::string open_explanation;
  std::string opened_name;
  std::set<std::string> environment;  // names of the variables present
  int key_waits = 0;
};
