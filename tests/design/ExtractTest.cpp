// Extract over documents built in code: options, errors, lists, properties, paths and streaming.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "builders/DocxBuilder.h"
#include "builders/PdfBuilder.h"
#include "builders/PdfEncryptBuilder.h"
#include "zvword.h"

namespace zvword {
namespace {

using test::DocxBuilder;

std::string NotesDocx() {
  return DocxBuilder()
      .Body(DocxBuilder::P("Body text"))
      .Footnotes(DocxBuilder::Note("w:footnote", 1, "a footnote"))
      .Header(DocxBuilder::P("a header"))
      .Core("<dc:title>A &amp; B</dc:title><dcterms:created>2024-02-29T06:00:00Z</dcterms:created>")
      .App("<Pages>2</Pages>")
      .Build();
}

std::string Lists(const TExtractResult& r) {
  std::string s;
  for (const auto& [name, text] : r.Lists) s += name + "=" + text;
  return s;
}

std::string Properties(const TExtractResult& r) {
  std::string s;
  for (const auto& p : r.Properties) s += p.Name + (p.Number ? "#" : "=") + p.Value + ";";
  return s;
}

struct ExtractCase {
  const char* what;
  std::string bytes;
  std::function<void(TExtractOptions&)> options;
  const char* format;
  const char* text;   // the whole text, with a leading '~' a part of it; nullptr = not checked
  const char* error;  // a part of the message; "" = none
  const char* lists = "";
  const char* properties = nullptr;  // nullptr = not checked
};

TEST(Extract, Cases) {
  const auto none = [](TExtractOptions&) {};
  const std::string pdf = testing::MakeTextPdf({"BT /F1 12 Tf 72 700 Td (Pdf text) Tj ET"});
  testing::PdfEncryptOptions enc;
  enc.UserPassword = "secret";
  const std::string locked = testing::MakeEncryptedPdf(enc);
  std::string paragraphs;
  for (int i = 0; i < 200; ++i) paragraphs += DocxBuilder::P("paragraph " + std::to_string(i));
  const std::string longDocx = DocxBuilder().Body(paragraphs).Build();
  // Runs of plain ASCII longer than 16 units, broken by other characters at every offset class.
  const std::string mixed = "A plain run of ASCII text \xC4\x8C\xC5\x98 then sixteen more units and caf\xC3\xA9 then more plain text \xF0\x9F\x98\x80 x";
  const std::string mixedDocx = DocxBuilder().Body(DocxBuilder::P(mixed) + DocxBuilder::P("0123456789abcdef") + DocxBuilder::P(mixed)).Build();
  const std::string mixedText = mixed + "\n0123456789abcdef\n" + mixed + "\n";
  std::string mixedCRLF = mixedText;
  for (size_t at = 0; (at = mixedCRLF.find('\n', at)) != std::string::npos; at += 2) mixedCRLF.insert(at, "\r");
  const ExtractCase cases[] = {
      {"UTF-8 of long plain runs among other characters", mixedDocx, none, "docx", mixedText.c_str(), ""},
      {"the same with CR LF", mixedDocx, [](auto& o) { o.CRLF = true; }, "docx", mixedCRLF.c_str(), ""},
      {"body, properties by kind", NotesDocx(), none, "docx", "Body text\n", "", "",
       "Title=A & B;Created=2024-02-29T06:00:00Z;PageCount#2;"},
      {"named lists in the caller's order", NotesDocx(), [](auto& o) { o.Lists = {"headers", "body", "footnotes"}; },
       "docx", "Body text\n", "", "headers=a header\nfootnotes=a footnote\n"},
      {"all: the non-empty lists", NotesDocx(), [](auto& o) { o.Lists = {"all"}; }, "docx", "Body text\n", "",
       "footnotes=a footnote\nheaders=a header\n"},
      {"a list the format lacks", pdf, [](auto& o) { o.Lists = {"macros"}; }, "pdf", "~Pdf text", ""},
      {"CR LF", NotesDocx(), [](auto& o) { o.CRLF = true; }, "docx", "Body text\r\n", ""},
      {"length limit", NotesDocx(), [](auto& o) { o.MaxLength = 4; }, "docx", "Body\n", ""},
      {"HTML declares the caller's charset", NotesDocx(),
       [](auto& o) { o.Format = tfHTML, o.Charset = "utf-16"; }, "docx", "~charset=utf-16\"", ""},
      {"unknown bytes", std::string(100, 'j'), none, "", "", "Unknown document format"},
      {"the name decides without a signature", std::string(100, 'j'), [](auto& o) { o.Reader = "pdf"; }, "pdf", "",
       "not a pdf document"},
      {"PDF password missing", locked, none, "pdf", "", "Password"},
      {"PDF password given", locked, [](auto& o) { o.ReaderOptions.Password = "secret"; }, "pdf",
       "~Hello encrypted world", ""},
      {"text before a fault is kept", longDocx, [](auto& o) { o.Limits.MaxOutputChars = 100; }, "docx",
       "~paragraph 0\n", "limit"},
      {"resource limits reach the reader", pdf, [](auto& o) { o.Limits.MaxOperations = 1; }, "pdf", nullptr, "limit"},
  };
  for (const auto& c : cases) {
    TExtractOptions o;
    c.options(o);
    const TExtractResult r = Extract(c.bytes, "", o);
    EXPECT_EQ(r.Format, c.format) << c.what;
    if (c.text && c.text[0] == '~') {
      EXPECT_NE(r.Text.find(c.text + 1), std::string::npos) << c.what << ": " << r.Text;
    } else if (c.text) {
      EXPECT_EQ(r.Text, c.text) << c.what;
    }
    if (*c.error) {
      EXPECT_NE(r.Error.find(c.error), std::string::npos) << c.what << ": " << r.Error;
    } else {
      EXPECT_EQ(r.Error, "") << c.what;
    }
    EXPECT_EQ(Lists(r), c.lists) << c.what;
    if (c.properties) {
      EXPECT_EQ(Properties(r), c.properties) << c.what;
    }
    // Blank lines alone (a page's frame) are no partial text.
    EXPECT_EQ(r.Partial, !r.Error.empty() && r.Text.find_first_not_of(" \r\n") != std::string::npos) << c.what;
  }
}

TEST(Extract, PathsAndStreaming) {
  const auto dir = std::filesystem::temp_directory_path() / ("zvword-extract-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string docx = NotesDocx();
  const std::string path = (dir / "notes.bin").string();
  std::ofstream(path, std::ios::binary) << docx;
  const TExtractResult byBytes = Extract(docx, "notes.bin");
  const TExtractResult byPath = Extract(path);
  EXPECT_EQ(byPath.Text, byBytes.Text);
  EXPECT_EQ(Properties(byPath), Properties(byBytes));

  TExtractOptions o;
  std::string streamed;
  o.TextSink = [&](std::string_view line) { streamed += line; };
  const TExtractResult r = Extract(path, o);
  EXPECT_EQ(streamed, byBytes.Text);
  EXPECT_EQ(r.Text, "");

  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zvword
