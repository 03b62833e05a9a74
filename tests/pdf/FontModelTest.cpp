// Fonts and trailer entries as text, read back from a built document after its load.
#include <gtest/gtest.h>

#include <algorithm>

#include "pdf/PdfTestUtil.h"
#include "pdf/ZvWPDFFontModel.h"
#include "pdf/ZvWPDFGlyphs.h"

using namespace zvword;
using namespace zvword::testing;

namespace {

struct FontDoc {
  std::string pdf;
  int f1 = 0, f2 = 0, program = 0, info = 0;
};

// /F1: a composite font with a ToUnicode map and an embedded program; /F2: a simple font with
// a Differences array.
FontDoc MakeFontDoc() {
  FontDoc d;
  PdfBuilder b;
  const int toUnicode = b.AddStream("",
                                    "/CIDInit /ProcSet findresource begin begincmap\n"
                                    "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
                                    "2 beginbfchar <0001> <0048>\n<0002> <0069> endbfchar\n"
                                    "1 beginbfrange <0010> <0012> <0041> endbfrange\nendcmap end",
                                    PdfFilter::Flate);
  d.program = b.AddStream("/Length1 7", "NOTTRUE", PdfFilter::ASCIIHex);
  const int desc = b.Add("<< /Type /FontDescriptor /FontName /X /Flags 4 /FontFile2 " + std::to_string(d.program) + " 0 R >>");
  const int cid = b.Add("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /X /CIDSystemInfo << /Registry (Adobe) "
                        "/Ordering (Identity) /Supplement 0 >> /FontDescriptor " + std::to_string(desc) +
                        " 0 R /CIDToGIDMap /Identity >>");
  d.f1 = b.Add("<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [" +
               std::to_string(cid) + " 0 R] /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
  d.f2 = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /BaseEncoding /WinAnsiEncoding "
               "/Differences [24 /breve /caron 39 /quotesingle 65 /uni20AC /g42 /heart] >> >>");
  const int content = b.AddStream("", "BT /F1 12 Tf 72 700 Td <00010002> Tj /F2 12 Tf (AB) Tj ET");
  const int pages = b.Reserve();
  const int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                         "/Resources << /Font << /F1 " + std::to_string(d.f1) + " 0 R /F2 " + std::to_string(d.f2) +
                         " 0 R >> >> /Contents " + std::to_string(content) + " 0 R >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  b.SetRoot(b.Add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"));
  d.info = b.Add("<< /Title (T) >>");
  b.SetInfo(d.info);
  d.pdf = b.Build();
  return d;
}

std::string Narrow(const WideString& w) { return WideToUtf8(w); }

TEST(PdfFontModel, EntriesListsAndConversionsOfReadFonts) {
  const FontDoc d = MakeFontDoc();
  TZvPDFReader reader;
  ASSERT_NE(PdfText(d.pdf, tfPlainText, &reader).find("Hi"), std::string::npos);
  TBytesView stream(d.pdf);
  reader.ReadFonts(stream, "<< /F1 " + std::to_string(d.f1) + " 0 R /F2 " + std::to_string(d.f2) + " 0 R >>");

  const TZvPDFFont* f1 = reader.Fonts()->FindFontByName(u"/F1");
  const TZvPDFFont* f2 = reader.Fonts()->FindFontByName(u"/f2");
  ASSERT_TRUE(f1 && f2 && f1->Entries() && f2->Entries());
  EXPECT_NE(Narrow(f1->Content()).find("/Type0"), std::string::npos);
  EXPECT_NE(Narrow(f1->CMap()).find("beginbfchar"), std::string::npos);
  EXPECT_NE(Narrow(f1->DescendantFonts()).find("/CIDFontType2"), std::string::npos);
  EXPECT_NE(Narrow(f1->FontDescriptor()).find("/FontDescriptor"), std::string::npos);
  EXPECT_EQ(Narrow(f1->FontFile2()), std::to_string(d.program) + " 0 R");
  EXPECT_EQ(f1->FontFile(), u"");
  EXPECT_EQ(f1->CID(), u"NOTTRUE");  // the program decoded
  EXPECT_EQ(f1->CIDToGIDMap(), u"/Identity");
  EXPECT_EQ(f1->CIDSystemInfo(), u"<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>");

  struct ListRow {
    const TWideStrings& list;
    std::vector<std::string> lines;
  };
  const ListRow lists[] = {
      {f1->Entries()->lstCodeSpaceRange, {"<0000> <FFFF>"}},
      {f1->Entries()->lstBFChars, {"<0001> <0048>", "<0002> <0069>"}},
      {f1->Entries()->lstBFRange, {"<0010> <0012> <0041>"}},
      {f2->Entries()->lstDifferencies, {"24 /breve /caron", "39 /quotesingle", "65 /uni20AC /g42 /heart"}},
  };
  for (const auto& r : lists) {
    std::vector<std::string> got;
    for (int i = 0; i < r.list.Count(); ++i) got.push_back(Narrow(r.list.Get(i)));
    EXPECT_EQ(got, r.lines);
  }

  struct ConvertRow {
    WideString got, expected;
  };
  const ConvertRow conversions[] = {
      {f1->ConvertCMap(true, false, std::string("\x00\x01\x00\x11\x00\x02", 6)), u"HBi"},
      {f1->ConvertCMap(true, true, std::string("\x00\x01\x00\x02", 4)), u"H i"},
      {f1->ConvertCMap(true, false, std::string("\x00\x7A", 2)), u"z"},  // unmapped: the code itself
      {f1->ConvertCID(false, std::string("\x00\x10\x00\x12", 4)), u"AC"},
      {f2->ConvertDifferencies(u"\x18\x19'AB!C"), u"\x2D8\x2C7'\x20AC" u"B!\x2665"},
  };
  for (const auto& c : conversions) EXPECT_EQ(Narrow(c.got), Narrow(c.expected));

  // A name already read keeps its font and entries.
  const int before = reader.Fonts()->Count();
  reader.ReadFonts(stream, "/F2 " + std::to_string(d.f1) + " 0 R");
  EXPECT_EQ(reader.Fonts()->Count(), before);
  EXPECT_EQ(reader.Fonts()->FindFontByName(u"/F2"), f2);
}

TEST(PdfFontModel, TrailerTagsAndFilterContent) {
  const FontDoc d = MakeFontDoc();
  TZvPDFReader reader;
  PdfText(d.pdf, tfPlainText, &reader);
  EXPECT_EQ(reader.InfoTag(), std::to_string(d.info));
  EXPECT_FALSE(reader.RootTag().empty());
  EXPECT_EQ(reader.EncryptTag(), "");

  TBytesView stream(d.pdf);
  const RawByteString body = reader.GetBodyByRefNo(stream, d.program);
  EXPECT_NE(body.find("stream"), std::string::npos);
  RawByteString filter;
  int32_t length = -1, length1 = -1;
  reader.GetFilterContent(stream, body, filter, length, length1);
  EXPECT_EQ(filter, "/asciihexdecode");
  EXPECT_EQ(length, static_cast<int32_t>(PdfBuilder::Encode("NOTTRUE", PdfFilter::ASCIIHex).size()));
  EXPECT_EQ(length1, 7);
  // The catalog's dictionary through its reference, as the trailer names it.
  EXPECT_NE(reader.GetDoubleBracketValue(stream, "/root", "/root " + reader.RootTag() + " 0 R").find("/Pages"),
            std::string::npos);
}

TEST(PdfFontModel, GlyphSets) {
  const auto& latin = LatinCharacterSet();
  struct Row {
    const char* name;
    uint16_t std, mac, win, pdf;
    const char16_t* text;
  };
  // Codes as the four encodings' tables give them.
  const Row rows[] = {{"Aacute", 0, 0347, 0301, 0301, u"\u00C1"},
                      {"quotesingle", 0251, 047, 047, 047, u"'"},
                      {"Euro", 0, 0, 0200, 0240, u"\u20AC"},
                      {"fi", 0256, 0336, 0, 0223, u"fi"}};
  for (const auto& r : rows) {
    auto it = std::find_if(latin.begin(), latin.end(), [&](const TLatinCharacterSet& c) { return c.Name == r.name; });
    ASSERT_NE(it, latin.end()) << r.name;
    EXPECT_EQ(it->StdEnc, r.std) << r.name;
    EXPECT_EQ(it->MacRomanEnc, r.mac) << r.name;
    EXPECT_EQ(it->WinAnsiEnc, r.win) << r.name;
    EXPECT_EQ(it->PDFDocEnc, r.pdf) << r.name;
    EXPECT_EQ(it->Character, r.text) << r.name;
  }
  EXPECT_TRUE(std::is_sorted(latin.begin(), latin.end(), [](auto& a, auto& b) { return a.Name < b.Name; }));
  const auto& hebrew = HebrewCharacterSet();
  ASSERT_EQ(hebrew.size(), 33u);
  // Where the glyph list knows a name, it agrees.
  for (const auto& h : hebrew)
    if (WideString known = GlyphNameToUnicode(h.Name); !known.empty()) {
      EXPECT_EQ(known, h.Character) << h.Name;
    }
}

}  // namespace
