// Fonts, encodings and the text of content streams: what a page's text comes out as.
#include <gtest/gtest.h>

#include "PdfTestUtil.h"
#include "builders/FontProgramBuilder.h"

namespace zvword::testing {
namespace {

// A stream the font dictionary refers to as @0, @1...: its dictionary entries and data.
using Streams = std::vector<std::pair<std::string, std::string>>;

// One page whose font /F1 is the given dictionary; "TOUNICODE" in it is replaced by a reference
// to a ToUnicode stream holding cmap (when given), "@i" by one to the i-th of streams.
std::string FontDoc(std::string font, const std::string& content, const std::string& cmap = "", const Streams& streams = {}) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  if (!cmap.empty()) {
    int tu = b.AddStream("", cmap, PdfFilter::Flate);
    font.replace(font.find("TOUNICODE"), 9, std::to_string(tu) + " 0 R");
  }
  for (size_t i = 0; i < streams.size(); ++i) {
    int n = b.AddStream(streams[i].first, streams[i].second, PdfFilter::Flate);
    std::string at = "@" + std::to_string(i);
    for (size_t p; (p = font.find(at)) != std::string::npos;) font.replace(p, at.size(), std::to_string(n) + " 0 R");
  }
  int f = b.Add(font);
  int c = b.AddStream("", content, PdfFilter::Flate);
  int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 " +
                   std::to_string(f) + " 0 R >> >> /Contents " + std::to_string(c) + " 0 R >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  return b.Build();
}

const std::string kHelv = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
const std::string kHelvWin = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

struct Case {
  const char* what;
  std::string font;
  std::string content;
  std::string cmap;
  std::string text;
  Streams streams = {};
};

class PdfTextCase : public ::testing::TestWithParam<Case> {};

TEST_P(PdfTextCase, Extracts) {
  const Case& c = GetParam();
  EXPECT_EQ(PdfText(FontDoc(c.font, c.content, c.cmap, c.streams)), c.text) << c.what;
}

const std::string kBfChar =
    "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n1 begincodespacerange <00> <FF> endcodespacerange\n"
    "3 beginbfchar\n<01> <0041>\n<02><0042>\n<03> <00660069>\nendbfchar\n"
    "2 beginbfrange\n<20> <7E> <0020>\n<80> <82> [<00E9> <00E8> <20AC>]\nendbfrange\nendcmap end end\n";

const std::string kIdentityCMap =
    "begincmap\n1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
    "2 beginbfchar\n<0003> <0048>\n<0004> <0069>\nendbfchar\n"
    "1 beginbfrange\n<0010> <0012> <05D0>\nendbfrange\nendcmap\n";

const std::string kType0 =
    "<< /Type /Font /Subtype /Type0 /BaseFont /Foo /Encoding /Identity-H /ToUnicode TOUNICODE /DescendantFonts "
    "[<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Foo /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
    "/Supplement 0 >> /DW 500 /W [3 [600 300]] >>] >>";

INSTANTIATE_TEST_SUITE_P(
    Fonts, PdfTextCase,
    ::testing::Values(
        Case{"plain", kHelv, "BT /F1 12 Tf 72 712 Td (Hello) Tj ET", "", "Hello"},
        Case{"win ansi accents and quotes", kHelvWin, "BT /F1 12 Tf 72 712 Td (caf\\351 \\223q\\224 \\200) Tj ET", "",
             "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC"},
        Case{"standard encoding quotes", kHelv, "BT /F1 12 Tf 72 712 Td (\\140it\\047s\\252) Tj ET", "",
             "\xE2\x80\x98it\xE2\x80\x99s\xE2\x80\x9C"},
        Case{"mac roman", "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /MacRomanEncoding >>",
             "BT /F1 12 Tf 72 712 Td (\\216t\\216) Tj ET", "", "\xC3\xA9t\xC3\xA9"},
        Case{"differences with glyph names, ligatures and uni names",
             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding "
             "/Differences [1 /eacute /fi /quotedblleft /uni20AC /u1F600 /Aring] >> >>",
             "BT /F1 12 Tf 72 712 Td (\\001\\002\\003\\004\\005\\006) Tj ET", "",
             "\xC3\xA9" "fi" "\xE2\x80\x9C\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\x85"},
        Case{"tounicode bfchar, bfrange and arrays", "<< /Type /Font /Subtype /Type1 /BaseFont /Foo /ToUnicode TOUNICODE >>",
             "BT /F1 12 Tf 72 712 Td <010203204142808182> Tj ET", kBfChar, "ABfi AB\xC3\xA9\xC3\xA8\xE2\x82\xAC"},
        Case{"identity two-byte codes with widths", kType0, "BT /F1 12 Tf 72 712 Td <000300040010001100120003> Tj ET",
             kIdentityCMap, "Hi\xD7\x92\xD7\x91\xD7\x90H"}),
    [](const auto& info) {
      std::string n;
      for (char c : std::string(info.param.what)) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

INSTANTIATE_TEST_SUITE_P(
    Strings, PdfTextCase,
    ::testing::Values(
        Case{"nested parentheses and escapes", kHelv, "BT /F1 12 Tf 72 712 Td (a (b) \\(c\\) \\\\ d\\101) Tj ET", "",
             "a (b) (c) \\ dA"},
        Case{"a bracket inside a TJ string ends nothing", kHelv, "BT /F1 12 Tf 72 712 Td [(x]) (y) ] TJ ET", "", "x]y"},
        Case{"hex strings with white space", kHelv, "BT /F1 12 Tf 72 712 Td <48 65 6C\n6C 6F> Tj ET", "", "Hello"},
        Case{"line continuation inside a string", kHelv, "BT /F1 12 Tf 72 712 Td (Hel\\\nlo) Tj ET", "", "Hello"},
        Case{"quote operators move to the next line", kHelv,
             "BT /F1 12 Tf 14 TL 72 712 Td (one) Tj (two) ' 0 0 (three) \" ET", "", "one\ntwo\nthree"},
        Case{"inline images are skipped", kHelv, "BI /W 2 /H 2 /BPC 8 /CS /G ID \x01(\x02)\x03 EI Q BT /F1 12 Tf 72 712 Td (after) Tj ET",
             "", "after"}));

INSTANTIATE_TEST_SUITE_P(
    Spacing, PdfTextCase,
    ::testing::Values(
        Case{"tj kerning keeps a word", kHelv, "BT /F1 12 Tf 72 712 Td [(Hel) -20 (lo)] TJ ET", "", "Hello"},
        Case{"tj displacement makes a space", kHelv, "BT /F1 12 Tf 72 712 Td [(Hello) -300 (World)] TJ ET", "", "Hello World"},
        Case{"adjacent shows join", kHelv, "BT /F1 12 Tf 72 712 Td (Hel) Tj (lo) Tj ET", "", "Hello"},
        Case{"positioned shows with a gap", kHelv, "BT /F1 12 Tf 72 712 Td (Hello) Tj 40 0 Td (World) Tj ET", "", "Hello World"},
        Case{"word spacing on a space", kHelv, "BT /F1 12 Tf 72 712 Td 3 Tw (a b) Tj ET", "", "a b"},
        Case{"character spacing opens gaps", kHelv, "BT /F1 12 Tf 72 712 Td 5 Tc (ab) Tj ET", "", "a b"},
        Case{"a new line", kHelv, "BT /F1 12 Tf 72 712 Td (one) Tj 0 -14 Td (two) Tj ET", "", "one\ntwo"},
        Case{"two blocks on one line", kHelv, "BT /F1 12 Tf 72 712 Td (one) Tj ET BT /F1 12 Tf 120 712 Td (two) Tj ET", "", "one two"},
        Case{"scaled text matrix", kHelv, "BT /F1 1 Tf 12 0 0 12 72 712 Tm (ab) Tj 12 0 0 12 100 712 Tm (cd) Tj ET", "", "ab cd"},
        Case{"hyphenated line end joins", kHelv, "BT /F1 12 Tf 72 712 Td (hyphen-) Tj 0 -14 Td (ated word) Tj ET", "", "hyphenated word"},
        Case{"an accent over the letter before it", "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>",
             "BT /F1 12 Tf 72 712 Td (n) Tj -5 0 Td (\\302) Tj 5 0 Td (ski) Tj ET", "", "n\xCC\x81ski"},
        Case{"right to left text in reading order", "<< /Type /Font /Subtype /Type1 /BaseFont /Foo /ToUnicode TOUNICODE >>",
             "BT /F1 12 Tf 72 712 Td <03020120> Tj ET",
             "begincmap\n1 begincodespacerange <00> <FF> endcodespacerange\n4 beginbfchar\n<01> <05D0>\n<02> <05D1>\n<03> <05D2>\n"
             "<20> <0020>\nendbfchar\nendcmap\n",
             "\xD7\x90\xD7\x91\xD7\x92"}));

// Fonts without ToUnicode maps: the built-in symbol sets and what embedded programs tell.
const std::string kGreekNames = "[.notdef alpha beta]";
const TrueTypeLayout kSymbolTT{8, {}, {{0xF041, 1}, {0xF042, 2}}, {}, {".notdef", "alpha", "beta"}};
const TrueTypeLayout kMacTT{8, {}, {}, {{0x41, 2}, {0x42, 1}}, {".notdef", "alpha", "beta"}};
const TrueTypeLayout kOwnNamesTT{8, {{0x58, 1}, {0x59, 2}}, {}, {}, {".notdef", "g1", "g2"}};
const TrueTypeLayout kUnicodeTT{8, {{0x48, 3}, {0x69, 4}}, {}, {}, {}};
const CffLayout kGreekCff{{"alpha", "eacute"}, {{0x61, 1}, {0x65, 2}}};
const std::string kTrueTypeFont =
    "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Greek /FontDescriptor << /Flags 4 /FontFile2 @0 >> >>";
std::string CIDFont(const std::string& descendant) {
  return "<< /Type /Font /Subtype /Type0 /BaseFont /Foo /Encoding /Identity-H /DescendantFonts [<< /Type /Font " + descendant + " >>] >>";
}

INSTANTIATE_TEST_SUITE_P(
    Programs, PdfTextCase,
    ::testing::Values(
        Case{"symbol built in", "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol >>", "BT /F1 12 Tf 72 712 Td (abg\\245\\320 p) Tj ET",
             "", "\xCE\xB1\xCE\xB2\xCE\xB3\xE2\x88\x9E\xE2\x88\xA0 \xCF\x80"},
        Case{"symbol differences over the built in set",
             "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /Encoding << /Differences [97 /Alpha] >> >>",
             "BT /F1 12 Tf 72 712 Td (ab) Tj ET", "", "\xCE\x91\xCE\xB2"},
        Case{"symbol differences on a code the built in set leaves empty",
             "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /Encoding << /Differences [1 /alpha] >> >>",
             "BT /F1 12 Tf 72 712 Td (\\001a) Tj ET", "", "\xCE\xB1\xCE\xB1"},
        Case{"zapf dingbats built in", "<< /Type /Font /Subtype /Type1 /BaseFont /ZapfDingbats >>",
             "BT /F1 12 Tf 72 712 Td (\\064\\156\\254\\325) Tj ET", "", "\xE2\x9C\x94\xE2\x96\xA0\xE2\x91\xA0\xE2\x86\x92"},
        Case{"symbolic truetype through the symbol cmap and post names", kTrueTypeFont, "BT /F1 12 Tf 72 712 Td (AB) Tj ET", "",
             "\xCE\xB1\xCE\xB2", {{"", MakeTrueType(kSymbolTT)}}},
        Case{"symbolic truetype through the mac cmap", kTrueTypeFont, "BT /F1 12 Tf 72 712 Td (AB) Tj ET", "", "\xCE\xB2\xCE\xB1",
             {{"", MakeTrueType(kMacTT)}}},
        Case{"names unknown to the glyph list found in the program",
             "<< /Type /Font /Subtype /TrueType /BaseFont /Foo /Encoding << /Differences [65 /g1 /g2] >> /FontDescriptor "
             "<< /Flags 32 /FontFile2 @0 >> >>",
             "BT /F1 12 Tf 72 712 Td (AB) Tj ET", "", "XY", {{"", MakeTrueType(kOwnNamesTT)}}},
        Case{"type1c built in encoding",
             "<< /Type /Font /Subtype /Type1 /BaseFont /Foo /FontDescriptor << /Flags 4 /FontFile3 @0 >> >>",
             "BT /F1 12 Tf 72 712 Td (ae) Tj ET", "", "\xCE\xB1\xC3\xA9", {{"/Subtype /Type1C", MakeCff(kGreekCff)}}},
        Case{"cid truetype glyph ids through the unicode cmap",
             CIDFont("/Subtype /CIDFontType2 /BaseFont /Foo /FontDescriptor << /Flags 4 /FontFile2 @0 >>"),
             "BT /F1 12 Tf 72 712 Td <00030004> Tj ET", "", "Hi", {{"", MakeTrueType(kUnicodeTT)}}},
        Case{"cid to glyph map",
             CIDFont("/Subtype /CIDFontType2 /BaseFont /Foo /CIDToGIDMap @1 /FontDescriptor << /Flags 4 /FontFile2 @0 >>"),
             "BT /F1 12 Tf 72 712 Td <00010002> Tj ET", "", "Hi",
             {{"", MakeTrueType(kUnicodeTT)}, {"", std::string("\0\0\0\3\0\4", 6)}}},
        Case{"cid font with a named cff charset",
             CIDFont("/Subtype /CIDFontType0 /BaseFont /Foo /FontDescriptor << /Flags 4 /FontFile3 @0 >>"),
             "BT /F1 12 Tf 72 712 Td <00010002> Tj ET", "", "\xCE\xB1\xC3\xA9", {{"/Subtype /CIDFontType0C", MakeCff(kGreekCff)}}}));

// Text on turned baselines reads along its own direction, a line at a time.
INSTANTIATE_TEST_SUITE_P(
    Rotated, PdfTextCase,
    ::testing::Values(
        Case{"upwards, two lines", kHelv, "BT /F1 12 Tf 0 1 -1 0 300 100 Tm (one) Tj [( tw) 10 (o)] TJ 0 -14 Td (three) Tj ET", "",
             "one two\nthree"},
        Case{"downwards, glyph by glyph", kHelv,
             "BT /F1 12 Tf 0 -1 1 0 100 700 Tm (u) Tj 0 -1 1 0 100 693.3 Tm (p) Tj 0 -1 1 0 100 680 Tm (s) Tj ET", "", "up s"},
        Case{"diagonal words", kHelv, "BT /F1 12 Tf 0.7071 0.7071 -0.7071 0.7071 100 100 Tm (slanted) Tj ( text) Tj ET", "",
             "slanted text"},
        Case{"upside down", kHelv, "BT /F1 12 Tf -1 0 0 -1 400 400 Tm (turned) Tj ( over) Tj ET", "", "turned over"},
        Case{"a turned label between level lines", kHelv,
             "BT /F1 12 Tf 72 712 Td (left) Tj ET BT /F1 12 Tf 0 1 -1 0 300 600 Tm (side) Tj ET BT /F1 12 Tf 72 698 Td (next) Tj ET", "",
             "left\nside\nnext"}));

// A damaged program costs only what it would have told: no cut and no flipped byte fails the page
// (run under the sanitizers, no read strays either).
TEST(PdfTextPrograms, DamagedProgramsLeaveTheTextReadable) {
  const struct {
    std::string font, data, dict;
  } programs[] = {{kTrueTypeFont, MakeTrueType(kSymbolTT), ""},
                  {kTrueTypeFont, MakeTrueType(kMacTT), ""},
                  {CIDFont("/Subtype /CIDFontType2 /BaseFont /Foo /FontDescriptor << /Flags 4 /FontFile2 @0 >>"), MakeTrueType(kUnicodeTT), ""},
                  {"<< /Type /Font /Subtype /Type1 /BaseFont /Foo /FontDescriptor << /Flags 4 /FontFile3 @0 >> >>", MakeCff(kGreekCff),
                   "/Subtype /Type1C"}};
  for (const auto& p : programs) {
    for (size_t i = 0; i < p.data.size(); ++i) {
      std::string cut = p.data.substr(0, i), flipped = p.data;
      flipped[i] = static_cast<char>(~flipped[i]);
      for (const std::string& d : {cut, flipped}) {
        ASSERT_NO_THROW(PdfText(FontDoc(p.font, "BT /F1 12 Tf 72 712 Td <00410042> Tj ET", "", {{p.dict, d}}))) << i;
      }
    }
  }
}

TEST(PdfTextForms, FormXObjectsAndAnnotationAppearancesShowTheirText) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  int font = b.Add(kHelv);
  std::string fres = "/Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >>";
  int form = b.AddStream("/Type /XObject /Subtype /Form /BBox [0 0 200 50] " + fres, "BT /F1 10 Tf 0 10 Td (In a form) Tj ET");
  int ap = b.AddStream("/Type /XObject /Subtype /Form /BBox [0 0 200 50] " + fres, "BT /F1 10 Tf 2 10 Td (Field value) Tj ET");
  int hidden = b.AddStream("/Type /XObject /Subtype /Form /BBox [0 0 200 50] " + fres, "BT /F1 10 Tf 2 10 Td (Hidden) Tj ET");
  // Drawn twice: the second drawing shows the text again (the form's content is kept between them).
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Body) Tj ET q 1 0 0 1 72 600 cm /Fm Do Q q 1 0 0 1 72 560 cm /Fm Do Q");
  int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /Resources << /Font << /F1 " + std::to_string(font) +
                   " 0 R >> /XObject << /Fm " + std::to_string(form) + " 0 R >> >> /Contents " + std::to_string(content) +
                   " 0 R /Annots [<< /Type /Annot /Subtype /Widget /Rect [72 500 272 550] /AP << /N " + std::to_string(ap) +
                   " 0 R >> >> << /Type /Annot /Subtype /Widget /F 2 /Rect [72 400 272 450] /AP << /N " + std::to_string(hidden) +
                   " 0 R >> >>] >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  EXPECT_EQ(PdfText(b.Build()), "Body\nIn a form\nIn a form\nField value");
}

TEST(PdfTextMarked, ActualTextReplacesTheGlyphsOfASpan) {
  std::string doc = FontDoc(kHelv, "BT /F1 12 Tf 72 712 Td (x) Tj /Span << /ActualText <FEFF00660069> >> BDC (#) Tj (#) Tj EMC (y) Tj ET");
  EXPECT_EQ(PdfText(doc), "xfiy");
}

TEST(PdfItems, ItemsCarryFontPositionAndSortByRowsThenColumns) {
  TZvPDFReader r;
  PdfText(FontDoc(kHelv, "BT /F1 12 Tf 300 700 Td (B) Tj ET BT /F1 12 Tf 72 700 Td (A) Tj ET BT /F1 12 Tf 72 600 Td (C) Tj ET"),
                             tfPlainText, &r);
  TZvPDFItems& items = r.Pages()->GetPage(0)->Items();
  ASSERT_EQ(items.Count(), 3);
  auto* first = static_cast<TZvPDFItemText*>(items.GetItem(0));
  EXPECT_EQ(WideToUtf8(first->Text()), "B");
  EXPECT_EQ(WideToUtf8(first->FontName()), "/F1");
  EXPECT_EQ(first->FontSize(), 12);
  EXPECT_DOUBLE_EQ(first->Left(), 300);
  EXPECT_DOUBLE_EQ(first->Top(), 92);
  items.SortItems();
  std::string order;
  for (int i = 0; i < items.Count(); ++i) order += WideToUtf8(static_cast<TZvPDFItemText*>(items.GetItem(i))->Text());
  EXPECT_EQ(order, "ABC");
}

TEST(PdfTagValues, LookupsOnPendingOperations) {
  TZvWTagValues t;
  t.Add(u"/F1 12 Tf");
  t.Add(u"72 700 TD");
  t.Add(u"(Hello) Tj  ");
  t.Add(u"  ");
  t.Add(u"1 2 (x) \"");
  t.RemoveEmptyStrings();
  EXPECT_EQ(t.Count(), 4);
  EXPECT_EQ(t.GetValue(u"Tf", true), u"/F1 12");
  EXPECT_EQ(t.GetValue(u"Td", false), u"72 700");
  EXPECT_EQ(t.GetValue(u"Td", true), u"");
  EXPECT_EQ(t.GetAllTextTags(), u"(Hello)1 2 (x)");
}

TEST(PdfSearch, TextSearchOperations) {
  EXPECT_EQ(TZvPDFReader::TokenAfterKey("/Count", "<< /Type /Pages /COUNT 003 /Kids [1 0 R] >>"), "3");
  EXPECT_EQ(TZvPDFReader::TokenAfterKey("/type", "<</Type/Page/Parent 2 0 R>>"), "/Page");
  EXPECT_EQ(TZvPDFReader::RunAfterKey("/kids", "/kids [3 0 r 4 0 r] /count 2"), "3 0 r 4 0 r");
  RawByteString refs = "3 0 R 4 0 R";
  EXPECT_EQ(TZvPDFReader::CutReference(refs), "3");
  EXPECT_EQ(TZvPDFReader::CutReference(refs), "4");
  EXPECT_EQ(TZvPDFReader::CutReference(refs), "");
  EXPECT_EQ(TZvPDFReader::GetRefBody("x\nstartxref\n123\n%%EOF", "startxref", true), "123");
  EXPECT_EQ(TZvPDFReader::GetItemType("<< /Type /Catalog /Pages 2 0 R >>"), "/catalog");
  EXPECT_EQ(TZvPDFReader::GetInfoTag("/Title", "<< /Title (A \\(b\\)) >>", false, true), "A (b)");
  EXPECT_EQ(TZvPDFReader::GetInfoTag("/Title", "<< /Title <414243> >>", true, true), "ABC");
  RawByteString tail = "abc\r\n%%EOF\r\n";
  EXPECT_EQ(TZvPDFReader::GetLastLine(tail, 7, true), "%%EOF");
  EXPECT_EQ(TZvPDFReader::Reverse(u"abc"), u"cba");
}

}  // namespace
}  // namespace zvword::testing
