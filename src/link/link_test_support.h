// A run with only its link in use, over the recording fake, and its events
// written as one readable line each, so that a test compares whole timelines:
//   "@10 line 38400 8N1 dtr0 rts1"   a configuration write at 10 ms
//   "@0 write 24"                    an accepted write and its bytes
//   "@0 write 55*300"                300 bytes of 0x55
//   "@0 refused 41"                  a refused write
//   "@0 done" / "@0 done error 22"   a completion routine ran
//   "@0 clear"                       the port's error state was cleared
//   "@0 pause 500"
//   "say 2 Sekunden Reset...."       text that reached stdout in between
#pragma once

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/run_state.h"
#include "platform/fake_platform.h"
#include "testing/testing.h"

namespace link_test {

inline std::string line(const LineConfig& c) {
  char text[64];
  snprintf(text, sizeof text, "line %u %u%c%d dtr%d rts%d%s", c.baud_rate,
           c.byte_size, "NOE"[c.parity % 3],
           c.stop_bits == TWO_STOP_BITS ? 2 : 1, c.dtr, c.rts,
           c.cts_flow ? " cts" : "");
  return text;
}

inline std::string bytes(const std::vector<uint8_t>& b) {
  char hex[8];
  if (b.size() > 4 &&
      std::count(b.begin(), b.end(), b[0]) == static_cast<long>(b.size())) {
    snprintf(hex, sizeof hex, "%02x*", b[0]);
    return hex + std::to_string(b.size());
  }
  std::string text;
  for (uint8_t x : b) {
    snprintf(hex, sizeof hex, "%s%02x", text.empty() ? "" : " ", x);
    text += hex;
  }
  return text;
}

inline std::string describe(const FakeEvent& e) {
  switch (e.kind) {
    case FakeEvent::config_write: return line(e.line);
    case FakeEvent::write_started: return "write " + bytes(e.bytes);
    case FakeEvent::write_refused: return "refused " + bytes(e.bytes);
    case FakeEvent::completion:
      return e.code ? "done error " + std::to_string(e.code) : "done";
    case FakeEvent::clear_errors: return "clear";
    case FakeEvent::pause: return "pause " + std::to_string(e.milliseconds);
  }
  return "?";
}

}  // namespace link_test

// The port's events, with the text of `console` (the stream the port
// watched) placed where it was printed.
inline std::vector<std::string> timeline(const FakeSerialPort& port,
                                         const std::string& console) {
  std::vector<std::string> lines;
  long printed = 0;
  auto say_up_to = [&](long length) {
    if (length > printed)
      lines.push_back("say " + console.substr(printed, length - printed));
    printed = length;
  };
  for (const FakeEvent& event : port.events) {
    say_up_to(event.console_length);
    lines.push_back("@" + std::to_string(event.time_ms) + " " +
                    link_test::describe(event));
  }
  say_up_to(static_cast<long>(console.size()));
  return lines;
}

struct LinkRun {
  FakePlatform platform;
  std::unique_ptr<RunState> run = std::make_unique<RunState>();

  LinkRun() {
    run->platform = &platform;
    run->out = tmpfile();
    run->err = tmpfile();
    platform.port.console = run->out;
  }
  ~LinkRun() {
    fclose(run->out);
    fclose(run->err);
  }

  // As link_open leaves it: the port open at 38400 8N1, DTR off, RTS on.
  void open_port() {
    run->link.port = &platform.port;
    platform.port.current = {38400, 8, 0, ONE_STOP_BIT, false, false, true};
  }

  std::string out() const { return contents_of(run->out); }
  std::string err() const { return contents_of(run->err); }

  std::vector<std::string> timeline() const {
    return ::timeline(platform.port, out());
  }
};
