// Port opening, line changes, the opening packet and the end of a serial run.
#include "link/link.h"

#include "driver/report.h"

namespace {

// 8N1, no CTS flow control, DTR off and RTS on: the receiver's idle lines.
void idle_line(LineConfig& config, uint32_t baud_rate) {
  config.baud_rate = baud_rate;
  config.byte_size = 8;
  config.parity = 0;
  config.stop_bits = ONE_STOP_BIT;
  config.cts_flow = false;
  config.dtr = false;
  config.rts = true;
}

void opening_line(LineConfig& config) { idle_line(config, 57600); }
void working_line(LineConfig& config) { idle_line(config, 38400); }
void rts_off(LineConfig& config) { config.rts = false; }
void rts_on(LineConfig& config) { config.rts = true; }

}  // namespace

int line_change(RunState& run, void (*edit)(LineConfig& config)) {
  run.link.port->read_config(&run.link.config);
  edit(run.link.config);
  return run.link.port->write_config(run.link.config);
}

void auxoutxor(RunState& run, uint8_t b) {
  auxout(run, b);
  run.link.check_byte ^= b;
}

void link_open(RunState& run) {
  LinkState& link = run.link;
  run.platform->device_name(run.port_text, run.port_number, link.device_name,
                            sizeof link.device_name);
  OpenFailure failure;
  link.port = run.platform->open_serial(link.device_name, &failure);
  if (!link.port) {
    say(run.err, "Open %s: Error %ld\n", link.device_name, failure.code);
    if (failure.explanation[0]) say(run.err, "%s\n", failure.explanation);
    error_exit(run, 1);
  }

  line_change(run, opening_line);
  // The check byte closes the packet: the XOR of all six bytes is zero.
  link.check_byte = 0;
  static const uint8_t PACKET[] = {0x24, 0x80, 0x11, 0x17, 0x04};
  for (uint8_t b : PACKET) auxoutxor(run, b);
  auxoutxor(run, link.check_byte);
  run.platform->sleep_ms(10);
  line_change(run, working_line);
}

int link_finish(RunState& run) {
  run.platform->sleep_ms(5000);
  // Each change reads the configuration afresh and none waits, so an RTS-off
  // pulse lasts two configuration calls.  Only the last write's result
  // counts, so a failed toggle in between goes unnoticed.
  int result = 0;
  for (int toggle = 0; toggle < 10; ++toggle) {
    line_change(run, rts_off);
    result = line_change(run, rts_on);
  }
  return result;
}
