#include <gtest/gtest.h>

#include "driver/report.h"
#include "link/link.h"
#include "link/link_test_support.h"

using Timeline = std::vector<std::string>;

TEST(Auxout, SendsTheLowEightBitsAndWaits) {
  struct Case {
    int argument;
    const char* sent;
  };
  for (Case c : {Case{0x41, "@0 write 41"}, Case{0x1F3, "@0 write f3"},
                 Case{-1, "@0 write ff"}, Case{256, "@0 write 00"}}) {
    LinkRun r;
    r.open_port();
    auxout(*r.run, c.argument);
    EXPECT_EQ(r.timeline(), (Timeline{c.sent, "@0 done"})) << c.argument;
    EXPECT_EQ(r.run->link.auxdone, 1);
  }
}

TEST(Auxoutblock, WaitsOnlyWhenAsked) {
  const uint8_t block[3] = {1, 2, 3};
  LinkRun waiting;
  waiting.open_port();
  auxoutblock(*waiting.run, block, 3, true);
  EXPECT_EQ(waiting.timeline(), (Timeline{"@0 write 01 02 03", "@0 done"}));

  LinkRun issued;
  issued.open_port();
  auxoutblock(*issued.run, block, 3, false);
  EXPECT_EQ(issued.timeline(), (Timeline{"@0 write 01 02 03"}));
  EXPECT_EQ(issued.run->link.auxdone, 0);
  // The caller's completion wait collects the notice.
  completion_wait(*issued.run);
  EXPECT_EQ(issued.timeline(), (Timeline{"@0 write 01 02 03", "@0 done"}));
  EXPECT_EQ(issued.run->link.auxdone, 1);
}

// Writes a byte or a block of 0x55 and 0xAA through the operation named.
static void write_through(RunState& run, const std::string& operation) {
  static const uint8_t block[2] = {0x55, 0xAA};
  if (operation == "auxout") auxout(run, 0x41);
  else auxoutblock(run, block, 2, true);
}

struct RefusedCase {
  std::string operation;
  std::string refused;
};
const RefusedCase REFUSED_CASES[] = {
    {"auxout", "@0 refused 41"},
    {"auxoutblock", "@0 refused 55 aa"},
};

TEST(RefusedWrite, IsReportedClearedAndNotWaitedFor) {
  for (const RefusedCase& c : REFUSED_CASES) {
    LinkRun r;
    r.open_port();
    r.platform.port.refuse_write = 0;
    r.platform.port.refuse_code = 31;
    write_through(*r.run, c.operation);
    auxout(*r.run, 0x17);  // the next write goes out as usual

    EXPECT_EQ(r.err(), c.operation + ": WriteFileEx returns 31\n");
    EXPECT_EQ(r.timeline(),
              (Timeline{c.refused, "@0 clear", "@0 write 17", "@0 done"}));
    EXPECT_EQ(r.platform.key_waits, 0);
  }
}

TEST(RefusedWrite, DuringTheImageTransmissionEndsTheRun) {
  for (const RefusedCase& c : REFUSED_CASES) {
    LinkRun r;
    r.open_port();
    r.run->link.refused_write_status = 79;
    r.platform.port.refuse_write = 0;
    r.platform.port.refuse_code = 995;
    try {
      write_through(*r.run, c.operation);
      ADD_FAILURE() << c.operation << " returned";
    } catch (const RunEnded& ended) {
      EXPECT_EQ(ended.status, 79);
    }
    EXPECT_EQ(r.err(), c.operation + ": WriteFileEx returns 995\n");
    EXPECT_EQ(r.timeline(), (Timeline{c.refused, "@0 clear"}));
    EXPECT_EQ(r.platform.key_waits, 1);
  }
}

TEST(Completion, CarryingAnErrorClearsThePortAndStillEndsTheWait) {
  LinkRun r;
  r.open_port();
  r.platform.port.fail_completion = 0;
  r.platform.port.completion_code = 22;
  auxout(*r.run, 0x41);
  auxout(*r.run, 0x42);
  EXPECT_EQ(r.timeline(), (Timeline{"@0 write 41", "@0 done error 22",
                                    "@0 clear", "@0 write 42", "@0 done"}));
  EXPECT_EQ(r.err(), "");
}
