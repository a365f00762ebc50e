#include "sound/wav_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/posix_files.h"
#include "testing/testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

Bytes text(const char* s) { return Bytes(s, s + strlen(s)); }

Bytes le16(uint16_t x) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8)}; }

Bytes le32(uint32_t x) {
  Bytes b = le16(static_cast<uint16_t>(x));
  put(b, le16(static_cast<uint16_t>(x >> 16)));
  return b;
}

// A chunk whose header states `size`, whatever the body holds.
Bytes chunk(const char* id, uint32_t size, const Bytes& body) {
  Bytes c = text(id);
  put(c, le32(size));
  put(c, body);
  return c;
}

Bytes chunk(const char* id, const Bytes& body) {
  return chunk(id, static_cast<uint32_t>(body.size()), body);
}

// 16-bit mono at 22050 Hz, with `extra` bytes beyond the 16 of the record.
Bytes format_body(size_t extra = 0) {
  Bytes b;
  for (const Bytes& field : {le16(1), le16(1), le32(22050), le32(44100), le16(2), le16(16)})
    put(b, field);
  b.resize(16 + extra, 0xEE);
  return b;
}

const Bytes FMT = chunk("fmt ", format_body());
const Bytes DATA = chunk("data", text("SAMP"));

// A RIFF file of the chunks; the RIFF size is exact unless given.
Bytes riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE",
           int64_t riff_size = -1) {
  Bytes body = text(form);
  for (const Bytes& c : chunks) put(body, c);
  Bytes file = text("RIFF");
  put(file, le32(riff_size >= 0 ? static_cast<uint32_t>(riff_size)
                                : static_cast<uint32_t>(body.size())));
  put(file, body);
  return file;
}

Bytes with(Bytes file, const Bytes& tail) {
  put(file, tail);
  return file;
}

Bytes first(const Bytes& file, size_t count) { return Bytes(file.begin(), file.begin() + count); }

Bytes container_id(Bytes file, const char* id) {
  memcpy(file.data(), id, 4);
  return file;
}

struct Case {
  const char* name;
  Bytes file;
  int32_t result;  // on success the data size; the data then read "SAMP"
};

const Bytes VALID = riff({FMT, DATA});

std::vector<Case> cases() {
  return {
      {"empty file", {}, WAV_NO_RIFF_HEADER},
      {"11 bytes", first(VALID, 11), WAV_NO_RIFF_HEADER},
      {"RIFF size = length - 8", VALID, 4},
      {"RIFF size one beyond", riff({FMT, DATA}, "WAVE", static_cast<int64_t>(VALID.size()) - 7),
       WAV_NOT_WAVE},
      {"bytes after the RIFF body", with(VALID, text("trailing junk")), 4},
      {"form type not WAVE", riff({FMT, DATA}, "WAVF"), WAV_NOT_WAVE},
      {"any container id", container_id(VALID, "RIFX"), 4},
      {"no format chunk", riff({chunk("LIST", text("INFO"))}), WAV_NO_FORMAT},
      {"format body cut short", riff({chunk("fmt ", 16, first(format_body(), 10))}),
       WAV_NO_FORMAT},
      {"14-byte format chunk", riff({chunk("fmt ", 14, first(format_body(), 14)), DATA}),
       WAV_SHORT_FORMAT},
      // The 16 bytes are read before the size is looked at.
      {"14-byte format chunk at the end", riff({chunk("fmt ", 14, first(format_body(), 14))}),
       WAV_NO_FORMAT},
      {"format size of 2^31", riff({chunk("fmt ", 0x80000000u, format_body()), DATA}),
       WAV_SHORT_FORMAT},
      {"18-byte format chunk", riff({chunk("fmt ", format_body(2)), DATA}), 4},
      {"LIST between format and data", riff({FMT, chunk("LIST", text("INFOISFT")), DATA}), 4},
      {"chunks before the format chunk", riff({chunk("fact", le32(2)), FMT, DATA}), 4},
      {"format chunk without data chunk", riff({FMT}), WAV_NO_DATA},
      {"data chunk before format chunk", riff({DATA, FMT}), WAV_NO_DATA},
      {"ids compare case and blank", riff({chunk("FMT ", format_body()), DATA}), WAV_NO_FORMAT},
      {"odd chunk without pad byte", riff({FMT, chunk("junk", text("abc")), DATA}), 4},
      // A pad byte puts the next header one byte off.
      {"odd chunk with pad byte", riff({FMT, chunk("junk", 3, {'a', 'b', 'c', 0}), DATA}), WAV_NO_DATA},
      {"chunk running past the end", riff({FMT, chunk("LIST", 1000, text("INFO"))}), WAV_NO_DATA},
      // Sizes of 2^31 and more end the walk, whichever way they would move.
      {"huge chunk in the format search", riff({chunk("junk", 0x80000000u, {}), FMT, DATA}),
       WAV_NO_FORMAT},
      {"chunk size pointing back at its header", riff({FMT, chunk("junk", 0xFFFFFFF8u, {}), DATA}),
       WAV_NO_DATA},
      {"empty data chunk", riff({FMT, chunk("data", {})}), 0},
      {"data size of 2^31 comes back negative", riff({FMT, chunk("data", 0x80000000u, text("SAMP"))}),
       INT32_MIN},
  };
}

// The source's next bytes are the sample data.
std::string next_four(WavSource& source) {
  char bytes[4] = {};
  if (source.file) {
    size_t got = fread(bytes, 1, 4, source.file);
    return std::string(bytes, got);
  }
  if (source.position + 4 > source.length) return "";
  return std::string(reinterpret_cast<const char*>(source.bytes + source.position), 4);
}

void expect_case(const Case& c, WavSource& source, const char* form) {
  WavFormat format{};
  int32_t result = read_wav_header(source, &format);
  EXPECT_EQ(result, c.result) << c.name << " (" << form << ")";
  // A data size of 2^31 or more is no failure: the source stays open.
  bool failure_code = result >= WAV_NO_DATA && result < 0;
  EXPECT_EQ(source.closed, failure_code) << c.name << " (" << form << ")";
  if (result > 0) {
    EXPECT_EQ(next_four(source), "SAMP") << c.name << " (" << form << ")";
  }
  if (result >= 0) {
    EXPECT_EQ(format.sample_rate, 22050u) << c.name;
    EXPECT_EQ(format.block_align, 2) << c.name;
    EXPECT_EQ(format.bits_per_sample, 16) << c.name;
  }
}

TEST(WavReader, ShapesAndFailureCodesFromMemory) {
  for (const Case& c : cases()) {
    WavSource source = wav_memory_source(c.file.data(), c.file.size());
    expect_case(c, source, "memory");
  }
}

TEST(WavReader, ShapesAndFailureCodesFromAFile) {
  TempDir dir;
  for (const Case& c : cases()) {
    dir.write("t.wav", c.file);
    FILE* file = fopen(dir.file("t.wav").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    uint64_t length = 0;
    ASSERT_TRUE(posix_file_length(file, &length));
    WavSource source = wav_file_source(file, length);
    expect_case(c, source, "file");
    // The reader closed the stream itself on failure.
    EXPECT_EQ(source.file == nullptr, source.closed) << c.name;
    if (source.file) fclose(source.file);
  }
}

TEST(WavReader, FormatRecordHoldsTheFirstSixteenBytes) {
  Bytes body;
  for (const Bytes& field : {le16(0x1234), le16(3), le32(0x00ABCDEF), le32(0x01020304),
                             le16(0x0506), le16(0x0708)})
    put(body, field);
  put(body, {0xAA, 0xBB});  // beyond the record
  Bytes file = riff({chunk("fmt ", body), DATA});
  WavSource source = wav_memory_source(file.data(), file.size());
  WavFormat format{};
  ASSERT_EQ(read_wav_header(source, &format), 4);
  EXPECT_EQ(format.format_tag, 0x1234);
  EXPECT_EQ(format.channels, 3);
  EXPECT_EQ(format.sample_rate, 0x00ABCDEFu);
  EXPECT_EQ(format.bytes_per_second, 0x01020304u);
  EXPECT_EQ(format.block_align, 0x0506);
  EXPECT_EQ(format.bits_per_sample, 0x0708);
}

}  // namespace
