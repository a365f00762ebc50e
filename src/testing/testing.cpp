#include "testing/testing.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "driver/run.h"

TempDir::TempDir() {
  char pattern[] = "/tmp/klangbau-test-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream(file(name), std::ios::binary) << content;
}

void TempDir::write(const std::string& name,
                    const std::vector<uint8_t>& content) const {
  std::ofstream(file(name), std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()),
             static_cast<std::streamsize>(content.size()));
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string contents_of(FILE* stream) {
  std::string text;
  fflush(stream);
  rewind(stream);
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, n);
  return text;
}

std::string TempDir::read(const std::string& name) const { return read_file(file(name)); }

bool TempDir::exists(const std::string& name) const {
  return std::filesystem::exists(file(name));
}

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  slave_path_ = ptsname(master_);
  slave_keepalive_ = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  struct termios tio;
  tcgetattr(slave_keepalive_, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave_keepalive_, TCSANOW, &tio);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
  if (slave_keepalive_ >= 0) close(slave_keepalive_);
  if (master_ >= 0) close(master_);
}

void PseudoTerminal::drain_into(std::string* received) const {
  char buffer[4096];
  for (;;) {
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    received->append(buffer, static_cast<size_t>(n));
  }
}

void PseudoTerminal::release_exclusive_use() const {
  ioctl(slave_keepalive_, TIOCNXCL);
}

ProcessOptions in_directory(const TempDir& dir) {
  ProcessOptions options;
  options.working_directory = dir.path();
  return options;
}

ProcessResult run_process(const std::string& program,
                          const std::vector<std::string>& args,
                          const ProcessOptions& options) {
  int out_pipe[2], err_pipe[2];
  // Close-on-exec, so that only the program's own stdout and stderr hold
  // the write ends, and a process it leaves behind cannot keep them open.
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  if (options.terminal && !options.typed.empty() &&
      write(options.terminal->master(), options.typed.data(), options.typed.size()) < 0)
    throw std::runtime_error("cannot type on the terminal");
  pid_t child = fork();
  if (child == 0) {
    int input = options.terminal
                    ? open(options.terminal->slave_path().c_str(), O_RDWR | O_NOCTTY)
                    : open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (!options.working_directory.empty() &&
        chdir(options.working_directory.c_str()) != 0)
      _exit(127);
    for (const std::string& name : options.unset_env) unsetenv(name.c_str());
    for (const std::string& entry : options.set_env) {
      size_t equals = entry.find('=');
      setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    if (options.before_exec) options.before_exec();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);
  fcntl(err_pipe[0], F_SETFL, O_NONBLOCK);

  ProcessResult result;
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::seconds(options.timeout_seconds);
  bool out_open = true, err_open = true;
  int wait_status = 0;
  bool exited = false;
  while (out_open || err_open || !exited) {
    struct pollfd fds[3];
    int n = 0;
    if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
    if (err_open) fds[n++] = {err_pipe[0], POLLIN, 0};
    if (options.port) fds[n++] = {options.port->master(), POLLIN, 0};
    poll(fds, static_cast<nfds_t>(n), 20);
    char buffer[4096];
    if (out_open) {
      ssize_t got = read(out_pipe[0], buffer, sizeof buffer);
      if (got > 0) result.out.append(buffer, static_cast<size_t>(got));
      else if (got == 0) out_open = false;
    }
    if (err_open) {
      ssize_t got = read(err_pipe[0], buffer, sizeof buffer);
      if (got > 0) result.err.append(buffer, static_cast<size_t>(got));
      else if (got == 0) err_open = false;
    }
    if (options.port) options.port->drain_into(&result.port);
    if (!exited && waitpid(child, &wait_status, WNOHANG) == child) exited = true;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &wait_status, 0);
      close(out_pipe[0]);
      close(err_pipe[0]);
      throw std::runtime_error("child process timed out");
    }
  }
  if (options.port) {
    options.port->drain_into(&result.port);
    options.port->release_exclusive_use();
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status)
                                         : 128 + WTERMSIG(wait_status);
  return result;
}

ProcessResult run_klangbau_binary(const std::vector<std::string>& args,
                                  const ProcessOptions& options) {
  return run_process(KLANGBAU_BINARY, args, options);
}

void run_in_process(InProcessRun* result, const std::string& directory,
                    const std::vector<std::string>& args) {
  char previous[4096];
  if (!getcwd(previous, sizeof previous)) throw std::runtime_error("getcwd");
  if (chdir(directory.c_str()) != 0) throw std::runtime_error("chdir");
  RunState& run = *result->run;
  run.platform = &result->platform;
  run.out = tmpfile();
  run.err = tmpfile();
  std::vector<std::string> strings = {"klangbau"};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  result->status = run_klangbau(run, static_cast<int>(strings.size()), argv.data());
  // Files a run leaves open are closed at the end of the process; here, at
  // the end of the run.
  for (FILE** file : {&run.file_list, &run.cv_file, &run.output_file, &run.staging.file})
    if (*file) {
      fclose(*file);
      *file = nullptr;
    }
  result->out = contents_of(run.out);
  result->err = contents_of(run.err);
  fclose(run.out);
  fclose(run.err);
  if (chdir(previous) != 0) throw std::runtime_error("chdir back");
}

TestRun::TestRun() {
  run_->platform = &platform;
  run_->out = tmpfile();
  run_->err = tmpfile();
}

TestRun::~TestRun() {
  fclose(run_->out);
  fclose(run_->err);
}

std::string TestRun::out() { return contents_of(run_->out); }
std::string TestRun::err() { return contents_of(run_->err); }

FILE* file_with(const std::string& content) {
  FILE* file = tmpfile();
  fwrite(content.data(), 1, content.size(), file);
  rewind(file);
  return file;
}

std::string hex(const std::string& bytes) {
  std::string text;
  char two[4];
  for (unsigned char b : bytes) {
    snprintf(two, sizeof two, "%02x ", b);
    text += two;
  }
  return text;
}

static void put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

static void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, static_cast<uint16_t>(x));
  put16(v, static_cast<uint16_t>(x >> 16));
}

std::vector<uint8_t> make_wav(uint32_t sample_rate, uint16_t bits,
                              uint16_t channels,
                              const std::vector<uint8_t>& data) {
  uint16_t block_align = static_cast<uint16_t>(channels * bits / 8);
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
  put32(wav, static_cast<uint32_t>(36 + data.size()));
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(wav, 16);
  put16(wav, 1);
  put16(wav, channels);
  put32(wav, sample_rate);
  put32(wav, sample_rate * block_align);
  put16(wav, block_align);
  put16(wav, bits);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  put32(wav, static_cast<uint32_t>(data.size()));
  wav.insert(wav.end(), data.begin(), data.end());
  return wav;
}
