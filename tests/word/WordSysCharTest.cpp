// Special characters and fields as the Word reader renders them.
#include <gtest/gtest.h>

#include "word/MSWord.h"

namespace zvword {
namespace {

struct SysCharCase {
  const char* name;
  TMSTextFormating mode;
  std::u16string input;
  std::u16string expected;
};

// Characters named by code, so the cases read like the text streams they stand for.
const std::u16string P = u"\r";             // paragraph end (13)
const std::u16string CELL = u"\a";          // cell end (7)
const std::u16string FB = u"\x13";          // field begin
const std::u16string FS = u"\x14";          // field separator
const std::u16string FE = u"\x15";          // field end

class SysCharTest : public ::testing::TestWithParam<SysCharCase> {};

TEST_P(SysCharTest, Renders) {
  const SysCharCase& c = GetParam();
  TMSWordDocument doc;
  doc.SetTextFormating(c.mode);
  TWideStrings out;
  doc.RenderStory(c.input, &out);
  // However the story is cut into lines, they join to the rendering.
  EXPECT_EQ(out.WideText(), c.expected + u"\r\n") << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Word, SysCharTest,
    ::testing::Values(
        SysCharCase{"cells and row end", tfPlainText, u"A" + CELL + u"B" + CELL + CELL, u"A B\r\n"},
        SysCharCase{"paragraph plain", tfPlainText, u"Hi" + P, u"Hi\r\n"},
        SysCharCase{"paragraph rtf", tfRTF, u"Hi" + P, u"Hi\r\n\\par "},
        SysCharCase{"paragraph html", tfHTML, u"Hi" + P, u"Hi<p></p>\r\n"},
        SysCharCase{"line break html", tfHTML, u"a\vb", u"a<br>\r\nb"},
        SysCharCase{"row end html", tfHTML, u"x" + CELL + CELL, u"x<br>\r\n\n"},
        SysCharCase{"tab kept", tfPlainText, u"a\tb", u"a\tb"},
        SysCharCase{"page break ends the line", tfPlainText, u"one\fTwo", u"one\r\nTwo"},
        SysCharCase{"column break ends the line", tfRTF, u"one\x0Etwo", u"one\r\n\\par two"},
        SysCharCase{"non-breaking hyphen", tfPlainText, u"e\x1Email", u"e-mail"},
        SysCharCase{"optional hyphen dropped", tfPlainText, u"hy\x1Fphen", u"hyphen"},
        SysCharCase{"no control character passes", tfPlainText,
                    u"a\x01\x02\x03\x04\x05\x06\x08\x0F\x10\x11\x12\x16\x17\x18\x19\x1A\x1B\x1C\x1D"
                    u"b",
                    u"ab"},
        SysCharCase{"zero dropped", tfPlainText, std::u16string(u"a\0b", 3), u"ab"},
        SysCharCase{"field shows its result", tfPlainText, u"p. " + FB + u" PAGE " + FS + u"3" + FE, u"p. 3"},
        SysCharCase{"field without separator shows nothing", tfPlainText, u"a" + FB + u" XE \"entry\" " + FE + u"b",
                    u"ab"},
        SysCharCase{"phonetic guide: base then reading", tfPlainText,
                    FB + u"EQ \\* jc2 \\* \"Font:MS Mincho\" \\* hps11 \\o\\ad(\\s\\up 10(\u3068\u3046),\u6771\u4eac)" + FE + u"!",
                    u"\u6771\u4eac (\u3068\u3046)!"},
        SysCharCase{"equation that is no guide shows nothing", tfHTML, FB + u"EQ \\f(1,2)" + FE, u""},
        SysCharCase{"embedded object shows nothing", tfPlainText, u"a" + FB + u" EMBED Word.Picture.8 " + FS + u"\x01" + FE,
                    u"a"},
        SysCharCase{"nested field in result", tfPlainText,
                    u"<" + FB + u" HYPERLINK \"x\" " + FS + u"go " + FB + u" PAGE " + FS + u"7" + FE + u" now" + FE + u">",
                    u"<go 7 now>"},
        SysCharCase{"nested field in instruction", tfPlainText,
                    FB + u" IF " + FB + u" MERGEFIELD a " + FS + u"1" + FE + u" = 1 \"y\" " + FS + u"yes" + FE, u"yes"},
        SysCharCase{"long field result kept whole", tfPlainText,
                    FB + u" TOC \\o \"1-3\" " + FS + std::u16string(500, u'x') + FE, std::u16string(500, u'x')},
        SysCharCase{"unclosed field keeps its result", tfPlainText, u"a" + FB + u" REF b " + FS + u"shown", u"ashown"},
        SysCharCase{"stray field end and separator", tfPlainText, u"a" + FE + FS + u"b", u"ab"},
        SysCharCase{"paragraphs inside a field result", tfPlainText, FB + u" TOC " + FS + u"one" + P + u"two" + P + FE,
                    u"one\r\ntwo\r\n"},
        SysCharCase{"html escapes text", tfHTML, u"a<b & \"c\">" + P, u"a&lt;b &amp; &quot;c&quot;&gt;<p></p>\r\n"},
        SysCharCase{"rtf escapes text", tfRTF, u"{x}\\y \u00E9", u"\\{x\\}\\\\y \\u233\\'e9"},
        SysCharCase{"rtf escapes field result", tfRTF, FB + u" REF a " + FS + u"{r}" + FE, u"\\{r\\}"}),
    [](const ::testing::TestParamInfo<SysCharCase>& info) {
      std::string n = info.param.name;
      for (auto& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(WordSysChar, ConvertSysCharactersOffAddsTextUnchanged) {
  TMSWordDocument doc;
  doc.SetConvertSysCharacters(false);
  TWideStrings out;
  const std::u16string raw = u"a" + FB + u" PAGE " + FS + u"1" + FE + P + std::u16string(1, u'\0');
  doc.RenderStory(raw, &out);
  ASSERT_EQ(out.Count(), 1);
  EXPECT_EQ(out.Get(0), raw);
}

TEST(WordSysChar, FieldKindsFromKeywordTable) {
  struct Row {
    std::u16string instruction;
    TZvWordSysChar kind;
  };
  const Row rows[] = {
      {u" PAGE ", scPage},         {u"pageref _Toc1 \\h", scPage}, {u"NUMPAGES", scNumPages},
      {u"TIME \\@ \"HH:mm\"", scTime}, {u"HYPERLINK \"http://x\"", scHyperlink}, {u"TOC \\o", scTOC},
      {u"EMBED Excel.Sheet", scEmbed}, {u"EDITTIME", scEditTime}, {u"SEQ TEXT_BOX", scTextField},
      {u"INCLUDEPICTURE x", scIncludePicture}, {u"MERGEFIELD x", scUnknown}, {u"", scUnknown},
  };
  for (const auto& r : rows) EXPECT_EQ(TMSWordDocument::FieldKindOf(r.instruction), r.kind) << WideToUtf8(r.instruction);
}

TEST(WordSysChar, EventsReportFieldsAndHandlerReplacesResult) {
  TMSWordDocument doc;
  std::vector<std::pair<TZvWordSysChar, std::u16string>> seen;
  doc.SetOnConvertSysChar([&](TMSWBaseDocument*, TZvWordSysChar kind, WideString value, WideString& result) {
    seen.emplace_back(kind, value);
    if (kind == scPage) result = u"#";
  });
  TWideStrings out;
  doc.RenderStory(FB + u" PAGE " + FS + u"3" + FE + u" of " + FB + u" PAGEREF x " + FS + u"9" + FE, &out);
  EXPECT_EQ(out.WideText(), u"# of #\r\n");
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen[0].first, scFieldBegin);
  EXPECT_EQ(seen[1].first, scFieldMiddle);
  EXPECT_EQ(seen[2].first, scFieldEnd);
  EXPECT_EQ(seen[3].first, scPage);
  EXPECT_EQ(seen[3].second, u"PAGE");
}

TEST(WordSysChar, HandlerSeesParagraphAndCellMarks) {
  TMSWordDocument doc;
  int paragraphs = 0, cells = 0, rows = 0;
  doc.SetOnConvertSysChar([&](TMSWBaseDocument*, TZvWordSysChar kind, WideString, WideString& result) {
    if (kind == scParagraphEnd) {
      ++paragraphs;
      result = u"|";
    }
    if (kind == scColumnEnd) ++cells;
    if (kind == scRowEnd) ++rows;
  });
  TWideStrings out;
  doc.RenderStory(u"a" + P + u"b" + CELL + u"c" + CELL + CELL + u"d" + P, &out);
  EXPECT_EQ(out.WideText(), u"a|b c\r\nd|\r\n");
  EXPECT_EQ(paragraphs, 2);
  EXPECT_EQ(cells, 1);
  EXPECT_EQ(rows, 1);
}

TEST(WordSysChar, DeepNestingStaysBounded) {
  TMSWordDocument doc;
  std::u16string deep;
  for (int i = 0; i < 5000; ++i) deep += FB + u"X " + FS;
  deep += u"core";
  for (int i = 0; i < 5000; ++i) deep += FE;
  TWideStrings out;
  doc.RenderStory(deep, &out);
  EXPECT_NE(out.WideText().find(u"core"), std::u16string::npos);
}

}  // namespace
}  // namespace zvword
