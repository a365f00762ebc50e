// What the driver makes of the link in a whole run over the fake: which of
// the reset and wake-up run in each mode.
#include <gtest/gtest.h>

#include "link/link_test_support.h"
#include "testing/testing.h"

using Timeline = std::vector<std::string>;

namespace {

// link_open's part of every programming run.
const Timeline OPENING = {
    "@0 line 57600 8N1 dtr0 rts1",
    "@0 write 24", "@0 done", "@0 write 80", "@0 done",
    "@0 write 11", "@0 done", "@0 write 17", "@0 done",
    "@0 write 04", "@0 done", "@0 write a6", "@0 done",
    "@0 pause 10",
    "@10 line 38400 8N1 dtr0 rts1",
};

Timeline whole_run(InProcessRun& r, const std::string& list,
                   const std::vector<std::string>& args) {
  TempDir dir;
  dir.write("list.txt", list);
  dir.write("cv.txt", "");
  run_in_process(&r, dir.path(), args);
  return timeline(r.platform.port, "");
}

bool starts_with(const Timeline& t, const Timeline& prefix) {
  return t.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), t.begin());
}

}  // namespace

TEST(LinkInRun, ResetModeNoneOnlyWakesAndKeepsOneStopBit) {
  InProcessRun r;
  Timeline t = whole_run(r, "**4.Generation\n**16MBit\n**Mega168\n**nurCVs\n",
                         {"r1", "list.txt", "cv.txt"});
  Timeline expected = OPENING;
  expected.insert(expected.end(),
                  {"@10 write 17", "@10 done", "@10 pause 6000"});
  EXPECT_TRUE(starts_with(t, expected)) << testing::PrintToString(t);
  for (const FakeEvent& event : r.platform.port.events) {
    EXPECT_FALSE(event.line.dtr) << "reset line change";
    EXPECT_EQ(event.line.stop_bits, ONE_STOP_BIT);
  }
  EXPECT_EQ(r.out.find("Sekunden Reset"), std::string::npos);
  EXPECT_NE(r.out.find("\nEmpfänger sollte kurz hupen\n"), std::string::npos);
  // link_finish ends the run with its last write's result (1 on the fake).
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(t.back(), "@" + std::to_string(r.platform.clock_ms) +
                          " line 38400 8N1 dtr0 rts1");
}

TEST(LinkInRun, FileModeLeavesTheLinesAsOpened) {
  InProcessRun r;
  Timeline t = whole_run(r, "**4.Generation\n**16MBit\n**nurCVs\n",
                         {"x1", "list.txt", "cv.txt", "image.bin"});
  EXPECT_TRUE(starts_with(t, OPENING)) << testing::PrintToString(t);
  for (size_t i = OPENING.size(); i < r.platform.port.events.size(); ++i) {
    FakeEvent::Kind kind = r.platform.port.events[i].kind;
    EXPECT_NE(kind, FakeEvent::config_write) << t[i];
    EXPECT_NE(kind, FakeEvent::pause) << t[i];
  }
  EXPECT_EQ(link_test::line(r.platform.port.current), "line 38400 8N1 dtr0 rts1");
  EXPECT_EQ(r.out.find("hupen"), std::string::npos);
  EXPECT_EQ(r.status, 1) << r.err;
}
