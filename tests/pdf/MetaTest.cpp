#include <gtest/gtest.h>

#include "builders/PdfBuilder.h"
#include "pdf/PdfTestUtil.h"
#include "pdf/ZvWPDFMeta.h"
#include "platform/LocalTime.h"

using namespace zvword;
using namespace zvword::testing;

namespace {

struct TextCase {
  std::string bytes;
  const char16_t* text;
};

class TextStrings : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextStrings, Decode) { EXPECT_EQ(PDFTextStringToWide(GetParam().bytes), WideString(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextStrings,
    ::testing::Values(TextCase{"Plain", u"Plain"},
                      // No byte-order mark: PDFDocEncoding, with its punctuation in 0x80-0x9F.
                      TextCase{"\x8Dquoted\x8E \x84 \x80 caf\xE9", u"\u201Cquoted\u201D \u2014 \u2022 caf\u00E9"},
                      TextCase{std::string("\xFE\xFF\x00H\x04\x10\x20\xAC", 8), u"H\u0410\u20AC"},
                      TextCase{std::string("\xFE\xFF\x00H\x00i\x00\x00", 8), u"Hi"},  // trailing zero dropped
                      TextCase{std::string("\xFE\xFF\x00H\x00", 5), u"H"},             // odd tail byte ignored
                      TextCase{"\xEF\xBB\xBFna\xC3\xAFve \xE2\x82\xAC", u"na\u00EFve \u20AC"},
                      TextCase{"", u""}));

struct DateCase {
  const char16_t* text;
  int y, mo, d, h, mi, s;  // y == 0: no date
};

class Dates : public ::testing::TestWithParam<DateCase> {};

TEST_P(Dates, Convert) {
  const DateCase& c = GetParam();
  TDateTime v = PDFDateToDateTime(c.text);
  if (c.y == 0) {
    EXPECT_EQ(v, 0);
    return;
  }
  TSystemTime t = DecodeDateTime(v);
  EXPECT_EQ(t.Year, c.y);
  EXPECT_EQ(t.Month, c.mo);
  EXPECT_EQ(t.Day, c.d);
  EXPECT_EQ(t.Hour, c.h);
  EXPECT_EQ(t.Minute, c.mi);
  EXPECT_EQ(t.Second, c.s);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Dates,
    ::testing::Values(DateCase{u"D:20031231235959+01'00'", 2003, 12, 31, 22, 59, 59},  // offset taken out
                      DateCase{u"D:20031231235959-05'30", 2004, 1, 1, 5, 29, 59},
                      DateCase{u"D:20040101003000+09", 2003, 12, 31, 15, 30, 0},
                      DateCase{u"D:20031231235959Z", 2003, 12, 31, 23, 59, 59},
                      DateCase{u"d:19991111090807", 1999, 11, 11, 9, 8, 7},
                      DateCase{u"20200229120000", 2020, 2, 29, 12, 0, 0},
                      // Later fields are optional and default to the start of their period.
                      DateCase{u"D:2003", 2003, 1, 1, 0, 0, 0}, DateCase{u"D:200405", 2004, 5, 1, 0, 0, 0},
                      DateCase{u"D:2004052213", 2004, 5, 22, 13, 0, 0},
                      // Unreadable or impossible dates give 0.
                      DateCase{u"", 0, 0, 0, 0, 0, 0}, DateCase{u"D:", 0, 0, 0, 0, 0, 0},
                      DateCase{u"D:20031301", 0, 0, 0, 0, 0, 0}, DateCase{u"D:20030230", 0, 0, 0, 0, 0, 0},
                      DateCase{u"D:20030101256000", 0, 0, 0, 0, 0, 0}, DateCase{u"yesterday", 0, 0, 0, 0, 0, 0},
                      DateCase{u"D:20x3", 0, 0, 0, 0, 0, 0}));

std::string InfoPdf(const std::string& info, const std::string& catalogExtra = "", int* infoNum = nullptr) {
  PdfBuilder b;
  int page = b.Reserve();
  int pages = b.Add("<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Body) Tj ET");
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  b.Set(page, "<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /Resources << /Font << /F1 " +
                  std::to_string(font) + " 0 R >> >> /Contents " + std::to_string(content) + " 0 R >>");
  int root = b.Add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R " + catalogExtra + " >>");
  b.SetRoot(root);
  if (!info.empty()) {
    int n = b.Add(info);
    b.SetInfo(n);
    if (infoNum) *infoNum = n;
  }
  return b.Build();
}

TZvWordSummaryInformation Summary(const std::string& pdf, bool withSummary = true) {
  TZvPDFReader r;
  if (!withSummary) r.SetParseItems({wpiText});
  PdfText(pdf, tfPlainText, &r);
  return *r.SummaryInformation();
}

TEST(DocumentInfo, KeysAndConversions) {
  auto s = Summary(InfoPdf(
      "<< /Title (A \\(bracketed\\) title) /Author <4A6F686E> /Subject (\x93Quotes\x94) /Keywords (one, two) "
      "/Producer (Maker 1.0) /Creator (Ignored) /CreationDate (D:20031231235959+01'00') /ModDate (D:2004) >>"));
  EXPECT_EQ(WideToUtf8(s.Title()), "A (bracketed) title");
  EXPECT_EQ(WideToUtf8(s.Author()), "John");
  EXPECT_EQ(s.Subject(), u"\uFB01Quotes\uFB02");  // PDFDocEncoding, not a code page
  EXPECT_EQ(WideToUtf8(s.Keywords()), "one, two");
  EXPECT_EQ(WideToUtf8(s.AppName()), "Maker 1.0");
  TSystemTime c = DecodeDateTime(s.Created());
  EXPECT_EQ(c.Year * 10000 + c.Month * 100 + c.Day, 20031231);
  EXPECT_EQ(c.Hour * 10000 + c.Minute * 100 + c.Second, 225959);  // +01'00' taken out
  EXPECT_EQ(DecodeDateTime(s.LastSaved()).Year, 2004);
  EXPECT_TRUE(s.Comments().empty());
}

TEST(DocumentInfo, UnicodeTextStrings) {
  auto s = Summary(InfoPdf("<< /Title <FEFF0041006C0070006800610020212200200442> /Author (\xEF\xBB\xBF\xC3\x89mile) >>"));
  EXPECT_EQ(s.Title(), u"Alpha \u2122 \u0442");
  EXPECT_EQ(s.Author(), u"\u00C9mile");
}

TEST(DocumentInfo, NothingWithoutTheSummaryItem) {
  auto s = Summary(InfoPdf("<< /Title (Present) >>"), false);
  EXPECT_TRUE(s.Title().empty());
}

TEST(DocumentInfo, MissingDictionaryLeavesSummaryEmpty) {
  auto s = Summary(InfoPdf(""));
  EXPECT_TRUE(s.Title().empty());
  EXPECT_EQ(s.Created(), 0);
}

TEST(DocumentInfo, XmpFillsOnlyWhatTheDictionaryLacks) {
  PdfBuilder b;
  // Built by hand to place the metadata stream: the catalog refers to object 6.
  std::string xmp =
      "<x:xmpmeta><rdf:RDF><rdf:Description pdf:Keywords=\"k1, k2\">"
      "<dc:title><rdf:Alt><rdf:li xml:lang=\"de\">Titel</rdf:li><rdf:li xml:lang=\"x-default\">XMP &amp; Title</rdf:li>"
      "</rdf:Alt></dc:title><dc:creator><rdf:Seq><rdf:li>Ann</rdf:li><rdf:li>Bob &#x263A;</rdf:li></rdf:Seq></dc:creator>"
      "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">From XMP</rdf:li></rdf:Alt></dc:description>"
      "</rdf:Description></rdf:RDF></x:xmpmeta>";
  int page = b.Reserve();
  int pages = b.Add("<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Body) Tj ET");
  b.Set(page, "<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /Contents " + std::to_string(content) + " 0 R >>");
  int meta = b.AddStream("/Type /Metadata /Subtype /XML", xmp, PdfFilter::Flate);
  int root = b.Add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R /Metadata " + std::to_string(meta) + " 0 R >>");
  b.SetRoot(root);
  b.SetInfo(b.Add("<< /Subject (Dictionary subject) >>"));
  auto s = Summary(b.Build());
  EXPECT_EQ(WideToUtf8(s.Title()), "XMP & Title");
  EXPECT_EQ(s.Author(), u"Ann; Bob \u263A");
  EXPECT_EQ(WideToUtf8(s.Subject()), "Dictionary subject");
  EXPECT_EQ(WideToUtf8(s.Keywords()), "k1, k2");
}

}  // namespace
