// Whole projects programmed into the virtual receiver: what arrives must be
// the file-mode image of the same project, byte for byte.  Each serial-mode
// run costs the programmer's real pauses (the wake-up and the final 5 s), so
// there are few of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver_test_support.h"
#include "testing/testing.h"

namespace {

const char IMAGE_OK[] = "Ergebnis: Image vollständig und korrekt";

void copy_demo_project(const TempDir& dir) {
  for (const char* name : {"filelist.txt", "cv.txt"}) {
    std::string content = read_file(std::string(KLANGBAU_SOURCE_DIR) + "/examples/demo/" + name);
    ASSERT_FALSE(content.empty()) << name;
    dir.write(name, content);
  }
  ProcessResult sounds = run_process(MAKE_DEMO_SOUNDS_BINARY, {dir.path()});
  ASSERT_EQ(sounds.status, 0) << sounds.err;
}

// The image file that a file-mode run writes for the project in `dir`.
std::string file_mode_image(const TempDir& dir) {
  PseudoTerminal port;
  ProcessOptions options = in_directory(dir);
  options.port = &port;
  ProcessResult r = run_klangbau_binary(
      {port.slave_path(), "filelist.txt", "cv.txt", "image.bin"}, options);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  return dir.read("image.bin");
}

// Programs the virtual receiver in serial mode; it saves what it received.
ProcessResult program_receiver(const TempDir& dir, const char* flash_mbit) {
  return run_process(VIRTUAL_RECEIVER_BINARY,
                     {"--flash", flash_mbit, "--save", "received.bin", "--",
                      KLANGBAU_BINARY, "r{port}", "filelist.txt", "cv.txt"},
                     in_directory(dir));
}

TEST(EndToEnd, DemoProjectArrivesAsItsFileImage) {
  TempDir dir;
  copy_demo_project(dir);
  std::string image = file_mode_image(dir);
  ASSERT_GT(image.size(), 4754u);

  ProcessResult r = program_receiver(dir, "8");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(IMAGE_OK), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("CVs ungleich 0xFF: 1=3 29=6 48=16\n"), std::string::npos) << r.out;
  EXPECT_TRUE(dir.read("received.bin") == image);
}

// A flagged receiver (one wake-up byte, a shorter pause), 16 MBit, padding
// to 12, a 1000 series with a gap, sounds of both sizes and rates.
TEST(EndToEnd, GeneratedXmegaProjectArrivesAsItsFileImage) {
  TempDir dir;
  std::vector<uint8_t> eight(777), sixteen(2 * 1001);
  for (size_t i = 0; i < eight.size(); ++i) eight[i] = static_cast<uint8_t>(i * 13);
  for (size_t i = 0; i < sixteen.size(); ++i) sixteen[i] = static_cast<uint8_t>(i * 29 + 7);
  dir.write("a8.wav", make_wav(11025, 8, 1, eight));
  dir.write("B16.WAV", make_wav(22050, 16, 1, sixteen));
  dir.write("filelist.txt",
            "**4.Generation\r\n**16MBit\r\n**XMega\r\n**PAD-12\r\n"
            "00: a8.wav\r\n01: b16.wav\r\n02: ---\r\n03: ---\r\n"
            "04: a8.wav\r\n05: b16.wav\r\n06: ---\r\n07: ---\r\n"
            "08: b16.wav\r\n09: a8.wav\r\n10: ---\r\n11: ---\r\n"
            "1000: a8.wav\r\n1004: b16.wav\r\n");
  dir.write("cv.txt", "1=3\r\n256=0\r\n");
  std::string image = file_mode_image(dir);
  ASSERT_GT(image.size(), 4754u);

  ProcessResult r = program_receiver(dir, "16");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Mega168/XMega"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(IMAGE_OK), std::string::npos) << r.out;
  EXPECT_TRUE(dir.read("received.bin") == image);
}

// The stream a programmer sends for the image of a file-mode image file
// (the file without its two checksum bytes).
std::string stream_for(const std::string& image_file) {
  std::vector<uint8_t> image(image_file.begin(), image_file.end() - 2);
  std::vector<uint8_t> stream = programmer_stream(image, /*after_reset=*/false);
  return std::string(stream.begin(), stream.end());
}

TEST(EndToEnd, TruncatedOrCorruptedStreamsAreRefused) {
  TempDir dir;
  copy_demo_project(dir);
  std::string whole = stream_for(file_mode_image(dir));
  std::string corrupted = whole;
  corrupted[whole.size() / 2] ^= 0x01;
  struct Case {
    const char* name;
    std::string stream;
    int status;
  } cases[] = {
      {"whole", whole, 0},
      {"truncated", whole.substr(0, whole.size() / 2), 1},
      {"without checksum", whole.substr(0, whole.size() - 2), 1},
      {"corrupted", corrupted, 1},
      {"trailing byte", whole + '\0', 1},
  };
  for (const Case& c : cases) {
    dir.write("stream.bin", c.stream);
    ProcessResult r = run_process(
        VIRTUAL_RECEIVER_BINARY,
        {"--flash", "8", "--", "sh", "-c", "cat stream.bin > {port}"}, in_directory(dir));
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out;
    EXPECT_EQ(r.out.find("ABGELEHNT: ") != std::string::npos, c.status != 0) << c.name;
  }
}

}  // namespace
