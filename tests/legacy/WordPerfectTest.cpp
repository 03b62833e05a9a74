#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "builders/CompoundFileBuilder.h"
#include "builders/WordPerfectBuilder.h"
#include "legacy/MSWPD.h"
#include "platform/CaseFold.h"

namespace zvword {
namespace {

// The items between the prologue and the epilogue, each with its line end.
std::u16string Body(const TWideStrings& list) {
  std::u16string s;
  for (int i = 1; i + 1 < list.Count(); ++i) s += list.Get(i) + u"\r\n";
  return s;
}

using test::WordPerfectBuilder;

std::string Data(const char* d, size_t n) { return std::string(d, n); }

struct WPCase {
  const char* what;
  std::string bytes;
  TMSTextFormating mode;
  std::u16string expected;  // plain: the whole text; RTF/HTML: a part of it
  const char* error;        // part of the message; "" when it loads
};

WordPerfectBuilder WP6() { return WordPerfectBuilder(2); }
WordPerfectBuilder WP5() { return WordPerfectBuilder(0); }

class WordPerfectRows : public ::testing::TestWithParam<WPCase> {};

TEST_P(WordPerfectRows, Reads) {
  const WPCase& c = GetParam();
  TWordPerfectFile doc;
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
    EXPECT_NE(text.find(c.expected), std::u16string::npos) << c.what;
}

const std::string kLong(400, 'x');
// WordPerfect 4.2: no header, the file starts with functions closed by their own code.
const std::string k42Start("\xCB\x0A\x01\xF6\x01\xCB\xC0\x0A\x4A\x09\x4A\xC0\xCE\x0C\x0A\xCE", 16);

INSTANTIATE_TEST_SUITE_P(
    WordPerfect, WordPerfectRows,
    ::testing::Values(
        // ---- WordPerfect 6+: single-byte functions ----
        WPCase{"soft space 0x80", WP6().Text("a b").Build(), tfPlainText, u"a b\r\n", ""},
        WPCase{"0x20 is no text", WP6().Raw("a b").Build(), tfPlainText, u"ab\r\n", ""},
        WPCase{"hard hyphen 0x84", WP6().Text("a").Byte(0x84).Text("b").Build(), tfPlainText, u"a-b\r\n", ""},
        WPCase{"hard end of line 0xCC", WP6().Text("a").Byte(0xCC).Text("b").Build(), tfPlainText, u"a\r\nb\r\n", ""},
        WPCase{"soft hyphen 0x82", WP6().Text("be").Byte(0x82).Text("schikbare").Build(), tfPlainText,
               u"be\u00ADschikbare\r\n", ""},
        WPCase{"0x87 ends a paragraph", WP6().Text("a").Byte(0x87).Text("b").Build(), tfPlainText, u"a\r\nb\r\n", ""},
        WPCase{"soft end of line 0xCF is a word wrap", WP6().Text("a").Byte(0xCF).Text("b").Build(), tfPlainText,
               u"a b\r\n", ""},
        WPCase{"paragraph end in HTML", WP6().Text("a").Byte(0xCC).Build(), tfHTML, u"a<p></p>\r\n", ""},
        WPCase{"one-byte accented letters",
               WP6().Raw("complexit\x0f" "\x80" "co\x0e" "ffici\x0e" "nt\x80" "Mod\x11" "le\x80" "\x01" "\x1d").Build(),
               tfPlainText, u"complexité coëfficiënt Modèle åÜ\r\n", ""},
        // ---- variable-length functions ----
        WPCase{"0xD0 soft end of line", WP6().Text("a").Function(0xD0, 0x01).Text("b").Build(), tfPlainText,
               u"a b\r\n", ""},
        WPCase{"0xD0 soft end after a hyphen", WP6().Text("ab").Function(0xD0, 0x14).Text("cd").Build(), tfPlainText,
               u"abcd\r\n", ""},
        WPCase{"0xD0 hard end of line", WP6().Text("a").Function(0xD0, 0x04).Text("b").Build(), tfPlainText,
               u"a\r\nb\r\n", ""},
        WPCase{"0xD0 hard page", WP6().Text("a").Function(0xD0, 0x09).Text("b").Build(), tfRTF, u"a\\page \r\nb", ""},
        WPCase{"0xD0 space", WP6().Text("a").Function(0xD0, 0x07).Text("b").Build(), tfPlainText, u"a b\r\n", ""},
        WPCase{"skipped function keeps its data out", WP6().Text("a").Function(0xD1, 0, "zzzz").Text("b").Build(),
               tfPlainText, u"ab\r\n", ""},
        WPCase{"0xD2 margin in RTF", WP6().Function(0xD2, 0, Data("\0\0\0\x60\x09", 5)).Text("a").Build(), tfRTF,
               u"\\pard\\fi2 a", ""},
        WPCase{"0xD3 justification in HTML", WP6().Function(0xD3, 5, Data("\0\0\0\x03", 4)).Text("a").Build(), tfHTML,
               u"<div style=\"text-align:right\">a</div>", ""},
        WPCase{"0xD3 justification nests the open font",
               WP6().Function(0xD4, 0x1A, std::string(10, '\0') + Data("\x01\x00\x84\x03", 4)).Text("a")
                   .Function(0xD3, 5, Data("\0\0\0\x03", 4)).Text("b").Build(),
               tfHTML, u"a</font><div style=\"text-align:right\"><font size=\"5\">b</font></div>", ""},
        WPCase{"0xD3 justification in RTF", WP6().Function(0xD3, 5, Data("\0\0\0\x02", 4)).Text("a").Build(), tfRTF,
               u"\\qc a", ""},
        WPCase{"0xD4 font size, closed at the end",
               WP6().Function(0xD4, 0x1A, std::string(10, '\0') + Data("\x01\x00\x84\x03", 4)).Text("a").Build(), tfHTML,
               u"<font size=\"5\">a</font>", ""},
        WPCase{"0xD4 font in RTF",
               WP6().Function(0xD4, 0x1B, std::string(10, '\0') + Data("\x01\x00\x84\x03", 4)).Text("a").Build(), tfRTF,
               u"\\f1\\fs36 a", ""},
        WPCase{"0xDF without prefix ids", WP6().Function(0xDF, 0, Data("\0\0", 2)).Build(), tfPlainText, u"",
               "Incorrect value for numPIDs"},
        WPCase{"0xE0 tab", WP6().Text("a").Function(0xE0, 0x11).Text("b").Build(), tfPlainText, u"a\tb\r\n", ""},
        WPCase{"0xE0 centre tab in RTF", WP6().Text("a").Function(0xE0, 0x40).Text("b").Build(), tfRTF, u"a\\pard\\qc b",
               ""},
        WPCase{"function cut off", WP6().Text("a").Raw(Data("\xD1\x00\x40\x00", 4)).Build(), tfPlainText, u"",
               "cut off"},
        // ---- fixed-length functions ----
        WPCase{"typographic quotes", WP6().Extended(29, 4).Text("A").Extended(28, 4).Build(), tfPlainText,
               u"‘A’\r\n", ""},
        WPCase{"multinational", WP6().Extended(41, 1).Extended(56, 1).Extended(23, 1).Build(), tfPlainText,
               u"éÑß\r\n", ""},
        WPCase{"math", WP6().Extended(1, 6).Extended(8, 6).Extended(19, 6).Extended(36, 6).Extended(99, 6)
                           .Extended(121, 6).Build(),
               tfPlainText, u"±÷∞°≠∃\r\n", ""},
        WPCase{"math extension", WP6().Extended(4, 7).Extended(9, 7).Extended(112, 7).Build(), tfPlainText,
               u"√∫⎠\r\n", ""},
        WPCase{"phonetic", WP6().Extended(66, 2).Extended(131, 2).Extended(10, 2).Build(), tfPlainText, u"əʒː\r\n",
               ""},
        WPCase{"5.x Multinational 2", WP5().Text("s").Extended(0, 2).Extended(22, 2).Extended(8, 2).Build(),
               tfPlainText, u"s\u0323ءĸ\r\n", ""},
        WPCase{"box drawing", WP6().Extended(9, 3).Extended(21, 3).Extended(2, 3).Build(), tfPlainText, u"│╔▓\r\n",
               ""},
        WPCase{"typographic: signs after the bullets",
               WP6().Extended(3, 4).Extended(5, 4).Extended(6, 4).Extended(17, 4).Extended(23, 4).Extended(26, 4)
                   .Extended(41, 4).Build(),
               tfPlainText, u"•¶§½©³™\r\n", ""},
        WPCase{"Greek", WP6().Extended(3, 8).Extended(39, 8).Extended(53, 8).Extended(139, 8).Build(), tfPlainText,
               u"βςάῆ\r\n", ""},
        WPCase{"5.x Greek", WP5().Extended(39, 8).Extended(52, 8).Extended(124, 8).Build(), tfPlainText, u"ςάῆ\r\n",
               ""},
        WPCase{"multinational: Latin Extended-A, letters with a mark",
               WP6().Extended(176, 1).Extended(153, 1).Extended(167, 1).Extended(157, 1).Extended(212, 1)
                   .Extended(1, 1).Build(),
               tfPlainText, u"Šłœŉ" u"D\u0304·\r\n", ""},
        WPCase{"multinational: comma above keyed as an apostrophe", WP5().Text("t").Extended(9, 1).Text("s").Build(),
               tfPlainText, u"t\u0313s\r\n", ""},
        WPCase{"ASCII through the extended code", WP6().Extended(0x41, 0).Build(), tfPlainText, u"A\r\n", ""},
        WPCase{"typographic: quotes, dashes, a sign beyond the BMP",
               WP6().Extended(30, 4).Extended(63, 4).Extended(33, 4).Extended(34, 4).Extended(100, 4).Build(),
               tfPlainText, u"‟„–—\U0001D11E\r\n", ""},
        WPCase{"iconic", WP6().Extended(0, 5).Extended(9, 5).Extended(171, 5).Build(), tfPlainText, u"♡♪♠\r\n", ""},
        WPCase{"5.x iconic", WP5().Extended(0, 5).Extended(33, 5).Build(), tfPlainText, u"♥℄\r\n", ""},
        WPCase{"math: multiplication sign", WP6().Text("2").Extended(39, 6).Text("3").Build(), tfPlainText,
               u"2×3\r\n", ""},
        WPCase{"Hebrew", WP6().Extended(0, 9).Extended(26, 9).Extended(85, 9).Extended(122, 9).Build(), tfPlainText,
               u"את\uFB31₪\r\n", ""},
        WPCase{"5.x Hebrew", WP5().Extended(0, 9).Extended(84, 9).Build(), tfPlainText, u"א\uFB31\r\n", ""},
        WPCase{"Cyrillic", WP6().Extended(0, 10).Extended(65, 10).Extended(66, 10).Extended(210, 10).Build(),
               tfPlainText, u"АяӘა\r\n", ""},
        WPCase{"5.x Cyrillic", WP5().Extended(0, 10).Extended(65, 10).Extended(66, 10).Extended(110, 10).Build(),
               tfPlainText, u"АяҐА\u0301\r\n", ""},
        WPCase{"Japanese half-width kana", WP6().Extended(16, 11).Extended(62, 11).Build(), tfPlainText,
               u"ｱﾟ\r\n", ""},
        WPCase{"5.x Japanese kana", WP5().Extended(12, 11).Extended(112, 11).Extended(5, 11).Build(), tfPlainText,
               u"あアっ\r\n", ""},
        WPCase{"past a set's end gives nothing", WP6().Text("a").Extended(250, 9).Build(), tfPlainText, u"a\r\n", ""},
        WPCase{"Tibetan with stacked letters, Arabic", WP6().Extended(33, 12).Extended(63, 12).Extended(58, 13)
                   .Extended(60, 13).Build(), tfPlainText, u"\u0F40\u0F62\u0F90\u0627\u0628\r\n", ""},
        WPCase{"5.x leaves the sets past 11 to the user", WP5().Text("a").Extended(33, 12).Extended(58, 13).Build(),
               tfPlainText, u"a\r\n", ""},
        WPCase{"unknown set gives nothing", WP6().Text("a").Extended(1, 14).Build(), tfPlainText, u"a\r\n", ""},
        WPCase{"extended character not closed", WP6().Raw(Data("\xF0\x01\x01\x00", 4)).Build(), tfPlainText, u"",
               "Incorrect character instead WP_TOP_EXTENDED_CHARACTER"},
        WPCase{"undo drops text, keeps paragraph ends",
               WP6().Text("a").Undo(0).Text("gone").Byte(0xCC).Undo(1).Text("b").Build(), tfPlainText, u"a\r\nb\r\n",
               ""},
        WPCase{"bold in HTML", WP6().Attribute(12, true).Text("a").Attribute(12, false).Build(), tfHTML,
               u"<b>a</b>", ""},
        WPCase{"italic in RTF", WP6().Attribute(8, true).Text("a").Attribute(8, false).Build(), tfRTF,
               u"\\i a\\i0 ", ""},
        WPCase{"strikeout, underline, superscript in HTML",
               WP6().Attribute(13, true).Attribute(14, true).Attribute(5, true).Text("a").Build(), tfHTML,
               u"<s><u><sup>a", ""},
        WPCase{"attributes are no plain text", WP6().Attribute(12, true).Text("a").Build(), tfPlainText, u"a\r\n", ""},
        WPCase{"document text is escaped", WP6().Text("<{&}>").Build(), tfHTML, u"&lt;{&amp;}&gt;", ""},
        WPCase{"document text is escaped in RTF", WP6().Text("{\\}").Build(), tfRTF, u"\\{\\\\\\}", ""},
        // ---- header ----
        WPCase{"document end beyond the file", WP6().Text("ab").DocumentEnd(100000).Build(), tfPlainText, u"ab\r\n",
               ""},
        WPCase{"document end cuts the text", WP6().Text("abcd").DocumentEnd(24 + 2).Build(), tfPlainText, u"ab\r\n",
               ""},
        WPCase{"password protected", WP6().Encrypted().Text("a").Build(), tfPlainText, u"",
               "Could not read the password protected file"},
        WPCase{"wrong signature", WP6().Ident("XWPC").Text("a").Build(), tfPlainText, u"",
               "File stream is not valid WordPerfect 6/7/8/9 document."},
        WPCase{"major version 1", WordPerfectBuilder(1).Text("a").Build(), tfPlainText, u"",
               "File stream is not valid WordPerfect 6/7/8/9 document."},
        WPCase{"header cut off", Data("\xFFWPC\x10", 5), tfPlainText, u"", "cut off"},
        // ---- WordPerfect 5.x ----
        WPCase{"5.x text and hard return", WP5().Text("a b").Byte(0x0A).Text("c").Build(), tfPlainText,
               u"a b\r\nc\r\n", ""},
        WPCase{"5.x soft return is a word wrap", WP5().Text("a").Byte(0x0D).Text("b").Build(), tfPlainText,
               u"a b\r\n", ""},
        WPCase{"5.x hard page", WP5().Text("a").Byte(0x0C).Text("b").Build(), tfPlainText, u"a\r\nb\r\n", ""},
        WPCase{"5.x hard hyphen", WP5().Text("a").Byte(0xA9).Text("b").Build(), tfPlainText, u"a-b\r\n", ""},
        WPCase{"5.x extended character", WP5().Text("Mod").Extended(47, 1).Text("le").Build(), tfPlainText,
               u"Modèle\r\n", ""},
        WPCase{"5.x tab", WP5().Text("a").Raw(Data("\xC1\x00\x00\x00\x00\x00\x00\x00\xC1", 9)).Text("b").Build(),
               tfPlainText, u"a\tb\r\n", ""},
        WPCase{"5.x bold in HTML", WP5().Attribute(12, true).Text("a").Attribute(12, false).Build(), tfHTML,
               u"<b>a</b>", ""},
        WPCase{"5.x variable function skipped", WP5().Text("a").Function(0xD1, 1, "zzz").Text("b").Build(),
               tfPlainText, u"ab\r\n", ""},
        WPCase{"5.x table cell and row", WP5().Text("a").Function(0xDC, 0).Text("b").Function(0xDC, 1).Text("c").Build(),
               tfPlainText, u"a\tb\r\nc\r\n", ""},
        WPCase{"5.x function cut off", WP5().Text("a").Raw(Data("\xD1\x01\x40\x00", 4)).Build(), tfPlainText, u"",
               "cut off"},
        WPCase{"4.2 text, functions skipped", k42Start + "Hi\rthere\xC3\x01\xC3!\x0A" + "end", tfPlainText,
               u"Hi there!\r\nend\r\n", ""},
        WPCase{"4.2 without text names the version", k42Start + "\xD0\x01\x02", tfPlainText, u"", "WordPerfect 4.2"},
        WPCase{"4.2 function left open ends the text", k42Start + "ab\xD0xyz", tfPlainText, u"ab\r\n", ""},
        WPCase{"5.x long text", WP5().Text(kLong).Build(), tfPlainText,
               std::u16string(kLong.begin(), kLong.end()) + u"\r\n", ""}));

struct NoteCase {
  const char* what;
  std::string bytes;
  std::u16string body, footnotes, endnotes, headers, footers;
};

class WordPerfectNotes : public ::testing::TestWithParam<NoteCase> {};

// Notes, headers and footers go to their own lists, in the order the body cites them.
TEST_P(WordPerfectNotes, GoToTheirLists) {
  const NoteCase& c = GetParam();
  TWordPerfectFile doc;
  TBytesView stream(c.bytes);
  doc.LoadFromStream(stream);
  EXPECT_EQ(Body(*doc.Text()), c.body) << c.what;
  EXPECT_EQ(Body(*doc.FootNoteText()), c.footnotes) << c.what;
  EXPECT_EQ(Body(*doc.EndNoteText()), c.endnotes) << c.what;
  EXPECT_EQ(Body(*doc.HeaderText()), c.headers) << c.what;
  EXPECT_EQ(Body(*doc.FooterText()), c.footers) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    WordPerfect, WordPerfectNotes,
    ::testing::Values(
        NoteCase{"6+ footnotes in citing order",
                 WP6().SubDocument("second\x80note").SubDocument("first").Text("a").Cite(0xD7, 0, 2).Text("b")
                     .Cite(0xD7, 0, 1).Build(),
                 u"ab\r\n", u"first\r\nsecond note\r\n", u"", u"", u""},
        NoteCase{"6+ endnote, header and footer, a packet cited twice read once",
                 WP6().SubDocument("end").SubDocument("head").SubDocument("foot").Cite(0xD6, 1, 2).Cite(0xD6, 3, 3)
                     .Text("a").Cite(0xD7, 1, 1).Cite(0xD7, 1, 1).Build(),
                 u"a\r\n", u"", u"end\r\n", u"head\r\n", u"foot\r\n"},
        NoteCase{"6+ note cited inside undo text is dropped",
                 WP6().SubDocument("kept").SubDocument("gone").Text("a").Cite(0xD7, 0, 1).Undo(0).Cite(0xD7, 0, 2)
                     .Undo(1).Build(),
                 u"a\r\n", u"kept\r\n", u"", u"", u""},
        NoteCase{"6+ watermark and unknown PID give nothing",
                 WP6().SubDocument("mark").Cite(0xD6, 4, 1).Cite(0xD7, 0, 9).Text("a").Build(), u"a\r\n", u"", u"",
                 u"", u""},
        NoteCase{"6+ note text runs through the functions",
                 WP6().SubDocument("x\xF0\x29\x01\xF0\xCCy").Text("a").Cite(0xD7, 0, 1).Build(), u"a\r\n",
                 u"x\u00e9\r\ny\r\n", u"", u"", u""},
        NoteCase{"5.x footnote and endnote", WP5().Text("a").Note("foot").Text("b").Note("end", true).Build(),
                 u"ab\r\n", u"foot\r\n", u"end\r\n", u"", u""},
        NoteCase{"5.x footnote/endnote group",
                 WP5().Text("a").Note("end", true, 0xD6).Note("foot", false, 0xD6).Note("x", false, 0xD6).Build(),
                 u"a\r\n", u"foot\r\nx\r\n", u"end\r\n", u"", u""},
        NoteCase{"5.x headers and footers, functions inside them read",
                 WP5().HeaderFooter5(2, "page\xC0\x29\x01\xC0").HeaderFooter5(0, "A").Text("a")
                     .HeaderFooter5(1, "B").Build(),
                 u"a\r\n", u"", u"", u"A\r\nB\r\n", u"page\u00e9\r\n"}));

TEST(WordPerfect, CharsetLetterPairs) {
  // Capital/small pairs: a table shifted by one entry breaks the pairing. The Turkish I, the
  // variant beta, the final sigma, 'N and the variant phi pair with no simple case fold; 6+
  // leaves two Cyrillic pairs out.
  struct Range {
    bool version5;
    uint8_t set, first, last;
    std::vector<uint8_t> odd;
  };
  auto fold = [](std::u16string_view s) {
    std::u16string out;
    for (char16_t c : s) out += SimpleCaseFold(c);
    return out;
  };
  for (const Range& r : {Range{false, 1, 26, 241, {130, 156, 238}}, Range{true, 1, 26, 241, {130, 156, 238}},
                         Range{false, 8, 0, 69, {4, 38}}, Range{true, 8, 0, 51, {4, 38, 44}},
                         Range{false, 10, 0, 199, {84, 92}}, Range{true, 10, 0, 147, {}}}) {
    for (unsigned n = r.first; n < r.last; n += 2) {
      if (std::find(r.odd.begin(), r.odd.end(), n) != r.odd.end()) continue;
      const std::u16string_view upper = WPCharToUnicode(r.set, static_cast<uint8_t>(n), r.version5);
      const std::u16string_view lower = WPCharToUnicode(r.set, static_cast<uint8_t>(n + 1), r.version5);
      EXPECT_TRUE(!upper.empty() && upper != lower && fold(upper) == lower)
          << (r.version5 ? "5.x" : "6+") << " set " << int(r.set) << " entry " << n;
    }
  }
  // 5.x Japanese: hiragana 0-82 and katakana 100-182 name the same kana in the same order.
  for (uint8_t n = 0; n <= 82; ++n) {
    const std::u16string_view hiragana = WPCharToUnicode(11, n, true);
    const std::u16string_view katakana = WPCharToUnicode(11, static_cast<uint8_t>(n + 100), true);
    EXPECT_TRUE(hiragana.size() == 1 && katakana.size() == 1 && hiragana[0] + 0x60 == katakana[0]) << "kana " << int(n);
  }
}

TEST(WordPerfect, IndexListsPacketsAndFonts) {
  const std::string bytes = WP6().Font("Times New Roman").Packet(0x10, "xx", true).Font("Arial", 0x20).Text("a").Build();
  TWordPerfectFile doc;
  doc.SetParseItems(TZvWParseItems{});  // the index is read even without text
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  ASSERT_EQ(doc.HeaderPacketList().size(), 3u);
  EXPECT_EQ(doc.HeaderPacketList()[1]->PacketType, 0x10);
  EXPECT_TRUE(doc.HeaderPacketList()[1]->HasChildren);
  EXPECT_EQ(doc.HeaderPacketList()[2]->PID, 3);
  ASSERT_EQ(doc.FontDescriptorList().size(), 2u);
  EXPECT_EQ(doc.FontDescriptorList()[0]->FontName, u"Times New Roman");
  EXPECT_EQ(doc.FontDescriptorList()[1]->PacketID, 3);
  EXPECT_EQ(doc.FontDescriptorList()[1]->CharacterWidth, 100);
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(WordPerfect, InsideACompoundFile) {
  const std::string inner = WP6().Text("inside").Build();
  const std::string cfb = test::CompoundFileBuilder().Stream("PerfectOffice_MAIN", inner).Build();
  EXPECT_TRUE(TWordPerfectFile::IsWordPerfectData(cfb));
  TWordPerfectFile doc;
  TBytesView stream(cfb);
  doc.LoadFromStream(stream);
  EXPECT_EQ(Body(*doc.Text()), u"inside\r\n");
  // Without the stream: no text, no error.
  const std::string other = test::CompoundFileBuilder().Stream("Other", inner).Build();
  EXPECT_FALSE(TWordPerfectFile::IsWordPerfectData(other));
  TBytesView stream2(other);
  doc.LoadFromStream(stream2);
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(WordPerfect, LengthLimitStopsTheWalk) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "word\xCC";
  TWordPerfectFile doc;
  doc.SetMaxTextLength(50);
  const std::string bytes = WP6().Raw(big).Build();
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  EXPECT_LE(doc.Text()->GetText().size(), 52u);
  EXPECT_TRUE(doc.IsCancelExtract);
}

}  // namespace
}  // namespace zvword
