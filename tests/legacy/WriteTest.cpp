#include <gtest/gtest.h>

#include "builders/WriteBuilder.h"
#include "legacy/MSWRI.h"

namespace zvword {
namespace {

// The items between the prologue and the epilogue, each with its line end.
std::u16string Body(const TWideStrings& list) {
  std::u16string s;
  for (int i = 1; i + 1 < list.Count(); ++i) s += list.Get(i) + u"\r\n";
  return s;
}

using test::WriteBuilder;
using Chars = WriteBuilder::Chars;

struct WriteCase {
  const char* what;
  std::string bytes;
  TMSTextFormating mode;
  std::u16string expected;  // plain: the whole text; RTF/HTML: a part of it
  const char* error;        // part of the message; "" when it loads
};

class WriteRows : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteRows, Reads) {
  const WriteCase& c = GetParam();
  TWRIFile doc;
  doc.SetTextFormating(c.mode);
  TBytesView stream(c.bytes);
  if (*c.error) {
    try {
      doc.LoadFromStream(stream);
      FAIL() << c.what << ": loaded";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.what << ": " << e.what();
    }
    return;
  }
  doc.LoadFromStream(stream);
  const std::u16string text = c.mode == tfPlainText ? Body(*doc.Text()) : doc.Text()->GetText();
  if (c.mode == tfPlainText)
    EXPECT_EQ(text, c.expected) << c.what;
  else
    EXPECT_NE(text.find(c.expected), std::u16string::npos) << c.what << "\n" << std::string(text.begin(), text.end());
}

Chars Bold() {
  Chars c;
  c.bold = true;
  return c;
}
Chars Styled(uint8_t font, uint8_t halfPoints, bool italic, bool underline, uint8_t position) {
  Chars c;
  c.font = font;
  c.halfPoints = halfPoints;
  c.italic = italic;
  c.underline = underline;
  c.position = position;
  return c;
}

std::string ManyParagraphs() {
  WriteBuilder b;
  for (int i = 0; i < 30; ++i) b.Run("p" + std::to_string(i)).EndParagraph();
  return b.Build();
}
std::u16string ManyParagraphsText() {
  std::u16string s;
  for (int i = 0; i < 30; ++i) {
    const std::string n = "p" + std::to_string(i) + "\r\n";
    s += std::u16string(n.begin(), n.end());
  }
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Write, WriteRows,
    ::testing::Values(
        WriteCase{"paragraphs end with CR LF", WriteBuilder().Run("one").EndParagraph().Run("two").EndParagraph().Build(),
                  tfPlainText, u"one\r\ntwo\r\n", ""},
        WriteCase{"runs within a paragraph, each once",
                  WriteBuilder().Run("a").Run("b", Bold()).Run("c").EndParagraph().Run("d").EndParagraph().Build(),
                  tfPlainText, u"abc\r\nd\r\n", ""},
        WriteCase{"runs and paragraphs on many pages", ManyParagraphs(), tfPlainText, ManyParagraphsText(), ""},
        WriteCase{"tab and form feed", WriteBuilder().Run("a\tb\x0c" "c").EndParagraph().Build(), tfPlainText,
                  u"a\tb\r\nc\r\n", ""},
        WriteCase{"picture paragraph is skipped",
                  WriteBuilder().Run("a").EndParagraph().Run(std::string("\x01\x00pic", 5)).EndParagraph(0x10).Build(),
                  tfPlainText, u"a\r\n", ""},
        WriteCase{"running head is skipped", WriteBuilder().Run("head").EndParagraph(0x06).Run("body").EndParagraph().Build(),
                  tfPlainText, u"body\r\n", ""},
        WriteCase{"picture flag on text stays text", WriteBuilder().Run("text").EndParagraph(0x10).Build(), tfPlainText,
                  u"text\r\n", ""},
        WriteCase{"bold in RTF", WriteBuilder().Run("a", Bold()).EndParagraph().Build(), tfRTF, u"\\b a\\b0 ", ""},
        WriteCase{"font face and size in HTML",
                  WriteBuilder().FontName("Arial").FontName("Courier").Run("a", Styled(1, 36, false, false, 0)).EndParagraph().Build(),
                  tfHTML, u"<p><font face=\"Courier\" size=\"5\">a</font></p>", ""},
        WriteCase{"font beyond the table uses the last",
                  WriteBuilder().FontName("Arial").Run("a", Styled(9, 24, false, false, 0)).EndParagraph().Build(), tfHTML,
                  u"face=\"Arial\"", ""},
        WriteCase{"no font table: no face", WriteBuilder().Run("a").EndParagraph().Build(), tfHTML,
                  u"<font size=\"-1\">a</font>", ""},
        WriteCase{"italic, underline, superscript in HTML",
                  WriteBuilder().Run("a", Styled(0, 24, true, true, 200)).EndParagraph().Build(), tfHTML,
                  u"<i><u><sup>a</sup></u></i>", ""},
        WriteCase{"subscript in RTF", WriteBuilder().Run("a", Styled(0, 20, false, false, 10)).EndParagraph().Build(),
                  tfRTF, u"\\fs20 \\sub a\\nosupersub ", ""},
        WriteCase{"text is escaped", WriteBuilder().Run("<&>").EndParagraph().Build(), tfHTML, u"&lt;&amp;&gt;", ""},
        WriteCase{"with a font table, text is ANSI", WriteBuilder().FontName("Arial").Run("caf\xe9").EndParagraph().Build(),
                  tfPlainText, u"café\r\n", ""},
        WriteCase{"without one, DOS text", WriteBuilder().Run("N588\xb1" "588").EndParagraph().Build(), tfPlainText,
                  u"N588▒588\r\n", ""},
        WriteCase{"first paragraph page out of step", WriteBuilder().Run("a").EndParagraph().BadParagraphPage().Build(),
                  tfPlainText, u"", "fcFirst wrong"},
        WriteCase{"cut off header", std::string(50, '\0'), tfPlainText, u"", "end of data"},
        WriteCase{"text beyond the file", WriteBuilder().Run("abc").EndParagraph().Build().substr(0, 129), tfPlainText,
                  u"", "Stream read error"}));

TEST(Write, Detection) {
  const std::string bytes = WriteBuilder().Run("a").EndParagraph().Build();
  EXPECT_TRUE(TWRIFile::IsWriteData(bytes));
  EXPECT_FALSE(TWRIFile::IsWriteData(bytes.substr(0, 100)));
  EXPECT_FALSE(TWRIFile::IsWriteData(std::string(200, 'x')));
}

}  // namespace
}  // namespace zvword
