#include <gtest/gtest.h>

#include <vector>

#include "image/image.h"
#include "testing/testing.h"

namespace {

struct Outcome {
  int status;
  std::vector<uint8_t> header;
  std::string out;
};

Outcome read_cvs(const std::string& content) {
  TestRun t;
  t.run().cv_file = file_with(content);
  t.run().cv_path = "cv.txt";
  Outcome outcome;
  outcome.status = t.attempt([&] { read_cv_defaults(t.run()); });
  outcome.header.assign(t.run().image.header, t.run().image.header + HEADER_SIZE);
  outcome.out = t.out();
  return outcome;
}

// The header that `assignments` (CV number, value) give.
std::vector<uint8_t> header_with(std::initializer_list<std::pair<int, int>> assignments) {
  std::vector<uint8_t> header(HEADER_SIZE, 0xFF);
  for (auto [cv, value] : assignments) header[cv - 1] = static_cast<uint8_t>(value);
  return header;
}

TEST(CvDefaults, Assignments) {
  struct Case {
    const char* content;
    std::vector<uint8_t> header;
  } cases[] = {
      {"", header_with({})},
      {"; no assignments here\n\n", header_with({})},
      {"1=3\n256=0\n", header_with({{1, 3}, {256, 0}})},
      {"29=255\n", header_with({{29, 255}})},
      {"0x1d=0x06\n010=1\n", header_with({{29, 6}, {8, 1}})},
      {"  29 = 6 ; remark\r\n", header_with({{29, 6}})},
      {"29=6=7\n", header_with({{29, 6}})},
      {"29=1\n29=2\n", header_with({{29, 2}})},
      {"29=6", header_with({{29, 6}})},  // no line end at the end of the file
  };
  for (const Case& c : cases) {
    Outcome o = read_cvs(c.content);
    EXPECT_EQ(o.status, -1) << c.content;
    EXPECT_EQ(o.header, c.header) << c.content;
  }
}

TEST(CvDefaults, Refusals) {
  struct Case {
    const char* content;
    int status;
    const char* message;
  } cases[] = {
      {"257=1\n", 906, "ungültige Zeile 257=1 in cv.txt: CV > 256 oder CV < 1\n"},
      {"0=1\n", 906, "ungültige Zeile 0=1 in cv.txt: CV > 256 oder CV < 1\n"},
      {"-3=1\n", 906, "ungültige Zeile -3=1 in cv.txt: CV > 256 oder CV < 1\n"},
      {"08=1\n", 906, "ungültige Zeile 08=1 in cv.txt: CV > 256 oder CV < 1\n"},
      {"29=256\n", 913, "ungültige Zeile 29=256 in cv.txt: WERT > 255\n"},
      {"29=-1\r\n", 913, "ungültige Zeile 29=-1 in cv.txt: WERT > 255\n"},
      {"0=999\n", 906, "ungültige Zeile 0=999 in cv.txt: CV > 256 oder CV < 1\n"},
      // A side without a number is refused, never guessed.
      {"CV29=6\n", 906, "ungültige Zeile CV29=6 in cv.txt: CV > 256 oder CV < 1\n"},
      {"; a=b\n", 906, "ungültige Zeile ; a=b in cv.txt: CV > 256 oder CV < 1\n"},
      {"29=\n", 913, "ungültige Zeile 29= in cv.txt: WERT > 255\n"},
      {"29=six\n", 913, "ungültige Zeile 29=six in cv.txt: WERT > 255\n"},
  };
  for (const Case& c : cases) {
    Outcome o = read_cvs(std::string("1=1\n") + c.content);
    EXPECT_EQ(o.status, c.status) << c.content;
    EXPECT_EQ(o.out, c.message);
  }
}

TEST(FlashAddress, PageNumberAndByteInPage) {
  struct Case {
    uint32_t offset, address;
  } cases[] = {{0, 0}, {263, 263}, {264, 512}, {4752, 0x2400}, {4753, 0x2401},
               {5015, 0x2507}, {5016, 0x2600}, {0x420000 - 1, 16383 * 512 + 263}};
  for (const Case& c : cases) EXPECT_EQ(flash_address(c.offset), c.address) << c.offset;
}

}  // namespace

namespace {

// Through the program: a CV-only list in file mode writes the header, and a
// refused CV line ends the run before anything of the image is written.
TEST(CvDefaults, ThroughTheProgram) {
  struct Case {
    const char* cv_file;
    int shell_status;  // the status modulo 256
    const char* message;
    std::vector<uint8_t> header;
  } cases[] = {
      {"1=3\r\n0x1d=6\n256=0\n", 1, "", header_with({{1, 3}, {29, 6}, {256, 0}})},
      {"1=3\n300=1\n", 906 % 256, "ungültige Zeile 300=1 in cv.txt: CV > 256 oder CV < 1\n", {}},
      {"1=3\n3=300\n", 913 % 256, "ungültige Zeile 3=300 in cv.txt: WERT > 255\n", {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("list.txt", "**4.Generation\n**8MBit\n**nurCVs\n");
    dir.write("cv.txt", c.cv_file);
    PseudoTerminal port;
    ProcessOptions options = in_directory(dir);
    options.port = &port;
    ProcessResult r = run_klangbau_binary({port.slave_path(), "list.txt", "cv.txt", "image.bin"},
                                          options);
    EXPECT_EQ(r.status, c.shell_status) << c.cv_file;
    std::string image = dir.read("image.bin");
    if (c.header.empty()) {
      EXPECT_TRUE(r.out.ends_with(c.message)) << r.out;
      EXPECT_EQ(image, "");                       // nothing of the image yet
      EXPECT_TRUE(dir.exists("klangtmp.$$$"));    // and nothing cleaned up
    } else {
      ASSERT_EQ(image.size(), 530u) << c.cv_file;
      EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 528), c.header);
    }
  }
}

}  // namespace
