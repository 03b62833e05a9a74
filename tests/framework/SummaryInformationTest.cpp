#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>

#include "builders/PropertySetBuilder.h"
#include "framework/MSW_Sum.h"
#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "platform/LocalTime.h"

namespace zvword {
namespace {

using test::PropertySetBuilder;
using TSum = TZvWordSummaryInformation;

constexpr uint64_t FileTime(int64_t unixSeconds) {
  return static_cast<uint64_t>(unixSeconds + 11644473600) * 10000000;
}

// Runs the test body with a fixed time zone, restoring the process's afterwards.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (had_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TSum Read(const std::string& set, bool doc = false) {
  TSum s;
  TMemoryStream m(set);
  s.ReadPropertySet(m, doc);
  return s;
}

struct StringCase {
  const char* what;
  std::function<void(PropertySetBuilder&)> build;
  std::u16string title;
  int needs = 0;  // a code page the case depends on
};

class Strings : public ::testing::TestWithParam<StringCase> {};

TEST_P(Strings, TitleDecodesWithTheSetsCodePage) {
  if (GetParam().needs && !IsCodePageSupported(GetParam().needs))
    GTEST_SKIP() << "code page " << GetParam().needs << " not available in this build";
  PropertySetBuilder b;
  GetParam().build(b);
  EXPECT_EQ(Read(b.Build()).Title(), GetParam().title) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Summary, Strings,
    ::testing::Values(
        StringCase{"no code page: the system's", [](auto& b) { b.Str(2, "Caf\xE9"); }, u"Caf\u00E9"},
        StringCase{"1252", [](auto& b) { b.I2(1, 1252).Str(2, "Caf\xE9"); }, u"Caf\u00E9"},
        StringCase{"1251", [](auto& b) { b.I2(1, 1251).Str(2, "\xCC\xE8\xF0"); }, u"\u041C\u0438\u0440", 1251},
        StringCase{"code page after the string", [](auto& b) { b.Str(2, "\xCC\xE8\xF0").I2(1, 1251); },
                   u"\u041C\u0438\u0440", 1251},
        StringCase{"1200: 8-bit strings are UTF-16LE",
                   [](auto& b) { b.I2(1, 1200).Str(2, std::string("\x1C\x04\x38\x04\x00\x00", 6), false); },
                   u"\u041C\u0438"},
        StringCase{"65001 stored as a negative 16-bit value",
                   [](auto& b) { b.I2(1, static_cast<int16_t>(65001)).Str(2, "\xD0\x9C\xD0\xB8"); }, u"\u041C\u0438"},
        StringCase{"wide string", [](auto& b) { b.WStr(2, u"\u65E5\u672C"); }, u"\u65E5\u672C"},
        StringCase{"length without the zero", [](auto& b) { b.Str(2, "Title", false); }, u"Title"},
        StringCase{"stops at the first zero", [](auto& b) { b.Str(2, std::string("ab\0cd", 5)); }, u"ab"},
        StringCase{"unknown code page: the system's", [](auto& b) { b.I2(1, 12345).Str(2, "x\xE9"); }, u"x\u00E9"},
        StringCase{"string length past the end is clamped",
                   [](auto& b) { b.Raw(2, 30, std::string("\xFF\xFF\xFF\x7F", 4) + "Short"); }, u"Short"},
        StringCase{"integer in a string slot is skipped", [](auto& b) { b.Int(2, 42); }, u""}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

TEST(Summary, AllSummaryProperties) {
  TimeZone utc("UTC0");
  PropertySetBuilder b;
  b.I2(1, 1252)
      .Str(2, "T").Str(3, "S").Str(4, "A").Str(5, "K").Str(6, "C").Str(7, "Normal.dot").Str(8, "L").Str(9, "7")
      .FileTime(10, 90ull * 60 * 10000000)
      .FileTime(11, FileTime(315550800))
      .FileTime(12, FileTime(981173107))
      .FileTime(13, FileTime(981173108))
      .Int(14, 3).Int(15, 250).Int(16, 1400).Str(18, "Microsoft Word 9.0").Int(19, 0);
  const TSum s = Read(b.Build());
  EXPECT_EQ(s.Title(), u"T");
  EXPECT_EQ(s.Subject(), u"S");
  EXPECT_EQ(s.Author(), u"A");
  EXPECT_EQ(s.Keywords(), u"K");
  EXPECT_EQ(s.Comments(), u"C");
  EXPECT_EQ(s.Template(), u"Normal.dot");
  EXPECT_EQ(s.LastAuthor(), u"L");
  EXPECT_EQ(s.RevNumber(), u"7");
  EXPECT_EQ(s.EditTime(), 90);  // total minutes
  EXPECT_EQ(s.LastPrinted(), EncodeDateTime({1980, 1, 1, 5, 0, 0, 0}));
  EXPECT_EQ(s.Created(), EncodeDateTime({2001, 2, 3, 4, 5, 6, 0}));  // seconds down to even
  EXPECT_EQ(s.LastSaved(), EncodeDateTime({2001, 2, 3, 4, 5, 8, 0}));
  EXPECT_EQ(s.PageCount(), 3);
  EXPECT_EQ(s.WordCount(), 250);
  EXPECT_EQ(s.CharCount(), 1400);
  EXPECT_EQ(s.AppName(), u"Microsoft Word 9.0");
  // Summary ids never fill document-summary properties.
  EXPECT_EQ(s.Category(), u"");
  EXPECT_EQ(s.ByteCount(), 0);
}

TEST(Summary, AllDocumentSummaryProperties) {
  PropertySetBuilder b;
  b.Str(2, "Cat").Str(3, "Screen").Int(4, 1000).Int(5, 40).Int(6, 12).Int(7, 5).Int(8, 2).Int(9, 1).Int(10, 6)
      .Str(14, "Boss").WStr(15, u"ACME \u00C9").Int(17, 1500).Str(18, "ignored");
  const TSum s = Read(b.Build(), true);
  EXPECT_EQ(s.Category(), u"Cat");
  EXPECT_EQ(s.PresentationTarget(), u"Screen");
  EXPECT_EQ(s.ByteCount(), 1000);
  EXPECT_EQ(s.LineCount(), 40);
  EXPECT_EQ(s.ParagraphCount(), 12);
  EXPECT_EQ(s.SlideCount(), 5);
  EXPECT_EQ(s.NoteCount(), 2);
  EXPECT_EQ(s.HiddenSlideCount(), 1);
  EXPECT_EQ(s.MMClipCount(), 6);
  EXPECT_EQ(s.Manager(), u"Boss");
  EXPECT_EQ(s.Company(), u"ACME \u00C9");
  EXPECT_EQ(s.CharCount2(), 1500);
  EXPECT_EQ(s.Title(), u"");
  EXPECT_EQ(s.AppName(), u"");
}

struct DateCase {
  const char* tz;
  int64_t unixSeconds;
  TSystemTime expect;  // zero year: not set
};

TEST(Summary, DatesStayInUtcWithDosResolution) {
  const DateCase cases[] = {
      {"UTC0", 981173107, {2001, 2, 3, 4, 5, 6, 0}},
      {"EST5", 981173107, {2001, 2, 3, 4, 5, 6, 0}},  // the reading machine's zone changes nothing
      {"UTC0", 315532799, {}},                        // 1979: before DOS dates
      {"EST5", 315550800, {1980, 1, 1, 5, 0, 0, 0}},
      {"UTC0", 4354819200 + 86400 * 366, {}},         // past 2107
  };
  for (const auto& c : cases) {
    TimeZone zone(c.tz);
    const TDateTime got = TSum::FileTimeToDateTime(FileTime(c.unixSeconds));
    EXPECT_EQ(got, c.expect.Year ? EncodeDateTime(c.expect) : 0.0) << c.tz << " " << c.unixSeconds;
  }
  EXPECT_EQ(TSum::FileTimeToDateTime(0), 0.0);
  EXPECT_EQ(TSum::FileTimeToDateTime(~0ull), 0.0);
}

TEST(Summary, ElapsedTimeIsTotalMinutes) {
  EXPECT_EQ(TSum::FileTimeToElapsedTime(0), 0);
  EXPECT_EQ(TSum::FileTimeToElapsedTime(59ull * 10000000), 0);
  EXPECT_EQ(TSum::FileTimeToElapsedTime(90ull * 60 * 10000000), 90);
  EXPECT_EQ(TSum::FileTimeToElapsedTime(25ull * 3600 * 10000000), 1500);
  EXPECT_EQ(TSum::FileTimeToElapsedTime(~0ull), 0x7FFFFFFF);
}

TEST(Summary, ParsePropertyWithoutTypeKeepsTheOldReading) {
  TSum s;
  s.ParseProperty(2, std::string_view("Old\0junk", 8), false);
  s.ParseProperty(14, std::string_view("\x05\x00\x00\x00", 4), false);
  s.ParseProperty(15, std::string_view("Firm", 4), true);
  s.ParseProperty(5, std::string_view("\x05\x00", 2), true);  // too short for an integer: skipped
  EXPECT_EQ(s.Title(), u"Old");
  EXPECT_EQ(s.PageCount(), 5);
  EXPECT_EQ(s.Company(), u"Firm");
  EXPECT_EQ(s.LineCount(), 0);
}

// Damaged sets lose properties, never raise, never read outside the stream.
struct DamageCase {
  const char* what;
  std::function<std::string()> set;
  std::u16string title;
  int32_t pages;
};

TEST(Summary, DamagedSetsAreReadAsFarAsTheyHold) {
  const DamageCase cases[] = {
      {"empty stream", [] { return std::string(); }, u"", 0},
      {"header cut short", [] { return PropertySetBuilder().Str(2, "T").Build().substr(0, 40); }, u"", 0},
      {"section past the end", [] { return PropertySetBuilder().Str(2, "T").SectionOffset(0xFFFFFF00).Build(); }, u"", 0},
      {"section at the very end", [] { auto s = PropertySetBuilder().Build(); return s.substr(0, 52); }, u"", 0},
      {"count far larger than the table",
       [] { return PropertySetBuilder().Str(2, "T").Int(14, 4).Count(0x7FFFFFFF).Build(); }, u"T", 4},
      {"property offset out of range",
       [] { return PropertySetBuilder().Str(2, "T").Int(14, 4).Offset(0, 0xFFFFFFF0).Build(); }, u"", 4},
      {"property offset at the last bytes",
       [] {
         auto s = PropertySetBuilder().Str(2, "T").Int(14, 4).Build();
         return PropertySetBuilder().Str(2, "T").Int(14, 4).Offset(1, static_cast<uint32_t>(s.size() - 48 - 5)).Build();
       },
       u"T", 0},
      {"unknown type skipped", [] { return PropertySetBuilder().Raw(2, 0x1E1E, "abcd").Int(14, 9).Build(); }, u"", 9},
      {"stream ends inside the values", [] {
         auto s = PropertySetBuilder().Int(14, 9).Str(2, "A long title").Build();
         return s.substr(0, s.size() - 10);
       }, u"A long", 9},
  };
  for (const auto& c : cases) {
    TSum s;
    s.SetTitle(u"");
    TMemoryStream m(c.set());
    EXPECT_NO_THROW(s.ReadPropertySet(m, false)) << c.what;
    EXPECT_EQ(s.Title(), c.title) << c.what;
    EXPECT_EQ(s.PageCount(), c.pages) << c.what;
  }
}

TEST(Summary, ClearAndAssign) {
  TSum a;
  a.SetTitle(u"T");
  a.SetPageCount(4);
  a.SetCreated(100.5);
  TSum b;
  b.Assign(a);
  EXPECT_EQ(b.Title(), u"T");
  EXPECT_EQ(b.PageCount(), 4);
  EXPECT_EQ(b.Created(), 100.5);
  b.Clear();
  EXPECT_EQ(b.Title(), u"");
  EXPECT_EQ(b.PageCount(), 0);
  EXPECT_EQ(b.Created(), 0.0);
  EXPECT_EQ(a.Title(), u"T");
}

}  // namespace
}  // namespace zvword
