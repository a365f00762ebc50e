#include "link/link.h"

#include <gtest/gtest.h>

#include "driver/report.h"
#include "link/link_test_support.h"

using Timeline = std::vector<std::string>;

TEST(LinkOpen, SendsOpeningPacketAt57600ThenSwitchesTo38400) {
  LinkRun r;
  r.run->port_text = "3";
  r.run->port_number = 3;
  // Whatever the port held before: every field the program owns is set.
  r.platform.port.current = {9600, 7, 2, TWO_STOP_BITS, true, true, false};
  link_open(*r.run);

  EXPECT_EQ(r.platform.opened_name, "COM3");
  EXPECT_EQ(r.timeline(), (Timeline{
                              "@0 line 57600 8N1 dtr0 rts1",
                              "@0 write 24", "@0 done",
                              "@0 write 80", "@0 done",
                              "@0 write 11", "@0 done",
                              "@0 write 17", "@0 done",
                              "@0 write 04", "@0 done",
                              "@0 write a6", "@0 done",
                              "@0 pause 10",
                              "@10 line 38400 8N1 dtr0 rts1",
                          }));
  EXPECT_EQ(r.err(), "");
}

TEST(LinkOpen, PortThatDoesNotOpenEndsTheRunWithStatus1) {
  struct Case {
    long code;
    std::string explanation;
    std::string message;
  };
  for (const Case& c : {
           Case{2, "", "Open COM0: Error 2\n"},
           Case{16, "busy elsewhere", "Open COM0: Error 16\nbusy elsewhere\n"},
       }) {
    LinkRun r;
    r.platform.port_opens = false;
    r.platform.open_error = c.code;
    r.platform.open_explanation = c.explanation;
    try {
      link_open(*r.run);
      ADD_FAILURE() << "link_open returned";
    } catch (const RunEnded& ended) {
      EXPECT_EQ(ended.status, 1);
    }
    EXPECT_EQ(r.err(), c.message);
    EXPECT_EQ(r.platform.key_waits, 1);
    EXPECT_TRUE(r.platform.port.events.empty());
  }
}

TEST(LinkFinish, TogglesRtsTenTimesEndingOn) {
  LinkRun r;
  r.open_port();
  // Two stop bits from a flagged reset stay; only RTS moves.
  r.platform.port.current.stop_bits = TWO_STOP_BITS;
  link_finish(*r.run);

  Timeline expected = {"@0 pause 5000"};
  for (int i = 0; i < 10; ++i) {
    expected.push_back("@5000 line 38400 8N2 dtr0 rts0");
    expected.push_back("@5000 line 38400 8N2 dtr0 rts1");
  }
  EXPECT_EQ(r.timeline(), expected);
}

TEST(LinkFinish, ReturnsTheResultOfTheLastConfigurationWrite) {
  struct Case {
    int earlier;  // result of the first nineteen writes
    int last;
  };
  for (Case c : {Case{0, 7}, Case{1, 0}}) {
    LinkRun r;
    r.open_port();
    r.platform.port.config_results = std::vector<int>(19, c.earlier);
    r.platform.port.config_result = c.last;
    EXPECT_EQ(link_finish(*r.run), c.last);
  }
}
