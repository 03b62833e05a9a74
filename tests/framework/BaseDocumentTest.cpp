#include <gtest/gtest.h>

#include <regex>

#include "framework/MSWBase.h"
#include "platform/CodePages.h"

namespace zvword {
namespace {

// A reader that records where its stream stood when loading began and emits fixed units.
class ProbeReader : public TMSWBaseDocument {
 public:
  int64_t startPosition = -1;
  std::vector<WideString> units;
  void LoadFromStream(TStream& Stream) override {
    TMSWBaseDocument::LoadFromStream(Stream);
    startPosition = Stream.Position();
    if (!ParseItems().Contains(wpiText)) return;
    AddText(GetTextStart(), Text());
    for (const auto& u : units) {
      if (IsCancelExtract) break;
      AddText(u, Text());
    }
    AddText(GetTextFinish(), Text());
  }
};

TEST(BaseDocument, Defaults) {
  ProbeReader doc;
  EXPECT_EQ(doc.About(), u"1.47");
  doc.SetAbout(u"2.0");
  EXPECT_EQ(doc.About(), u"1.47");
  EXPECT_EQ(doc.FileName(), u"");
  EXPECT_EQ(doc.TextFormating(), tfPlainText);
  EXPECT_EQ(doc.MaxTextLength(), 0);
  EXPECT_EQ(doc.ParseItems().Bits(), 9u);
  EXPECT_TRUE(doc.ConvertSysCharacters());
  EXPECT_FALSE(doc.IsPasswordProtected());
  EXPECT_EQ(doc.Text(), doc.PlainText());
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(BaseDocument, PrologueAndEpilogueOfEachMode) {
  ProbeReader doc;
  EXPECT_EQ(doc.GetTextStart(), u"");
  EXPECT_EQ(doc.GetTextFinish(), u"");
  doc.SetTextFormating(tfHTML);
  EXPECT_EQ(doc.GetTextStart(),
            u"<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\"\r\ncontent=\"text/html; charset=windows-1252\">\r\n"
            u"<meta name=\"GENERATOR\" content=\"Orvantis Word Document Parser\">\r\n"
            u"<title>Orvantis Word Document Parser</title>\r\n</head>\r\n\r\n<body bgcolor=\"#FFFFFF\">\r\n");
  EXPECT_EQ(doc.GetTextFinish(), u"\r\n</body>\r\n</html>");
  doc.SetTextFormating(tfRTF);
  EXPECT_EQ(doc.GetTextFinish(), u"\r\n}");
  SetSystemCodePage(1251);
  const std::string rtf = WideToUtf8(doc.GetTextStart());
  SetSystemCodePage(1252);
  // The date has no leading zeros; hour and minute follow unless the clock shows midnight.
  const std::regex pattern(
      R"(\{\\rtf1\\ansi\\ansicpg1251\\uc1\r\n\{\\\*\\generator Orvantis Word Document Parser;\})"
      R"(\{\\info\{\\operator Orvantis Word Document Parser\}\{\\\*\\company Orvantis Software\})"
      R"(\{\\creatim\\yr[1-9][0-9]{3}\\mo([1-9]|1[0-2])\\dy([1-9]|[12][0-9]|3[01])(\\hr([0-9]|1[0-9]|2[0-3])\\min([0-9]|[1-5][0-9]))?\})"
      R"(\{\\title Orvantis Word Document Parser\}\}\r\n)");
  EXPECT_TRUE(std::regex_match(rtf, pattern)) << rtf;
}

TEST(BaseDocument, TextEventsMayReplaceProloguesAndEpilogues) {
  ProbeReader doc;
  doc.SetTextFormating(tfHTML);
  doc.units = {u"body"};
  doc.SetOnBeforeText([](TMSWBaseDocument* sender, WideString& text) {
    EXPECT_NE(sender, nullptr);
    text.clear();
  });
  doc.SetOnAfterText([](TMSWBaseDocument*, WideString& text) { text = u"<end>"; });
  TMemoryStream s;
  doc.LoadFromStream(s);
  ASSERT_EQ(doc.Text()->Count(), 3);
  EXPECT_EQ(doc.Text()->Get(0), u"");
  EXPECT_EQ(doc.Text()->Get(2), u"<end>");
}

TEST(BaseDocument, PlainTextFramesTheUnitsWithEmptyItems) {
  ProbeReader doc;
  doc.units = {u"a", u"b"};
  TMemoryStream s;
  doc.LoadFromStream(s);
  EXPECT_EQ(doc.Text()->WideText(), u"\r\na\r\nb\r\n\r\n");
  doc.SetParseItems(TZvWParseItems{wpiSummaryInformation});
  doc.LoadFromStream(s);
  EXPECT_EQ(doc.Text()->Count(), 0);
}

struct LimitCase {
  int32_t limit;
  std::vector<WideString> units;
  size_t unitsRead;     // units that reached the list before the flag rose
  WideString expected;  // the list's joined text at the end, less the last line end
};

class MaxTextLength : public ::testing::TestWithParam<LimitCase> {};

TEST_P(MaxTextLength, FlagRisesWhenTheTextReachesTheLimit) {
  const auto& c = GetParam();
  int added = 0;
  class Counting : public ProbeReader {
   public:
    int* added = nullptr;
    void AddText(const WideString& t, TWideStrings* s) override {
      ++*added;
      ProbeReader::AddText(t, s);
    }
  } doc;
  doc.added = &added;
  doc.units = c.units;
  doc.SetMaxTextLength(c.limit);
  TMemoryStream s;
  doc.LoadFromStream(s);
  EXPECT_TRUE(doc.IsCancelExtract);
  EXPECT_EQ(added, static_cast<int>(c.unitsRead) + 2);  // plus prologue and epilogue
  // The joined text is cut at the limit; the list's own line end follows.
  EXPECT_EQ(doc.Text()->WideText(), c.expected + u"\r\n");
  EXPECT_LE(doc.Text()->TextLength(), c.limit + 2);
}

INSTANTIATE_TEST_SUITE_P(
    BaseDocument, MaxTextLength,
    ::testing::Values(LimitCase{8, {u"abc", u"defgh", u"ijk"}, 2, u"\r\nabc\r\nd"},
                      LimitCase{2, {u"abc"}, 0, u"\r\n"},
                      LimitCase{7, {u"abc", u"d"}, 1, u"\r\nabc\r\n"}));

TEST(BaseDocument, NoLimitKeepsEverything) {
  ProbeReader doc;
  doc.units = {WideString(5000, u'x'), u"y"};
  TMemoryStream s;
  doc.LoadFromStream(s);
  EXPECT_FALSE(doc.IsCancelExtract);
  EXPECT_EQ(doc.Text()->Count(), 4);
}

TEST(BaseDocument, LoadFromOLEStreamSkipsTheBdocHeader) {
  ProbeReader doc;
  TMemoryStream bdoc(std::string("BDOC") + std::string(8, '\x01') + "payload");
  doc.LoadFromOLEStream(bdoc);
  EXPECT_EQ(doc.startPosition, 12);

  TMemoryStream other(std::string("xxxBDOC") + std::string(20, 'y'));
  other.SetPosition(1);  // the test looks at the bytes where the stream stands
  doc.LoadFromOLEStream(other);
  EXPECT_EQ(doc.startPosition, 1);
  other.SetPosition(3);
  doc.LoadFromOLEStream(other);
  EXPECT_EQ(doc.startPosition, 15);

  TMemoryStream plain("PK\x03\x04 and more bytes");
  doc.LoadFromOLEStream(plain);
  EXPECT_EQ(doc.startPosition, 0);

  TMemoryStream tiny("BD");  // shorter than the header: the stream is left where it stood
  doc.LoadFromOLEStream(tiny);
  EXPECT_EQ(doc.startPosition, 0);
}

TEST(BaseDocument, ExecuteOnAMissingFileRaisesAndSkipsTheAfterEvent) {
  for (const WideString& name : {WideString(u""), WideString(u"/nonexistent/file.doc")}) {
    ProbeReader doc;
    int before = 0, after = 0;
    doc.SetOnBeforeExecute([&](TMSWBaseDocument*) { ++before; });
    doc.SetOnAfterExecute([&](TMSWBaseDocument*) { ++after; });
    doc.SetFileName(name);
    try {
      doc.Execute();
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), u"File " + name + u" is not found.");
    }
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
  }
}

TEST(BaseDocument, EscapeText) {
  const struct {
    TMSTextFormating mode;
    std::u16string in, out;
  } cases[] = {
      {tfPlainText, u"<a&b>{\\}\u00E9", u"<a&b>{\\}\u00E9"},
      {tfHTML, u"<a href=\"x\">&amp;</a>", u"&lt;a href=&quot;x&quot;&gt;&amp;amp;&lt;/a&gt;"},
      {tfHTML, u"{\\}\u00E9", u"{\\}\u00E9"},
      {tfRTF, u"{\\}", u"\\{\\\\\\}"},
      {tfRTF, u"caf\u00E9 \u20AC", u"caf\\u233\\'e9 \\u8364\\'80"},
      {tfRTF, u"\uFFFD", u"\\u-3\\'3f"},
      {tfRTF, u"<&>\"", u"<&>\""},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeText(c.in, c.mode), c.out);
}

}  // namespace
}  // namespace zvword
