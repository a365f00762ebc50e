// A receiver on a pseudo-terminal, for programming without hardware.
//
//   virtual_receiver [--flash 8|16|32] [--save FILE] [--timeout S]
//                    [-- PROGRAM ARG... ]
//
// Opens a pseudo-terminal and prints the path of its device side.  With a
// command, every "{port}" in its arguments becomes that path; the command
// runs, and when it has ended the receiver reports what it got.  Without a
// command it waits for a programmer to send a whole image.  Exit status: 0
// for a whole and correct image, 1 for a refused one, 2 for a usage error.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "receiver_decode.h"

namespace {

struct Options {
  uint32_t flash_size = 0x420000;
  const char* save_path = nullptr;
  int timeout_seconds = 600;
  std::vector<std::string> command;
};

int usage() {
  fprintf(stderr,
          "usage: virtual_receiver [--flash 8|16|32] [--save FILE] [--timeout S]"
          " [-- PROGRAM ARG...]\n"
          "  \"{port}\" in the arguments of PROGRAM stands for the receiver's port.\n");
  return 2;
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--") {
      for (++i; i < argc; ++i) o->command.push_back(argv[i]);
      return !o->command.empty();
    }
    if (i + 1 >= argc) return false;
    if (a == "--flash") {
      std::string mbit = argv[++i];
      if (mbit == "8") o->flash_size = 0x108000;
      else if (mbit == "16") o->flash_size = 0x210000;
      else if (mbit == "32") o->flash_size = 0x420000;
      else return false;
    } else if (a == "--save") {
      o->save_path = argv[++i];
    } else if (a == "--timeout") {
      o->timeout_seconds = atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

void read_available(int master, std::vector<uint8_t>* stream,
                    std::chrono::steady_clock::time_point* last_byte) {
  uint8_t buffer[4096];
  for (;;) {
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) return;
    stream->insert(stream->end(), buffer, buffer + n);
    *last_byte = std::chrono::steady_clock::now();
  }
}

pid_t start(const std::vector<std::string>& command, const std::string& port) {
  std::vector<std::string> args;
  for (std::string arg : command) {
    for (size_t at; (at = arg.find("{port}")) != std::string::npos;)
      arg.replace(at, 6, port);
    args.push_back(arg);
  }
  pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    fprintf(stderr, "virtual_receiver: %s: %s\n", argv[0], strerror(errno));
    _exit(127);
  }
  return child;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, &options)) return usage();

  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    perror("virtual_receiver: pseudo-terminal");
    return 2;
  }
  std::string port = ptsname(master);
  // Holding the device side open keeps the line up between the programmer's
  // open and close, so no byte is lost when it ends.
  int device = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  struct termios tio;
  tcgetattr(device, &tio);
  cfmakeraw(&tio);
  tcsetattr(device, TCSANOW, &tio);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  printf("Virtueller Empfänger an %s\n", port.c_str());
  fflush(stdout);

  std::vector<uint8_t> stream;
  auto started = std::chrono::steady_clock::now();
  auto last_byte = started;
  pid_t child = options.command.empty() ? -1 : start(options.command, port);
  int child_status = 0;
  for (;;) {
    struct pollfd fd = {master, POLLIN, 0};
    poll(&fd, 1, 50);
    read_available(master, &stream, &last_byte);
    auto now = std::chrono::steady_clock::now();
    if (child > 0) {
      if (waitpid(child, &child_status, WNOHANG) == child) break;
    } else if (!stream.empty() && now - last_byte > std::chrono::milliseconds(1500) &&
               decode_stream(stream, options.flash_size).complete) {
      break;
    }
    if (now - started > std::chrono::seconds(options.timeout_seconds)) {
      fprintf(stderr, "virtual_receiver: Zeit abgelaufen\n");
      if (child > 0) kill(child, SIGKILL);
      break;
    }
  }
  read_available(master, &stream, &last_byte);

  if (child > 0) {
    if (WIFEXITED(child_status))
      printf("\nProgrammierer beendet mit Status %d\n", WEXITSTATUS(child_status));
    else
      printf("\nProgrammierer abgebrochen (Signal %d)\n", WTERMSIG(child_status));
  }
  ReceivedStream received = decode_stream(stream, options.flash_size);
  printf("%s", format_report(received).c_str());

  if (received.accepted && options.save_path) {
    // The layout of an image file written by the programmer: the image,
    // then its checksum's two bytes.
    FILE* out = fopen(options.save_path, "wb");
    bool ok = out && fwrite(received.image.data(), 1, received.image.size(), out) ==
                         received.image.size();
    ok = ok && fputc(received.checksum_received & 0xFF, out) != EOF &&
         fputc(received.checksum_received >> 8, out) != EOF;
    if (out && fclose(out) != 0) ok = false;
    if (!ok) {
      perror(options.save_path);
      return 2;
    }
  }
  return received.accepted ? 0 : 1;
}
