// The OpenDocument readers over packages built in code.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "builders/OdfBuilder.h"
#include "builders/ZipBuilder.h"
#include "packages/MSWOO.h"

using namespace zvword;
using zvword::test::OdfBuilder;

namespace {

std::string Joined(const TWideStrings& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += WideToUtf8(list.Get(i)) + "\n";
  return out;
}

std::unique_ptr<TCustomOpenOfficeDocument> ReaderFor(const std::string& kind) {
  if (kind == "spreadsheet") return std::make_unique<TOpenOfficeSpreadsheet>();
  if (kind == "presentation") return std::make_unique<TOpenOfficePresentation>();
  return std::make_unique<TOpenOfficeTextDocument>();
}

struct Loaded {
  std::unique_ptr<TCustomOpenOfficeDocument> doc;
  std::string error;
  Loaded(const std::string& package, const std::string& kind = "text", TMSTextFormating mode = tfPlainText,
         int32_t maxLength = 0)
      : doc(ReaderFor(kind)) {
    doc->SetTextFormating(mode);
    doc->SetMaxTextLength(maxLength);
    TBytesView stream(package);
    try {
      doc->LoadFromStream(stream);
    } catch (const Exception& e) {
      error = e.what();
    }
  }
  // The lines the body made: no frame, no style block.
  std::string Body() const {
    std::string out;
    const TWideStrings& t = *doc->Text();
    const bool framed = doc->TextFormating() != tfPlainText;
    bool inStyle = false;
    for (int i = framed ? 1 : 0; i < t.Count() - (framed ? 1 : 0); ++i) {
      const std::string line = WideToUtf8(t.Get(i));
      if (line == "<style type=\"text/css\">") inStyle = true;
      if (!inStyle) out += line + "\n";
      if (line == "</style>") inStyle = false;
    }
    return out;
  }
};

std::string Span(const std::string& inner) { return "<text:span text:style-name=\"T1\">" + inner + "</text:span>"; }
std::string Cell(const std::string& inner, const std::string& attrs = "") {
  return "<table:table-cell" + attrs + ">" + inner + "</table:table-cell>";
}
std::string Row(const std::string& cells, const std::string& attrs = "") {
  return "<table:table-row" + attrs + ">" + cells + "</table:table-row>";
}
std::string Table(const std::string& rows) {
  return "<table:table table:name=\"S\"><table:table-column table:number-columns-repeated=\"3\"/>" + rows +
         "</table:table>";
}

std::string List(const std::string& items, const std::string& attrs = "") {
  return "<text:list" + attrs + ">" + items + "</text:list>";
}
std::string Item(const std::string& inner, const std::string& attrs = "") {
  return "<text:list-item" + attrs + ">" + inner + "</text:list-item>";
}
const char* kListStyles =
    "<text:list-style style:name=\"L1\"><text:list-level-style-number text:level=\"1\" style:num-suffix=\".\" "
    "style:num-format=\"1\"/><text:list-level-style-number text:level=\"2\" style:num-prefix=\"(\" "
    "style:num-suffix=\")\" style:num-format=\"a\" text:display-levels=\"2\"/><text:list-level-style-number "
    "text:level=\"3\" style:num-format=\"i\" text:start-value=\"4\"/></text:list-style>"
    "<text:list-style style:name=\"L2\"><text:list-level-style-bullet text:level=\"1\" text:bullet-char=\"\xE2\x80\xA2\"/>"
    "</text:list-style><text:list-style style:name=\"L3\"><text:list-level-style-number text:level=\"1\" "
    "style:num-format=\"A\" text:start-value=\"26\"/><text:list-level-style-number text:level=\"2\" "
    "style:num-format=\"I\" text:start-value=\"1994\"/></text:list-style>";

struct BodyCase {
  const char* what;
  const char* kind;
  std::string body;
  TMSTextFormating mode;
  std::string expected;
};

TEST(OpenDocument, BodyText) {
  const auto P = [](const std::string& inner) { return OdfBuilder::P(inner); };
  const std::string note = "<text:note text:note-class=\"footnote\"><text:note-citation>1</text:note-citation>"
                           "<text:note-body>" + OdfBuilder::P("the note") + "</text:note-body></text:note>";
  const std::string frame = "<draw:frame draw:name=\"Image1\"><draw:image xlink:href=\"Pictures/a.png\"/>"
                            "<svg:title>A title</svg:title><svg:desc>A long description</svg:desc></draw:frame>";
  const BodyCase cases[] = {
      {"paragraphs and headings", "text", OdfBuilder::P("one") + "<text:h text:outline-level=\"1\">Two</text:h>",
       tfPlainText, "one\nTwo\n"},
      {"text after spans, spaces, tabs and breaks stays in its paragraph", "text",
       OdfBuilder::P("a " + Span("b") + " c<text:s/>d<text:s text:c=\"3\"/>e<text:tab/>f<text:line-break/>g"
                     "<text:a xlink:href=\"http://x\">link</text:a> end"),
       tfPlainText, "a b c d   e\tf\r\ng" "link end\n"},
      {"white space collapses; none at the ends", "text", OdfBuilder::P("\n   lead \n\t  and   trail  "), tfPlainText,
       "lead and trail\n"},
      {"a space between two spans", "text", OdfBuilder::P(Span("a") + " " + Span("b") + "<text:s/>" + Span("c")),
       tfPlainText, "a b c\n"},
      {"entities", "text", OdfBuilder::P("Fish &amp; chips &lt;3 &#x263A;"), tfPlainText, "Fish & chips <3 \xE2\x98\xBA\n"},
      {"empty paragraph", "text", "<text:p/>" + OdfBuilder::P("x"), tfPlainText, "\nx\n"},
      {"a note follows its paragraph; its citation stays inline", "text", OdfBuilder::P("before" + note + " after"),
       tfPlainText, "before1 after\nthe note\n"},
      {"text box inside a paragraph", "text",
       OdfBuilder::P("outer <draw:frame><draw:text-box>" + OdfBuilder::P("boxed") + "</draw:text-box></draw:frame>tail"),
       tfPlainText, "outer tail\nboxed\n"},
      {"lists", "text", "<text:list><text:list-item>" + OdfBuilder::P("i1") + "<text:list><text:list-item>" +
                            OdfBuilder::P("i2") + "</text:list-item></text:list></text:list-item></text:list>",
       tfPlainText, "i1\ni2\n"},
      {"not text: tracked deletions, declarations, index templates, descriptions", "text",
       "<text:tracked-changes><text:changed-region><text:deletion>" + OdfBuilder::P("gone") +
           "</text:deletion></text:changed-region></text:tracked-changes><text:sequence-decls>"
           "<text:sequence-decl text:name=\"Table\"/></text:sequence-decls><text:table-of-content>"
           "<text:table-of-content-source><text:index-title-template>Template</text:index-title-template>"
           "</text:table-of-content-source><text:index-body>" + OdfBuilder::P("Entry") +
           "</text:index-body></text:table-of-content>" + OdfBuilder::P(frame + "pic"),
       tfPlainText, "Entry\npic\nA title\n"},
      {"numbered lists: nested levels, display levels, start values", "text",
       List(Item(P("a") + List(Item(P("x")) + Item(P("y") + List(Item(P("r")))))) + Item(P("b") + List(Item(P("z")))),
            " text:style-name=\"L1\""),
       tfPlainText, "1. a\n(1.a) x\n(1.b) y\niv r\n2. b\n(2.a) z\n"},
      {"bullets; a list continues only when it says so", "text",
       List(Item(P("dot")), " text:style-name=\"L2\"") + List(Item(P("one")), " text:style-name=\"L1\"") + P("break") +
           List(Item(P("two")), " text:style-name=\"L1\" text:continue-numbering=\"true\"") +
           List(Item(P("again")), " text:style-name=\"L1\" xml:id=\"l9\"") + P("x") +
           List(Item(P("on")), " text:style-name=\"L1\" text:continue-list=\"l9\""),
       tfPlainText, "\xE2\x80\xA2 dot\n1. one\nbreak\n2. two\n1. again\nx\n2. on\n"},
      {"letters past Z, roman numbers, an item's own start, a header and a wrapper without labels", "text",
       List(Item(P("z")) + Item(P("aa") + List(Item(P("r")))) + Item(P("seven"), " text:start-value=\"7\"") +
                "<text:list-header>" + P("head") + "</text:list-header>" + Item(List(Item(P("deep")))),
            " text:style-name=\"L3\""),
       tfPlainText, "Z z\nAA aa\nMCMXCIV r\nG seven\nhead\nMCMXCIV deep\n"},
      {"a list without a style has no labels", "text", List(Item(P("bare"))), tfPlainText, "bare\n"},
      {"html headings by outline level", "text",
       "<text:h text:outline-level=\"2\" text:style-name=\"P1\">T &amp; U</text:h><text:h text:outline-level=\"9\">"
       "Deep</text:h><text:h>None</text:h>",
       tfHTML, "<h2 class=\"P1\">T &amp; U</h2>\n<h6>Deep</h6>\n<h1>None</h1>\n"},
      {"rtf headings bold and larger", "text", "<text:h text:outline-level=\"1\">T</text:h>" + P("p"), tfRTF,
       "{\\b\\fs32 T}\\par \np\\par \n"},
      {"html list with labels", "text", List(Item(P("i")), " text:style-name=\"L1\""), tfHTML,
       "<ul style=\"list-style-type: none\">\n  <li>\n<p>1. i</p>\n  </li>\n</ul>\n"},
      {"table rows are lines of cells", "text",
       Table(Row(Cell(OdfBuilder::P("a") + OdfBuilder::P("b")) + Cell("") + Cell(OdfBuilder::P("c")))),
       tfPlainText, "a b\t\tc\n"},
      {"repeated cells and rows; empty tails dropped", "spreadsheet",
       Table(Row(Cell(OdfBuilder::P("x"), " table:number-columns-repeated=\"2\"") +
                 Cell("", " table:number-columns-repeated=\"16380\""), " table:number-rows-repeated=\"2\"") +
             Row(Cell("", " table:number-columns-repeated=\"1024\""), " table:number-rows-repeated=\"1048000\"")),
       tfPlainText, "x\tx\nx\tx\n"},
      {"a hostile repeat count is capped", "spreadsheet",
       Table(Row(Cell("", " table:number-columns-repeated=\"999999999999\"") + Cell(OdfBuilder::P("z")))),
       tfPlainText, std::string(1024, '\t') + "z\n"},
      {"presentation pages end in a blank line", "presentation",
       "<draw:page draw:name=\"p1\"><draw:frame><draw:text-box>" + OdfBuilder::P("Slide one") +
           "</draw:text-box></draw:frame><presentation:notes><draw:frame><draw:text-box>" + OdfBuilder::P("spoken") +
           "</draw:text-box></draw:frame></presentation:notes></draw:page><draw:page/>",
       tfPlainText, "Slide one\nspoken\n\n\n"},
      {"html paragraph with and without style", "text", OdfBuilder::P("a &amp; b", "P1") + OdfBuilder::P("c"), tfHTML,
       "<p class=\"P1\">a &amp; b</p>\n<p>c</p>\n"},
      {"html table and list", "text",
       Table(Row(Cell(OdfBuilder::P("a")) + Cell(OdfBuilder::P("b")))) + "<text:list><text:list-item>" +
           OdfBuilder::P("i") + "</text:list-item></text:list>",
       tfHTML, "<table border=\"1\">\n<tr><td>a</td><td>b</td></tr>\n</table>\n<ul>\n  <li>\n<p>i</p>\n  </li>\n</ul>\n"},
      {"html picture", "text", OdfBuilder::P("<draw:frame><draw:image xlink:href=\"Pictures/a&amp;b.png\"/></draw:frame>"),
       tfHTML, "<p></p>\n<img src=\"Pictures/a&amp;b.png\"><br>\n"},
      {"rtf", "text", OdfBuilder::P("{x}<text:tab/>caf\xC3\xA9") + Table(Row(Cell(OdfBuilder::P("a")) + Cell(OdfBuilder::P("b")))),
       tfRTF, "\\{x\\}\\tab caf\\u233\\'e9\\par \na\\tab b\\par \n"},
  };
  for (const auto& c : cases) {
    Loaded l(OdfBuilder(c.kind).AutomaticStyles(kListStyles).Body(c.body).Build(), c.kind, c.mode);
    EXPECT_EQ(l.error, "") << c.what;
    EXPECT_EQ(l.Body(), c.expected) << c.what;
  }
}

TEST(OpenDocument, CommentsHeadersAndFootersGoToTheirLists) {
  const std::string body = OdfBuilder::P("Body <office:annotation><dc:creator>Ann</dc:creator>" + OdfBuilder::P("A remark") +
                                         "</office:annotation>text");
  Loaded l(OdfBuilder()
               .Body(body)
               .MasterStyles("<style:master-page style:name=\"Standard\"><style:header>" + OdfBuilder::P("Head") +
                             "</style:header><style:footer-left>" + OdfBuilder::P("Foot") +
                             "</style:footer-left></style:master-page>")
               .Build());
  EXPECT_EQ(Joined(*l.doc->Text()), "Body text\n");
  EXPECT_EQ(Joined(*l.doc->AnnotationText()), "A remark\n");
  EXPECT_EQ(Joined(*l.doc->HeaderText()), "Head\n");
  EXPECT_EQ(Joined(*l.doc->FooterText()), "Foot\n");

  const std::string frame = "<draw:frame presentation:class=\"%s\"><draw:text-box>" + OdfBuilder::P("%s") +
                            "</draw:text-box></draw:frame>";
  auto placeholder = [&](const std::string& cls, const std::string& text) {
    std::string f = frame;
    f.replace(f.find("%s"), 2, cls);
    f.replace(f.find("%s"), 2, text);
    return f;
  };
  Loaded slides(OdfBuilder("presentation")
                    .MasterStyles("<style:master-page style:name=\"Default\">" + placeholder("title", "Master title") +
                                  placeholder("footer", "Slide foot") + placeholder("page-number", "&lt;number&gt;") +
                                  "</style:master-page>")
                    .Build(),
                "presentation");
  EXPECT_EQ(Joined(*slides.doc->FooterText()), "Slide foot\n");
  EXPECT_EQ(Joined(*slides.doc->HeaderText()), "");
}

TEST(OpenDocument, AutomaticStylesMakeStyleObjectsAndCss) {
  const std::string styles =
      "<style:style style:name=\"P1\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\"end\"/>"
      "<style:text-properties fo:font-weight=\"bold\" fo:color=\"#FF0000\" fo:font-size=\"14pt\" "
      "style:font-name=\"Liberation Serif\" fo:background-color=\"#00ff00\"/></style:style>"
      "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties fo:font-style=\"italic\" "
      "style:text-underline-style=\"solid\" fo:font-size=\"big\"/></style:style>"
      "<style:style style:name=\"fr1\" style:family=\"graphic\"><style:graphic-properties "
      "fo:clip=\"rect(1cm, 2cm, 30mm, 4in)\"/></style:style>"
      "<text:list-style style:name=\"L1\"/><style:style style:name=\"ta1\" style:family=\"table\"/>";
  Loaded html(OdfBuilder().AutomaticStyles(styles).Body(OdfBuilder::P("x", "P1")).Build(), "text", tfHTML);
  ASSERT_EQ(html.error, "");
  const TOOStyles& s = html.doc->Styles();
  ASSERT_EQ(s.Count(), 5);
  const auto* p1 = dynamic_cast<const TOOStyleText*>(s.FindByStyleName(u"P1"));
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(p1->Alignment, 1);
  EXPECT_EQ(p1->TextFont.Color, 0x0000FFu);
  EXPECT_EQ(p1->Color, 0x00FF00u);
  EXPECT_EQ(p1->TextFont.Size, 14);
  const auto* t1 = dynamic_cast<const TOOStyleText*>(s.GetStyle(1));
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->TextFont.Style, fsItalic | fsUnderline);
  EXPECT_EQ(t1->TextFont.Size, 12);  // no number: the default stays
  const auto* fr1 = dynamic_cast<const TOOStyleGraphic*>(s.FindByStyleName(u"fr1"));
  ASSERT_NE(fr1, nullptr);
  EXPECT_EQ(fr1->ClipRect.Left, 1);
  EXPECT_EQ(fr1->ClipRect.Right, 31);
  EXPECT_EQ(fr1->ClipRect.Bottom, 6);
  EXPECT_NE(dynamic_cast<const TOOStyleNumList*>(s.FindByStyleName(u"L1")), nullptr);
  EXPECT_EQ(s.GetStyle(5), nullptr);
  EXPECT_EQ(s.FindByStyleName(u"p1"), nullptr);

  const std::string all = Joined(*html.doc->Text());
  const std::string css = ".P1 { font-family: Liberation Serif;\r\nfont-size: 14pt;color: #ff0000;\r\n"
                          "background: #00ff00;\r\ntext-align: right;\r\nfont-weight: bold;}";
  EXPECT_NE(all.find("<style type=\"text/css\">\n" + css + "\n.T1 {"), std::string::npos) << all;
  EXPECT_NE(all.find("font-style: italic;\r\ntext-decoration: underline;}\n</style>\n<p class=\"P1\">x</p>"),
            std::string::npos) << all;
}

TEST(OpenDocument, NamedStylesAndNumberedHeadings) {
  const std::string named =
      "<style:default-style style:family=\"paragraph\"/><style:style style:name=\"Heading\" style:family=\"paragraph\">"
      "<style:text-properties fo:font-weight=\"700\" fo:font-size=\"16pt\"/></style:style>"
      "<style:style style:name=\"Heading_20_1\" style:parent-style-name=\"Heading\" style:family=\"paragraph\">"
      "<style:text-properties fo:font-style=\"italic\" fo:font-size=\"0.25in\"/></style:style><text:outline-style style:name=\"Outline\">"
      "<text:outline-level-style text:level=\"1\" style:num-suffix=\".\" style:num-format=\"1\"/>"
      "<text:outline-level-style text:level=\"2\" style:num-format=\"1\" text:display-levels=\"2\"/></text:outline-style>";
  const std::string automatic = "<style:style style:name=\"P1\" style:family=\"paragraph\" style:parent-style-name="
                                "\"Heading_20_1\"><style:text-properties fo:font-weight=\"normal\" fo:font-size=\"150%\"/></style:style>";
  const std::string body = "<text:h text:outline-level=\"1\" text:style-name=\"Heading_20_1\">Intro</text:h>"
                           "<text:h text:outline-level=\"2\" text:style-name=\"P1\">Part</text:h>"
                           "<text:h text:outline-level=\"1\" text:is-list-header=\"true\">Unnumbered</text:h>"
                           "<text:h text:outline-level=\"1\"><text:number>7.</text:number>Own</text:h>"
                           "<text:h text:outline-level=\"1\">Next</text:h>";
  const OdfBuilder doc = OdfBuilder().Styles(named).AutomaticStyles(automatic).Body(body);
  Loaded plain(doc.Build());
  EXPECT_EQ(plain.Body(), "1. Intro\n1.1 Part\nUnnumbered\n7. Own\n2. Next\n");
  Loaded html(doc.Build(), "text", tfHTML);
  const auto* p1 = dynamic_cast<const TOOStyleText*>(html.doc->Styles().FindByStyleName(u"P1"));
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(p1->TextFont.Style, fsItalic);  // bold from its grandparent, turned off by itself
  EXPECT_EQ(p1->TextFont.Size, 27);  // half as large again as its parent's quarter inch
  const std::string all = Joined(*html.doc->Text());
  EXPECT_NE(all.find(".Heading_20_1 {\r\nfont-size: 18pt;"), std::string::npos) << all;
  EXPECT_NE(all.find("font-weight: bold;\r\nfont-style: italic;}"), std::string::npos) << all;
  EXPECT_NE(all.find("<h1 class=\"Heading_20_1\">1. Intro</h1>"), std::string::npos) << all;
}

TEST(OpenDocument, SummaryFromMeta) {
  Loaded l(OdfBuilder()
               .Body(OdfBuilder::P("x"))
               .Meta("<meta:generator>Writer/7</meta:generator><dc:title>A &amp; B</dc:title><dc:subject>S</dc:subject>"
                     "<meta:initial-creator>Ann</meta:initial-creator><meta:keyword>k1</meta:keyword>"
                     "<meta:keyword>k2</meta:keyword><dc:description>D</dc:description><dc:creator>Bob</dc:creator>"
                     "<meta:template xlink:title=\"Letter\" xlink:href=\"letter.ott\"/>"
                     "<meta:creation-date>1900-01-01T12:00:00</meta:creation-date><dc:date>2024-02-29T06:00:00</dc:date>"
                     "<meta:editing-duration>PT1H30M</meta:editing-duration>"
                     "<meta:document-statistic meta:page-count=\"2\" meta:word-count=\"345\" meta:character-count=\"1000\" "
                     "meta:paragraph-count=\"7\" meta:non-whitespace-character-count=\"900\"/>")
               .Build());
  const auto& s = *l.doc->SummaryInformation();
  EXPECT_EQ(WideToUtf8(s.AppName()), "Writer/7");
  EXPECT_EQ(WideToUtf8(s.Title()), "A & B");
  EXPECT_EQ(WideToUtf8(s.Subject()), "S");
  EXPECT_EQ(WideToUtf8(s.Author()), "Ann");
  EXPECT_EQ(WideToUtf8(s.Keywords()), "k1");
  EXPECT_EQ(WideToUtf8(s.Comments()), "D");
  EXPECT_EQ(WideToUtf8(s.LastAuthor()), "Bob");
  EXPECT_EQ(WideToUtf8(s.Template()), "Letter letter.ott");
  EXPECT_DOUBLE_EQ(s.Created(), 2.5);
  EXPECT_DOUBLE_EQ(s.LastSaved(), 45351.25);
  EXPECT_EQ(s.EditTime(), 90);
  EXPECT_EQ(s.PageCount(), 2);
  EXPECT_EQ(s.WordCount(), 345);
  EXPECT_EQ(s.CharCount(), 1000);
  EXPECT_EQ(s.ParagraphCount(), 7);
  EXPECT_EQ(s.CharCount2(), 900);
}

TEST(OpenDocument, Durations) {
  const std::pair<const char*, int64_t> cases[] = {
      {"PT1H30M", 5400}, {"PT12.5S", 125}, {"PT2M", 120}, {"P1DT2H", 0}, {"", 0}, {"1H", 0}};
  for (const auto& [text, seconds] : cases) EXPECT_EQ(OODurationSeconds(Utf8ToWide(text)), seconds) << text;
  // An absurd number of hours stays a number.
  EXPECT_GT(OODurationSeconds(u"PT99999999999999999999H"), 0);
}

TEST(OpenDocument, DetectionByMediaType) {
  const struct {
    const char* what;
    std::string bytes;
    bool text, sheet, slides;
  } cases[] = {
      {"text", OdfBuilder().Build(), true, false, false},
      {"spreadsheet", OdfBuilder("spreadsheet").Build(), false, true, false},
      {"presentation", OdfBuilder("presentation").Build(), false, false, true},
      {"media type not first", OdfBuilder("spreadsheet").MimetypeLast().Build(), false, true, false},
      {"no media type", OdfBuilder().WithoutMimetype().Build(), false, false, false},
      {"media type sized after its data",
       test::ZipBuilder().Add("mimetype", "application/vnd.oasis.opendocument.presentation", false, true)
           .Add("content.xml", "<x/>").Build(), false, false, true},
      {"other package", test::ZipBuilder().Add("mimetype", "application/epub+zip", false).Build(), false, false, false},
      {"not a ZIP", "mimetypeapplication/vnd.oasis.opendocument.text", false, false, false},
      {"flat text", OdfBuilder().Flat(), true, false, false},
      {"flat spreadsheet without a media type", OdfBuilder("spreadsheet").Flat(false), false, true, false},
      {"a lone content part", "\xEF\xBB\xBF<!-- c --><office:document-content><office:body><office:presentation/>",
       false, false, true},
      {"other XML", "<?xml version=\"1.0\"?><office:documentation office:mimetype=\"application/vnd.oasis.opendocument.text\">",
       false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TCustomOpenOfficeDocument::IsTextData(c.bytes), c.text) << c.what;
    EXPECT_EQ(TCustomOpenOfficeDocument::IsSpreadsheetData(c.bytes), c.sheet) << c.what;
    EXPECT_EQ(TCustomOpenOfficeDocument::IsPresentationData(c.bytes), c.slides) << c.what;
  }
}

TEST(OpenDocument, FlatDocumentsReadLikePackages) {
  const OdfBuilder doc = OdfBuilder()
                             .Meta("<dc:title>Flat</dc:title>")
                             // A paragraph style may share a list style's name.
                             .Styles("<style:style style:name=\"L2\" style:family=\"paragraph\"/>" +
                                     std::string(kListStyles))
                             .MasterStyles("<style:master-page style:name=\"S\"><style:header>" + OdfBuilder::P("Head") +
                                           "</style:header></style:master-page>")
                             .Body(List(Item(OdfBuilder::P("x")), " text:style-name=\"L2\""));
  for (const bool flat : {false, true}) {
    Loaded l(flat ? doc.Flat() : doc.Build());
    EXPECT_EQ(l.error, "") << flat;
    EXPECT_EQ(l.Body(), "\xE2\x80\xA2 x\n") << flat;
    EXPECT_EQ(Joined(*l.doc->HeaderText()), "Head\n") << flat;
    EXPECT_EQ(WideToUtf8(l.doc->SummaryInformation()->Title()), "Flat") << flat;
  }
  // A content part on its own reads too.
  Loaded part(OdfBuilder().Body(OdfBuilder::P("alone")).Content());
  EXPECT_EQ(part.error, "");
  EXPECT_EQ(part.Body(), "alone\n");
  // One cut inside its body keeps the elements still open, after those it finished.
  const std::string content =
      OdfBuilder()
          .AutomaticStyles(kListStyles)
          .Body(List(Item(OdfBuilder::P("a")), " text:style-name=\"L1\"") +
                List(Item(OdfBuilder::P("b") + OdfBuilder::P("cut")), " text:style-name=\"L1\" text:continue-numbering=\"true\""))
          .Content();
  Loaded cut(content.substr(0, content.find("cut") + 3));
  EXPECT_EQ(cut.error, "");
  EXPECT_EQ(cut.Body(), "1. a\n2. b\ncut\n");
  // A section and a table are read a child at a time as well: numbering goes on across the
  // section's children, and a table cut short is opened once and closed.
  const std::string held =
      OdfBuilder()
          .AutomaticStyles(kListStyles)
          .Body("<text:section>" + List(Item(OdfBuilder::P("a")), " text:style-name=\"L1\"") + OdfBuilder::P("mid") +
                List(Item(OdfBuilder::P("b")), " text:style-name=\"L1\" text:continue-numbering=\"true\"") +
                "</text:section>" + Table(Row(Cell(OdfBuilder::P("r1"))) + Row(Cell(OdfBuilder::P("r2 cut")))))
          .Content();
  for (const bool whole : {true, false}) {
    const std::string bytes = whole ? held : held.substr(0, held.find("cut") + 3);
    EXPECT_EQ(Loaded(bytes).Body(), "1. a\nmid\n2. b\nr1\nr2 cut\n") << whole;
    const std::string html = Loaded(bytes, "text", tfHTML).Body();
    EXPECT_EQ(html.find("<table"), html.rfind("<table")) << html;
    EXPECT_NE(html.find("</table>"), std::string::npos) << html;
  }
}

TEST(OpenDocument, BadPackagesEndInClearErrors) {
  const std::string good = OdfBuilder().Body(OdfBuilder::P("x")).Build();
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"not a ZIP", "plain text, not a package", "not an OpenDocument package"},
      {"no content.xml", test::ZipBuilder().Add("mimetype", "application/vnd.oasis.opendocument.text", false).Build(),
       "no content.xml"},
      {"encrypted", OdfBuilder().Body(OdfBuilder::P("x")).Encrypted().Build(), "encrypted"},
      {"cut short", good.substr(0, good.size() / 2), ""},
      {"empty", "", "not an OpenDocument package"},
  };
  for (const auto& c : cases) {
    Loaded l(c.bytes);
    if (*c.error) {
      EXPECT_NE(l.error.find(c.error), std::string::npos) << c.what << ": " << l.error;
    }
  }
}

TEST(OpenDocument, DeepNestingAndTheLengthLimit) {
  // Nesting far deeper than any document must not exhaust the call stack.
  std::string deep;
  for (int i = 0; i < 99990; ++i) deep += "<text:span>";
  deep += "deep";
  Loaded nested(OdfBuilder().Body(OdfBuilder::P(deep)).Build());
  EXPECT_EQ(nested.error, "");
  EXPECT_EQ(Joined(*nested.doc->Text()), "deep\n");

  std::string many;
  for (int i = 0; i < 1000; ++i) many += OdfBuilder::P("paragraph " + std::to_string(i));
  Loaded cut(OdfBuilder().Body(many).Build(), "text", tfPlainText, 50);
  EXPECT_EQ(cut.error, "");
  // The text ends at the limit, the line end after it aside.
  EXPECT_EQ(WideToUtf8(cut.doc->Text()->Text()).substr(0, 50), "paragraph 0\r\nparagraph 1\r\nparagraph 2\r\nparagraph 3");
  EXPECT_LE(cut.doc->Text()->TextLength(), 52);
  EXPECT_TRUE(cut.doc->IsCancelExtract);
}

TEST(OpenDocument, HostSeesPagesAndPictures) {
  TOpenOfficePresentation doc;
  std::vector<TZvWordSysChar> seen;
  doc.SetOnConvertSysChar([&](TMSWBaseDocument*, TZvWordSysChar kind, WideString, WideString& result) {
    seen.push_back(kind);
    if (kind == scEndOfPage) result = u"----";
  });
  const std::string bytes = OdfBuilder("presentation")
                                .Body("<draw:page>" + OdfBuilder::P("s") + "<draw:frame><draw:image xlink:href=\"p.png\"/>"
                                      "</draw:frame></draw:page>")
                                .Build();
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  EXPECT_EQ(Joined(*doc.Text()), "s\np.png\n----\n");
  EXPECT_EQ(seen, (std::vector<TZvWordSysChar>{scIncludePicture, scEndOfPage}));
}

}  // namespace

namespace {
std::string Sample(const std::string& name) { return std::string(ZVWORD_SOURCE_DIR) + "/samples/" + name; }

std::string ReadSample(const std::string& name) {
  std::ifstream in(Sample(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Written by LibreOffice (tools/samples/make_odf_samples.sh): every line of its own text export,
// labels included, is ours too; its indentation and its choice of bullet glyph aside.
TEST(OpenDocument, LibreOfficeSamples) {
  TOpenOfficeTextDocument doc;
  doc.LoadFromFile(Utf8ToWide(Sample("styles.odt")));
  const std::string ours = Joined(*doc.Text());
  std::istringstream theirs(ReadSample("styles.odt.txt"));
  int lines = 0;
  for (std::string line; std::getline(theirs, line); ++lines) {
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    line.erase(0, line.find_first_not_of(' '));
    for (const char* bullet : {"\xE2\x80\xA2 ", "\xE2\x97\xA6 "})
      if (line.starts_with(bullet)) line.erase(0, std::strlen(bullet));
    EXPECT_NE(ours.find(line), std::string::npos) << line << "\n--- ours:\n" << ours;
  }
  EXPECT_GT(lines, 10);
  // The flat form of a package reads as the package does (LibreOffice ends it with an empty paragraph).
  TOpenOfficeTextDocument packed, flat;
  packed.LoadFromFile(Utf8ToWide(Sample("harbour.odt")));
  flat.LoadFromFile(Utf8ToWide(Sample("harbour.fodt")));
  EXPECT_GT(packed.Text()->Count(), 20);
  EXPECT_EQ(Joined(*flat.Text()), Joined(*packed.Text()) + "\n");
  EXPECT_EQ(flat.SummaryInformation()->Title(), packed.SummaryInformation()->Title());
}
}  // namespace
