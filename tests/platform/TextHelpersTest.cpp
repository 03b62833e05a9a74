#include <gtest/gtest.h>

#include <algorithm>

#include "platform/TextHelpers.h"
#include "platform/Unicode.h"
#include "platform/Version.h"

namespace zvword {
namespace {

TEST(TextHelpers, HexDigitsAndAsciiCase) {
  const std::pair<int, int> digits[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', -1}, {'G', -1},
                                        {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}, {0xFF10, -1}, {-48, -1}};
  for (const auto& [c, v] : digits) EXPECT_EQ(HexDigitValue(c), v) << c;
  struct Case {
    std::u16string_view a, b;
    bool same;
  } cases[] = {
      {u"Word/Document.XML", u"word/document.xml", true}, {u"[\\]^_`", u"{|}~\x7F@", false},
      {u"\u00C9", u"\u00E9", false},  // only ASCII letters fold
      {u"abc", u"abcd", false},       {u"", u"", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameAsciiText(c.a, c.b), c.same);
    EXPECT_EQ(SameAsciiText(c.b, c.a), c.same);
  }
  EXPECT_TRUE(SameAsciiText("%PDF-1.7", "%pdf-1.7"));
}

TEST(TextHelpers, HexRuns) {
  struct Case {
    std::string_view in;
    std::string out;
    size_t read;
  } cases[] = {
      {"48 65\n6c6C6f>rest", "Hello", 13}, {"4>", std::string("\x40"), 2}, {"zz41", "A", 4},
      {">41", "", 1},                       {"", "", 0},                      {"0g0", std::string(1, '\0'), 3},
  };
  for (const auto& c : cases) {
    std::string out = "=";
    EXPECT_EQ(DecodeHexRun(c.in, out), c.read) << c.in;
    EXPECT_EQ(out, "=" + c.out) << c.in;
  }
}

TEST(Unicode, CodePointsAndUtf16LE) {
  WideString w;
  for (char32_t c : {U'A', U'\u00E9', U'\uFFFD', U'\U0001F600', U'\U0010FFFF'}) AppendCodePoint(w, c);
  EXPECT_EQ(w, u"A\u00E9\uFFFD\U0001F600\U0010FFFF");
  EXPECT_EQ(WideToUtf16LE(u"A\u20AC\U0001F600"), std::string("A\0\xAC\x20\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(WideToUtf16LE(u"", true), "\xFF\xFE");
  // Round trip through UTF-8 keeps every scalar value.
  EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
}

TEST(Version, ComesFromTheBuild) {
  const std::string v = LibraryVersion();
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v.find_first_not_of("0123456789."), std::string::npos) << v;
  EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 1) << v;
}

}  // namespace
}  // namespace zvword
