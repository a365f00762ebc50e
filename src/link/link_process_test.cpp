// The real binary against a pseudo-terminal as its port.  Serial-mode runs
// take their real pauses (several seconds each), so there are few of them.
// The image follows the wake-up on the line; these tests look at what the
// link itself sends before and after it.
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "testing/testing.h"

namespace {

const std::string OPENING_PACKET = "\x24\x80\x11\x17\x04\xa6";
const char* CV_ONLY_LIST = "**4.Generation\n**16MBit\n**nurCVs\n";

std::string wake_up_bytes() {
  std::string bytes;
  for (int b = 0xF3; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// A CV-only list through the binary, on a fresh pseudo-terminal whose path
// follows `reset_letter`; `more` are the arguments after the CV file.
ProcessResult run_cv_only_list(const std::string& reset_letter,
                               const std::vector<std::string>& more) {
  TempDir dir;
  dir.write("list.txt", CV_ONLY_LIST);
  dir.write("cv.txt", "");
  PseudoTerminal pty;
  ProcessOptions options = in_directory(dir);
  options.port = &pty;
  std::vector<std::string> args = {reset_letter + pty.slave_path(), "list.txt", "cv.txt"};
  args.insert(args.end(), more.begin(), more.end());
  return run_klangbau_binary(args, options);
}

}  // namespace

TEST(LinkProcess, FileModeSendsTheOpeningPacket) {
  ProcessResult r = run_cv_only_list("", {"image.bin"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(hex(r.port.substr(0, 6)), hex(OPENING_PACKET));
  EXPECT_EQ(r.out.find("hupen"), std::string::npos);
}

TEST(LinkProcess, SerialModeSendsTheWakeUpBytesAfterThePacket) {
  ProcessResult r = run_cv_only_list("r", {});
  std::string expected = OPENING_PACKET + wake_up_bytes();
  EXPECT_EQ(hex(r.port.substr(0, expected.size())), hex(expected));
  EXPECT_NE(r.out.find("\nEmpfänger sollte kurz hupen\n"), std::string::npos);
  // A pseudo-terminal refuses the modem-line requests: the run goes on to
  // its end, and the failed last RTS change is its exit status.
  EXPECT_EQ(r.status, 0) << r.err;
}

namespace {

void become_nobody() {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
    _exit(126);
}

}  // namespace

TEST(LinkProcess, PortInUseIsRefusedWithAnExplanation) {
  TempDir dir;
  PseudoTerminal pty;
  int holder = open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  // The superuser may open an exclusive terminal all the same, so the
  // program runs as an ordinary user, who needs the right to open it.
  chmod(pty.slave_path().c_str(), 0666);
  ProcessOptions options = in_directory(dir);
  options.before_exec = become_nobody;
  ProcessResult r = run_klangbau_binary(
      {pty.slave_path(), "list.txt", "cv.txt", "image.bin"}, options);
  close(holder);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Open " + pty.slave_path() +
                       ": Error 16\nDevice or resource busy (der Port wird "
                       "schon von einem anderen Programm benutzt)\n");
  EXPECT_FALSE(dir.exists("klangtmp.$$$"));
}

// The system calls on the port, as strace shows them, as short tokens:
// "drain", "set 38400 8N1", "dtr off", "rts on", "write 17", "sleep 10".
namespace {

std::string find_strace() {
  const char* path = getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (access((dir + "/strace").c_str(), X_OK) == 0) return dir + "/strace";
  return "";
}

// The bytes of a string as strace -xx prints it: "\x24\x80".
std::string unescape(const std::string& quoted) {
  std::string bytes;
  for (size_t i = 0; i + 3 < quoted.size() + 1; i += 4)
    bytes += static_cast<char>(std::stoi(quoted.substr(i + 2, 2), nullptr, 16));
  return bytes;
}

std::vector<std::string> port_calls(const std::string& trace,
                                    const std::string& port_path) {
  static const std::regex open_call(R"re(^openat\(.*?"((?:\\x[0-9a-f]{2})*)".*= (\d+)$)re");
  static const std::regex ioctl_call(R"re(^ioctl\((\d+), ([^,)]+)(.*)\) += (-?\d+))re");
  static const std::regex write_call(R"re(^write\((\d+), "((?:\\x[0-9a-f]{2})*)\")re");
  static const std::regex sleep_call(
      R"re(^clock_nanosleep\(CLOCK_REALTIME, 0, \{tv_sec=(\d+), tv_nsec=(\d+)\})re");
  std::vector<std::string> tokens;
  std::string fd;
  std::istringstream lines(trace);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (std::regex_search(line, m, open_call)) {
      if (unescape(m[1]) == port_path) fd = m[2];
    } else if (std::regex_search(line, m, ioctl_call) && m[1] == fd) {
      std::string request = m[2], argument = m[3];
      if (request.find("TCSETS") != std::string::npos) {
        std::smatch baud;
        std::regex_search(argument, baud, std::regex(R"(\bB(\d+)\b)"));
        std::string token = "set " + baud[1].str() + " ";
        token += argument.find("CS8") != std::string::npos ? "8N" : "?N";
        token += argument.find("CSTOPB") != std::string::npos ? "2" : "1";
        if (argument.find("HUPCL") != std::string::npos) token += " hupcl";
        if (argument.find("CRTSCTS") != std::string::npos) token += " crtscts";
        tokens.push_back(token);
      } else if (request == "TCSBRK") {
        tokens.push_back("drain");
      } else if (request == "TIOCEXCL") {
        tokens.push_back("exclusive");
      } else if (request == "TIOCMBIS" || request == "TIOCMBIC") {
        std::string line_name = argument.find("DTR") != std::string::npos ? "dtr" : "rts";
        tokens.push_back(line_name + (request == "TIOCMBIS" ? " on" : " off"));
      }
    } else if (std::regex_search(line, m, write_call) && m[1] == fd) {
      std::string bytes = unescape(m[2]);
      if (bytes.size() > 4 && bytes.find_first_not_of(bytes[0]) == std::string::npos)
        tokens.push_back("write " + hex(bytes.substr(0, 1)) + "*" +
                         std::to_string(bytes.size()));
      else
        tokens.push_back("write " + hex(bytes));
    } else if (std::regex_search(line, m, sleep_call) && !fd.empty()) {
      long ms = std::stol(m[1]) * 1000 + std::stol(m[2]) / 1000000;
      tokens.push_back("sleep " + std::to_string(ms));
    }
  }
  return tokens;
}

// A line change drains the output first, unless a write is outstanding.
void line_change(std::vector<std::string>& calls, const std::string& line,
                 bool dtr, bool rts, bool drained = true) {
  if (drained) calls.push_back("drain");
  calls.insert(calls.end(), {line, dtr ? "dtr on" : "dtr off", rts ? "rts on" : "rts off"});
}

}  // namespace

// A short reset of an xmega receiver: the one sequence with a line change
// made while a write is still going out.
TEST(LinkProcess, LineChangesPausesAndWritesReachTheSystemInOrder) {
  std::string strace = find_strace();
  if (strace.empty()) GTEST_SKIP() << "strace is not installed";
  if (run_process(strace, {"-o", "/dev/null", "/bin/true"}).status != 0)
    GTEST_SKIP() << "strace cannot trace here";

  TempDir dir;
  dir.write("list.txt", "**4.Generation\n**16MBit\n**XMega\n**nurCVs\n");
  dir.write("cv.txt", "");
  PseudoTerminal pty;
  ProcessOptions options = in_directory(dir);
  options.port = &pty;
  std::string trace_file = dir.file("trace");
  ProcessResult r = run_process(
      strace,
      {"-o", trace_file, "-qq", "-xx", "-s", "65536", "-e",
       "trace=openat,ioctl,write,clock_nanosleep", KLANGBAU_BINARY,
       "x" + pty.slave_path(), "list.txt", "cv.txt"},
      options);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> calls = port_calls(dir.read("trace"), pty.slave_path());

  std::vector<std::string> start = {"exclusive"};
  line_change(start, "set 57600 8N1", false, true);
  for (const char* byte : {"24 ", "80 ", "11 ", "17 ", "04 ", "a6 "})
    start.push_back(std::string("write ") + byte);
  start.insert(start.end(), {"drain", "sleep 10"});
  line_change(start, "set 38400 8N1", false, true);
  // Reset: hold, then the release while the first preamble is under way;
  // its completion wait is the drain.
  line_change(start, "set 38400 8N1", true, false);
  start.insert(start.end(), {"drain", "sleep 2000", "write 55 *300"});
  line_change(start, "set 38400 8N1", false, true, false);
  start.insert(start.end(), {"drain", "write 55 *300", "drain", "sleep 100"});
  line_change(start, "set 38400 8N2", false, true);
  // Wake-up.
  start.insert(start.end(), {"write 17 ", "drain", "sleep 1000"});

  std::vector<std::string> finish = {"drain", "sleep 5000"};
  for (int i = 0; i < 10; ++i) {
    line_change(finish, "set 38400 8N2", false, false);
    line_change(finish, "set 38400 8N2", false, true);
  }

  ASSERT_GE(calls.size(), start.size() + finish.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + start.size()),
            start);
  EXPECT_EQ(std::vector<std::string>(calls.end() - finish.size(), calls.end()), finish);
}
