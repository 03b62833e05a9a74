#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "builders/DocxBuilder.h"
#include "builders/ZipBuilder.h"
#include "packages/MSWordX.h"
#include "packages/MSWordXNumbering.h"

using namespace zvword;
using zvword::test::DocxBuilder;

namespace {

std::string Joined(const TWideStrings& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += WideToUtf8(list.Get(i)) + "\n";
  return out;
}

struct Loaded {
  TMSWordXDocument doc;
  Loaded(const std::string& package, TMSTextFormating mode = tfPlainText, bool hidden = false) {
    doc.SetTextFormating(mode);
    if (hidden) {
      TZvWParseItems items = doc.ParseItems();
      items.Include(wpiHiddenText);
      doc.SetParseItems(items);
    }
    TBytesView stream(package);
    doc.LoadFromStream(stream);
  }
  std::string Body() const {
    // Drop the RTF/HTML frame, keep the lines the paragraphs made.
    std::string all;
    const TWideStrings& t = *doc.Text();
    const int first = doc.TextFormating() == tfPlainText ? 0 : 1;
    const int last = doc.TextFormating() == tfPlainText ? t.Count() : t.Count() - 1;
    for (int i = first; i < last; ++i) all += WideToUtf8(t.Get(i)) + "\n";
    return all;
  }
};

std::string R(const std::string& inner) { return "<w:r>" + inner + "</w:r>"; }
std::string T(const std::string& text) { return "<w:t xml:space=\"preserve\">" + text + "</w:t>"; }

struct BodyCase {
  const char* what;
  std::string body;
  TMSTextFormating mode;
  bool hidden;
  std::string expected;
};

TEST(MSWordX, BodyText) {
  const std::string hiddenRun = "<w:r><w:rPr><w:vanish/></w:rPr>" + T("two ") + "</w:r>";
  const BodyCase cases[] = {
      {"paragraphs", DocxBuilder::P("one") + DocxBuilder::P("two"), tfPlainText, false, "one\ntwo\n"},
      {"empty paragraph", "<w:p/>" + DocxBuilder::P("x"), tfPlainText, false, "\nx\n"},
      {"hidden run", "<w:p>" + R(T("one ")) + hiddenRun + R(T("three")) + "</w:p>", tfPlainText, false, "one three\n"},
      {"hidden run asked for", "<w:p>" + R(T("one ")) + hiddenRun + R(T("three")) + "</w:p>", tfPlainText, true,
       "one two three\n"},
      {"vanish switched off", "<w:p><w:r><w:rPr><w:vanish w:val=\"0\"/></w:rPr>" + T("seen") + "</w:r></w:p>",
       tfPlainText, false, "seen\n"},
      {"tab and tab stop",
       "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>" + R(T("a") + "<w:tab/>" + T("b")) + "</w:p>",
       tfPlainText, false, "a\tb\n"},
      {"tab rtf", "<w:p>" + R(T("a") + "<w:tab/>" + T("b")) + "</w:p>", tfRTF, false, "a\\tab b\\par \n"},
      {"tab html", "<w:p>" + R(T("a") + "<w:tab/>" + T("b")) + "</w:p>", tfHTML, false, "<p>a&#9;b</p>\n"},
      {"breaks plain", "<w:p>" + R(T("a") + "<w:br/>" + T("b") + "<w:cr/>" + T("c") + "<w:noBreakHyphen/>" + T("d")) + "</w:p>",
       tfPlainText, false, "a\r\nb\r\nc-d\n"},
      {"breaks rtf", "<w:p>" + R(T("a") + "<w:br/>" + T("b")) + "</w:p>", tfRTF, false, "a\\line b\\par \n"},
      {"breaks html", "<w:p>" + R(T("a") + "<w:br w:type=\"page\"/>" + T("b")) + "</w:p>", tfHTML, false, "<p>a<br>b</p>\n"},
      {"entities plain", DocxBuilder::P("Fish &amp; chips &lt;3 &#x263A;"), tfPlainText, false, "Fish & chips <3 \xE2\x98\xBA\n"},
      {"entities html", DocxBuilder::P("Fish &amp; chips &lt;3 &quot;"), tfHTML, false, "<p>Fish &amp; chips &lt;3 &quot;</p>\n"},
      {"escape rtf", DocxBuilder::P("{x} \\ caf\xC3\xA9"), tfRTF, false, "\\{x\\} \\\\ caf\\u233\\'e9\\par \n"},
      {"kept containers",
       "<w:p><w:sdt><w:sdtPr><w:alias w:val=\"no\"/></w:sdtPr><w:sdtContent>" + R(T("a ")) + "</w:sdtContent></w:sdt>"
       "<w:ins w:id=\"1\">" + R(T("b ")) + "</w:ins><w:moveTo w:id=\"2\">" + R(T("c ")) + "</w:moveTo>"
       "<w:smartTag w:element=\"x\">" + R(T("d ")) + "</w:smartTag><w:customXml w:element=\"y\">" + R(T("e ")) + "</w:customXml>"
       "<w:fldSimple w:instr=\" DATE \">" + R(T("f ")) + "</w:fldSimple><w:hyperlink r:id=\"rId9\">" + R(T("g ")) + "</w:hyperlink>"
       "<w:dir w:val=\"rtl\">" + R(T("h ")) + "</w:dir><w:bdo w:val=\"ltr\">" + R(T("i")) + "</w:bdo></w:p>",
       tfPlainText, false, "a b c d e f g h i\n"},
      {"deleted text and field codes",
       "<w:p>" + R(T("kept ")) + "<w:del w:id=\"1\"><w:r><w:delText>gone</w:delText></w:r></w:del>"
       "<w:moveFrom w:id=\"2\">" + R(T("moved away")) + "</w:moveFrom>"
       "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
       "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" + R(T("7")) + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>",
       tfPlainText, false, "kept 7\n"},
      {"block content control", "<w:sdt><w:sdtContent>" + DocxBuilder::P("in control") + "</w:sdtContent></w:sdt>",
       tfPlainText, false, "in control\n"},
      {"table cells", "<w:tbl><w:tblPr/><w:tr><w:tc><w:tcPr/>" + DocxBuilder::P("c1") + "</w:tc><w:tc>" +
                          DocxBuilder::P("c2") + "</w:tc></w:tr></w:tbl>",
       tfPlainText, false, "c1\nc2\n"},
      {"math", "<w:p><m:oMathPara><m:oMath><m:r><m:rPr/><m:t>x=2</m:t></m:r></m:oMath></m:oMathPara></w:p>", tfPlainText,
       false, "x=2\n"},
      {"html paragraphs and style",
       "<w:p><w:pPr><w:pStyle w:val=\"BoldItalic\"/></w:pPr>" + R(T("s")) + "</w:p>", tfHTML, false,
       "<p><font><b><i>s</b></i></font></p>\n"},
      {"section properties", DocxBuilder::P("x") + "<w:sectPr><w:pgSz w:w=\"1\"/></w:sectPr>", tfPlainText, false, "x\n"},
      {"phonetic guide after its base",
       "<w:p>" + R(T("in ")) + "<w:ruby><w:rubyPr><w:hps w:val=\"11\"/></w:rubyPr><w:rt>" + R(T("\xE3\x81\xA8\xE3\x81\x86")) +
           "</w:rt><w:rubyBase>" + R(T("\xE6\x9D\xB1")) + "</w:rubyBase></w:ruby>" + R(T(" town")) + "</w:p>",
       tfPlainText, false, "in \xE6\x9D\xB1 (\xE3\x81\xA8\xE3\x81\x86) town\n"},
      {"phonetic guide rtf", "<w:p><w:ruby><w:rt>" + R(T("{r}")) + "</w:rt><w:rubyBase>" + R(T("b")) + "</w:rubyBase></w:ruby></w:p>",
       tfRTF, false, "b (\\{r\\})\\par \n"},
      {"alternate content once",
       "<w:p><mc:AlternateContent><mc:Choice Requires=\"w14\">" + R(T("choice")) + "</mc:Choice><mc:Choice Requires=\"w15\">" +
           R(T("second choice")) + "</mc:Choice><mc:Fallback>" +
           R(T("fallback")) + "</mc:Fallback></mc:AlternateContent></w:p>",
       tfPlainText, false, "choice\n"},
  };
  for (const auto& c : cases) {
    Loaded l(DocxBuilder().Body(c.body).Build(), c.mode, c.hidden);
    EXPECT_EQ(l.Body(), c.expected) << c.what;
  }
}

TEST(MSWordX, FramesTheBodyInRtfAndHtml) {
  Loaded html(DocxBuilder().Body(DocxBuilder::P("x")).Build(), tfHTML);
  ASSERT_GE(html.doc.Text()->Count(), 3);
  EXPECT_EQ(WideToUtf8(html.doc.Text()->Get(0)).rfind("<html>", 0), 0u);
  EXPECT_EQ(WideToUtf8(html.doc.Text()->Get(html.doc.Text()->Count() - 1)), "\r\n</body>\r\n</html>");
  Loaded rtf(DocxBuilder().Body(DocxBuilder::P("x")).Build(), tfRTF);
  EXPECT_EQ(WideToUtf8(rtf.doc.Text()->Get(0)).rfind("{\\rtf1", 0), 0u);
  // The text-box list is framed too, its prologue ahead of its first line.
  const std::string box = "<w:p><w:r><w:pict><v:shape><v:textbox><w:txbxContent>" + DocxBuilder::P("boxed") +
                          "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
  Loaded boxed(DocxBuilder().Body(box).Build(), tfHTML);
  const TWideStrings& boxes = *boxed.doc.TextBoxText();
  ASSERT_EQ(boxes.Count(), 3);
  EXPECT_EQ(WideToUtf8(boxes.Get(0)).rfind("<html>", 0), 0u);
  EXPECT_EQ(WideToUtf8(boxes.Get(1)), "<p>boxed</p>");
  EXPECT_EQ(WideToUtf8(boxes.Get(2)), "\r\n</body>\r\n</html>");
}

TEST(MSWordX, TextBoxesGoToTheirListOnceAndTheParagraphGoesOn) {
  const std::string box = "<w:txbxContent>" + DocxBuilder::P("in the box") + "</w:txbxContent>";
  const std::string body =
      "<w:p>" + R(T("before ")) + "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor>"
      "<wp:docPr id=\"1\" name=\"shape\"/><a:graphic><a:graphicData><wps:wsp><wps:txbx>" + box +
      "</wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict>"
      "<v:rect><v:textbox>" + box + "</v:textbox></v:rect></w:pict></mc:Fallback></mc:AlternateContent></w:r>" +
      R(T("after")) + "</w:p><w:p><w:r><w:pict><v:shape><v:textbox>" + "<w:txbxContent>" + DocxBuilder::P("vml box") +
      "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
  Loaded l(DocxBuilder().Body(body).Build());
  EXPECT_EQ(l.Body(), "before after\n\n");
  EXPECT_EQ(Joined(*l.doc.TextBoxText()), "in the box\nvml box\n");
}

TEST(MSWordX, NotesHeadersFootersAndComments) {
  DocxBuilder b;
  b.Body(DocxBuilder::P("body"))
      .Footnotes(DocxBuilder::Note("w:footnote", -1, "SEP", "separator") +
                 DocxBuilder::Note("w:footnote", 0, "CONT", "continuationSeparator") +
                 DocxBuilder::Note("w:footnote", 1, "first footnote") + DocxBuilder::Note("w:footnote", 2, "second footnote"))
      .Endnotes(DocxBuilder::Note("w:endnote", 0, "SEP", "separator") + DocxBuilder::Note("w:endnote", 1, "an endnote"))
      .Header(DocxBuilder::P("header one"))
      .Header(DocxBuilder::P("header two"))
      .Footer(DocxBuilder::P("footer one"))
      .Footer(DocxBuilder::P("footer two"))
      .Comments("<w:comment w:id=\"0\" w:author=\"A\">" + DocxBuilder::P("a remark") + "</w:comment>");
  // Without relationships, and as a flat XML package.
  for (int rels : {1, 0, 2}) {
    DocxBuilder copy = b;
    if (!rels) copy.WithoutRelationships();
    Loaded l(rels == 2 ? copy.BuildFlat() : copy.Build());
    EXPECT_EQ(Joined(*l.doc.Text()), "body\n");
    EXPECT_EQ(Joined(*l.doc.FootNoteText()), "first footnote\nsecond footnote\n") << rels;
    EXPECT_EQ(Joined(*l.doc.EndNoteText()), "an endnote\n") << rels;
    EXPECT_EQ(Joined(*l.doc.HeaderText()), "header one\nheader two\n") << rels;
    EXPECT_EQ(Joined(*l.doc.FooterText()), "footer one\nfooter two\n") << rels;
    EXPECT_EQ(Joined(*l.doc.AnnotationText()), "a remark\n") << rels;
  }
}

std::string Ref(const char* element, int id, const char* extra = "") {
  return std::string("<w:r><w:") + element + " w:id=\"" + std::to_string(id) + "\"" + extra + "/></w:r>";
}
std::string NoteWithMark(const char* kind, int id, const std::string& text) {
  return std::string("<w:") + kind + " w:id=\"" + std::to_string(id) + "\"><w:p><w:r><w:" + kind + "Ref/></w:r>" +
         R(T(text)) + "</w:p></w:" + kind + ">";
}

TEST(MSWordX, NoteMarksInTheBodyAndTheNotes) {
  const std::string body = "<w:p>" + R(T("a")) + Ref("footnoteReference", 2) + R(T(" b")) + Ref("endnoteReference", 7) +
                           R(T(" c")) + Ref("footnoteReference", 1) + "</w:p>";
  const std::string notes = NoteWithMark("footnote", 1, "one") + NoteWithMark("footnote", 2, " two");
  struct Row {
    const char* what;
    std::string settings;
    std::string body, footnotes, endnotes;
  } rows[] = {
      {"defaults: arabic and roman", "", "a1 bi c2\n", "2 one\n1 two\n", "i end\n"},
      {"formats and start from the settings",
       "<w:footnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"3\"/></w:footnotePr>"
       "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr>",
       "aC b1 cD\n", "D one\nC two\n", "1 end\n"},
      {"symbols", "<w:footnotePr><w:numFmt w:val=\"chicago\"/><w:numStart w:val=\"4\"/></w:footnotePr>",
       "a\xC2\xA7 bi c**\n", "** one\n\xC2\xA7 two\n", "i end\n"},
  };
  for (const Row& r : rows) {
    Loaded l(DocxBuilder().Body(body).Footnotes(notes).Endnotes(NoteWithMark("endnote", 7, "end")).Settings(r.settings).Build());
    EXPECT_EQ(Joined(*l.doc.Text()), r.body) << r.what;
    EXPECT_EQ(Joined(*l.doc.FootNoteText()), r.footnotes) << r.what;
    EXPECT_EQ(Joined(*l.doc.EndNoteText()), r.endnotes) << r.what;
  }
  // A custom mark is the run's own text; the note then shows none of its own.
  Loaded custom(DocxBuilder()
                    .Body("<w:p>" + R(T("a")) + "<w:r><w:footnoteReference w:customMarkFollows=\"1\" w:id=\"1\"/>" + T("#") +
                          "</w:r>" + R(T(" b")) + Ref("footnoteReference", 2) + "</w:p>")
                    .Footnotes(NoteWithMark("footnote", 1, "custom") + NoteWithMark("footnote", 2, "numbered"))
                    .Build());
  EXPECT_EQ(Joined(*custom.doc.Text()), "a# b1\n");
  EXPECT_EQ(Joined(*custom.doc.FootNoteText()), "custom\n1 numbered\n");
}

TEST(MSWordX, ChartAndDiagramTextFollowTheirParagraph) {
  const std::string chart =
      "<c:chartSpace xmlns:c=\"c\" xmlns:a=\"a\"><c:chart><c:title><c:tx><c:rich><a:p><a:r><a:t>Sales &amp; costs</a:t></a:r>"
      "</a:p></c:rich></c:tx></c:title><c:plotArea><c:barChart>"
      "<c:ser><c:tx><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>North</c:v></c:pt></c:strCache></c:strRef></c:tx>"
      "<c:cat><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>Q1</c:v></c:pt><c:pt idx=\"1\"><c:v>Q2</c:v></c:pt></c:strCache>"
      "</c:strRef></c:cat><c:val><c:numRef><c:numCache><c:pt idx=\"0\"><c:v>17</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser>"
      "<c:ser><c:tx><c:v>South</c:v></c:tx><c:cat><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>Q1</c:v></c:pt></c:strCache>"
      "</c:strRef></c:cat><c:val><c:numRef><c:numCache><c:pt idx=\"0\"><c:v>23</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser>"
      "</c:barChart></c:plotArea></c:chart></c:chartSpace>";
  const std::string diagram =
      "<dgm:dataModel xmlns:dgm=\"d\" xmlns:a=\"a\"><dgm:ptLst><dgm:pt><dgm:t><a:p><a:r><a:t>From here</a:t></a:r></a:p></dgm:t>"
      "</dgm:pt><dgm:pt type=\"sibTrans\"><dgm:t><a:p><a:endParaRPr/></a:p></dgm:t></dgm:pt><dgm:pt><dgm:t><a:p><a:r>"
      "<a:t>to there</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst></dgm:dataModel>";
  const std::string graphics =
      "<w:p>" + R(T("see")) + "<w:r><w:drawing><wp:inline><a:graphic><a:graphicData><c:chart r:id=\"g1\"/></a:graphicData>"
      "</a:graphic></wp:inline></w:drawing></w:r><w:r><w:drawing><wp:anchor><a:graphic><a:graphicData><dgm:relIds r:dm=\"g2\" "
      "r:lo=\"x\"/></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>" + R(T(" below")) + "</w:p>" + DocxBuilder::P("after");
  DocxBuilder b;
  b.Body(graphics).Graphic("charts/chart1.xml", chart).Graphic("diagrams/data1.xml", diagram);
  Loaded plain(b.Build());
  EXPECT_EQ(plain.Body(), "see below\nSales & costs\nNorth\nQ1\nQ2\nSouth\nFrom here\nto there\nafter\n");
  Loaded html(b.Build(), tfHTML);
  EXPECT_NE(html.Body().find("<p>Sales &amp; costs</p>\n"), std::string::npos);
}

TEST(MSWordX, Word2003XmlDocument) {
  const std::string body =
      "<w:p><w:pPr><w:listPr><wx:t wx:val=\"2.\"/></w:listPr></w:pPr>" + R("<w:t><![CDATA[Fish & <chips>]]></w:t>") + "</w:p>"
      "<w:p><w:pPr><w:listPr><wx:t wx:val=\"\xC2\xB7\"/><wx:font wx:val=\"Symbol\"/></w:listPr></w:pPr>" + R(T("bullet")) +
      "</w:p><w:p>" + R(T("noted")) + "<w:r><w:footnote><w:p><w:r><w:footnoteRef/></w:r>" + R(T("the note")) +
      "</w:p></w:footnote></w:r>" + R(T(" then")) + "<w:r><w:endnote><w:p>" + R(T("end")) + "</w:p></w:endnote></w:r>"
      "<aml:annotation w:type=\"Word.Deletion\">" + R("<w:delText>gone</w:delText>") + "</aml:annotation>"
      "<aml:annotation w:type=\"Word.Insertion\"><aml:content>" + R(T(" added")) + "</aml:content></aml:annotation>"
      "<aml:annotation w:type=\"Word.Comment\"><aml:content>" + DocxBuilder::P("remark") + "</aml:content></aml:annotation>"
      "<w:r><w:rPr><w:vanish/></w:rPr>" + T("hidden") + "</w:r></w:p>"
      "<w:p><w:pPr><w:sectPr><w:hdr w:type=\"odd\">" + DocxBuilder::P("head") + "</w:hdr><w:ftr w:type=\"odd\">" +
      DocxBuilder::P("foot") + "</w:ftr></w:sectPr></w:pPr>" + R(T("last")) + "</w:p>";
  const std::string xml = DocxBuilder::WordML(body, "<o:Title>Old &amp; new</o:Title><o:Author>Ann</o:Author><o:Pages>3</o:Pages>");
  Loaded l(xml);
  EXPECT_EQ(Joined(*l.doc.Text()), "2. Fish & <chips>\nbullet\nnoted1 theni added\nlast\n");
  EXPECT_EQ(Joined(*l.doc.FootNoteText()), "1 the note\n");
  EXPECT_EQ(Joined(*l.doc.EndNoteText()), "end\n");
  EXPECT_EQ(Joined(*l.doc.AnnotationText()), "remark\n");
  EXPECT_EQ(Joined(*l.doc.HeaderText()), "head\n");
  EXPECT_EQ(Joined(*l.doc.FooterText()), "foot\n");
  EXPECT_EQ(WideToUtf8(l.doc.SummaryInformation()->Title()), "Old & new");
  EXPECT_EQ(WideToUtf8(l.doc.SummaryInformation()->Author()), "Ann");
  EXPECT_EQ(l.doc.SummaryInformation()->PageCount(), 3);
  // Every list is framed once in HTML, its prologue first.
  Loaded html(xml, tfHTML);
  for (const TWideStrings* list : {html.doc.Text(), html.doc.FootNoteText(), html.doc.HeaderText()}) {
    ASSERT_GE(list->Count(), 3);
    EXPECT_EQ(WideToUtf8(list->Get(0)).rfind("<html>", 0), 0u);
    EXPECT_EQ(WideToUtf8(list->Get(list->Count() - 1)), "\r\n</body>\r\n</html>");
  }
}

TEST(MSWordX, DeepNestingCostsHeapNotStack) {
  std::string open, close;
  for (int i = 0; i < 20000; ++i) {
    open += "<w:p><w:r><w:pict><w:txbxContent>";
    close += "</w:txbxContent></w:pict></w:r></w:p>";
  }
  Loaded l(DocxBuilder().Body(open + DocxBuilder::P("inmost") + close).Build());
  EXPECT_EQ(Joined(*l.doc.TextBoxText()).find("inmost"), 0u);
  EXPECT_EQ(l.doc.TextBoxText()->Count(), 20000);
}

TEST(MSWordX, SummaryFromPropertyParts) {
  Loaded l(DocxBuilder()
               .Body(DocxBuilder::P("x"))
               .Core("<dc:title>A &amp; B</dc:title><dc:subject>Subj</dc:subject><dc:creator>Ann</dc:creator>"
                     "<cp:keywords>k1, k2</cp:keywords><dc:description>Desc</dc:description>"
                     "<cp:lastModifiedBy>Bob</cp:lastModifiedBy><cp:revision>3</cp:revision><cp:category>Cat</cp:category>"
                     "<dcterms:created xsi:type=\"dcterms:W3CDTF\">1900-01-01T12:00:00Z</dcterms:created>"
                     "<dcterms:modified>2024-02-29T06:00:00Z</dcterms:modified>")
               .App("<Template>Normal.dotm</Template><TotalTime>12</TotalTime><Pages>2</Pages><Words>345</Words>"
                    "<Characters>1000</Characters><Application>Writer</Application><Lines>20</Lines>"
                    "<Paragraphs>7</Paragraphs><Company>Co</Company><Manager>Boss</Manager>"
                    "<CharactersWithSpaces>1200</CharactersWithSpaces>")
               .Build());
  const auto& s = *l.doc.SummaryInformation();
  EXPECT_EQ(WideToUtf8(s.Title()), "A & B");
  EXPECT_EQ(WideToUtf8(s.Subject()), "Subj");
  EXPECT_EQ(WideToUtf8(s.Author()), "Ann");
  EXPECT_EQ(WideToUtf8(s.Keywords()), "k1, k2");
  EXPECT_EQ(WideToUtf8(s.Comments()), "Desc");
  EXPECT_EQ(WideToUtf8(s.LastAuthor()), "Bob");
  EXPECT_EQ(WideToUtf8(s.RevNumber()), "3");
  EXPECT_EQ(WideToUtf8(s.Category()), "Cat");
  EXPECT_DOUBLE_EQ(s.Created(), 2.5);
  EXPECT_DOUBLE_EQ(s.LastSaved(), 45351.25);
  EXPECT_EQ(WideToUtf8(s.Template()), "Normal.dotm");
  EXPECT_EQ(s.EditTime(), 12);
  EXPECT_EQ(s.PageCount(), 2);
  EXPECT_EQ(s.WordCount(), 345);
  EXPECT_EQ(s.CharCount(), 1000);
  EXPECT_EQ(WideToUtf8(s.AppName()), "Writer");
  EXPECT_EQ(s.LineCount(), 20);
  EXPECT_EQ(s.ParagraphCount(), 7);
  EXPECT_EQ(WideToUtf8(s.Company()), "Co");
  EXPECT_EQ(WideToUtf8(s.Manager()), "Boss");
  EXPECT_EQ(s.CharCount2(), 1200);
}

TEST(MSWordX, StoredPartsAndNoTextWhenNotAsked) {
  Loaded stored(DocxBuilder().Body(DocxBuilder::P("stored")).Stored().Build());
  EXPECT_EQ(stored.Body(), "stored\n");
  TMSWordXDocument doc;
  doc.SetParseItems({wpiSummaryInformation});
  std::string package = DocxBuilder().Body(DocxBuilder::P("x")).Build();
  TBytesView stream(package);
  doc.LoadFromStream(stream);
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(MSWordX, MaxTextLengthStopsTheBody) {
  std::string body;
  for (int i = 0; i < 100; ++i) body += DocxBuilder::P("paragraph number " + std::to_string(i));
  TMSWordXDocument doc;
  doc.SetMaxTextLength(30);
  std::string package = DocxBuilder().Body(body).Build();
  TBytesView stream(package);
  doc.LoadFromStream(stream);
  EXPECT_LE(doc.Text()->Text().size(), 32u);
  EXPECT_TRUE(doc.IsCancelExtract);
}

TEST(MSWordX, DamagedPartRaisesAndKeepsWhatWasRead) {
  test::ZipBuilder zip;
  zip.Add("word/document.xml", "<w:document><w:body>" + DocxBuilder::P("fine") + "</w:body></w:document>");
  test::ZipBuilder::Entry bad;
  bad.name = "word/footnotes.xml";
  bad.data = "<w:footnotes/>";
  bad.crc = 1234;
  bad.compressedSize = bad.uncompressedSize = bad.data.size();
  zip.AddRaw(bad);
  const std::string package = zip.Build();
  TMSWordXDocument doc;
  TBytesView stream(package);
  EXPECT_THROW(doc.LoadFromStream(stream), EZipFileCRCError);
  EXPECT_EQ(Joined(*doc.Text()), "fine\n");
}

TEST(MSWordX, CutPackagesAreReadFromWhatIsIntactAndAMissingMainPartRaises) {
  const std::string whole = DocxBuilder().Body(DocxBuilder::P("kept")).Build();
  test::ZipBuilder other;
  other.Add("word/styles.xml", "<w:styles/>");
  struct Row {
    const char* what;
    std::string package;
    std::string result;  // the body, or the message
    bool warned;         // the reader says the text may be incomplete
  } rows[] = {
      {"intact", whole, "kept\n", false},
      {"end record cut", whole.substr(0, whole.size() - 30), "kept\n", true},
      {"central directory gone", whole.substr(0, whole.find("PK\x01\x02")), "kept\n", true},
      {"no main part", other.Build(), "The package has no main document part (word/document.xml)", false},
  };
  for (const Row& r : rows) {
    TMSWordXDocument doc;
    TBytesView stream(r.package);
    try {
      doc.LoadFromStream(stream);
      EXPECT_EQ(Joined(*doc.Text()), r.result) << r.what;
      EXPECT_EQ(doc.Warnings().size(), r.warned ? 1u : 0u) << r.what;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), r.result) << r.what;
    }
  }
}

TEST(MSWordX, InflatedGarbageHitsTheBudgetOrIsRefusedNeverSilent) {
  const std::string zeros(8u << 20, '\0'), letters(2u << 20, 'A');
  struct Case {
    const char* what;
    const std::string* body;
    int64_t maxDecoded;  // 0: the default budget
    const char* message;
  } cases[] = {
      {"zeros beyond the budget", &zeros, 4 << 20, "Document exceeds the limit of 4194304 bytes of decoded data"},
      {"zeros within it", &zeros, 0, "The main part word/document.xml of the package is not a Word document"},
      // 2 MiB inflated fit, but their UTF-16 text (4 MiB more) does not.
      {"text twice its bytes", &letters, 5 << 20, "Document exceeds the limit of 5242880 bytes of decoded data"},
      {"text within it", &letters, 7 << 20, "The main part word/document.xml of the package is not a Word document"},
  };
  for (const auto& c : cases) {
    test::ZipBuilder::Entry e;
    e.name = "word/document.xml";
    e.data = c.body == &zeros ? test::ZeroBombDeflate(8) : test::RawDeflate(*c.body);
    e.method = 8;
    e.crc = test::Crc32Of(*c.body);
    e.compressedSize = e.data.size();
    e.uncompressedSize = c.body->size();
    const std::string package = test::ZipBuilder().AddRaw(e).Build();
    TMSWordXDocument doc;
    if (c.maxDecoded) {
      TResourceLimits limits;
      limits.MaxDecodedBytes = c.maxDecoded;
      doc.SetResourceLimits(limits);
    }
    TBytesView stream(package);
    try {
      doc.LoadFromStream(stream);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Exception& x) {
      EXPECT_EQ(std::string(x.what()), c.message) << c.what;
    }
    EXPECT_EQ(doc.Text()->Count(), 0) << c.what;
  }
}

TEST(MSWordX, LoadFromFileRefusesWhatIsNotAPackage) {
  const std::string path = ::testing::TempDir() + "not-a-package.docx";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("plain text, not a package", f);
  std::fclose(f);
  TMSWordXDocument doc;
  try {
    doc.LoadFromFile(Utf8ToWide(path));
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "File " + path + " is not valid MS Word document");
  }
  EXPECT_THROW(doc.LoadFromFile(u"/nonexistent/x.docx"), Exception);
}

TEST(MSWordX, TruncatedPartKeepsTheOpenParagraph) {
  test::ZipBuilder zip;
  zip.Add("word/document.xml", "<w:document><w:body><w:p><w:r><w:t>cut here");
  const std::string package = zip.Build();
  Loaded l(package);
  EXPECT_EQ(Joined(*l.doc.Text()), "cut here\n");
}

}  // namespace

namespace {
// A package written by pandoc from samples/garden.md.
TEST(MSWordX, PandocSample) {
  TMSWordXDocument doc;
  doc.LoadFromFile(Utf8ToWide(std::string(ZVWORD_SOURCE_DIR) + "/samples/garden.pandoc.docx"));
  const std::string body = Joined(*doc.Text());
  for (const char* line : {"Allotment garden notes\n", "Spring planting\n", "Runner beans\n",
                           "Fish & chips were served at the harvest supper; caf\xC3\xA9 owners brought pastries and the "
                           "children counted 1 < 2 < 3 on the blackboard.\n",
                           "1. Compost the spent bean haulm.\n", "2. Net the brassicas against pigeons.\n"})
    EXPECT_NE(body.find(line), std::string::npos) << line;
  EXPECT_NE(Joined(*doc.FootNoteText()).find("The boards came from a demolished garden shed."), std::string::npos);
  EXPECT_EQ(WideToUtf8(doc.SummaryInformation()->Title()), "Allotment garden notes");
  EXPECT_EQ(WideToUtf8(doc.SummaryInformation()->Author()), "Zvword Project");
}

// Written by LibreOffice as Word 2003 XML from samples/harbour.txt: the text comes back whole.
TEST(MSWordX, LibreOfficeWord2003XmlSample) {
  const std::string dir = std::string(ZVWORD_SOURCE_DIR) + "/samples/";
  TMSWordXDocument doc;
  doc.LoadFromFile(Utf8ToWide(dir + "harbour.wordml.xml"));
  std::ifstream in(dir + "harbour.txt", std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Joined(*doc.Text()), expected);
}
}  // namespace

// Labels as LibreOffice numbers the same lists: lists of one definition continue each other, a
// start override restarts its list, a redefined level keeps counting in its own format.
TEST(MSWordX, ListLabelsWithLevelOverrides) {
  auto lvl = [](int i, int start, const char* fmt, const char* text) {
    return "<w:lvl w:ilvl=\"" + std::to_string(i) + "\"><w:start w:val=\"" + std::to_string(start) +
           "\"/><w:numFmt w:val=\"" + fmt + "\"/><w:lvlText w:val=\"" + text + "\"/></w:lvl>";
  };
  const std::string abs0 = "<w:abstractNum w:abstractNumId=\"0\">" + lvl(0, 1, "decimal", "%1.") +
                           lvl(1, 1, "lowerLetter", "%2)") + "</w:abstractNum>";
  const std::string absZero = "<w:abstractNum w:abstractNumId=\"1\">" + lvl(0, 0, "decimal", "%1.") +
                              lvl(1, 0, "decimal", "%1.%2") + "</w:abstractNum>";
  auto num = [](int id, int abs, const std::string& overrides = "") {
    return "<w:num w:numId=\"" + std::to_string(id) + "\"><w:abstractNumId w:val=\"" + std::to_string(abs) +
           "\"/>" + overrides + "</w:num>";
  };
  const std::string roman = "<w:lvlOverride w:ilvl=\"0\">" + lvl(0, 3, "upperRoman", "%1:") + "</w:lvlOverride>";
  const std::string both = "<w:lvlOverride w:ilvl=\"1\"><w:startOverride w:val=\"4\"/>" +
                           lvl(1, 9, "decimal", "%1-%2") + "</w:lvlOverride>";
  struct Row {
    std::string nums;
    std::vector<std::pair<int, int>> paragraphs;  // numId, level
    const char* labels;
  };
  const Row rows[] = {
      {abs0 + num(1, 0) + num(2, 0, "<w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"5\"/></w:lvlOverride>"),
       {{1, 0}, {1, 0}, {1, 1}, {2, 0}, {2, 0}, {1, 0}},
       "1.|2.|a)|5.|6.|7."},
      {abs0 + num(1, 0) + num(3, 0, roman), {{1, 0}, {1, 0}, {1, 0}, {3, 0}, {3, 0}, {3, 1}}, "1.|2.|3.|IV:|V:|a)"},
      {abs0 + num(3, 0, roman) + num(1, 0) + num(5, 0, both),
       {{3, 0}, {3, 1}, {1, 0}, {1, 1}, {5, 1}, {5, 1}, {5, 0}},
       "III:|a)|4.|a)|4-4|4-5|5."},
      {absZero + num(4, 1), {{4, 0}, {4, 1}, {4, 0}}, "0.|0.0|1."},
      // Starts past what Word allows are held to its range rather than overflowing the count.
      {"<w:abstractNum w:abstractNumId=\"2\">" + lvl(0, 0, "decimal", "%1.") + "</w:abstractNum>" +
           num(6, 2, "<w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"2147483647\"/></w:lvlOverride>") +
           num(7, 2, "<w:lvlOverride w:ilvl=\"0\">" + lvl(0, 0, "decimal", "%1)") + "</w:lvlOverride>"),
       {{6, 0}, {6, 0}, {7, 0}},
       "32767.|32768.|32769)"},
  };
  for (const Row& r : rows) {
    TWordXNumbering n;
    n.Load("<w:numbering xmlns:w=\"x\">" + r.nums + "</w:numbering>", "");
    std::string got;
    for (auto [id, level] : r.paragraphs) got += (got.empty() ? "" : "|") + WideToUtf8(n.NextLabel(id, level));
    EXPECT_EQ(got, r.labels) << r.nums;
  }
}
