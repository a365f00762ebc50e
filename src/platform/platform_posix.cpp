// POSIX platform: termios serial port, nanosleep, a raw-mode key read.
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix_files.h"

extern char** environ;

namespace {

struct BaudEntry {
  uint32_t rate;
  speed_t speed;
};

const BaudEntry BAUD_RATES[] = {
    {9600, B9600},   {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200},
};

speed_t speed_for(uint32_t rate) {
  for (const BaudEntry& entry : BAUD_RATES)
    if (entry.rate == rate) return entry.speed;
  return B38400;
}

uint32_t rate_for(speed_t speed) {
  for (const BaudEntry& entry : BAUD_RATES)
    if (entry.speed == speed) return entry.rate;
  return 0;
}

// A write is complete once all its bytes are in the driver's hands, so the
// image streams at the line's own speed.  Before a line change or a pause the
// output is drained, so that bytes, line changes and pauses reach the line in
// the program's order.  The one exception is a line change made while a
// write is still outstanding (the reset's preamble): it is made at once, and
// that write's completion wait becomes the drain.
class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}

  void read_config(LineConfig* config) override {
    struct termios tio;
    if (tcgetattr(fd_, &tio) == 0) {
      config->baud_rate = rate_for(cfgetospeed(&tio));
      switch (tio.c_cflag & CSIZE) {
        case CS5: config->byte_size = 5; break;
        case CS6: config->byte_size = 6; break;
        case CS7: config->byte_size = 7; break;
        default: config->byte_size = 8; break;
      }
      config->parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
      config->stop_bits = (tio.c_cflag & CSTOPB) ? TWO_STOP_BITS : ONE_STOP_BIT;
      config->cts_flow = (tio.c_cflag & CRTSCTS) != 0;
    }
    // Where the device keeps no modem lines (a pseudo-terminal), the levels
    // last asked for stand in for them.
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) == 0) {
      config->dtr = (lines & TIOCM_DTR) != 0;
      config->rts = (lines & TIOCM_RTS) != 0;
    } else {
      config->dtr = dtr_;
      config->rts = rts_;
    }
  }

  // Returns 0 when any part fails, a refused modem-line request included (a
  // pseudo-terminal has no modem lines and answers ENOTTY): the program does
  // not look at the result except for the very last change of a run.
  int write_config(const LineConfig& config) override {
    if (write_outstanding_) drain_on_completion_ = true;
    else drain();
    bool ok = true;
    struct termios tio;
    if (tcgetattr(fd_, &tio) != 0) {
      ok = false;
    } else {
      cfmakeraw(&tio);
      // HUPCL off: the modem lines keep their levels when the port closes
      // at the end of the process.  CLOCAL: no carrier is ever expected.
      tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
      tio.c_cflag |= CLOCAL | CREAD | CS8;
      if (config.parity == 1) tio.c_cflag |= PARENB | PARODD;
      if (config.parity == 2) tio.c_cflag |= PARENB;
      if (config.stop_bits == TWO_STOP_BITS) tio.c_cflag |= CSTOPB;
      if (config.cts_flow) tio.c_cflag |= CRTSCTS;
      cfsetispeed(&tio, speed_for(config.baud_rate));
      cfsetospeed(&tio, speed_for(config.baud_rate));
      if (tcsetattr(fd_, TCSANOW, &tio) != 0) ok = false;
    }
    dtr_ = config.dtr;
    rts_ = config.rts;
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    if (ioctl(fd_, config.dtr ? TIOCMBIS : TIOCMBIC, &dtr) != 0) ok = false;
    if (ioctl(fd_, config.rts ? TIOCMBIS : TIOCMBIC, &rts) != 0) ok = false;
    return ok ? 1 : 0;
  }

  bool start_write(const uint8_t* bytes, uint32_t count, WriteCompletion done,
                   void* context) override {
    uint32_t written = 0;
    while (written < count) {
      ssize_t n = write(fd_, bytes + written, count - written);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          struct pollfd ready = {fd_, POLLOUT, 0};
          poll(&ready, 1, -1);
          continue;
        }
        error_ = errno;
        return false;
      }
      written += static_cast<uint32_t>(n);
    }
    done_ = done;
    context_ = context;
    transferred_ = written;
    write_outstanding_ = true;
    return true;
  }

  void wait_alertable() override {
    if (drain_on_completion_) {
      drain();
      drain_on_completion_ = false;
    }
    if (!write_outstanding_) return;
    write_outstanding_ = false;
    done_(context_, 0, transferred_);
  }

  long last_error() override { return error_; }

  // A terminal keeps no error state that would refuse later writes.
  void clear_errors() override {}

  void drain() {
    while (tcdrain(fd_) != 0 && errno == EINTR) {
    }
  }

 private:
  int fd_;
  bool dtr_ = false;
  bool rts_ = false;
  long error_ = 0;
  bool write_outstanding_ = false;
  bool drain_on_completion_ = false;
  WriteCompletion done_ = nullptr;
  void* context_ = nullptr;
  uint32_t transferred_ = 0;
};

// Opens the device for this process alone.  O_NONBLOCK only for the open
// itself: without it, opening a port whose carrier line is down waits
// until a carrier comes, which a receiver never raises.
int open_exclusive(const char* name) {
  int fd = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  int error = 0;
  if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) error = errno;
  int flags = fcntl(fd, F_GETFL);
  if (!error && (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0))
    error = errno;
  if (error) {
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

class PosixPlatform : public Platform {
 public:
  void device_name(const char* port_text, int port_number, char* name,
                   size_t name_size) override {
    if (port_text[0] == '/')
      snprintf(name, name_size, "%s", port_text);
    else
      snprintf(name, name_size, "/dev/ttyS%d", port_number - 1);
  }

  SerialPort* open_serial(const char* name, OpenFailure* failure) override {
    int fd = open_exclusive(name);
    if (fd < 0) {
      int error = errno;
      failure->code = error;
      const char* hint = "";
      if (error == EACCES)
        hint = " (Rechte: ist der Benutzer in der Gruppe des seriellen Ports, z.B. dialout?)";
      else if (error == EBUSY)
        hint = " (der Port wird schon von einem anderen Programm benutzt)";
      snprintf(failure->explanation, sizeof failure->explanation, "%s%s",
               strerror(error), hint);
      return nullptr;
    }
    port_ = new PosixSerialPort(fd);  // lives until the process ends
    return port_;
  }

  void sleep_ms(uint32_t milliseconds) override {
    if (port_) port_->drain();
    struct timespec rest = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
  }

  void wait_for_key() override {
    if (!isatty(STDIN_FILENO)) return;
    struct termios saved, raw;
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    raw = saved;
    raw.c_lflag &= ~(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char key;
    ssize_t n;
    do {
      n = read(STDIN_FILENO, &key, 1);
    } while (n < 0 && errno == EINTR);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (n == 1) {
      fputc(key, stdout);
      fflush(stdout);
    }
  }

  bool env_present(const char* name) override {
    size_t length = strlen(name);
    for (char** entry = environ; *entry; ++entry)
      if (strncasecmp(*entry, name, length) == 0 && (*entry)[length] == '=')
        return true;
    return false;
  }

  bool file_length(FILE* file, uint64_t* length) override {
    return posix_file_length(file, length);
  }

  int remove_file(const char* path) override { return remove(path); }

  FILE* open_sound_file(const char* path) override {
    return posix_open_sound_file(path);
  }

 private:
  PosixSerialPort* port_ = nullptr;
};

}  // namespace

Platform* system_platform() {
  static PosixPlatform platform;
  return &platform;
}

const char* console_format(const char* format, char*, size_t) {
  return format;
}
