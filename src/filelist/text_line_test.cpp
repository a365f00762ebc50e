#include "filelist/text_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// All lines of `content` as read through a buffer of `size` bytes.
static std::vector<std::string> lines_of(const std::string& content, int size) {
  FILE* file = tmpfile();
  fwrite(content.data(), 1, content.size(), file);
  rewind(file);
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<size_t>(size));
  while (read_text_line(file, buffer.data(), size)) lines.push_back(buffer.data());
  fclose(file);
  return lines;
}

TEST(TextLine, ReadsAsWindowsTextModeDoes) {
  struct Case {
    const char* content;
    int size;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", 100, {"a\n", "b\n"}},
      {"a\r\nb\r\n", 100, {"a\n", "b\n"}},
      {"a\rb\n", 100, {"a\rb\n"}},      // a lone CR stays
      {"a\r", 100, {"a\r"}},            // also at the end of the file
      {"last", 100, {"last"}},          // no line end
      {"abcdef\n", 4, {"abc", "def", "\n"}},
      // The CR goes before the line is cut: "ab\r\n" fits three bytes.
      {"ab\r\ncd\n", 4, {"ab\n", "cd\n"}},
      {"", 100, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lines_of(c.content, c.size), c.lines) << c.content;
}

TEST(TextLine, StripsOnlyTrailingLineFeeds) {
  char line[] = "a \n\n";
  strip_line_feeds(line);
  EXPECT_STREQ(line, "a ");
  char inner[] = "a\nb";
  strip_line_feeds(inner);
  EXPECT_STREQ(inner, "a\nb");
}
