// Whole programming runs: the image that a project gives, in file mode and
// on the serial line, and the diagnostic listings along the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_expectation.h"
#include "testing/testing.h"

namespace {

using namespace image_expectation;

const char CV_FILE[] = "1=3\n29=6\n256=0\n";

Bytes cv_header() {
  Bytes header(528, 0xFF);
  header[0] = 3;
  header[28] = 6;
  header[255] = 0;
  return header;
}

const char DIRECTIVES[] = "**4.Generation\n**16MBit\n";

// Slots 0 to 11 left empty, one sound of 600 samples in slot 12.
std::string list_with_slot_12() {
  std::string list = DIRECTIVES;
  for (int slot = 0; slot < 12; ++slot) {
    char line[16];
    snprintf(line, sizeof line, "%02d: ---\n", slot);
    list += line;
  }
  return list + "12: a.wav\n";
}

Bytes samples_600() {
  Bytes samples;
  for (int k = 0; k < 600; ++k) samples.push_back(static_cast<uint8_t>(k * 7 + 0x80));
  return samples;
}

// Slot 12 alone in its group: the end-of-group flag and 12.
Bytes image_with_slot_12() {
  return image_of(cv_header(), {{12, 600, 4752, false, 0x8C, 0}}, samples_600());
}

void write_project(const TempDir& dir, const std::string& list) {
  dir.write("list.txt", list);
  dir.write("cv.txt", std::string(CV_FILE));
  dir.write("a.wav", make_wav(11025, 8, 1, samples_600()));
}

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(ImageRun, FileModeImages) {
  struct Case {
    const char* what;
    std::string list;
    Bytes image;
  } cases[] = {
      {"CV-only", std::string(DIRECTIVES) + "**nurCVs\n", cv_header()},
      {"no samples", std::string(DIRECTIVES) + "00: ---\n", image_of(cv_header(), {}, {})},
      {"600 samples", list_with_slot_12(), image_with_slot_12()},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_project(dir, c.list);
    InProcessRun r;
    run_in_process(&r, dir.path(), {"r1", "list.txt", "cv.txt", "image.bin"});
    EXPECT_EQ(r.status, 1) << c.what << "\n" << r.out << r.err;
    Bytes file = bytes_of(dir.read("image.bin"));
    EXPECT_EQ(file, with_checksum(c.image)) << c.what;
    EXPECT_FALSE(dir.exists("klangtmp.$$$")) << c.what;
  }
}

TEST(ImageRun, DiagnosticListingsOnlyWithZtHome) {
  Bytes image = image_with_slot_12();
  std::string pages_and_checksum =
      "  18 von 8190 Pages werden programmiert\n"
      "  18\n" +
      checksum_line(image);
  std::string chains;
  for (int k = 0; k < 126; ++k) {
    char line[64];
    snprintf(line, sizeof line, "%3d 0x%02x  00/00  00/00  00/00\n", k, k);
    chains += line;
  }
  chains += " 12 ( c): A.WAV l=600 off=4752 ni=12(*)\n";
  std::string directory =
      "  12 ( c): A.WAV 258 1290  so=0x1290 l=0xfffffda8 ptr=0x2400 ni=8c pi=00\n"
      "i= 33 (21), page=1\n"
      "i= 66 (42), page=2\n"
      "i= 99 (63), page=3\n"
      "i=132 ( 0), page=4\n"
      "i=165 (21), page=5\n"
      "i=198 (42), page=6\n"
      "i=231 (63), page=7\n"
      "i=264 ( 0), page=8\n"
      "i=297 (21), page=9\n"
      "i=330 (42), page=10\n"
      "i=363 (63), page=11\n"
      "i=396 ( 0), page=12\n"
      "i=429 (21), page=13\n"
      "i=462 (42), page=14\n"
      "i=495 (63), page=15\n";
  const std::string banner = "Klangbau Version 7.3, 21.10.2015\n";
  const std::string capacity = "0.5 Sekunden von maximal 195.7 Sekunden benutzt\n";

  for (bool zt_home : {true, false}) {
    TempDir dir;
    write_project(dir, list_with_slot_12());
    InProcessRun r;
    if (zt_home) r.platform.environment.insert("zt_home");  // any case
    run_in_process(&r, dir.path(), {"r1", "list.txt", "cv.txt", "image.bin"});
    EXPECT_EQ(r.status, 1) << r.err;
    std::string expected =
        zt_home ? banner +
                      "FLASHSIZE=0x210000 mega_168=0 xmega=0 pad_to_12=0 auto_anzahl=0\n" +
                      capacity + chains + directory + pages_and_checksum
                : banner + capacity + pages_and_checksum;
    EXPECT_EQ(r.out, expected) << "ZT_HOME " << zt_home;
    EXPECT_EQ(r.err, "  17\r  18\r");
  }
}

// The receiver gets over the line exactly what file mode writes: decoded
// frame by frame, less the zero page of an odd last frame.
TEST(ImageRun, SerialStreamIsTheFileImage) {
  TempDir dir;
  write_project(dir, list_with_slot_12());
  PseudoTerminal pty;
  ProcessOptions options = in_directory(dir);
  options.port = &pty;
  options.unset_env = {"ZT_HOME"};
  std::string port = "r" + pty.slave_path();

  ProcessResult file_run =
      run_klangbau_binary({port, "list.txt", "cv.txt", "image.bin"}, options);
  ASSERT_EQ(file_run.status, 1) << file_run.out << file_run.err;
  Bytes file = bytes_of(dir.read("image.bin"));
  EXPECT_EQ(file, with_checksum(image_with_slot_12()));

  ProcessResult serial_run = run_klangbau_binary({port, "list.txt", "cv.txt"}, options);
  EXPECT_NE(serial_run.out.find(checksum_line(image_with_slot_12())), std::string::npos)
      << serial_run.out << serial_run.err;
  Bytes stream = bytes_of(serial_run.port);
  // The opening packet, then the wake-up bytes 0xF3 to 0xFF of an
  // unflagged receiver that is not reset.
  const size_t opening = 6, wake_up = 13;
  ASSERT_GT(stream.size(), opening + wake_up);
  for (size_t i = 0; i < wake_up; ++i) EXPECT_EQ(stream[opening + i], static_cast<uint8_t>(0xF3 + i));
  Frames frames = decode_frames(Bytes(stream.begin() + opening + wake_up, stream.end()));
  ASSERT_TRUE(frames.well_formed) << frames.problem;
  EXPECT_EQ(frames.count, 11);
  Bytes data(frames.data.begin(), frames.data.end() - 264);
  EXPECT_EQ(Bytes(frames.data.end() - 264, frames.data.end()), Bytes(264, 0));
  data.insert(data.end(), frames.checksum.begin(), frames.checksum.end());
  EXPECT_EQ(data, file);
}

TEST(ImageRun, FullOutputDeviceIsAnError) {
  TempDir dir;
  write_project(dir, std::string(DIRECTIVES) + "**nurCVs\n");
  PseudoTerminal pty;
  ProcessOptions options = in_directory(dir);
  options.port = &pty;
  ProcessResult r = run_klangbau_binary(
      {"r" + pty.slave_path(), "list.txt", "cv.txt", "/dev/full"}, options);
  EXPECT_EQ(r.status, 78);
  EXPECT_EQ(r.err, "/dev/full: No space left on device\n");
  EXPECT_EQ(r.out.find("my checksum"), std::string::npos) << r.out;
}

}  // namespace
