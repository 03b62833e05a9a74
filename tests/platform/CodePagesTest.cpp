#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/CodePages.h"

namespace zvword {
namespace {

struct Row {
  int codePage;
  std::string bytes;
  int unit;  // -1: the published table has no character for the bytes
};

std::vector<Row> LoadTable() {
  std::ifstream f(std::string(ZVWORD_SOURCE_DIR) + "/tests/platform/data/codepages.tsv");
  std::vector<Row> rows;
  std::string line;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string cp, hex, unit;
    in >> cp >> hex >> unit;
    Row r{std::stoi(cp), {}, unit == "-" ? -1 : std::stoi(unit, nullptr, 16)};
    for (size_t i = 0; i + 1 < hex.size(); i += 2) r.bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    rows.push_back(r);
  }
  return rows;
}

TEST(CodePages, EveryByteAndPairAgreesWithThePublishedTables) {
  const auto rows = LoadTable();
  ASSERT_GT(rows.size(), 10000u);
  std::map<int, int> checked, failures;
  // Each single-byte page's defined bytes in one text too: long text is converted in blocks.
  std::map<int, std::pair<RawByteString, WideString>> runs;
  for (const auto& r : rows) {
    const WideString got = CodePageToWide(r.bytes, r.codePage);
    if (r.unit >= 0) {
      ++checked[r.codePage];
      if (r.bytes.size() == 1 && !IsDoubleByteCodePage(r.codePage)) {
        runs[r.codePage].first += r.bytes;
        runs[r.codePage].second += static_cast<char16_t>(r.unit);
      }
      if (got != WideString(1, static_cast<char16_t>(r.unit))) {
        if (++failures[r.codePage] <= 5)
          ADD_FAILURE() << r.codePage << " bytes " << std::hex << (static_cast<unsigned>(r.bytes[0]) & 0xFF)
                        << " gave " << (got.empty() ? 0 : static_cast<unsigned>(got[0])) << " want " << r.unit;
      }
      // Encoding the character again gives bytes that decode to it.
      const RawByteString back = WideToCodePage(got, r.codePage);
      EXPECT_EQ(CodePageToWide(back, r.codePage), got) << r.codePage;
    } else if (r.bytes.size() == 1) {
      // An undefined byte never turns into a character of the page's letters.
      ASSERT_EQ(got.size(), 1u);
      EXPECT_TRUE(got[0] == u'\uFFFD' || got[0] == static_cast<char16_t>(static_cast<uint8_t>(r.bytes[0])))
          << r.codePage << " byte " << (static_cast<unsigned>(r.bytes[0]) & 0xFF);
    } else {
      // An undefined pair is U+FFFD, or its first byte is no lead byte and stands alone.
      ASSERT_NE(got.size(), 0u);
      EXPECT_TRUE(got[0] == u'\uFFFD' || got.substr(0, 1) == CodePageToWide(r.bytes.substr(0, 1), r.codePage)) << r.codePage << " " << std::hex << static_cast<unsigned>(got[0]);
    }
  }
  for (const auto& [cp, run] : runs) EXPECT_EQ(CodePageToWide(run.first, cp), run.second) << cp;
  for (int cp : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) EXPECT_GE(checked[cp], 220) << cp;
  for (int cp : {932, 936, 949, 950, 1361}) EXPECT_GE(checked[cp], 400) << cp;
}

struct Sample {
  int codePage;
  std::string bytes;
  std::u16string text;
};

class KnownText : public ::testing::TestWithParam<Sample> {};

TEST_P(KnownText, DecodesAndEncodes) {
  const auto& s = GetParam();
  EXPECT_EQ(CodePageToWide(s.bytes, s.codePage), s.text);
  EXPECT_EQ(WideToCodePage(s.text, s.codePage), s.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, KnownText,
    ::testing::Values(Sample{1252, "caf\xE9 \x80 \x93q\x94", u"caf\u00E9 \u20AC \u201Cq\u201D"},
                      Sample{1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
                      Sample{1250, "\x8A\x9A\xB9", u"\u0160\u0161\u0105"},
                      Sample{1253, "\xC1\xE1", u"\u0391\u03B1"},
                      Sample{1255, "\xF9\xEC\xE5\xED", u"\u05E9\u05DC\u05D5\u05DD"},
                      Sample{874, "\xA1\xD2", u"\u0E01\u0E32"},
                      Sample{932, "\x93\xFA\x96\x7B\xB1" "A", u"\u65E5\u672C\uFF71A"},
                      Sample{936, "\xD6\xD0\xCE\xC4\x80", u"\u4E2D\u6587\u20AC"},
                      Sample{949, "\xC7\xD1\xB1\xB9", u"\uD55C\uAD6D"},
                      Sample{950, "\xA4\xA4\xA4\xE5", u"\u4E2D\u6587"},
                      Sample{20866, "\xF0\xD2\xC9", u"\u041F\u0440\u0438"},
                      Sample{866, "\x8F\xE0\xA8", u"\u041F\u0440\u0438"},
                      Sample{65001, "\xE2\x82\xAC", u"\u20AC"},
                      Sample{1200, std::string("A\0\xAC\x20", 4), u"A\u20AC"}));

TEST(CodePages, BrokenDoubleByteText) {
  // A lead byte at the end, and a lead byte before ASCII, give U+FFFD and keep the ASCII.
  EXPECT_EQ(CodePageToWide("A\x93", 932), u"A\uFFFD");
  EXPECT_EQ(CodePageToWide("\x81" "1B", 936), u"\uFFFD1B");
  EXPECT_EQ(CodePageToWide("", 949), u"");
}

TEST(CodePages, MissingCharactersBecomeTheDefault) {
  EXPECT_EQ(WideToCodePage(u"a\u4E2Db", 1252), "a?b");
  EXPECT_EQ(WideToCodePage(u"a\U0001F600b", 1251, '_'), "a_b");  // one default for a surrogate pair
  EXPECT_EQ(CodePageEncodeChar(u'\u20AC', 1252), 0x80);
  EXPECT_EQ(CodePageEncodeChar(u'\u65E5', 932), 0x93FA);
  EXPECT_EQ(CodePageEncodeChar(u'\u65E5', 1252), -1);
}

TEST(CodePages, SystemCodePageIsTheDefaultAndTheFallback) {
  EXPECT_EQ(SystemCodePage(), 1252);
  EXPECT_EQ(CodePageToWide("\xE9"), u"\u00E9");
  SetSystemCodePage(1251);
  EXPECT_EQ(CodePageToWide("\xE9"), u"\u0439");
  EXPECT_EQ(CodePageToWide("\xE9", 4242), u"\u0439");  // an unknown page falls back to the system's
  SetSystemCodePage(1252);
  EXPECT_TRUE(IsCodePageSupported(1361));
  EXPECT_TRUE(IsCodePageSupported(1258));
  EXPECT_FALSE(IsCodePageSupported(4242));
  EXPECT_TRUE(IsDoubleByteCodePage(950));
  EXPECT_FALSE(IsDoubleByteCodePage(1252));
}

TEST(CodePages, CharsetNames) {
  const std::pair<const char*, int> cases[] = {
      {"windows-1251", 1251}, {"WINDOWS-1252", 1252}, {"iso-8859-1", 28591}, {"ISO-8859-2", 28592},
      {"koi8-r", 20866},      {"cp866", 866},         {"Shift_JIS", 932},    {"gbk", 936},
      {"gb2312", 936},        {"big5", 950},          {"euc-kr", 949},       {"utf-8", 65001},
      {"UTF-16", 1200},       {"utf-16be", 1201},     {" utf-8 ", 65001},    {"cp1250", 1250},
      {"tis-620", 874},       {"us-ascii", 20127},    {"johab", 1361},       {"x-unknown", 0},
      {"", 0},                {"windows-9999", 0},    {"cp99999999999", 0}};
  for (const auto& [name, cp] : cases) EXPECT_EQ(CodePageFromCharsetName(name), cp) << name;
}

}  // namespace
}  // namespace zvword
