// The EPUB reader over books built in code: reading order, block lines, metadata, cover, damage.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "builders/EBookBuilder.h"
#include "builders/ZipBuilder.h"
#include "packages/MSWEPub.h"
#include "platform/LocalTime.h"

namespace zvword {
namespace {

using test::EPubBuilder;

std::string Chapter(const std::string& body) { return EPubBuilder::XHTML(body); }

std::string Stamp(TDateTime v) {
  if (v == 0) return "";
  const TSystemTime t = DecodeDateTime(v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  return buf;
}

struct TextCase {
  const char* what;
  std::string book;
  const char* expected;  // the non-empty lines of the body, each ended by "\n"
  TMSTextFormating mode = tfPlainText;
};

TEST(EPub, TextInReadingOrder) {
  std::string deep;
  for (int i = 0; i < 99990; ++i) deep += "<div>";
  deep += "<p>Deep</p>";
  for (int i = 0; i < 99990; ++i) deep += "</div>";
  const TextCase cases[] = {
      {"spine order, not manifest order",
       EPubBuilder().Item("a", "a.xhtml", Chapter("<p>First in manifest</p>"))
           .Item("b", "b.xhtml", Chapter("<p>First in spine</p>")).Spine({"b", "a"}).Build(),
       "First in spine\nFirst in manifest\n"},
      {"no spine: manifest content documents, navigation left out",
       EPubBuilder().Item("nav", "nav.xhtml", Chapter("<nav><ol><li>Contents</li></ol></nav>"), "application/xhtml+xml", "nav")
           .Item("ncx", "toc.ncx", "<ncx><text>Toc</text></ncx>", "application/x-dtbncx+xml")
           .Item("css", "s.css", "p { }", "text/css").Item("a", "a.xhtml", Chapter("<p>Only text</p>")).Build(),
       "Only text\n"},
      {"navigation document only when the spine lists it",
       EPubBuilder().Item("nav", "nav.xhtml", Chapter("<nav><ol><li>Contents</li></ol></nav>"), "application/xhtml+xml", "nav")
           .Item("a", "a.xhtml", Chapter("<p>Body</p>")).Spine({"a"}).Build(),
       "Body\n"},
      {"hrefs percent-decoded and resolved against the package folder",
       EPubBuilder().Item("a", "../Text/a%20b.xhtml#start", "").File("Text/a b.xhtml", Chapter("<p>Found</p>"))
           .Spine({"a"}).Build(),
       "Found\n"},
      {"blocks, inline text in order, line breaks",
       EPubBuilder().Item("a", "a.xhtml", Chapter(
           "<h1>Head <i>line</i></h1><p>Before <b>bold</b> after <a href=\"x.html\">link</a>.</p>"
           "<ul><li>One</li><li>Two<ul><li>Inner</li></ul></li></ul><dl><dt>Term</dt><dd>Meaning</dd></dl>"
           "<blockquote>Quoted</blockquote><div>Loose <p>inner</p> tail</div><p>Up<br/>down</p>"
           "<pre>keep  this\nand that</pre>")).Spine({"a"}).Build(),
       "Head line\nBefore bold after link.\nOne\nTwo\nInner\nTerm\nMeaning\nQuoted\nLoose\ninner\ntail\nUp\ndown\n"
       "keep  this\nand that\n"},
      {"table rows are lines, cells tab-separated",
       EPubBuilder().Item("a", "a.xhtml", Chapter(
           "<table><tr><th>Tool</th><th>Weight</th></tr><tr><td><p>Hammer</p></td><td>450 <b>g</b></td></tr></table>"))
           .Spine({"a"}).Build(),
       "Tool\tWeight\nHammer\t450 g\n"},
      {"scripts, styles and the head are no text; entities decode",
       EPubBuilder().Item("a", "a.xhtml", Chapter(
           "<script>var x = 1;</script><style>p {}</style><p>Caf&eacute; &amp; cr&#232;me &#x2014; &lt;ok&gt;</p>"))
           .Spine({"a"}).Build(),
       "Café & crème — <ok>\n"},
      {"note references set in brackets",
       EPubBuilder().Item("a", "a.xhtml", Chapter(
           "<p>Said.<a href=\"#n1\" epub:type=\"noteref\">1</a> More.</p><aside><p><a href=\"#r1\">1</a>The note.</p></aside>"))
           .Spine({"a"}).Build(),
       "Said.[1] More.\n[1] The note.\n"},
      {"text loose in the body, comments and CDATA between blocks",
       EPubBuilder().Item("a", "a.xhtml", Chapter("Loose<br/>next<!-- c --><p>A</p> between <![CDATA[raw]]><p>B</p> end"))
           .Spine({"a"}).Build(),
       "Loose\nnext\nA\nbetween raw\nB\nend\n"},
      {"cut short in the body",
       EPubBuilder().Item("a", "a.xhtml", "<html><body><p>One</p><p>Two <b>cut").Spine({"a"}).Build(), "One\nTwo cut\n"},
      {"no body, after a declaration",
       EPubBuilder().Item("a", "a.xhtml", "<?xml version=\"1.0\"?><html><p>No body</p></html>").Spine({"a"}).Build(),
       "No body\n"},
      {"tags in capitals",
       EPubBuilder().Item("a", "a.htm", "<HTML><BODY><P>One</P><P>Two</P></BODY></HTML>", "text/html").Spine({"a"}).Build(),
       "One\nTwo\n"},
      {"a spine naming one document 10^4 times reads it once",
       [] {
         std::vector<std::string> spine(10000, "a");
         return EPubBuilder().Item("a", "a.xhtml", Chapter("<p>Once</p>")).Spine(spine).Build();
       }(),
       "Once\n"},
      {"nesting about 100,000 deep", EPubBuilder().Item("a", "a.xhtml", Chapter(deep)).Spine({"a"}).Build(), "Deep\n"},
      {"package at the archive root",
       EPubBuilder().PackagePath("book.opf").Item("a", "a.xhtml", Chapter("<p>Root</p>")).Spine({"a"}).Build(),
       "Root\n"},
      {"no container: the archive's package document",
       EPubBuilder().NoContainer().Item("a", "a.xhtml", Chapter("<p>Still read</p>")).Spine({"a"}).Build(),
       "Still read\n"},
      {"HTML: a paragraph per line, text escaped",
       EPubBuilder().Item("a", "a.xhtml", Chapter("<p>A &amp; B</p><p>x<br/>y</p>")).Spine({"a"}).Build(),
       "<p>A &amp; B</p>\n<p>x<br>y</p>\n", tfHTML},
      {"RTF: paragraph ends", EPubBuilder().Item("a", "a.xhtml", Chapter("<p>{A}</p>")).Spine({"a"}).Build(),
       "\\{A\\}\\par \n", tfRTF},
  };
  for (const auto& c : cases) {
    TZvWEPub doc;
    EXPECT_EQ(test::BodyLines(doc, c.book, c.mode), c.expected) << c.what;
  }
}

TEST(EPub, EachContentDocumentIsReadOnce) {
  std::vector<std::string> spine(10000, "a");
  spine.push_back("b");
  const std::string book = EPubBuilder().Item("a", "a.xhtml", Chapter("<p>A</p>"))
                               .Item("b", "b.xhtml", Chapter("<p>B</p>")).Spine(spine).Build();
  TZvWEPub doc;
  TBytesView stream(book);
  doc.LoadFromStream(stream);
  EXPECT_EQ(doc.ContentDocumentCount(), 2);
  EXPECT_EQ(test::Lines(*doc.Text()), "A\nB\n");
}

struct SummaryCase {
  const char* what;
  std::string metadata;
  const char* title;
  const char* author;
  const char* subject;
  const char* created;  // "" when unset
};

TEST(EPub, SummaryFromMetadata) {
  const SummaryCase cases[] = {
      {"EPUB 3, two creators kept apart",
       "<dc:title>Book</dc:title><dc:creator>Ann Lee</dc:creator><dc:creator>Bo Ray</dc:creator>"
       "<dc:subject>Tools</dc:subject><dc:subject>Wood</dc:subject><dc:date>2024-03-01T12:00:00Z</dc:date>",
       "Book", "Ann Lee; Bo Ray", "Tools; Wood", "2024-03-01 12:00:00"},
      {"EPUB 2 with the opf prefix and a date alone",
       "<dc:title>Old</dc:title><dc:creator opf:role=\"aut\">Cy  Dee</dc:creator><dc:date opf:event=\"publication\">1999-05-04</dc:date>",
       "Old", "Cy  Dee", "", "1999-05-04 00:00:00"},
      {"grouped OEB metadata in capitals, entities", "<dc-metadata><dc:Title>A &amp; B</dc:Title></dc-metadata>",
       "A & B", "", "", ""},
      {"calibre timestamp without a date",
       "<dc:title>T</dc:title><meta name=\"calibre:timestamp\" content=\"2020-01-02T03:04:05\"/>", "T", "", "",
       "2020-01-02 03:04:05"},
  };
  for (const auto& c : cases) {
    const std::string book = EPubBuilder().Metadata(c.metadata).Item("a", "a.xhtml", Chapter("<p>x</p>")).Build();
    TZvWEPub doc;
    TBytesView stream(book);
    doc.LoadFromStream(stream);
    const TZvWordSummaryInformation& s = *doc.SummaryInformation();
    EXPECT_EQ(WideToUtf8(s.Title()), c.title) << c.what;
    EXPECT_EQ(WideToUtf8(s.Author()), c.author) << c.what;
    EXPECT_EQ(WideToUtf8(s.Subject()), c.subject) << c.what;
    EXPECT_EQ(Stamp(s.Created()), c.created) << c.what;
  }
}

struct CoverCase {
  const char* what;
  EPubBuilder book;
  const char* cover;
};

TEST(EPub, CoverImage) {
  const CoverCase cases[] = {
      {"named by meta cover",
       EPubBuilder().Metadata("<meta name=\"cover\" content=\"c\"/>").Item("c", "pics/front.png", "PNGBYTES", "image/png"),
       "PNGBYTES"},
      {"EPUB 3 cover-image property",
       EPubBuilder().Item("c", "front.jpg", "JPEGBYTES", "image/jpeg", "cover-image"), "JPEGBYTES"},
      {"undeclared: images/cover.jpg beside the package", EPubBuilder().File("OEBPS/images/cover.jpg", "USUAL"), "USUAL"},
      {"none", EPubBuilder(), ""},
  };
  for (const auto& c : cases) {
    const std::string bytes = EPubBuilder(c.book).Item("a", "a.xhtml", Chapter("<p>x</p>")).Build();
    TZvWEPub doc;
    TBytesView stream(bytes);
    doc.LoadFromStream(stream);
    EXPECT_EQ(doc.CoverImage()->Bytes(), c.cover) << c.what;
  }
}

TEST(EPub, BadInputEndsInAClearError) {
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"not an archive", std::string(500, 'x'), "no ZIP archive"},
      {"archive without a package", test::ZipBuilder().Add("mimetype", "application/epub+zip", false).Build(),
       "names no package document"},
      {"content document cut short", [] {
         std::string b = EPubBuilder().Item("a", "a.xhtml", Chapter(std::string(5000, 'y'))).Spine({"a"}).Build();
         return b.substr(0, b.size() / 2);
       }(), "truncated"},
  };
  for (const auto& c : cases) {
    TZvWEPub doc;
    const std::string error = test::LoadError(doc, c.bytes);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
}  // namespace zvword
