#include <gtest/gtest.h>

#include "link/link.h"
#include "link/link_test_support.h"

using Timeline = std::vector<std::string>;

namespace {

struct Receiver {
  const char* name;
  int mega_168;
  int xmega;
};
const Receiver UNFLAGGED = {"unflagged", 0, 0};
const Receiver FLAGGED[] = {
    {"mega_168", 1, 0}, {"xmega", 0, 1}, {"mega_168 and xmega", 1, 1}};

struct Hold {
  ResetMode mode;
  const char* text;
  uint64_t ms;
};
const Hold HOLDS[] = {{ResetMode::short_reset, "2 Sekunden Reset....", 2000},
                      {ResetMode::long_reset, "10 Sekunden Reset....", 10000}};

std::string at(uint64_t ms, const std::string& what) {
  return "@" + std::to_string(ms) + " " + what;
}

Timeline reset(const Receiver& receiver, const Hold& hold) {
  LinkRun r;
  r.open_port();
  r.run->options.mega_168 = receiver.mega_168;
  r.run->options.xmega = receiver.xmega;
  reset_receiver(*r.run, hold.mode);
  return r.timeline();
}

}  // namespace

TEST(ResetReceiver, Unflagged) {
  for (const Hold& hold : HOLDS) {
    uint64_t released = 700 + hold.ms;
    EXPECT_EQ(reset(UNFLAGGED, hold),
              (Timeline{
                  "@0 pause 500",
                  "@500 write 41",
                  "@500 done",
                  "@500 pause 200",
                  "@700 line 38400 8N1 dtr1 rts0",
                  std::string("say ") + hold.text,
                  "@700 pause " + std::to_string(hold.ms),
                  "say \n",
                  at(released, "line 38400 8N1 dtr0 rts1"),
                  at(released, "pause 500"),
              }))
        << hold.text;
  }
}

// The release comes between the first preamble's start and its completion;
// two stop bits follow the second preamble.
TEST(ResetReceiver, Flagged) {
  for (const Receiver& receiver : FLAGGED) {
    for (const Hold& hold : HOLDS) {
      uint64_t released = hold.ms;
      EXPECT_EQ(reset(receiver, hold),
                (Timeline{
                    "@0 line 38400 8N1 dtr1 rts0",
                    std::string("say ") + hold.text,
                    "@0 pause " + std::to_string(hold.ms),
                    "say \n",
                    at(released, "write 55*300"),
                    at(released, "line 38400 8N1 dtr0 rts1"),
                    at(released, "done"),
                    at(released, "write 55*300"),
                    at(released, "done"),
                    at(released, "pause 100"),
                    at(released + 100, "line 38400 8N2 dtr0 rts1"),
                }))
          << receiver.name << ", " << hold.text;
    }
  }
}

// A refused first preamble brings no completion; the reset goes on instead of
// waiting for it forever.
TEST(ResetReceiver, RefusedPreambleIsNotWaitedFor) {
  LinkRun r;
  r.open_port();
  r.run->options.xmega = 1;
  r.platform.port.refuse_write = 0;
  r.platform.port.refuse_code = 22;
  reset_receiver(*r.run, ResetMode::short_reset);
  EXPECT_EQ(r.timeline(), (Timeline{
                              "@0 line 38400 8N1 dtr1 rts0",
                              "say 2 Sekunden Reset....",
                              "@0 pause 2000",
                              "say \n",
                              "@2000 refused 55*300",
                              "@2000 clear",
                              "@2000 line 38400 8N1 dtr0 rts1",
                              "@2000 write 55*300",
                              "@2000 done",
                              "@2000 pause 100",
                              "@2100 line 38400 8N2 dtr0 rts1",
                          }));
  EXPECT_EQ(r.err(), "auxoutblock: WriteFileEx returns 22\n");
}

TEST(WakeReceiver, UnflaggedSendsThirteenBytesTwentyMillisecondsApart) {
  LinkRun r;
  r.open_port();
  wake_receiver(*r.run);
  Timeline expected;
  uint64_t t = 0;
  for (int b = 0xF3; b <= 0xFF; ++b, t += 20) {
    char write[16];
    snprintf(write, sizeof write, "write %02x", b);
    expected.push_back(at(t, write));
    expected.push_back(at(t, "done"));
    expected.push_back(at(t, "pause 20"));
  }
  expected.push_back("say \nEmpfänger sollte kurz hupen\n");
  expected.push_back(at(260, "pause 6000"));
  EXPECT_EQ(r.timeline(), expected);
}

TEST(WakeReceiver, FlaggedSendsByte23AndAnXmegaWaitsLess) {
  struct Case {
    Receiver receiver;
    const char* pause;
  };
  for (const Case& c : {Case{FLAGGED[0], "@0 pause 6000"},
                        Case{FLAGGED[1], "@0 pause 1000"},
                        Case{FLAGGED[2], "@0 pause 1000"}}) {
    LinkRun r;
    r.open_port();
    r.run->options.mega_168 = c.receiver.mega_168;
    r.run->options.xmega = c.receiver.xmega;
    wake_receiver(*r.run);
    EXPECT_EQ(r.timeline(),
              (Timeline{"@0 write 17", "@0 done",
                        "say \nEmpfänger sollte kurz hupen\n", c.pause}))
        << c.receiver.name;
  }
}
