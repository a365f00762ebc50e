#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "image/image.h"
#include "image/image_expectation.h"
#include "testing/testing.h"

namespace {

using namespace image_expectation;

// The staging file is found in the working directory.
class InDirectory {
 public:
  explicit InDirectory(const TempDir& dir) {
    if (!getcwd(previous_, sizeof previous_) || chdir(dir.path().c_str()) != 0)
      ADD_FAILURE() << "cannot enter " << dir.path();
  }
  ~InDirectory() {
    if (chdir(previous_) != 0) ADD_FAILURE() << "cannot go back";
  }

 private:
  char previous_[4096] = {};
};

const std::vector<Sound> SOUNDS = {
    {0, 300, 4752, false, 0x80, 0},
    {5, 12, 5052, true, 0x85, 0},
    {140, 5, 5064, false, 9, 0},
    {300, 5, 5069, false, 3, 7},
};

Bytes some_header() {
  Bytes header(HEADER_SIZE, 0xFF);
  for (int cv = 0; cv < 256; ++cv) header[cv] = static_cast<uint8_t>(cv * 3);
  return header;
}

// Staged samples that begin with the three bytes whose conversion matters
// most: silence, the top and the bottom.
Bytes staged_bytes(size_t count) {
  Bytes staged;
  for (size_t k = 0; k < count; ++k)
    staged.push_back(k == 0 ? 0x80 : k == 1 ? 0xFF : k == 2 ? 0x00
                                            : static_cast<uint8_t>(k * 37 + 5));
  return staged;
}

// What the transmission finds when the build phases are over.
struct Transmission {
  TempDir dir;
  InDirectory here{dir};
  TestRun t;
  Bytes header = some_header();
  std::vector<Sound> sounds = SOUNDS;
  Bytes staged;

  Transmission(bool file_mode, size_t staged_count, bool cv_only = false)
      : staged(staged_bytes(staged_count)) {
    RunState& run = t.run();
    run.link.port = &t.platform.port;
    run.options.flash_size = 0x210000;
    run.options.generation4 = 1;
    run.options.directory_pages = 16;
    run.options.cv_only = cv_only;
    std::copy(header.begin(), header.end(), run.image.header);
    run.file_list = file_with("**4.Generation\n");
    if (file_mode) {
      run.file_mode = true;
      run.output_path = "image.bin";
      run.output_file = fopen("image.bin", "wb");
    }
    if (cv_only) {
      run.staging.file = fopen(STAGING_FILE_NAME, "wb");
      return;
    }
    for (int slot = 0; slot < SLOT_BLOCK; ++slot) run.slots.ni[slot] = 0xFF;
    for (const Sound& s : sounds) {
      snprintf(run.slots.path[s.slot], PATH_ROW, "S%d.WAV", s.slot);
      run.slots.length[s.slot] = s.length;
      run.slots.offset[s.slot] = s.offset;
      run.slots.is22kHz[s.slot] = s.is22kHz;
      run.slots.ni[s.slot] = s.ni;
      run.slots.pi[s.slot] = s.pi;
    }
    dir.write(STAGING_FILE_NAME, staged);
    run.staging.first_sample_offset = 4752;
    run.staging.image_end = 4752 + static_cast<uint32_t>(staged.size());
  }

  ~Transmission() {
    RunState& run = t.run();
    for (FILE* file : {run.file_list, run.output_file, run.staging.file})
      if (file) fclose(file);
  }

  int transmit() {
    return t.attempt([&] { transmit_image(t.run()); });
  }

  Bytes image() {
    return t.run().options.cv_only ? header : image_of(header, sounds, staged);
  }

  Bytes output_file() {
    std::string text = dir.read("image.bin");
    return Bytes(text.begin(), text.end());
  }

  std::vector<size_t> write_sizes() const {
    std::vector<size_t> sizes;
    for (const FakeEvent& event : t.platform.port.events)
      if (event.kind == FakeEvent::write_started) sizes.push_back(event.bytes.size());
    return sizes;
  }
};

TEST(Transmission, FileModeImages) {
  struct Case {
    size_t staged;
    bool cv_only;
    size_t length;
  } cases[] = {
      {0, true, 530},  {0, false, 4754},   {100, false, 5018},
      {528, false, 5282}, {600, false, 5546},
  };
  for (const Case& c : cases) {
    Transmission x(true, c.staged, c.cv_only);
    ASSERT_EQ(x.transmit(), -1) << c.staged;
    Bytes file = x.output_file();
    EXPECT_EQ(file.size(), c.length) << c.staged;
    EXPECT_EQ(file, with_checksum(x.image())) << c.staged;
    if (c.staged >= 3) {
      EXPECT_EQ(file[4752], 0x00);
      EXPECT_EQ(file[4753], 0x7F);
      EXPECT_EQ(file[4754], 0x80);
    }
    EXPECT_FALSE(x.dir.exists(STAGING_FILE_NAME)) << c.staged;
    // The end byte of a CV-only list goes to the port even in file mode.
    EXPECT_EQ(x.t.platform.port.bytes_sent(), c.cv_only ? Bytes{0x33} : Bytes{});
  }
}

TEST(Transmission, SerialFramesAndProgress) {
  struct Case {
    size_t staged;
    bool cv_only;
    int frames;
    bool zero_page;
    std::string out;  // without the checksum line
    std::string err;
  } cases[] = {
      {0, true, 1, false, "", ""},
      {0, false, 9, false, "  16 von 8190 Pages werden programmiert\n", ""},
      {100, false, 10, true, "  16 von 8190 Pages werden programmiert\n  16\n", ""},
      {528, false, 10, false, "  18 von 8190 Pages werden programmiert\n", "  17\r  18\r"},
      {600, false, 11, true, "  18 von 8190 Pages werden programmiert\n  18\n",
       "  17\r  18\r"},
  };
  for (const Case& c : cases) {
    Transmission x(false, c.staged, c.cv_only);
    ASSERT_EQ(x.transmit(), -1) << c.staged;
    Bytes stream = x.t.platform.port.bytes_sent();
    EXPECT_EQ(stream.size(), 628u * static_cast<size_t>(c.frames) + 3) << c.staged;
    Frames frames = decode_frames(stream);
    ASSERT_TRUE(frames.well_formed) << c.staged << ": " << frames.problem;
    EXPECT_EQ(frames.count, c.frames) << c.staged;
    Bytes data = frames.data;
    if (c.zero_page) {
      EXPECT_EQ(Bytes(data.end() - PAGE_SIZE, data.end()), Bytes(PAGE_SIZE, 0)) << c.staged;
      data.resize(data.size() - PAGE_SIZE);
    }
    Bytes image = x.image();
    EXPECT_EQ(data, image) << c.staged;
    Bytes checked = with_checksum(image);
    EXPECT_EQ(frames.checksum, Bytes(checked.end() - 2, checked.end())) << c.staged;

    // Only the page-start command goes byte by byte; each frame's data,
    // its tail and the checksum are one write each.
    std::vector<size_t> sizes;
    for (int f = 0; f < c.frames; ++f) sizes.insert(sizes.end(), {1, 1, 1, 1, 528, 96});
    sizes.insert(sizes.end(), {1, 2});
    EXPECT_EQ(x.write_sizes(), sizes) << c.staged;

    EXPECT_EQ(x.t.out(), c.out + checksum_line(image)) << c.staged;
    EXPECT_EQ(x.t.err(), c.err) << c.staged;
    EXPECT_FALSE(x.dir.exists(STAGING_FILE_NAME)) << c.staged;
    if (!c.cv_only) {
      EXPECT_EQ(x.t.run().file_list, nullptr) << c.staged;
    }
    EXPECT_EQ(x.t.run().link.refused_write_status, 0) << "only during the image";
  }
}

TEST(Transmission, CvOnlySerialStream) {
  Transmission x(false, 0, true);
  std::fill(x.header.begin(), x.header.end(), 0xFF);
  std::fill(x.t.run().image.header, x.t.run().image.header + HEADER_SIZE, 0xFF);
  ASSERT_EQ(x.transmit(), -1);
  Bytes expected = {0x76, 0xFF, 0xFF, 0x23};
  expected.insert(expected.end(), HEADER_SIZE + PAGE_TAIL, 0xFF);
  expected.insert(expected.end(), {0x33, 0xF0, 0x0D});
  EXPECT_EQ(x.t.platform.port.bytes_sent(), expected);
  EXPECT_EQ(x.t.out(), "\nmy checksum:0x20df0\n");
}

TEST(Transmission, PauseAfterTheDirectoryBeforeTheFirstSampleFrame) {
  Transmission x(false, 600);
  ASSERT_EQ(x.transmit(), -1);
  const std::vector<FakeEvent>& events = x.t.platform.port.events;
  std::vector<const FakeEvent*> around;  // writes and pauses, in order
  size_t pause_at = 0;
  int pauses = 0;
  for (const FakeEvent& event : events) {
    if (event.kind == FakeEvent::pause) {
      EXPECT_EQ(event.milliseconds, 120u);
      ++pauses;
      pause_at = around.size();
    }
    if (event.kind == FakeEvent::pause || event.kind == FakeEvent::write_started)
      around.push_back(&event);
  }
  ASSERT_EQ(pauses, 1);
  ASSERT_GE(pause_at, 1u);
  ASSERT_LT(pause_at + 2, around.size());
  Bytes image = x.image();
  // Before the pause: the last two directory pages, without their tail.
  EXPECT_EQ(around[pause_at - 1]->bytes, Bytes(image.begin() + 4224, image.begin() + 4752));
  EXPECT_EQ(around[pause_at + 1]->bytes, Bytes(PAGE_TAIL, 0xFF));
  EXPECT_EQ(around[pause_at + 2]->bytes, Bytes{0x76});
}

TEST(Transmission, LengthBeyondTheEntryField) {
  for (uint32_t length : {0xFFFFFFu, 0x1000000u}) {
    Transmission x(true, 0);
    x.t.run().slots.length[40] = length;
    x.t.run().slots.offset[40] = 4752;
    snprintf(x.t.run().slots.path[40], PATH_ROW, "BIG.WAV");
    int status = x.transmit();
    if (length == 0xFFFFFF) {
      EXPECT_EQ(status, -1);
      continue;
    }
    EXPECT_EQ(status, 77);
    EXPECT_EQ(x.t.out(), "BIG.WAV  Länge zu groß: 16777216\n");
    fclose(x.t.run().output_file);
    x.t.run().output_file = nullptr;
    EXPECT_EQ(x.output_file().size(), 528u + 40 * 8) << "the earlier entries are out";
    EXPECT_TRUE(x.dir.exists(STAGING_FILE_NAME));
  }
}

TEST(Transmission, StagingFileMissing) {
  Transmission x(true, 10);
  std::remove(x.dir.file(STAGING_FILE_NAME).c_str());
  EXPECT_EQ(x.transmit(), 0);
  EXPECT_EQ(x.t.err(), "klangtmp.$$$: No such file or directory\n");
  EXPECT_EQ(x.t.out(), "");
}

TEST(Transmission, RefusedSerialWriteEndsTheRun) {
  Transmission x(false, 0);
  x.t.platform.port.refuse_write = 4;  // the header block
  x.t.platform.port.refuse_code = 5;
  EXPECT_EQ(x.transmit(), IMAGE_WRITE_REFUSED);
  EXPECT_EQ(x.t.err(), "auxoutblock: WriteFileEx returns 5\n");
}

TEST(Transmission, DirectoryListing) {
  for (bool diagnostic : {true, false}) {
    Transmission x(true, 0);
    RunState& run = x.t.run();
    run.diagnostic = diagnostic;
    run.slots.length[0] = 11025;  // the same sound in two slots
    run.slots.length[1] = 11025;
    run.slots.offset[1] = 4752;
    snprintf(run.slots.path[1], PATH_ROW, "S0.WAV");
    run.slots.ni[0] = 1;
    run.slots.ni[1] = 0x80;
    run.slots.length[399] = 7;  // offset 0 and a length: not listed
    ASSERT_EQ(x.transmit(), -1);

    std::string listing;
    if (diagnostic) {
      listing =
          "   0 ( 0): S0.WAV 2b11 1290  so=0x1290 l=0xffffd4ef ptr=0x2400 ni=01 pi=00\n"
          "   1 ( 1): S0.WAV 2b11 1290  so=0x1290 l=0xffffd4ef ptr=0x2400 ni=80 pi=00\n"
          "   5 ( 5): S5.WAV 22kHz c 13bc  so=0x13bc l=0xfffffff4 ptr=0x2624 ni=85 pi=00\n"
          "i= 33 (21), page=1\n"
          "i= 66 (42), page=2\n"
          "i= 99 (63), page=3\n"
          "i=132 ( 0), page=4\n"
          " 140 ( 8): S140.WAV 5 13c8  so=0x13c8 l=0xfffffffb ptr=0x2630 ni=09 pi=00\n"
          "i=165 (21), page=5\n"
          "i=198 (42), page=6\n"
          "i=231 (63), page=7\n"
          "i=264 ( 0), page=8\n"
          "i=297 (21), page=9\n"
          " 300 (24): S300.WAV 5 13cd  so=0x13cd l=0xfffffffb ptr=0x2635 ni=03 pi=07\n"
          "i=330 (42), page=10\n"
          "i=363 (63), page=11\n"
          "i=396 ( 0), page=12\n"
          "i=429 (21), page=13\n"
          "i=462 (42), page=14\n"
          "i=495 (63), page=15\n";
    }
    std::string out = x.t.out();
    std::string pages = "  16 von 8190 Pages werden programmiert\n";
    ASSERT_NE(out.find(pages), std::string::npos) << out;
    EXPECT_EQ(out.substr(0, out.find(pages)), listing);
  }
}

}  // namespace
