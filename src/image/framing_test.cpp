#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image.h"
#include "testing/testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One phase of a run with the fake port as its serial link.
struct FramingRun {
  TestRun t;
  FramingRun() { t.run().link.port = &t.platform.port; }
  RunState& run() { return t.run(); }

  // The bytes of each accepted write, one entry per write.
  std::vector<Bytes> writes() const {
    std::vector<Bytes> all;
    for (const FakeEvent& event : t.platform.port.events)
      if (event.kind == FakeEvent::write_started) all.push_back(event.bytes);
    return all;
  }
};

Bytes tail() { return Bytes(PAGE_TAIL, 0xFF); }

TEST(Framing, SerialFrameIsCommandDataBlockAndTail) {
  FramingRun f;
  begin_page_frame(f.run());
  for (int b : {1, 2, 0x1FF}) sink_byte(f.run(), b);
  EXPECT_EQ(f.run().image.page_byte_count, 3);
  EXPECT_EQ(f.writes().size(), 4u) << "nothing but the command before the frame ends";
  end_page_frame(f.run());
  std::vector<Bytes> expected = {{0x76}, {0xFF}, {0xFF}, {0x23}, {1, 2, 0xFF}, tail()};
  EXPECT_EQ(f.writes(), expected);
  EXPECT_EQ(f.run().image.page_buffer_count, 0u);
}

TEST(Framing, SerialEmptyFrameEndSendsOnlyTheTail) {
  FramingRun f;
  end_page_frame(f.run());
  flush_page_buffer(f.run());
  EXPECT_EQ(f.writes(), std::vector<Bytes>{tail()});
}

TEST(Framing, ChecksumSendsLow16BitsAsOneBlock) {
  struct Case {
    uint32_t sum;
    Bytes sent;
  } cases[] = {
      {0x1234FF, {0xFF, 0x34}},
      {0x20DF0, {0xF0, 0x0D}},  // 528 bytes 0xFF
      {0, {0, 0}},
  };
  for (const Case& c : cases) {
    FramingRun f;
    f.run().image.checksum = c.sum;
    send_checksum(f.run());
    EXPECT_EQ(f.writes(), std::vector<Bytes>{c.sent}) << std::hex << c.sum;
    EXPECT_EQ(f.run().image.checksum, c.sum) << "its own bytes are not added";
  }
}

TEST(Framing, FileModeWritesPlainBytes) {
  TempDir dir;
  FramingRun f;
  RunState& run = f.run();
  run.file_mode = true;
  run.output_path = "image.bin";
  run.output_file = fopen(dir.file("image.bin").c_str(), "wb");
  run.image.checksum = 0x1234FF;
  begin_page_frame(run);
  sink_byte(run, 0x41);
  sink_byte(run, 0x142);
  end_page_frame(run);
  send_checksum(run);
  EXPECT_EQ(run.image.page_buffer_count, 0u);
  EXPECT_EQ(run.image.page_byte_count, 4);
  EXPECT_TRUE(f.writes().empty());
  close_output_file(run);
  EXPECT_EQ(run.output_file, nullptr);
  EXPECT_EQ(dir.read("image.bin"), std::string("\x41\x42\xFF\x34"));
}

// A full device refuses the bytes; the run must end with the error report
// whether the refusal comes at the write itself or only at the flush.
TEST(Framing, FailedOutputFileEndsTheRun) {
  for (bool unbuffered : {true, false}) {
    FramingRun f;
    RunState& run = f.run();
    run.file_mode = true;
    run.output_path = "/dev/full";
    run.output_file = fopen("/dev/full", "wb");
    ASSERT_NE(run.output_file, nullptr);
    if (unbuffered) setvbuf(run.output_file, nullptr, _IONBF, 0);
    int status = f.t.attempt([&] {
      sink_byte(run, 7);
      close_output_file(run);
    });
    EXPECT_EQ(status, OUTPUT_FILE_FAILED) << unbuffered;
    EXPECT_EQ(f.t.err(), "/dev/full: No space left on device\n") << unbuffered;
    EXPECT_EQ(f.t.platform.key_waits, 1);
    if (run.output_file) fclose(run.output_file);
  }
}

}  // namespace
