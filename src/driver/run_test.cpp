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
