#include "platform/fake_platform.h"

#include <strings.h>

#include <cstdio>
#include <stdexcept>

#include "platform/posix_files.h"

void FakeSerialPort::read_config(LineConfig* config) { *config = current; }

void FakeSerialPort::record(FakeEvent event) {
  event.time_ms = *clock_;
  if (console) {
    fflush(console);
    event.console_length = ftell(console);
  }
  events.push_back(event);
}

int FakeSerialPort::write_config(const LineConfig& config) {
  current = config;
  record(FakeEvent{FakeEvent::config_write, *clock_, config, {}});
  size_t index = config_writes_++;
  return index < config_results.size() ? config_results[index] : config_result;
}

bool FakeSerialPort::start_write(const uint8_t* bytes, uint32_t count,
                                 WriteCompletion done, void* context) {
  int index = writes_++;
  FakeEvent event{index == refuse_write ? FakeEvent::write_refused
                                        : FakeEvent::write_started,
                  *clock_, current, std::vector<uint8_t>(bytes, bytes + count)};
  record(event);
  if (index == refuse_write) {
    last_error_ = refuse_code;
    return false;
  }
  outstanding_ = true;
  outstanding_code_ = index == fail_completion ? completion_code : 0;
  outstanding_count_ = count;
  done_ = done;
  context_ = context;
  return true;
}

void FakeSerialPort::wait_alertable() {
  // The real wait would sleep forever; a test should fail instead.
  if (!outstanding_) throw std::logic_error("alertable wait with no write outstanding");
  outstanding_ = false;
  FakeEvent event{FakeEvent::completion, *clock_, current, {}};
  event.code = outstanding_code_;
  record(event);
  done_(context_, outstanding_code_, outstanding_count_);
}

void FakeSerialPort::clear_errors() {
  record(FakeEvent{FakeEvent::clear_errors, *clock_, current, {}});
}

std::vector<uint8_t> FakeSerialPort::bytes_sent() const {
  std::vector<uint8_t> all;
  for (const FakeEvent& event : events)
    if (event.kind == FakeEvent::write_started)
      all.insert(all.end(), event.bytes.begin(), event.bytes.end());
  return all;
}

void FakePlatform::device_name(const char* port_text, int port_number,
                               char* name, size_t name_size) {
  if (port_text[0] == '/')
    snprintf(name, name_size, "%s", port_text);
  else
    snprintf(name, name_size, "COM%d", port_number);
}

SerialPort* FakePlatform::open_serial(const char* name, OpenFailure* failure) {
  opened_name = name;
  if (!port_opens) {
    failure->code = open_error;
    snprintf(failure->explanation, sizeof failure->explanation, "%s",
             open_explanation.c_str());
    return nullptr;
  }
  return &port;
}

void FakePlatform::sleep_ms(uint32_t milliseconds) {
  FakeEvent event{FakeEvent::pause, clock_ms, port.current, {}};
  event.milliseconds = milliseconds;
  port.record(event);
  clock_ms += milliseconds;
}

bool FakePlatform::env_present(const char* name) {
  for (const std::string& present : environment)
    if (strcasecmp(present.c_str(), name) == 0) return true;
  return false;
}

bool FakePlatform::file_length(FILE* file, uint64_t* length) {
  return posix_file_length(file, length);
}

int FakePlatform::remove_file(const char* path) { return remove(path); }

FILE* FakePlatform::open_sound_file(const char* path) {
  return posix_open_sound_file(path);
}
