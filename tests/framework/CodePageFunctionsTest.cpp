#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "framework/MSW_CP.h"
#include "framework/ZvWUtils.h"
#include "platform/CodePages.h"
#include "platform/FormatSettings.h"

namespace zvword {
namespace {

using Converter = uint16_t (*)(uint16_t);

struct ConverterCase {
  const char* name;
  Converter convert;
  int codePage;
  std::vector<std::pair<uint16_t, uint16_t>> set;  // the characters the converter handles
  int ffff;                                        // its answer for U+FFFF
};

std::vector<ConverterCase> Converters() {
  return {
      {"1250", UnicodeToWin1250, 1250,
       {{0x00A4, 0x00A4}, {0x00F6, 0x00F6}, {0x0102, 0x0107}, {0x010C, 0x0111}, {0x0118, 0x011B}, {0x0139, 0x013A},
        {0x013D, 0x013E}, {0x0141, 0x0144}, {0x0147, 0x0148}, {0x0150, 0x0151}, {0x0154, 0x0155}, {0x0158, 0x015B},
        {0x015E, 0x0165}, {0x016E, 0x0171}, {0x0179, 0x017E}, {0x02C7, 0x02C7}, {0x02D8, 0x02D9}, {0x02DB, 0x02DB},
        {0x02DD, 0x02DD}, {0x2122, 0x2122}},
       0x81},
      {"1251", UnicodeToWin1251, 1251,
       {{0x0401, 0x040C}, {0x040E, 0x044F}, {0x0451, 0x045C}, {0x045E, 0x045F}, {0x0490, 0x0491}, {0x2116, 0x2116},
        {0x2122, 0x2122}},
       0x98},
      {"1252", UnicodeToWin1252, 1252,
       {{0x0152, 0x0153}, {0x0160, 0x0161}, {0x0178, 0x0178}, {0x017D, 0x017E}, {0x0192, 0x0192}, {0x02C6, 0x02C6},
        {0x02DC, 0x02DC}, {0x2122, 0x2122}},
       0x81},
      {"1253", UnicodeToWin1253, 1253,
       {{0x00B0, 0x00B3}, {0x00BB, 0x00BB}, {0x00BD, 0x00BD}, {0x0192, 0x0192}, {0x0384, 0x0386}, {0x0388, 0x038A},
        {0x038C, 0x038C}, {0x038E, 0x03A1}, {0x03A3, 0x03CE}, {0x2122, 0x2122}},
       0x81},
      {"1254", UnicodeToWin1254, 1254,
       {{0x011E, 0x011F}, {0x0130, 0x0131}, {0x0152, 0x0153}, {0x015E, 0x0161}, {0x0178, 0x0178}, {0x0192, 0x0192},
        {0x02C6, 0x02C6}, {0x02DC, 0x02DC}, {0x2122, 0x2122}},
       0x81},
      {"1255", UnicodeToWin1255, 1255,
       {{0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x0192, 0x0192}, {0x02C6, 0x02C6}, {0x02DC, 0x02DC}, {0x05B0, 0x05B9},
        {0x05BB, 0x05C3}, {0x05D0, 0x05EA}, {0x05F0, 0x05F4}, {0x2122, 0x2122}},
       0x81},
      {"1256", UnicodeToWin1256, 1256,
       {{0x00A0, 0x00A0}, {0x00A2, 0x00A9}, {0x00AB, 0x00B9}, {0x00BB, 0x00BE}, {0x00D7, 0x00D7}, {0x00E0, 0x00E0},
        {0x00E2, 0x00E2}, {0x00E7, 0x00EB}, {0x00EE, 0x00EF}, {0x00F4, 0x00F4}, {0x00F7, 0x00F7}, {0x00F9, 0x00F9},
        {0x00FB, 0x00FC}, {0x0152, 0x0153}, {0x0192, 0x0192}, {0x02C6, 0x02C6}, {0x060C, 0x060C}, {0x061B, 0x061B},
        {0x061F, 0x061F}, {0x0621, 0x063A}, {0x0640, 0x0652}, {0x0679, 0x0679}, {0x067E, 0x067E}, {0x0686, 0x0686},
        {0x0688, 0x0688}, {0x0691, 0x0691}, {0x0698, 0x0698}, {0x06A9, 0x06A9}, {0x06AF, 0x06AF}, {0x06BA, 0x06BA},
        {0x06BE, 0x06BE}, {0x06C1, 0x06C1}, {0x06D2, 0x06D2}, {0x2122, 0x2122}},
       0},
      {"1257", UnicodeToWin1257, 1257,
       {{0x00A0, 0x00A0}, {0x00A2, 0x00A4}, {0x00A8, 0x00A8}, {0x00AF, 0x00AF}, {0x00B8, 0x00B8}, {0x00C6, 0x00C6},
        {0x00D3, 0x00D3}, {0x00D8, 0x00D8}, {0x00E6, 0x00E6}, {0x00F8, 0x00F8}, {0x0100, 0x0101}, {0x0104, 0x0107},
        {0x010C, 0x010D}, {0x0112, 0x0113}, {0x0116, 0x0119}, {0x0122, 0x0123}, {0x012A, 0x012B}, {0x012E, 0x012F},
        {0x0136, 0x0137}, {0x013B, 0x013C}, {0x0141, 0x0146}, {0x014C, 0x014D}, {0x0156, 0x0157}, {0x015A, 0x015B},
        {0x0160, 0x0161}, {0x016A, 0x016B}, {0x0172, 0x0173}, {0x0179, 0x017E}, {0x02C7, 0x02C7}, {0x02D9, 0x02D9},
        {0x02DB, 0x02DB}, {0x2122, 0x2122}},
       0x81},
  };
}

TEST(UnicodeToWin, EachConverterCoversExactlyItsSet) {
  for (const auto& c : Converters()) {
    std::set<uint16_t> members;
    for (const auto& [from, to] : c.set)
      for (unsigned u = from; u <= to; ++u) members.insert(static_cast<uint16_t>(u));
    if (c.codePage == 1255) members.insert(0x0160);
    for (unsigned u = 0; u < 0xFFFF; ++u) {
      const uint16_t got = c.convert(static_cast<uint16_t>(u));
      if (!members.count(static_cast<uint16_t>(u))) {
        ASSERT_EQ(got, 0) << c.name << " U+" << std::hex << u;
        continue;
      }
      ASSERT_NE(got, 0) << c.name << " U+" << std::hex << u;
      if (c.codePage == 1255 && u == 0x0160) continue;
      // The byte is the character's byte in the published page.
      const std::string byte(1, static_cast<char>(got));
      ASSERT_EQ(CodePageToWide(byte, c.codePage), WideString(1, static_cast<char16_t>(u))) << c.name << " U+" << std::hex << u;
    }
    EXPECT_EQ(c.convert(0xFFFF), c.ffff) << c.name;
  }
}

TEST(UnicodeToWin, EdgeCases) {
  EXPECT_EQ(UnicodeToWin1252(0x00E9), 0);
  EXPECT_EQ(UnicodeToWin1252(0x0160), 0x8A);
  EXPECT_EQ(UnicodeToWin1252(0x20AC), 0);
  EXPECT_EQ(UnicodeToWin1252(u'A'), 0);
  EXPECT_EQ(UnicodeToWin1255(0x0160), 0x8A);
  EXPECT_EQ(UnicodeToWin1256(0xFFFF), 0);
  EXPECT_EQ(UnicodeToWin1251(0x0416), 0xC6);
  for (Converter f : {UnicodeToWin874, UnicodeToWin932, UnicodeToWin936, UnicodeToWin949, UnicodeToWin950})
    for (uint16_t u : {0x0041, 0x0E01, 0x65E5, 0xFFFF}) EXPECT_EQ(f(u), 0);
}

TEST(UnicodeBlocks, TableIsOrderedAndComplete) {
  EXPECT_EQ(UnicodeBlocks[0].Name, u"Basic Latin");
  EXPECT_EQ(UnicodeBlocks[87].CodeTo, 0xFFFF);
  EXPECT_EQ(UnicodeBlocks[85].Name, u"Specials");
  EXPECT_EQ(UnicodeBlocks[87].Name, u"Specials");
  EXPECT_EQ(UnicodeBlocks[69].CodeTo, 0x4DB5);
  EXPECT_EQ(UnicodeBlocks[73].Name, u"Hangul Syllables");
  for (int i = 0; i < UnicodeBlockCount; ++i) {
    EXPECT_LE(UnicodeBlocks[i].CodeFrom, UnicodeBlocks[i].CodeTo) << i;
    EXPECT_FALSE(UnicodeBlocks[i].Name.empty()) << i;
    if (i > 0) {
      EXPECT_GT(UnicodeBlocks[i].CodeFrom, UnicodeBlocks[i - 1].CodeTo) << i;
    }
  }
}

TEST(UnicodeBlocks, EveryLanguageGivesBasicLatin) {
  for (uint16_t lid : {0x0000, 0x0409, 0x0419, 0x0411, 0x0804, 0x7FFF, 0xFFFF}) {
    const TUnicodeRange r = GetUnicodeRangeByLID(lid, 7);
    EXPECT_EQ(r.CodeFrom, 0);
    EXPECT_EQ(r.CodeTo, 0x7F);
    EXPECT_EQ(r.Name, u"Basic Latin");
  }
}

TEST(GetHTMLFontSize, Table) {
  const std::pair<int, const char16_t*> cases[] = {
      {-5, u"-1"}, {0, u"-1"}, {5, u"-1"}, {6, u"1"},  {7, u"1"},  {8, u"2"},  {9, u"2"},   {10, u"-1"},
      {12, u"-1"}, {13, u"-1"}, {14, u"4"}, {17, u"4"}, {18, u"5"}, {23, u"5"}, {24, u"6"}, {35, u"6"},
      {36, u"-1"}, {1000, u"-1"}};
  for (const auto& [p, s] : cases) EXPECT_EQ(GetHTMLFontSize(p), s) << p;
}

TEST(StrToFloatDef, PeriodAndLocaleSeparator) {
  const struct {
    char16_t sep;
    const char16_t* text;
    double value;
  } cases[] = {
      {u'.', u"1.5", 1.5},    {u'.', u"-2", -2},        {u'.', u"+3.25", 3.25}, {u'.', u" 4 ", 4},
      {u'.', u".5", 0.5},     {u'.', u"5.", 5},         {u'.', u"1e3", 1000},   {u'.', u"-1.5E-1", -0.15},
      {u'.', u"1,5", -99},    {u'.', u"", -99},         {u'.', u"abc", -99},    {u'.', u"1.5x", -99},
      {u'.', u"1..5", -99},   {u'.', u"e5", -99},       {u'.', u"1e", -99},     {u'.', u"1e999", -99},
      {u'.', u"-", -99},      {u'.', u"inf", -99},      {u',', u"1,5", 1.5},    {u',', u"1.5", 1.5},
      {u',', u"1,5,0", -99},  {u',', u"-0,25", -0.25},  {u',', u"1,5.0", -99},
  };
  for (const auto& c : cases) {
    SetDecimalSeparator(c.sep);
    EXPECT_DOUBLE_EQ(StrToFloatDef(c.text, -99), c.value) << WideToUtf8(c.text) << " sep " << static_cast<char>(c.sep);
  }
  SetDecimalSeparator(u'.');
}

}  // namespace
}  // namespace zvword
