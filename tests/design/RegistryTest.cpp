// Format detection and the reader factory over documents built in code.
#include <gtest/gtest.h>

#include <typeinfo>

#include "builders/CompoundFileBuilder.h"
#include "builders/DocxBuilder.h"
#include "builders/OdfBuilder.h"
#include "builders/EBookBuilder.h"
#include "builders/PalmDocBuilder.h"
#include "builders/PdfBuilder.h"
#include "builders/PdfEncryptBuilder.h"
#include "builders/WordPerfectBuilder.h"
#include "builders/WriteBuilder.h"
#include "builders/WordDocBuilder.h"
#include "builders/ZipBuilder.h"
#include "zvword.h"

namespace zvword {
namespace {

using test::CompoundFileBuilder;
using test::DocxBuilder;
using test::PalmDocBuilder;
using test::WordDocBuilder;
using test::WordStory;

std::string Docx() { return DocxBuilder().Body(DocxBuilder::P("Body text")).Build(); }
std::string Pdf() { return testing::MakeTextPdf({"BT /F1 12 Tf 72 700 Td (Pdf text) Tj ET"}); }
std::string EPub() {
  return test::EPubBuilder().Metadata("<dc:title>Book title</dc:title>").Item("a", "a.xhtml",
      test::EPubBuilder::XHTML("<p>Book text</p>")).Build();
}
std::string Fb2(const std::string& lead = "<?xml version=\"1.0\"?>") {
  return lead + "<FictionBook><description><title-info><book-title>Fb2 title</book-title></title-info></description>"
                "<body><p>Fb2 text</p></body></FictionBook>";
}
std::string Pdb(std::string_view text = "Book text\n") { return PalmDocBuilder().Record(text).Build(); }
std::string Doc(const WordDocBuilder& w) {
  return CompoundFileBuilder().Stream("WordDocument", w.WordDocument()).Stream("1Table", w.Table()).Build();
}

struct DetectCase {
  const char* what;
  std::string bytes;
  std::string name;
  const char* expected;  // "" = nothing fits
};

TEST(Registry, DetectFormat) {
  const std::string pdf = Pdf();
  const std::string junk(1000, 'j');
  const DetectCase cases[] = {
      {"Word 2007+ package", Docx(), "a.bin", "docx"},
      {"package named .doc: content wins", Docx(), "a.doc", "docx"},
      {"Word 2003 XML named .doc", DocxBuilder::WordML(DocxBuilder::P("x")), "a.doc", "docx"},
      {"flat package named .xml", DocxBuilder().Body(DocxBuilder::P("x")).BuildFlat(), "a.xml", "docx"},
      {"Word XML element below another root", "<?xml version=\"1.0\"?><root><w:wordDocument/></root>", "", ""},
      {"encrypted package", CompoundFileBuilder().Stream("EncryptionInfo", "i").Stream("EncryptedPackage", "p").Build(),
       "", "docx"},
      {"Word 97 compound file", Doc(WordDocBuilder().Piece(u"Hello\r")), "a.txt", "doc"},
      {"flat Word 2 file", WordDocBuilder(WordDocBuilder::Layout::Word2).Piece(u"Hello\r").WordDocument(), "", "doc"},
      {"compound file without Word: by extension", CompoundFileBuilder().Stream("Book", "x").Build(), "x.doc", "doc"},
      {"compound file without Word, other name", CompoundFileBuilder().Stream("Book", "x").Build(), "x.xls", ""},
      {"ZIP without a Word part", test::ZipBuilder().Add("content.xml", "<x/>").Build(), "a.zip", ""},
      {"OpenDocument text named .docx", test::OdfBuilder().Build(), "a.docx", "odt"},
      {"OpenDocument spreadsheet", test::OdfBuilder("spreadsheet").Build(), "", "ods"},
      {"flat OpenDocument text named .xml", test::OdfBuilder().Flat(), "a.xml", "odt"},
      {"flat OpenDocument presentation without a media type", test::OdfBuilder("presentation").Flat(false), "a.txt", "odp"},
      {"OpenDocument presentation, media type last", test::OdfBuilder("presentation").MimetypeLast().Build(), "", "odp"},
      {"OpenDocument without a media type: by extension", test::OdfBuilder().WithoutMimetype().Build(), "a.ods", "ods"},
      {"EPUB book", EPub(), "a.zip", "epub"},
      {"EPUB without the media type entry", test::ZipBuilder().Add("META-INF/container.xml", "<container/>").Build(), "",
       "epub"},
      {"FictionBook", Fb2(), "a.txt", "fb2"},
      {"FictionBook after a BOM and a comment", Fb2("\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- <html> -->"),
       "", "fb2"},
      {"zipped FictionBook", test::ZipBuilder().Add("War.fb2", Fb2()).Build(), "", "fb2"},
      {"ZIP signature alone", std::string("PK\x03\x04", 4), "", ""},
      {"XML of another kind", "<?xml version=\"1.0\"?><html><FictionBook/></html>", "", ""},
      {"PDF", pdf, "", "pdf"},
      {"PDF named .doc", pdf, "report.doc", "pdf"},
      {"junk before %PDF within 1024 bytes", junk + pdf, "", "pdf"},
      {"%PDF beyond 1024 bytes", junk + junk + pdf, "", ""},
      {"%PDF beyond 1024 bytes, .pdf name", junk + junk + pdf, "x.pdf", "pdf"},
      {"lower-case header", "%pdf-1.4\n" + pdf.substr(9), "", "pdf"},
      {"PalmDoc", Pdb(), "", "pdb"},
      {"PalmDoc whose text starts with %PDF", Pdb("%PDF-1.4 is a version\n"), "", "pdb"},
      {"Peanut book", PalmDocBuilder().Peanut().Record("Book\n").Build(), "", "pdb"},
      {"unknown data, known extension", std::string(200, 'x'), "book.pdb", "pdb"},
      {"unknown data, extension in capitals", std::string(200, 'x'), "dir/BOOK.PDF", "pdf"},
      {"unknown data, unknown extension", std::string(200, 'x'), "book.xyz", ""},
      {"dot in a folder name only", std::string(200, 'x'), "dir.pdf/book", ""},
      {"WordPerfect 6 named .doc", test::WordPerfectBuilder().Text("wp").Build(), "a.doc", "wpd"},
      {"WordPerfect 5 named .doc", test::WordPerfectBuilder(0).Text("wp").Build(), "a.doc", "wpd"},
      {"WordPerfect in a compound file",
       CompoundFileBuilder().Stream("PerfectOffice_MAIN", test::WordPerfectBuilder().Build()).Build(), "a.doc", "wpd"},
      {"WPC header of another major version", "\xFFWPC" + std::string(6, '\0') + "\x01" + std::string(20, '\0'), "", ""},
      {"WordPerfect 4.2 named .doc", std::string("\xCB\x0A\x01\xCB\xC0\x0A\x4A\xC0\xCE\x0C\xCE", 11) + "text",
       "a.doc", "wpd"},
      {"one high byte function only: not WordPerfect 4.2", std::string("\xCB\x0A\xCB", 3) + "text", "", ""},
      {"Write named .doc", test::WriteBuilder().Run("w").EndParagraph().Build(), "a.doc", "wri"},
      {"nothing at all", "", "", ""},
  };
  for (const auto& c : cases) {
    const TZvReaderEntry* e = DetectFormat(c.bytes, c.name);
    EXPECT_EQ(e ? std::string(e->Name) : "", c.expected) << c.what;
  }
}

struct FactoryCase {
  const char* what;
  std::string bytes;
  TZvReaderOptions options;
  const char* reader;
  const char* text;   // in the body; "" when the load fails
  const char* error;  // part of the message; "" when it loads
  const char* list;   // a list that holds `listText`, or ""
  const char* listText;
  const char* title;  // the summary's title; nullptr when the format has no summary
};

TEST(Registry, FactoryGivesTheFormatsReaderWithItsOptions) {
  testing::PdfEncryptOptions locked;
  locked.UserPassword = "secret";
  const FactoryCase cases[] = {
      {"docx with a footnote",
       DocxBuilder().Body(DocxBuilder::P("Body text")).Footnotes(DocxBuilder::Note("w:footnote", 1, "Foot text")).Build(),
       {}, "docx", "Body text", "", "footnotes", "Foot text", ""},
      {"doc with a header", Doc(WordDocBuilder().Piece(u"Doc text\r").Story(WordStory::Headers, u"Head text\r")), {},
       "doc", "Doc text", "", "headers", "Head text", ""},
      {"pdf opened with the password", testing::MakeEncryptedPdf(locked), {.Password = "secret"}, "pdf",
       "Hello encrypted world", "", "", "", "Encrypted title"},
      {"pdf without the password", testing::MakeEncryptedPdf(locked), {}, "pdf", "", "Password is not valid", "", "", ""},
      {"pdb", Pdb(), {}, "pdb", "Book text", "", "", "", nullptr},
      {"odt with a comment",
       test::OdfBuilder()
           .Body(test::OdfBuilder::P("Odt text<office:annotation>" + test::OdfBuilder::P("Remark") + "</office:annotation>"))
           .Meta("<dc:title>Odt title</dc:title>")
           .Build(),
       {}, "odt", "Odt text", "", "annotations", "Remark", "Odt title"},
      {"wpd", test::WordPerfectBuilder().Text("Perfect text").Build(), {}, "wpd", "Perfect text", "", "", "", nullptr},
      {"wri", test::WriteBuilder().Run("Write text").EndParagraph().Build(), {}, "wri", "Write text", "", "", "", nullptr},
      {"epub", EPub(), {}, "epub", "Book text", "", "", "", "Book title"},
      {"fb2", Fb2(), {}, "fb2", "Fb2 text", "", "", "", "Fb2 title"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TMSWBaseDocument> r = CreateReaderFor(c.bytes, "", c.options);
    ASSERT_NE(r, nullptr) << c.what;
    const std::unique_ptr<TMSWBaseDocument> byName = CreateReader(c.reader);
    ASSERT_NE(byName, nullptr) << c.what;
    EXPECT_EQ(typeid(*r), typeid(*byName)) << c.what;

    std::string error;
    TBytesView stream(c.bytes);
    try {
      r->LoadFromStream(stream);
    } catch (const Exception& e) {
      error = e.what();
    }
    if (*c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
      continue;
    }
    EXPECT_EQ(error, "") << c.what;
    EXPECT_NE(WideToUtf8(r->Text()->Text()).find(c.text), std::string::npos) << c.what;
    bool listFound = !*c.list;
    for (const auto& [name, list] : r->Lists())
      if (name == c.list) listFound = WideToUtf8(list->Text()).find(c.listText) != std::string::npos;
    EXPECT_TRUE(listFound) << c.what;
    if (c.title) {
      ASSERT_NE(r->SummaryInformation(), nullptr) << c.what;
      EXPECT_EQ(WideToUtf8(r->SummaryInformation()->Title()), c.title) << c.what;
    } else {
      EXPECT_EQ(r->SummaryInformation(), nullptr) << c.what;
    }
  }
  EXPECT_EQ(CreateReader("no-such-reader"), nullptr);
  TZvReaderOptions all;
  all.VBA = all.Hidden = true;
  const auto macros = CreateReader("doc", all);
  EXPECT_TRUE(macros->ParseItems().Contains(wpiVBA) && macros->ParseItems().Contains(wpiHiddenText));
  EXPECT_FALSE(CreateReader("doc")->ParseItems().Contains(wpiVBA));
}

// Every reader's name, extensions and signature agree with detection: its own kind of data is
// claimed by it, and nothing else claims its extensions first.
TEST(Registry, EveryEntryIsReachableByNameAndExtension) {
  for (const auto& e : ReaderEntries()) {
    EXPECT_EQ(FindReaderEntry(e.Name), &e);
    for (std::string_view x : e.Extensions) EXPECT_EQ(DetectFormat("", "file." + std::string(x)), &e) << x;
  }
}

// A stream that runs out of memory on its first read, as a huge document would.
class TStarvedStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { throw std::bad_alloc(); }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  int64_t Size() override { return 1 << 20; }
};

TEST(Registry, EveryReaderReportsExhaustedMemoryAsAnException) {
  for (const auto& e : ReaderEntries()) {
    std::unique_ptr<TMSWBaseDocument> doc = CreateReader(e);
    TStarvedStream stream;
    try {
      doc->LoadFromStream(stream);
      ADD_FAILURE() << e.Name << ": no error";
    } catch (const Exception& x) {
      EXPECT_STREQ(x.what(), "Out of memory while reading the document") << e.Name;
    } catch (const std::exception& x) {
      ADD_FAILURE() << e.Name << ": " << x.what() << " escaped as a standard exception";
    }
  }
}

}  // namespace
}  // namespace zvword
