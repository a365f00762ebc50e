// The Windows program itself, under wine, against a pseudo-terminal that
// wine maps as COM12.  Skipped where wine or the cross-built program is
// missing.  Where wine cannot start 32-bit programs (a kernel without 32-bit
// support), the 64-bit build of the same sources stands in for the 32-bit one.
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "testing/testing.h"

namespace {

struct Wine {
  std::string loader;   // runs a Windows program
  std::string server;   // wineserver
  std::string program;  // klangbau.exe
};

bool executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// The first build of the program that this machine's wine can start.
bool find_wine(Wine* wine, std::string* why_not) {
  const std::string build = std::string(KLANGBAU_SOURCE_DIR) + "/build/";
  const Wine candidates[] = {
      {"/usr/lib/wine/wine", "", build + "mingw/klangbau.exe"},
      {"/usr/lib/wine/wine64", "", build + "mingw64/klangbau.exe"},
  };
  for (const char* server : {"/usr/lib/wine/wineserver", "/usr/lib/wine/wineserver64",
                             "/usr/bin/wineserver"})
    if (wine->server.empty() && executable(server)) wine->server = server;
  if (wine->server.empty()) {
    *why_not = "wine is not installed";
    return false;
  }
  *why_not = "no Windows build that wine can start (cmake --preset mingw / mingw64)";
  for (const Wine& c : candidates) {
    if (!executable(c.loader) || !executable(c.program)) continue;
    if (run_process(c.loader, {"--version"}).status != 0) continue;
    wine->loader = c.loader;
    wine->program = c.program;
    return true;
  }
  return false;
}

// Wine's helper processes outlive the command that started them and keep
// whatever descriptors it had, so a wine command gets its output in files
// and no other descriptor of the test: a pipe the test waits on would stay
// open for as long as the wine server runs.
void keep_only_standard_descriptors() { close_range(3, ~0u, 0); }

ProcessResult shell_run(const std::string& command, ProcessOptions options) {
  options.before_exec = keep_only_standard_descriptors;
  return run_process("/bin/sh", {"-c", command}, options);
}

int shell(const std::string& command, const ProcessOptions& options) {
  return shell_run(command, options).status;
}

std::string link_target(const std::string& path) {
  char target[4096];
  ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : "";
}

}  // namespace

TEST(WindowsProgram, FileModeUnderWineSendsTheOpeningPacket) {
  Wine wine;
  std::string why_not;
  if (!find_wine(&wine, &why_not)) GTEST_SKIP() << why_not;

  TempDir dir;
  PseudoTerminal pty;
  ProcessOptions env = in_directory(dir);
  env.set_env = {"WINEPREFIX=" + dir.file("prefix"), "WINEDEBUG=-all",
                 "WINEDLLOVERRIDES=mscoree,mshtml="};
  env.unset_env = {"DISPLAY", "WAYLAND_DISPLAY"};
  struct StopServer {
    const Wine& wine;
    const ProcessOptions& env;
    ~StopServer() { shell(wine.server + " -k >/dev/null 2>&1; " + wine.server + " -w", env); }
  } stop_server{wine, env};

  // COM12 (a port Windows opens only as \\.\COM12) names a stable path that
  // points at this test's pseudo-terminal.  Wine would map the low port
  // numbers to the machine's own serial devices, one of which may be its
  // console, so the program runs only once COM12 is seen to be ours.
  const std::string port = dir.file("com12");
  ASSERT_EQ(symlink(pty.slave_path().c_str(), port.c_str()), 0);
  ASSERT_EQ(shell(wine.loader + " wineboot --init >/dev/null 2>&1", env), 0);
  ASSERT_EQ(shell(wine.loader + " reg add 'HKLM\\Software\\Wine\\Ports' /v COM12 /t REG_SZ /d '" +
                      port + "' /f >/dev/null 2>&1",
                  env),
            0);
  shell(wine.server + " -k >/dev/null 2>&1; " + wine.server + " -w", env);
  shell(wine.server + " -p >/dev/null 2>&1", env);
  shell(wine.loader + " '" + wine.program + "' --version >/dev/null 2>&1", env);
  const std::string com12 = dir.file("prefix/dosdevices/com12");
  for (int i = 0; i < 100 && link_target(com12) != port; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(link_target(com12), port) << "COM12 is not mapped to the test's port";

  dir.write("list.txt", "**4.Generation\n**16MBit\n**nurCVs\n");
  dir.write("cv.txt", "");
  ProcessOptions run = env;
  run.port = &pty;
  run.timeout_seconds = 60;
  ProcessResult r = shell_run("exec " + wine.loader + " '" + wine.program +
                                  "' 12 list.txt cv.txt image.bin >out.txt 2>err.txt",
                              run);
  EXPECT_EQ(r.status, 1) << dir.read("err.txt");
  EXPECT_EQ(hex(r.port.substr(0, 6)), hex("\x24\x80\x11\x17\x04\xa6"));
  EXPECT_TRUE(dir.exists("image.bin"));
}
