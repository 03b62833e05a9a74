// The file structure: cross-reference kinds, object streams, incremental updates, damaged files,
// page-tree inheritance and loops.
#include <gtest/gtest.h>

#include "PdfTestUtil.h"
#include "pdf/ZvWPDFParser.h"

namespace zvword::testing {
namespace {

const std::string kHello = "BT /F1 12 Tf 72 712 Td (Hello World) Tj ET";

struct StructureCase {
  const char* name;
  PdfXRef kind;
  PdfFilter filter;
};

class PdfStructure : public ::testing::TestWithParam<StructureCase> {};

TEST_P(PdfStructure, TextComesThroughEveryCrossReferenceKindAndFilter) {
  auto c = GetParam();
  EXPECT_EQ(PdfText(MakeTextPdf({kHello, "BT /F1 12 Tf 72 700 Td (Second page) Tj ET"}, c.kind, c.filter)),
            "Hello World\nSecond page");
}

INSTANTIATE_TEST_SUITE_P(All, PdfStructure,
                         ::testing::Values(StructureCase{"table_plain", PdfXRef::Table, PdfFilter::None},
                                           StructureCase{"table_flate", PdfXRef::Table, PdfFilter::Flate},
                                           StructureCase{"table_hex", PdfXRef::Table, PdfFilter::ASCIIHex},
                                           StructureCase{"table_a85", PdfXRef::Table, PdfFilter::ASCII85},
                                           StructureCase{"stream_plain", PdfXRef::Stream, PdfFilter::None},
                                           StructureCase{"stream_flate", PdfXRef::Stream, PdfFilter::Flate}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PdfReader, ObjectsInObjectStreamsResolveToTheirOwnText) {
  PdfBuilder c("1.5");
  int c_cat = c.Reserve(), c_pages = c.Reserve();
  int c_font = c.AddCompressed("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Differences [65 /B /C] >> >>");
  int c_content = c.AddStream("", "BT /F1 12 Tf 72 712 Td (AB) Tj ET", PdfFilter::Flate);
  int c_page = c.AddCompressed("<< /Type /Page /Parent " + std::to_string(c_pages) + " 0 R /Resources << /Font << /F1 " +
                               std::to_string(c_font) + " 0 R >> >> /Contents " + std::to_string(c_content) + " 0 R >>");
  c.Set(c_pages, "<< /Type /Pages /Kids [" + std::to_string(c_page) + " 0 R] /Count 1 >>");
  c.Set(c_cat, "<< /Type /Catalog /Pages " + std::to_string(c_pages) + " 0 R >>");
  c.SetRoot(c_cat);
  // The font's Differences (A->B, B->C) prove the font came from the object stream.
  EXPECT_EQ(PdfText(c.Build(PdfXRef::Stream)), "BC");
}

TEST(PdfReader, IncrementalUpdateReplacesAnObjectAndKeepsTheRest) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  int c1 = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Old text) Tj ET");
  int c2 = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Kept page) Tj ET");
  std::string res = "/Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >>";
  int p1 = b.Add("<< /Type /Page " + res + " /Contents " + std::to_string(c1) + " 0 R >>");
  int p2 = b.Add("<< /Type /Page " + res + " /Contents " + std::to_string(c2) + " 0 R >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(p1) + " 0 R " + std::to_string(p2) + " 0 R] /Count 2 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  b.BeginUpdate();
  b.SetStream(c1, "", "BT /F1 12 Tf 72 712 Td (New text) Tj ET");
  for (auto kind : {PdfXRef::Table, PdfXRef::Stream}) {
    PdfBuilder copy = b;
    EXPECT_EQ(PdfText(copy.Build(kind)), "New text\nKept page");
  }
}

std::string Cut(std::string s, const std::string& from) { return s.substr(0, s.rfind(from)); }

TEST(PdfReader, DamagedCrossReferencesAreRebuiltFromObjectHeaders) {
  std::string good = MakeTextPdf({kHello});
  struct Damage {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"no startxref", Cut(good, "startxref")},
      {"startxref points nowhere", Cut(good, "startxref") + "startxref\n999999\n%%EOF\n"},
      {"startxref points into an object", Cut(good, "startxref") + "startxref\n20\n%%EOF\n"},
      {"no cross-reference at all", Cut(good, "\nxref") + "\n"},
  };
  for (auto& c : cases) EXPECT_EQ(PdfText(c.bytes), "Hello World") << c.what;
  // Offsets shifted by an inserted byte: every table entry points beside its object.
  std::string shifted = good;
  shifted.insert(good.find("1 0 obj"), " ");
  EXPECT_EQ(PdfText(shifted), "Hello World");
}

TEST(PdfReader, NewestDefinitionWinsWhenRebuilding) {
  std::string good = MakeTextPdf({kHello});
  std::string s = Cut(good, "\nxref") + "\n";
  // A later copy of the content object (number 4) replaces the first.
  std::string later = "4 0 obj\n<< /Length 40 >>\nstream\nBT /F1 12 Tf 72 712 Td (Updated) Tj ET\nendstream\nendobj\n";
  EXPECT_EQ(PdfText(s + later), "Updated");
}

// A one-page document whose page draws content (a reference or an array of them) with /F1 and
// the forms in xobjects; extra objects come first, so their numbers start at 1.
std::string PageDoc(PdfBuilder& b, const std::string& contents, const std::string& xobjects = "") {
  int cat = b.Reserve(), pages = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /Resources << /Font << /F1 " +
                   std::to_string(font) + " 0 R >> /XObject << " + xobjects + " >> >> /Contents " + contents + " >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  return b.Build();
}

std::string Ref(int n) { return std::to_string(n) + " 0 R"; }

// Streams whose /Length is the next one's object: each fetch nests inside the one before.
std::string LengthChain(int n) {
  PdfBuilder b;
  int first = b.Reserve();
  for (int i = 1; i < n; ++i) b.Reserve();
  for (int i = 0; i < n; ++i)
    b.Set(first + i, "<< /Length " + (i + 1 < n ? Ref(first + i + 1) : std::string("5")) + " >>\nstream\nhello\nendstream");
  return PageDoc(b, Ref(first));
}

// Two bytes behind `layers` RunLength filters (each layer 64 times larger), listed `times` times.
std::string RunLengthBomb(int layers, int times) {
  PdfBuilder b;
  std::string filters;
  for (int i = 0; i < layers; ++i) filters += " /RL";
  int s = b.Add("<< /Length 2 /Filter [" + filters + "] >>\nstream\n\x81\x81\nendstream");
  std::string list;
  for (int i = 0; i < times; ++i) list += Ref(s) + " ";
  return PageDoc(b, "[" + list + "]");
}

// Forms each drawing the next `fanout` times; the last one shows text.
std::string FormFanout(int forms, int fanout) {
  PdfBuilder b;
  int first = b.Reserve();
  for (int i = 1; i < forms; ++i) b.Reserve();
  for (int i = 0; i < forms; ++i) {
    std::string body, res;
    if (i + 1 < forms) {
      for (int k = 0; k < fanout; ++k) body += "/X Do ";
      res = "/XObject << /X " + Ref(first + i + 1) + " >>";
    }
    b.SetStream(first + i, "/Type /XObject /Subtype /Form /BBox [0 0 9 9] /Resources << " + res + " >>",
                i + 1 < forms ? body : "BT /F1 12 Tf (x) Tj ET");
  }
  int page1 = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Read before) Tj ET");
  int page2 = b.AddStream("", "/X Do");
  return PageDoc(b, "[" + Ref(page1) + " " + Ref(page2) + "]", "/X " + Ref(first));
}

TResourceLimits Limits(int64_t decoded, int64_t operations = 100'000'000, int32_t depth = 64) {
  TResourceLimits l;
  l.MaxDecodedBytes = decoded;
  l.MaxOperations = operations;
  l.MaxDepth = depth;
  return l;
}

struct ErrorCase {
  const char* what;
  std::string bytes;
  std::string error;
  std::string kept;  // text still in the output list after the error
  TResourceLimits limits = {};
  int64_t pageOperations = kPDFMaxPageOperations;
  std::string warning = "";
};

TEST(PdfReader, ClearErrorsForWhatCannotBeRead) {
  std::string enc = MakeTextPdf({kHello});
  enc.insert(enc.rfind(">>\nstartxref"), " /Encrypt << /Filter /Standard /V 1 /R 2 >> ");
  const std::string big = "BT /F1 12 Tf 72 712 Td (" + std::string(3000, 'a') + ") Tj ET";
  const ErrorCase cases[] = {
      {"not a PDF", "GIF89a not a pdf at all", "This is not valid PDF-document", ""},
      {"empty", "", "This is not valid PDF-document", ""},
      {"no catalog", "%PDF-1.4\n%%EOF\n", "The PDF document has no readable catalog or pages", ""},
      // Without its password hashes the file cannot be opened with any password.
      {"encryption without hashes", enc, "Password is not valid", ""},
      {"lengths fetched inside lengths", LengthChain(100), "Document exceeds the nesting limit of 64 levels", ""},
      {"nested fetches under a lower limit", LengthChain(12), "Document exceeds the nesting limit of 8 levels", "",
       Limits(1 << 20, 1000, 8)},
      {"run-length output counts", RunLengthBomb(3, 1), "Document exceeds the limit of 100000 bytes of decoded data", "",
       Limits(100'000)},
      {"a stream listed again counts again", RunLengthBomb(3, 4), "Document exceeds the limit of 2000000 bytes of decoded data",
       "", Limits(2'000'000)},
      {"hex output counts", MakeTextPdf({big}, PdfXRef::Table, PdfFilter::ASCIIHex),
       "Document exceeds the limit of 2000 bytes of decoded data", "", Limits(2000)},
      {"base-85 output counts", MakeTextPdf({big}, PdfXRef::Table, PdfFilter::ASCII85),
       "Document exceeds the limit of 2000 bytes of decoded data", "", Limits(2000)},
      {"forms drawing forms", FormFanout(6, 10), "Document exceeds the limit of 20000 operations",
       "Read before", Limits(1 << 20, 20'000)},
      {"forms drawing forms past the page's share", FormFanout(5, 10), "Page exceeds the limit of 5000 content operators",
       "Read before", {}, 5000},
      {"twenty forms each drawing the next ten times, default limits", FormFanout(20, 10),
       "Page exceeds the limit of 10000000 content operators", "Read before"},
      {"one stream past the cap of a stream, within the document's budget", RunLengthBomb(5, 1), "", "", {},
       kPDFMaxPageOperations, "A stream decodes to more than 256 MiB: only that much of it is read"},
  };
  for (const auto& c : cases) {
    TZvPDFReader r;
    r.SetResourceLimits(c.limits);
    r.SetMaxPageOperations(c.pageOperations);
    std::string error;
    try {
      PdfText(c.bytes, tfPlainText, &r);
    } catch (const Exception& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error) << c.what;
    EXPECT_EQ(r.Warnings().empty() ? "" : WideToUtf8(r.Warnings()[0]), c.warning) << c.what;
    std::string kept;
    for (int i = 0; i < r.Text()->Count(); ++i) kept += WideToUtf8(r.Text()->Get(i));
    if (!c.kept.empty()) {
      EXPECT_NE(kept.find(c.kept), std::string::npos) << c.what << ": " << kept;
    }
  }
}

size_t ObjectsIn(const TZvPDFObject& o) {
  size_t n = 1;
  for (const auto& it : o.Items) n += ObjectsIn(it);
  return n;
}

// Nesting past the limit is passed over whole: the objects built stay within the limit, and the
// parse goes on after it (or stops before a keyword that ends the object).
TEST(PdfReader, DeepNestingBuildsNothingPastTheLimit) {
  const size_t n = 100000;
  auto repeat = [](const std::string& s, size_t k) {
    std::string r;
    for (size_t i = 0; i < k; ++i) r += s;
    return r;
  };
  const struct {
    const char* what;
    std::string text;
    std::string next;  // the name or keyword that follows
  } cases[] = {
      {"arrays", std::string(n, '[') + "1 (])" + std::string(n, ']') + " /After", "After"},
      {"dictionaries", repeat("<< /A ", n) + "<a>" + repeat(">>", n) + " /After", "After"},
      {"never closed", std::string(n, '[') + " endobj", "endobj"},
  };
  for (const auto& c : cases) {
    pdfsyntax::TLexer lx(c.text);
    TZvPDFObject o;
    ASSERT_TRUE(lx.ParseObject(o, true)) << c.what;
    EXPECT_LE(ObjectsIn(o), static_cast<size_t>(kPDFMaxNesting) + 2) << c.what;
    std::string_view kw;
    TZvPDFObject next;
    bool isObject = lx.ParseObject(next, true, &kw);
    EXPECT_EQ(isObject ? std::string_view(next.Str) : kw, c.next) << c.what;
  }
}

TEST(PdfReader, VersionAndHeaderAfterJunk) {
  TZvPDFReader r;
  PdfText("junk\n" + MakeTextPdf({kHello}), tfPlainText, &r);
  EXPECT_EQ(r.Version(), "1.4");
  EXPECT_EQ(r.Pages()->Count(), 1);
  EXPECT_EQ(WideToUtf8(r.Pages()->GetPage(0)->GetPlainText()), "Hello World");
}

// A font whose Differences map A to X, so the text tells which font decoded it.
const char* kFontX = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Differences [65 /X] >> >>";
const char* kFontY = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Differences [65 /Y] >> >>";

TEST(PdfReader, ResourcesAndMediaBoxAreInheritedFromThePageTree) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve(), mid = b.Reserve();
  int font = b.Add(kFontX);
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (AA) Tj ET");
  int page = b.Add("<< /Type /Page /Parent " + std::to_string(mid) + " 0 R /Contents " + std::to_string(content) + " 0 R >>");
  b.Set(mid, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 /MediaBox [0 0 400 500] >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(mid) + " 0 R] /Count 1 /Resources << /Font << /F1 " +
                   std::to_string(font) + " 0 R >> >> >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  TZvPDFReader r;
  EXPECT_EQ(PdfText(b.Build(), tfPlainText, &r), "XX");
  EXPECT_EQ(r.Pages()->GetPage(0)->Height(), 500);
  EXPECT_EQ(r.Pages()->GetPage(0)->Width(), 400);
}

TEST(PdfReader, FontNamesResolveInEachPagesOwnResources) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  int fx = b.Add(kFontX), fy = b.Add(kFontY);
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (A) Tj ET");  // one content, shared
  int p1 = b.Add("<< /Type /Page /Resources << /Font << /F1 " + std::to_string(fx) + " 0 R >> >> /Contents " +
                 std::to_string(content) + " 0 R >>");
  int p2 = b.Add("<< /Type /Page /Resources << /Font << /F1 " + std::to_string(fy) + " 0 R >> >> /Contents " +
                 std::to_string(content) + " 0 R >>");
  int p3 = b.Add("<< /Type /Page /Resources << /Font << /F1 " + std::to_string(fx) + " 0 R >> >> /Contents " +
                 std::to_string(content) + " 0 R >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(p1) + " 0 R " + std::to_string(p2) + " 0 R " + std::to_string(p3) +
                   " 0 R] /Count 3 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  TZvPDFReader r;
  EXPECT_EQ(PdfText(b.Build(), tfPlainText, &r), "X\nY\nX");
  EXPECT_EQ(r.Fonts()->Count(), 2);  // the font used twice is read once
}

TEST(PdfReader, LoopsInPageTreePrevChainAndFormsEnd) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  int form = b.Reserve();
  b.SetStream(form, "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << /XObject << /Me " + std::to_string(form) +
                        " 0 R >> /Font << /F1 " + std::to_string(font) + " 0 R >> >>",
              "BT /F1 10 Tf 0 0 Td (Form) Tj ET /Me Do");
  int content = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Page) Tj ET /Fx Do");
  int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /Resources << /Font << /F1 " +
                   std::to_string(font) + " 0 R >> /XObject << /Fx " + std::to_string(form) + " 0 R >> >> /Contents " +
                   std::to_string(content) + " 0 R >>");
  // The tree names itself and the page twice.
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R " + std::to_string(pages) + " 0 R " +
                   std::to_string(page) + " 0 R] /Count 3 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  std::string doc = b.Build();
  // A /Prev that points at its own section.
  size_t xref = doc.rfind("xref");
  doc.insert(doc.rfind(">>\nstartxref"), " /Prev " + std::to_string(xref) + " ");
  EXPECT_EQ(PdfText(doc), "Page\nForm");
}

TEST(PdfReader, ABadStreamCostsOnlyItsOwnText) {
  PdfBuilder b;
  int cat = b.Reserve(), pages = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  std::string res = "/Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >>";
  int bad = b.Add("<< /Length 10 /Filter /FlateDecode >>\nstream\nnot zlib!!\nendstream");
  int good = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Survivor) Tj ET", PdfFilter::Flate);
  int p1 = b.Add("<< /Type /Page " + res + " /Contents " + std::to_string(bad) + " 0 R >>");
  int p2 = b.Add("<< /Type /Page " + res + " /Contents [" + std::to_string(bad) + " 0 R " + std::to_string(good) + " 0 R] >>");
  // A stream cut inside a string: the string ends with its stream, not in the next one.
  int cut = b.AddStream("", "BT /F1 12 Tf 72 712 Td (Cut sh", PdfFilter::Flate);
  int p3 = b.Add("<< /Type /Page " + res + " /Contents [" + std::to_string(cut) + " 0 R " + std::to_string(good) + " 0 R] >>");
  b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(p1) + " 0 R " + std::to_string(p2) + " 0 R " + std::to_string(p3) +
                   " 0 R] /Count 3 >>");
  b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(cat);
  EXPECT_EQ(PdfText(b.Build()), "Survivor\nSurvivor");
}

TEST(PdfReader, WrongLengthTakesTheDataUpToEndstream) {
  for (const char* len : {"5", "9999", "3 0 R", "-4"}) {
    PdfBuilder b;
    int cat = b.Reserve(), pages = b.Reserve();
    int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    int content = b.Add(std::string("<< /Length ") + len + " >>\nstream\nBT /F1 12 Tf 72 712 Td (Long enough) Tj ET\nendstream");
    int page = b.Add("<< /Type /Page /Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >> /Contents " +
                     std::to_string(content) + " 0 R >>");
    b.Set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    b.Set(cat, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    b.SetRoot(cat);
    EXPECT_EQ(PdfText(b.Build()), "Long enough") << len;
  }
}

TEST(PdfReader, RtfAndHtmlEscapeTextAndRenderLineBreaks) {
  std::string doc = MakeTextPdf({"BT /F1 12 Tf 72 712 Td (a<b & {c}) Tj 0 -20 Td (\\\\x) Tj ET"});
  std::string html = PdfText(doc, tfHTML);
  EXPECT_NE(html.find("a&lt;b &amp; {c}<br>\n\\x<br>"), std::string::npos) << html;
  std::string rtf = PdfText(doc, tfRTF);
  EXPECT_NE(rtf.find("a<b & \\{c\\}\\par \n\\\\x\\par "), std::string::npos) << rtf;
}

TEST(PdfReader, PagesStreamAsTheyAreReadAndTheLengthLimitStopsReading) {
  std::vector<std::string> pages;
  for (int i = 1; i <= 5; ++i) pages.push_back("BT /F1 12 Tf 72 712 Td (page " + std::to_string(i) + ") Tj ET");
  const std::string doc = MakeTextPdf(pages);
  for (const int32_t limit : {0, 12}) {
    TZvPDFReader r;
    r.SetTextFormating(tfHTML);
    r.SetMaxTextLength(limit);
    r.SetKeepPages(false);
    // Which page the reader was on when each item went out.
    std::vector<std::pair<std::string, int>> seen;
    r.Text()->SetConsumer([&](const WideString& item) { seen.emplace_back(WideToUtf8(item), r.Pages()->Count()); });
    TBytesView v(doc);
    r.LoadFromStream(v);
    if (limit == 0) {
      ASSERT_EQ(seen.size(), 7u);
      EXPECT_EQ(seen[0].first.rfind("<html>", 0), 0u) << "prologue first";
      EXPECT_EQ(seen[0].second, 1);
      for (int i = 1; i <= 5; ++i) EXPECT_EQ(seen[i], std::make_pair("page " + std::to_string(i) + "<br>", i));
      EXPECT_EQ(seen[6].first, "\r\n</body>\r\n</html>");
      EXPECT_EQ(r.Pages()->GetPage(0)->Items().Count(), 0) << "a written page keeps no items";
    } else {
      // The long prologue alone reaches the limit: it is cut and no other page is read.
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].first, "<html>\r\n<hea");
      EXPECT_TRUE(r.IsCancelExtract);
      EXPECT_EQ(r.Pages()->Count(), 1);
    }
  }
}

}  // namespace
}  // namespace zvword::testing
