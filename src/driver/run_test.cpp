#include "driver/run.h"

#include <gtest/gtest.h>

#include "testing/testing.h"

TEST(CommandLine, UsageForNoneOrTwoArguments) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{}, std::vector<std::string>{"1", "list"}}) {
    TempDir dir;
    ProcessResult r = run_klangbau_binary(args, in_directory(dir));
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(r.out,
              "Klangbau Version 7.3, 21.10.2015\n"
              "Usage: klangbau COMx filelist cv-defaults\n");
    EXPECT_EQ(r.err, "");
  }
}

TEST(CommandLine, HelpAndVersion) {
  TempDir dir;
  ProcessResult version = run_klangbau_binary({"--version"}, in_directory(dir));
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Klangbau Version 7.3, 21.10.2015\n");
  ProcessResult help = run_klangbau_binary({"--help"}, in_directory(dir));
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: klangbau COMx filelist cv-defaults\n"), std::string::npos);
  EXPECT_NE(help.out.find("**4.Generation"), std::string::npos);
  EXPECT_FALSE(dir.exists("--help.neu"));
}

TEST(CommandLine, ResetModeAndPortFromTheFirstArgument) {
  struct Case {
    const char* argument;
    ResetMode mode;
    const char* device;
  } cases[] = {
      {"5", ResetMode::long_reset, "COM5"},
      {"r5", ResetMode::none, "COM5"},
      {"x5", ResetMode::short_reset, "COM5"},
      {"R5", ResetMode::long_reset, "COM0"},  // only lower case counts
      {"X5", ResetMode::long_reset, "COM0"},
      {"COM5", ResetMode::long_reset, "COM0"},
      {" 12abc", ResetMode::long_reset, "COM12"},
      {"-1", ResetMode::long_reset, "COM-1"},
      {"rx3", ResetMode::none, "COM0"},
      {"r/dev/ttyUSB0", ResetMode::none, "/dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    InProcessRun r;
    run_in_process(&r, dir.path(), {c.argument, "list.txt", "cv.txt"});
    EXPECT_EQ(r.run->reset_mode, c.mode) << c.argument;
    EXPECT_EQ(r.platform.opened_name, c.device) << c.argument;
    EXPECT_EQ(r.status, 0) << c.argument;  // the CV file is missing
  }
}

// The files of a programming run open in a fixed order; an error stops
// the run before the later ones are touched.
TEST(RunSequence, FileOpeningOrder) {
  PseudoTerminal port;
  const std::string& tty = port.slave_path();
  struct Case {
    const char* name;
    std::vector<std::string> files;  // present before the run
    std::vector<std::string> args;
    int status;
    std::string err_prefix;
    bool staging_created, output_created;
  } cases[] = {
      {"port does not open", {"list.txt", "cv.txt"}, {"0", "list.txt", "cv.txt", "out.bin"},
       1, "Open /dev/ttyS-1: Error 2\n", false, false},
      {"both missing", {}, {tty, "list.txt", "cv.txt", "out.bin"},
       0, "cv.txt: No such file or directory\n", false, false},
      {"list missing", {"cv.txt"}, {tty, "list.txt", "cv.txt", "out.bin"},
       0, "list.txt: No such file or directory\n", true, true},
      {"five arguments are serial mode", {"cv.txt"}, {"r" + tty, "list.txt", "cv.txt", "out.bin", "more"},
       0, "list.txt: No such file or directory\n", true, false},
      {"output not creatable", {"cv.txt"}, {tty, "list.txt", "cv.txt", "no/such/dir"},
       0, "no/such/dir: No such file or directory\n", true, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const std::string& file : c.files) dir.write(file, "**4.Generation\n**8MBit\n");
    ProcessOptions options = in_directory(dir);
    options.port = &port;
    ProcessResult r = run_klangbau_binary(c.args, options);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err.substr(0, c.err_prefix.size()), c.err_prefix) << c.name;
    EXPECT_EQ(dir.exists("klangtmp.$$$"), c.staging_created) << c.name;
    if (c.staging_created) {
      EXPECT_EQ(dir.read("klangtmp.$$$"), "") << c.name;
    }
    EXPECT_EQ(dir.exists("out.bin"), c.output_created) << c.name;
  }
}

TEST(RunSequence, DirectiveRefusalsEndTheRun) {
  PseudoTerminal port;
  struct Case {
    const char* list;
    int shell_status;
    const char* message;
  } cases[] = {
      {"**8MBit\n", 375 % 256, "nur Empfaenger der 4. Generation unterstuetzt!\n"},
      {"**4.Generation\n", 381 % 256, "keine FLASHSIZE angegeben!\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("list.txt", c.list);
    dir.write("cv.txt", "");
    ProcessOptions options = in_directory(dir);
    options.port = &port;
    ProcessResult r = run_klangbau_binary(
        {port.slave_path(), "list.txt", "cv.txt", "out.bin"}, options);
    EXPECT_EQ(r.status, c.shell_status);
    EXPECT_EQ(r.err, c.message);
    EXPECT_TRUE(dir.exists("klangtmp.$$$"));  // nothing is cleaned up
  }
  std::string many_autos = "**4.Generation\n**8MBit\n";
  for (int i = 0; i < 127; ++i) many_autos += "AUTO\n";
  TempDir dir;
  dir.write("list.txt", many_autos);
  dir.write("cv.txt", "");
  ProcessOptions options = in_directory(dir);
  options.port = &port;
  ProcessResult r = run_klangbau_binary({port.slave_path(), "list.txt", "cv.txt", "o"}, options);
  EXPECT_EQ(r.status, 366 % 256);
  EXPECT_EQ(r.err, "zu viele AUTO-Bloecke!\n");
}

TEST(RunSequence, DiagnosticLineFollowsZtHomeInAnyCase) {
  PseudoTerminal port;
  TempDir dir;
  dir.write("list.txt", "**4.Generation\n**16MBit\n**Mega168\n**nurCVs\n");
  dir.write("cv.txt", "");
  const char line[] = "FLASHSIZE=0x210000 mega_168=1 xmega=0 pad_to_12=0 auto_anzahl=0\n";
  for (const char* variable : {"ZT_HOME=", "zt_Home=x"}) {
    ProcessOptions options = in_directory(dir);
    options.port = &port;
    options.unset_env = {"ZT_HOME"};
    options.set_env = {variable};
    ProcessResult r = run_klangbau_binary({port.slave_path(), "list.txt", "cv.txt", "o"}, options);
    EXPECT_NE(r.out.find(line), std::string::npos) << variable;
  }
  ProcessOptions options = in_directory(dir);
  options.port = &port;
  options.unset_env = {"ZT_HOME"};
  ProcessResult r = run_klangbau_binary({port.slave_path(), "list.txt", "cv.txt", "o"}, options);
  EXPECT_EQ(r.out.find("FLASHSIZE="), std::string::npos);
}

// With a terminal as stdin the error exit waits for one key and echoes it;
// without one (every other test) it does not wait.
TEST(ErrorExit, WaitsForOneKeyOnATerminal) {
  TempDir dir;
  PseudoTerminal terminal;
  ProcessOptions options = in_directory(dir);
  options.terminal = &terminal;
  options.typed = "k";
  ProcessResult r = run_klangbau_binary({}, options);
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(r.out,
            "Klangbau Version 7.3, 21.10.2015\n"
            "Usage: klangbau COMx filelist cv-defaults\n"
            "k");
}
