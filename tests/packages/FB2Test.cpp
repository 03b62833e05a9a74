// The FictionBook reader over books written inline: body text, notes, encodings, summary, damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "builders/EBookBuilder.h"
#include "builders/ZipBuilder.h"
#include "packages/MSWFB2.h"
#include "platform/LocalTime.h"

namespace zvword {
namespace {

std::string Book(const std::string& body, const std::string& description = "",
                 const std::string& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") {
  return declaration + "\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
                       "xmlns:l=\"http://www.w3.org/1999/xlink\"><description>" +
         description + "</description>" + body + "</FictionBook>";
}

// A book whose end is lost.
std::string Cut(const std::string& book) { return book.substr(0, book.rfind("</FictionBook>")); }

std::string Stamp(TDateTime v) {
  if (v == 0) return "";
  const TSystemTime t = DecodeDateTime(v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.Year, t.Month, t.Day);
  return buf;
}

struct TextCase {
  const char* what;
  std::string bytes;
  const char* expected;  // non-empty lines of the body
  TMSTextFormating mode = tfPlainText;
};

TEST(FictionBook, BodyText) {
  const TextCase cases[] = {
      {"title, paragraphs with inline text in order",
       Book("<body><title><p>The Book</p></title><section><title><p>One</p></title>"
            "<p>Plain <emphasis>stressed</emphasis> and <strong>strong</strong> end.</p></section></body>"),
       "The Book\nOne\nPlain stressed and strong end.\n"},
      {"poems, subtitles, epigraphs, citations and text authors",
       Book("<body><section><epigraph><p>Motto</p><text-author>Sage</text-author></epigraph><subtitle>Sub</subtitle>"
            "<poem><title><p>Ode</p></title><stanza><v>Line one</v><v>Line two</v></stanza></poem>"
            "<cite><p>Quoted</p><text-author>Someone</text-author></cite></section></body>"),
       "Motto\nSage\nSub\nOde\nLine one\nLine two\nQuoted\nSomeone\n"},
      {"notes body after the main text, description and binaries left out",
       Book("<body><section><p>Main<a l:href=\"#n1\" type=\"note\">[1]</a> text.</p></section></body>"
            "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>The note.</p></section></body>"
            "<binary id=\"i\" content-type=\"image/png\">iVBORw0KGgoAAAANSUhEUgAA</binary>",
            "<title-info><book-title>Not body</book-title></title-info>"),
       "Main[1] text.\n1\nThe note.\n"},
      {"table cells on one line", Book("<body><table><tr><th>A</th><th>B</th></tr><tr><td>1</td><td>2</td></tr></table></body>"),
       "A\tB\n1\t2\n"},
      {"windows-1251", Book("<body><p>\xCF\xF0\xE8\xE2\xE5\xF2</p></body>", "", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>"),
       "Привет\n"},
      {"koi8-r", Book("<body><p>\xF0\xD2\xC9\xD7\xC5\xD4</p></body>", "", "<?xml version=\"1.0\" encoding=\"koi8-r\"?>"),
       "Привет\n"},
      {"zipped alone", test::ZipBuilder().Add("book.fb2", Book("<body><p>Zipped</p></body>")).Build(), "Zipped\n"},
      {"HTML escapes and marks lines", Book("<body><p>A &amp; B</p><empty-line/><p>C</p></body>"),
       "<p>A &amp; B</p>\n<p>C</p>\n", tfHTML},
      {"text loose in a section, comments and CDATA between blocks",
       Book("<body><section>Loose<!-- c --><p>A</p> between <![CDATA[raw]]><p>B<emphasis>c</emphasis>d</p> end</section></body>"),
       "Loose\nA\nbetween raw\nBcd\nend\n"},
      {"cut short", Cut(Book("<body><section><p>One</p><p>Two <emphasis>cut")), "One\nTwo cut\n"},
  };
  for (const auto& c : cases) {
    TFictionBook doc;
    EXPECT_EQ(test::BodyLines(doc, c.bytes, c.mode), c.expected) << c.what;
  }
}

TEST(FictionBook, EmptyLinesAndSectionEnds) {
  TFictionBook doc;
  doc.SetOnConvertSysChar([](TMSWBaseDocument*, TZvWordSysChar kind, WideString, WideString& result) {
    if (kind == scParagraphEnd) result = u"--";
  });
  const std::string bytes = Book("<body><section><p>A</p><empty-line/><p>B</p></section></body>");
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  std::string all;
  for (int i = 0; i < doc.Text()->Count(); ++i) all += WideToUtf8(doc.Text()->Item(i)) + "|";
  EXPECT_EQ(all, "|A||B|--||");
}

struct SummaryCase {
  const char* what;
  std::string description;
  const char* title;
  const char* author;
  const char* category;
  const char* created;
};

TEST(FictionBook, SummaryFromDescription) {
  const SummaryCase cases[] = {
      {"full name, two authors, two genres, date value",
       "<title-info><genre>prose</genre><genre>sf</genre><author><first-name>Lev</first-name><middle-name>N.</middle-name>"
       "<last-name>Tolstoy</last-name></author><author><nickname>Anon</nickname></author><book-title>War</book-title>"
       "<date value=\"1869-01-01\">1869</date></title-info>",
       "War", "Lev N. Tolstoy; Anon", "prose; sf", "1869-01-01"},
      {"last name only, date as text", "<title-info><author><last-name>Gogol</last-name></author><date>1842</date></title-info>",
       "", "Gogol", "", "1842-01-01"},
      {"no title-info", "<document-info><author><nickname>Maker</nickname></author></document-info>", "", "", "", ""},
  };
  for (const auto& c : cases) {
    TFictionBook doc;
    const std::string bytes = Book("<body><p>x</p></body>", c.description);
    TBytesView stream(bytes);
    doc.LoadFromStream(stream);
    const TZvWordSummaryInformation& s = *doc.SummaryInformation();
    EXPECT_EQ(WideToUtf8(s.Title()), c.title) << c.what;
    EXPECT_EQ(WideToUtf8(s.Author()), c.author) << c.what;
    EXPECT_EQ(WideToUtf8(s.Category()), c.category) << c.what;
    EXPECT_EQ(Stamp(s.Created()), c.created) << c.what;
  }
}

// The body is read as it is parsed and holds only its latest elements; the description, kept
// whole for the summary, counts in full.
TEST(FictionBook, BodyIsReadAsItIsParsed) {
  std::string paragraphs, authors;
  for (int i = 0; i < 3000; ++i) paragraphs += "<p>line</p>";
  for (int i = 0; i < 3000; ++i) authors += "<author><nickname>n</nickname></author>";
  const std::string title = "<title-info><book-title>T</book-title></title-info>";
  const struct {
    const char* what;
    std::string bytes;
    size_t lines;
    const char* title;
    const char* error;
  } cases[] = {
      {"3,000 paragraphs", Book("<body>" + paragraphs + "</body>", title), 3000, "T", ""},
      {"a description of 6,000 elements", Book("<body><p>x</p></body>", "<title-info>" + authors + "</title-info>"), 0,
       "", "Document exceeds the limit of 1000 XML elements held at once"},
      {"cut short in the description", Cut(Book("", "<title-info><book-title>Cut</book-title><author>")), 0, "Cut", ""},
  };
  TResourceLimits limits;
  limits.MaxHeldElements = 1000;
  for (const auto& c : cases) {
    TFictionBook doc;
    doc.SetResourceLimits(limits);
    const std::string error = test::LoadError(doc, c.bytes);
    EXPECT_EQ(error, c.error) << c.what;
    const std::string text = test::Lines(*doc.Text());
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), c.lines) << c.what;
    EXPECT_EQ(WideToUtf8(doc.SummaryInformation()->Title()), c.title) << c.what;
  }
}

TEST(FictionBook, BadInputEndsInAClearError) {
  std::string deep = "<body>";
  for (int i = 0; i < 200000; ++i) deep += "<section>";
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"not a FictionBook", "<html><body><p>x</p></body></html>", "no FictionBook element"},
      {"archive without a book", test::ZipBuilder().Add("a.txt", "x").Build(), "no FictionBook (.fb2) file"},
      {"nesting beyond the limit", Book(deep), "nested too deeply"},
  };
  for (const auto& c : cases) {
    TFictionBook doc;
    const std::string error = test::LoadError(doc, c.bytes);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
}  // namespace zvword
