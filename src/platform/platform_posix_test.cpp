// The POSIX serial port against a pseudo-terminal, which takes the line
// settings like a real port but has no modem lines.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testing/testing.h"

namespace {

SerialPort* open_port(const std::string& path) {
  OpenFailure failure;
  SerialPort* port = system_platform()->open_serial(path.c_str(), &failure);
  EXPECT_NE(port, nullptr) << failure.explanation;
  return port;
}

struct Completions {
  int calls = 0;
  uint32_t error_code = 0;
  uint32_t transferred = 0;
};

void count_completion(void* context, uint32_t error_code, uint32_t transferred) {
  Completions& c = *static_cast<Completions*>(context);
  ++c.calls;
  c.error_code = error_code;
  c.transferred = transferred;
}

}  // namespace

TEST(PosixSerialPort, SetsRawEightBitLinesWithoutHangUpOnClose) {
  PseudoTerminal pty;
  int observer = open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(observer, 0);
  SerialPort* port = open_port(pty.slave_path());
  ASSERT_NE(port, nullptr);

  struct Case {
    LineConfig config;
    speed_t speed;
    bool two_stop_bits;
  };
  for (const Case& c : {
           Case{{57600, 8, 0, ONE_STOP_BIT, false, false, true}, B57600, false},
           Case{{38400, 8, 0, TWO_STOP_BITS, false, true, false}, B38400, true},
       }) {
    // A pseudo-terminal refuses the modem-line requests: a failed write,
    // but the settings are made all the same.
    EXPECT_EQ(port->write_config(c.config), 0);
    struct termios tio;
    ASSERT_EQ(tcgetattr(observer, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), c.speed);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.two_stop_bits);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Read back, with the modem lines as last asked for.
    LineConfig read;
    port->read_config(&read);
    EXPECT_EQ(read.baud_rate, c.config.baud_rate);
    EXPECT_EQ(read.byte_size, 8);
    EXPECT_EQ(read.parity, 0);
    EXPECT_EQ(read.stop_bits, c.config.stop_bits);
    EXPECT_FALSE(read.cts_flow);
    EXPECT_EQ(read.dtr, c.config.dtr);
    EXPECT_EQ(read.rts, c.config.rts);
  }
  close(observer);
}

TEST(PosixSerialPort, WriteCompletesOnlyInsideTheAlertableWait) {
  PseudoTerminal pty;
  SerialPort* port = open_port(pty.slave_path());
  ASSERT_NE(port, nullptr);
  port->write_config({38400, 8, 0, ONE_STOP_BIT, false, false, true});

  const std::string block(300, '\x55');
  Completions completions;
  ASSERT_TRUE(port->start_write(reinterpret_cast<const uint8_t*>(block.data()),
                                300, count_completion, &completions));
  EXPECT_EQ(completions.calls, 0);
  port->wait_alertable();
  EXPECT_EQ(completions.calls, 1);
  EXPECT_EQ(completions.error_code, 0u);
  EXPECT_EQ(completions.transferred, 300u);

  std::string received;
  pty.drain_into(&received);
  EXPECT_EQ(received, block);
}

TEST(PosixSerialPort, WriteToALineWithNoOtherEndIsRefused) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  SerialPort* port = open_port(ptsname(master));
  ASSERT_NE(port, nullptr);
  close(master);

  const uint8_t byte = 0x41;
  Completions completions;
  EXPECT_FALSE(port->start_write(&byte, 1, count_completion, &completions));
  EXPECT_EQ(port->last_error(), EIO);
  EXPECT_EQ(completions.calls, 0);
}

TEST(PosixSerialPort, MissingDeviceIsReportedWithItsErrorCode) {
  OpenFailure failure;
  EXPECT_EQ(system_platform()->open_serial("/dev/klangbau-no-such-port", &failure),
            nullptr);
  EXPECT_EQ(failure.code, ENOENT);
  EXPECT_STREQ(failure.explanation, "No such file or directory");
}
