#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "support/ZvWXML.h"

using namespace zvword;

namespace {

std::string U8(const WideString& s) { return WideToUtf8(s); }
WideString W(std::string_view s) { return Utf8ToWide(s); }

struct Parsed {
  TZvXMLEngine engine;
  explicit Parsed(std::string_view bytes, bool autoAttrs = false) {
    engine.SetAttributesAutoProcess(autoAttrs);
    engine.LoadFromBytes(bytes);
  }
  TZvXMLItem* Find(const char* tag) { return engine.GetItemByTag(nullptr, W(tag)); }
};

TEST(XMLEngine, DocumentWithoutDeclarationMakesFirstElementTheRoot) {
  Parsed p("<doc><a>x</a></doc>");
  EXPECT_EQ(U8(p.engine.RootItem()->TagName), "doc");
  ASSERT_EQ(p.engine.RootItem()->Items().Count(), 1);
  EXPECT_EQ(p.engine.RootItem()->Items()[0]->Level(), 1);
}

TEST(XMLEngine, DeclarationIsTheRootAndItsAttributesAreSplit) {
  Parsed p("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doc/>");
  TZvXMLItem* root = p.engine.RootItem();
  EXPECT_EQ(U8(root->TagName), "?xml");
  TZvXMLItem* version = p.Find("version");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->Kind, ikAttribute);
  EXPECT_EQ(U8(version->GetTagValue()), "1.0");
  EXPECT_EQ(U8(p.Find("encoding")->GetTagValue()), "UTF-8");
  EXPECT_EQ(U8(p.engine.DeclaredEncoding), "UTF-8");
  ASSERT_NE(p.Find("doc"), nullptr);
  EXPECT_EQ(p.Find("doc")->ParentItem(), root);
}

TEST(XMLEngine, TextAfterAChildIsKeptAsItsTail) {
  Parsed p("<a>x<b>y</b>z<c/>w</a>");
  TZvXMLItem* a = p.Find("a");
  EXPECT_EQ(U8(*a->Value), "x");
  EXPECT_EQ(U8(*p.Find("b")->Value), "y");
  EXPECT_EQ(U8(p.Find("b")->Tail), "z");
  EXPECT_EQ(U8(p.Find("c")->Tail), "w");
  EXPECT_EQ(U8(a->FullText()), "xyzw");
}

TEST(XMLEngine, FullTextDecodesEachPieceOnceAndSkipsComments) {
  Parsed p("<a>1 &amp;lt;<!--hidden-->2<b>&#x41;</b><![CDATA[<raw&amp;>]]>3</a>");
  EXPECT_EQ(U8(p.Find("a")->FullText()), "1 &lt;2A<raw&amp;>3");
}

TEST(XMLEngine, SingleSelfClosedElementIsRootAndNotClosed) {
  TZvXMLEngine e;
  int closed = 0;
  e.SetOnAfterTag([&](TZvXMLEngine*, TZvXMLItem*&, bool&) { ++closed; });
  e.LoadFromBytes("<only/>");
  EXPECT_EQ(U8(e.RootItem()->TagName), "only");
  EXPECT_EQ(closed, 0);
}

TEST(XMLEngine, EndTagsCloseTheInnermostItemWhateverTheirName) {
  Parsed p("<a><b></x><c/></a>");
  EXPECT_EQ(p.Find("c")->ParentItem(), p.Find("a"));
  // An extra end tag closes the root; the next tag re-uses the root item.
  Parsed q("<a></a></a><z>t</z>");
  EXPECT_EQ(U8(q.engine.RootItem()->TagName), "z");
}

TEST(XMLEngine, RejectedElementIsSkippedWithItsContentAndParsingResumes) {
  struct Case {
    const char* xml;
    const char* text;
  };
  const Case cases[] = {
      {"<w:body><w:p><w:r><w:t>x</w:t></w:r><w:br/></w:p>after<w:q>y</w:q></w:body>", "aftery"},
      {"<r><w:p>text<w:r>in</w:r>more</w:p>after<w:q>y</w:q></r>", "aftery"},
      {"<r><w:p>a>b<w:r/>c</w:p>after<w:q>z</w:q></r>", "afterz"},
      {"<r><w:p / x>t</w:p>after<w:q>z</w:q></r>", "afterz"},
      // The ">" of "<>" is where the skip starts: the "<" before it opens nothing.
      {"<r><w:p>text<>x</w:p>y</w:p>after<w:q>z</w:q></r>", "yz"},
  };
  for (const Case& c : cases) {
    TZvXMLEngine e;
    e.SetOnTag([](TZvXMLEngine*, TZvXMLItem*, std::u16string_view name, std::u16string_view, std::u16string_view,
                  bool& accept) { accept = name != u"w:p"; });
    e.LoadFromBytes(c.xml);
    EXPECT_EQ(e.GetItemByTag(nullptr, u"w:r"), nullptr) << c.xml;
    EXPECT_EQ(e.GetItemByTag(nullptr, u"w:t"), nullptr) << c.xml;
    EXPECT_NE(e.GetItemByTag(nullptr, u"w:q"), nullptr) << c.xml;
    EXPECT_EQ(U8(e.RootItem()->FullText()), c.text) << c.xml;
  }
}

TEST(XMLEngine, RejectedCommentsAndInstructionsDoNotSwallowTheirSiblings) {
  TZvXMLEngine e;
  e.SetOnTag([](TZvXMLEngine*, TZvXMLItem*, std::u16string_view name, std::u16string_view, std::u16string_view,
                bool& accept) { accept = name[0] != u'!' && name[0] != u'?'; });
  e.LoadFromBytes("<r><!-- c --><a>1</a><?pi x?><b>2</b><![CDATA[z]]><c>3</c></r>");
  EXPECT_NE(e.GetItemByTag(nullptr, u"a"), nullptr);
  EXPECT_NE(e.GetItemByTag(nullptr, u"b"), nullptr);
  EXPECT_NE(e.GetItemByTag(nullptr, u"c"), nullptr);
  EXPECT_EQ(e.GetItemByTag(nullptr, u"c")->ParentItem(), e.RootItem());
}

TEST(XMLEngine, CommentAndCDataItems) {
  Parsed p("<r><!--note--><![CDATA[a<b]]>tail</r>");
  TZvXMLItem* r = p.Find("r");
  ASSERT_EQ(r->Items().Count(), 2);
  EXPECT_EQ(r->Items()[0]->Kind, ikComment);
  EXPECT_EQ(U8(r->Items()[0]->TagName), "!--");
  EXPECT_EQ(U8(*r->Items()[0]->Value), "!--note--");
  EXPECT_EQ(r->Items()[1]->Kind, ikCDATA);
  EXPECT_EQ(U8(*r->Items()[1]->Value), "a<b");
  EXPECT_EQ(U8(r->Items()[1]->Tail), "tail");
}

TEST(XMLEngine, AttributesAreSplitIntoItems) {
  struct Case {
    const char* xml;
    const char* attr;
    const char* value;
  } cases[] = {
      {"<a x=\"1\" y=\"two words\"/>", "y", "two words"},
      {"<a x = \"1\"/>", "x", "1"},
      {"<a href='http://h/p' z=\"q\"/>", "href", "http://h/p"},
      {"<a t=\"&lt;&amp;&gt;\"/>", "t", "<&>"},
  };
  for (const auto& c : cases) {
    Parsed p(c.xml, true);
    TZvXMLItem* a = p.Find(c.attr);
    ASSERT_NE(a, nullptr) << c.xml;
    EXPECT_EQ(a->Kind, ikAttribute);
    EXPECT_EQ(U8(a->GetTagValue()), c.value) << c.xml;
    Parsed raw(c.xml, false);
    EXPECT_EQ(U8(raw.engine.RootItem()->AttributeValue(W(c.attr))), c.value) << c.xml;
  }
}

TEST(XMLEngine, ProcessAttributesTwiceAddsNothing) {
  Parsed p("<a x=\"1\"/>");
  TZvXMLItem* a = p.Find("a");
  a->ProcessAttributes();
  a->ProcessAttributes();
  EXPECT_EQ(a->Items().Count(), 1);
  EXPECT_TRUE(a->Attributes.empty());
}

TEST(XMLEngine, GetTagXMLValueUnquotes) {
  TZvXMLItem item;
  item.Value = u"\"v 1\" \r\n";
  EXPECT_EQ(U8(item.GetTagXMLValue()), "v 1");
  item.Value = u"plain";
  EXPECT_EQ(U8(item.GetTagXMLValue()), "plain");
  item.Value.reset();
  EXPECT_EQ(U8(item.GetTagXMLValue()), "");
}

TEST(XMLEngine, GetItemByTagIgnoresCaseGetChildDoesNot) {
  Parsed p("<Doc><Inner>t</Inner></Doc>");
  EXPECT_NE(p.engine.GetItemByTag(nullptr, u"inner"), nullptr);
  EXPECT_EQ(p.engine.RootItem()->GetChild(u"inner"), nullptr);
  EXPECT_NE(p.engine.RootItem()->GetChild(u"Inner"), nullptr);
}

TEST(XMLEngine, FreeRemovesTheItemFromItsParent) {
  Parsed p("<a><b/><c/></a>");
  TZvXMLItem* b = p.Find("b");
  TZvXMLItem::Free(b);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(p.Find("a")->Items().Count(), 1);
  EXPECT_EQ(p.Find("b"), nullptr);
}

TEST(XMLEngine, CancelStopsParsing) {
  TZvXMLEngine e;
  e.SetOnAfterTag([](TZvXMLEngine*, TZvXMLItem*& node, bool& cancel) { cancel = node->TagName == u"b"; });
  e.LoadFromBytes("<a><b/><c/></a>");
  EXPECT_NE(e.GetItemByTag(nullptr, u"b"), nullptr);
  EXPECT_EQ(e.GetItemByTag(nullptr, u"c"), nullptr);
}

TEST(XMLEngine, ByteOrderMarksAndEscape) {
  Parsed be(std::string("\xFE\xFF\0<\0a\0>\0x\0<\0/\0a\0>", 16));
  EXPECT_EQ(U8(*be.engine.RootItem()->Value), "x");
  EXPECT_TRUE(be.engine.UTF8Processed);
  Parsed le(std::string("\xFF\xFE<\0a\0>\0y\0<\0/\0a\0>\0", 16));
  EXPECT_EQ(U8(*le.engine.RootItem()->Value), "y");
  Parsed mark("\xFE\xFF");
  EXPECT_TRUE(mark.engine.RootItem()->TagName.empty());
  Parsed esc("<a>z</a>\x1B");
  EXPECT_EQ(U8(*esc.engine.RootItem()->Value), "z");
  Parsed u8bom("\xEF\xBB\xBF<a>\xC3\xA9</a>");
  EXPECT_EQ(U8(*u8bom.engine.RootItem()->Value), "\xC3\xA9");
}

TEST(XMLEngine, DeclaredAndSniffedEncodings) {
  struct Case {
    std::string xml;
    int codePage;  // 0: always checked
    const char* text;
  } cases[] = {
      {"<a>caf\xC3\xA9</a>", 0, "caf\xC3\xA9"},
      {"<a>caf\xE9</a>", 0, "caf\xC3\xA9"},  // not UTF-8: the system code page
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>", 0, "\xE2\x82\xAC"},
      {"<?xml version='1.0' encoding='utf-8'?><a>\xE2\x82\xAC</a>", 0, "\xE2\x82\xAC"},
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\xC0</a>", 1251, "\xD0\x90"},
      {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?><a>\xE1</a>", 20866, "\xD0\x90"},
  };
  for (const auto& c : cases) {
    if (c.codePage && !IsCodePageSupported(c.codePage)) continue;
    TZvXMLEngine e;
    e.LoadFromBytes(c.xml);
    TZvXMLItem* a = e.GetItemByTag(nullptr, u"a");
    ASSERT_NE(a, nullptr) << c.xml;
    EXPECT_EQ(U8(*a->Value), c.text) << c.xml;
  }
}

TEST(XMLEngine, CharsetNames) {
  EXPECT_EQ(CodePageFromCharsetName(u"Windows-1251"), 1251);
  EXPECT_EQ(CodePageFromCharsetName(u"ISO-8859-2"), 28592);
  EXPECT_EQ(CodePageFromCharsetName(u"koi8-r"), 20866);
  EXPECT_EQ(CodePageFromCharsetName(u"Shift_JIS"), 932);
  EXPECT_EQ(CodePageFromCharsetName(u"UTF-8"), 65001);
  EXPECT_EQ(CodePageFromCharsetName(u"x-unknown"), 0);
}

TEST(XMLEngine, NamesMayHoldDotsAndNonAsciiLetters) {
  Parsed p("<r><my.tag>1</my.tag><\xC3\xA9l>2</\xC3\xA9l></r>");
  ASSERT_NE(p.Find("my.tag"), nullptr);
  EXPECT_EQ(U8(*p.Find("my.tag")->Value), "1");
  ASSERT_NE(p.Find("\xC3\xA9l"), nullptr);
}

TEST(XMLEngine, DeepNestingIsLimitedAndTornDownWithoutRecursion) {
  std::string ok;
  for (int i = 0; i < 50000; ++i) ok += "<a>";
  ok += "x";
  {
    Parsed p(ok);
    EXPECT_EQ(U8(p.engine.RootItem()->FullText()), "x");
  }
  std::string deep;
  for (int i = 0; i < TZvXMLEngine::MaxDepth + 10; ++i) deep += "<a>";
  TZvXMLEngine e;
  EXPECT_THROW(e.LoadFromBytes(deep), Exception);
}

// A package of small elements swells 25-fold as a tree: what is held at once is limited, what a
// streaming reader has freed does not count.
TEST(XMLEngine, ElementsHeldAtOnceAreLimited) {
  TResourceBudget budget;
  TResourceLimits limits;
  limits.MaxHeldElements = 1000;
  budget.SetLimits(limits);
  const int64_t before = TZvXMLItems::Held();
  auto elements = [](int n) {
    std::string s = "<r>";  // the root item is the document's own
    for (int i = 0; i < n; ++i) s += "<a>b</a>";
    return s;
  };
  for (const auto& [n, streamed, error] : std::vector<std::tuple<int, bool, std::string>>{
           {1000, false, ""},
           {1001, false, "Document exceeds the limit of 1000 XML elements held at once"},
           {5000, true, ""}}) {
    TZvXMLEngine e;
    e.SetBudget(&budget);
    if (streamed) e.SetOnAfterTag([](TZvXMLEngine*, TZvXMLItem*& node, bool&) { TZvXMLItem::Free(node); });
    std::string got;
    try {
      e.LoadFromBytes(elements(n));
    } catch (const EResourceLimit& x) {
      got = x.what();
    }
    EXPECT_EQ(got, error) << n;
  }
  EXPECT_EQ(TZvXMLItems::Held(), before);
}

TEST(XMLWalk, EventsInDocumentOrderWithSkipAndStop) {
  struct Case {
    const char* xml;
    const char* skip;  // elements whose subtree is skipped
    const char* stop;  // element whose entry stops the walk
    const char* trace;
  } cases[] = {
      {"<a>1<b>2</b>3<c/>4</a>", "", "", "<a:0 '1' <b:1 '2' >b ~3 <c:1 >c ~4 >a"},
      {"<a><b>2<x>y</x></b><c>3</c></a>", "b", "", "<a:0 <b:1 >b <c:1 '3' >c >a"},
      {"<a><b>2</b><c>3</c></a>", "", "c", "<a:0 <b:1 '2' >b <c:1 stop"},
      // Attribute items are not content; comments are items like any other.
      {"<?xml version=\"1.0\"?><a><!--n-->t</a>", "", "", "<?xml:0 <a:1 <!--:2 '!--n--' >!-- ~t >a >?xml"},
  };
  for (const auto& c : cases) {
    Parsed p(c.xml);
    std::string trace;
    const bool done = WalkXML(
        p.engine.RootItem(),
        {.OnEnter = [&](TZvXMLItem& i, int depth) {
           trace += " <" + U8(i.TagName) + ":" + std::to_string(depth);
           if (U8(i.TagName) == c.stop) return trace += " stop", waStop;
           return U8(i.TagName) == c.skip ? waSkipChildren : waContinue;
         },
         .OnText = [&](TZvXMLItem&, std::u16string_view t, int) { return trace += " '" + U8(WideString(t)) + "'", waContinue; },
         .OnLeave = [&](TZvXMLItem& i, int) { return trace += " >" + U8(i.TagName), waContinue; },
         .OnTail = [&](TZvXMLItem&, std::u16string_view t, int) {
           if (!t.empty()) trace += " ~" + U8(WideString(t));
           return waContinue;
         }});
    EXPECT_EQ(trace.substr(1), c.trace) << c.xml;
    EXPECT_EQ(done, std::string(c.stop).empty()) << c.xml;
  }
}

TEST(XMLWalk, HundredThousandLevelsNeedNoCallStack) {
  TZvXMLItem root;
  TZvXMLItem* leaf = &root;
  for (int i = 0; i < 100000; ++i) {
    leaf = TZvXMLItems::AddItem(leaf);
    leaf->TagName = u"w:p";
  }
  leaf->Value = u"deep";
  int deepest = 0, left = 0;
  WalkXML(&root, {.OnEnter = [&](TZvXMLItem&, int d) { return deepest = std::max(deepest, d), waContinue; },
                  .OnLeave = [&](TZvXMLItem&, int) { return ++left, waContinue; }});
  EXPECT_EQ(deepest, 100000);
  EXPECT_EQ(left, 100001);
  EXPECT_EQ(U8(root.FullText()), "deep");
  EXPECT_EQ(FindXMLItems(&root, u"p").size(), 100000u);
}

TEST(XMLNames, LocalNameAndNamespaceMatching) {
  const char* xml =
      "<w:document xmlns:w=\"urn:main\" xmlns:x=\"urn:other\">"
      "<w:p/><P/><x:p/><p xmlns=\"urn:main\"/><q:p xmlns:q=\"urn:main\"/><w:pp/></w:document>";
  struct Case {
    const char16_t* local;
    const char16_t* uri;
    size_t count;
  } cases[] = {
      {u"p", u"", 4},           // any prefix, no prefix; case counts
      {u"p", u"urn:main", 3},   // w:, the default namespace and q: bound to the same URI
      {u"p", u"urn:other", 1},  // x:p
      {u"p", u"urn:none", 0},
      {u"document", u"urn:main", 1},
  };
  Parsed p(xml);
  for (const auto& c : cases)
    EXPECT_EQ(FindXMLItems(p.engine.RootItem(), c.local, c.uri, true).size(), c.count) << U8(c.local) << U8(c.uri);
  EXPECT_EQ(XMLLocalName(u"w:tbl"), u"tbl");
  EXPECT_EQ(XMLLocalName(u"tbl"), u"tbl");
  EXPECT_EQ(FindXMLItem(p.engine.RootItem(), u"document"), nullptr);  // the anchor only when asked
  EXPECT_EQ(FindXMLItem(p.engine.RootItem(), u"p", u"urn:other"), p.engine.RootItem()->Items()[2]);
}

TEST(XMLNames, RootFoundWithoutParsing) {
  const struct {
    std::string bytes;
    const char* name;
  } cases[] = {
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c > d -->\n<!DOCTYPE x>\n<w:wordDocument xmlns:w=\"u\">", "w:wordDocument"},
      {"<FictionBook/>", "FictionBook"},
      {"  <a\tb='1'>text</a>", "a"},
      {"PK\x03\x04<a>", ""},
      {"<!-- never closed", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(XMLRootName(c.bytes), c.name) << c.bytes;
  EXPECT_EQ(XMLRootTag("<?xml?><r a=\"1\">x</r>"), "<r a=\"1\"");
}

TEST(XMLNames, PartPathsResolveAgainstTheReferringPart) {
  struct Case {
    const char* base;
    const char* target;
    const char* path;
  } cases[] = {
      {"word/document.xml", "header1.xml", "word/header1.xml"},
      {"word/document.xml", "./media/../styles.xml", "word/styles.xml"},
      {"word/document.xml", "../customXml/item1.xml", "customXml/item1.xml"},
      {"word/document.xml", "../../../x.xml", "x.xml"},
      {"word/document.xml", "/word/footer2.xml", "word/footer2.xml"},
      {"", "word/document.xml", "word/document.xml"},
      {"OEBPS/content.opf", "Text/ch%201.xhtml#sec2", "OEBPS/Text/ch 1.xhtml"},
      {"OEBPS/content.opf", "a%2", "OEBPS/a%2"},
      {"OEBPS/content.opf", "#only-a-fragment", ""},
      {"word/document.xml", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolvePartPath(c.base, c.target), c.path) << c.base << " + " << c.target;
}

TEST(XMLEngine, SecondLoadStartsAfresh) {
  TZvXMLEngine e;
  e.LoadFromBytes("<a>one</a>");
  e.LoadFromBytes("<b>two</b>");
  EXPECT_EQ(U8(e.RootItem()->TagName), "b");
  EXPECT_EQ(U8(*e.RootItem()->Value), "two");
  EXPECT_EQ(e.RootItem()->Items().Count(), 0);
}

TEST(XMLEngine, RejectedTagsWithoutEndNeverSendTheScanBack) {
  // Each tag is offered once: a rejected start tag cut short by "/" must not rewind the scan.
  std::string xml = "<r><p>a></w:L w\" w:l";
  for (int i = 0; i < 200; ++i) xml += "<w:p/2\"/ith";
  int offered = 0;
  TZvXMLEngine e;
  e.SetOnTag([&](TZvXMLEngine*, TZvXMLItem*, std::u16string_view name, std::u16string_view, std::u16string_view,
                 bool& accept) { ++offered, accept = name != u"w:p"; });
  e.LoadFromBytes(xml);
  EXPECT_LE(offered, 400);
}

TEST(XMLEngine, MalformedInputNeverHangs) {
  const char* cases[] = {"", "<", "/>", "<a/>/>/>", "< < <", "<a b=\"/>", "<![CDATA[", "<!--",
                         "<a>x</", "<<<>>>", "<?xml?>/>x", "<a>\0<b/>", "</></></>"};
  for (const char* c : cases) {
    TZvXMLEngine e;
    e.LoadFromBytes(c);
    (void)e.RootItem()->FullText();
  }
  SUCCEED();
}

// Kind, name, value, raw attributes, children and tail of every item, attributes included.
std::string Dump(const TZvXMLItem& i) {
  std::string s = std::to_string(i.Kind) + U8(i.TagName) + "[" + U8(i.Attributes) + "]";
  if (i.Value) s += "=" + U8(*i.Value);
  s += "(";
  for (const auto& c : i.Items()) s += Dump(*c);
  return s + ")" + U8(i.Tail) + "|";
}

TEST(XMLEngine, Utf8PartsParseAsTheirDecodedText) {
  // UTF-8 is scanned as bytes: every tree and event must match a parse of the decoded text.
  std::string e40;
  for (int k = 0; k < 40; ++k) e40 += "\xC3\xA9";
  const std::string cases[] = {
      "<a>" + e40 + "<b c='>/' d=\"x/y\">t\xF0\x9F\x98\x80</b>tail \xC3\xA9</a>",
      "<a>x</a><\xC3\xA9",
      "<a/><\xF0\x9F\x98\x80",
      "<a/>/\xF0\x9F\x98\x80",
      "<a><!--comment \xC3\xA9",
      "<a><!--\xF0\x9F\x98\x80",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a \xFF='1'>\xC3<b>\xE2\x82</b>\xED\xA0\x80</a>\xE2",
      "<!DOCTYPE d [<!ENTITY e 'x'>]><d><![CDATA[\xC3\xA9]]>\xC3\xA9<x\xC3\xA9>skip<y/>" + e40 +
          "</x\xC3\xA9>end</d>",
      "<a><b>1</b>\xC3\xA9<c/>\xC3\xBC</a>\xC3\xA9<z>" + e40 + "</z>",
      "<a><x>" + e40 + ">" + std::string(21, 'q') + "<y>in</y>z</x>after<x>>" + e40 + "</x>end</a>",
      // Quotes and markup characters inside and across sixteen-byte blocks of attribute text.
      "<r><a k1=\"v/1\" k2='v\"2' k5=\"/\" k3=\"" + std::string(20, 'w') + "'\" k4='/>'>t</a><b q=\"" +
          std::string(30, 'x') + "\"/><c p='" + std::string(17, 'y') + "/></r><d e=\"" + e40 + ">",
  };
  for (const std::string& xml : cases) {
    for (bool filtered : {false, true}) {
      std::string events[2];
      auto load = [&](TZvXMLEngine& e, std::string& log) {
        e.SetAttributesAutoProcess(filtered);
        e.SetOnTag([&](TZvXMLEngine*, TZvXMLItem*, std::u16string_view n, std::u16string_view v,
                       std::u16string_view a, bool& accept) {
          log += U8(WideString(n)) + "/" + U8(WideString(v)) + "/" + U8(WideString(a)) + ";";
          accept = !filtered || n.empty() || n[0] != u'x';
        });
      };
      TZvXMLEngine bytes, text;
      load(bytes, events[0]);
      load(text, events[1]);
      bytes.LoadFromBytes(xml);
      text.ParseXMLFromString(Utf8ToWide(xml));
      EXPECT_EQ(Dump(*bytes.RootItem()), Dump(*text.RootItem())) << xml;
      EXPECT_EQ(events[0], events[1]) << xml;
    }
  }
}

TEST(XMLEngine, ItemsFreedWhileReadingComeBackEmpty) {
  // A reader frees each paragraph once read; the items of the next ones must start blank.
  TZvXMLEngine e;
  e.SetAttributesAutoProcess(true);
  std::vector<std::string> paragraphs;
  e.SetOnAfterTag([&](TZvXMLEngine*, TZvXMLItem*& node, bool&) {
    if (node->TagName != u"p") return;
    paragraphs.push_back(Dump(*node));
    TZvXMLItem::Free(node);
  });
  e.LoadFromBytes("<d><p a=\"1\">x<b c=\"2\">y<!--n--></b>z</p><p/><p><q/></p>w</d>");
  const std::vector<std::string> expected = {
      "0p[]=x(1a[]=\"1\"()|0b[]=y(1c[]=\"2\"()|2!--[]=!--n--()|)z|)|", "0p[]()|", "0p[](0q[]()|)w|"};
  EXPECT_EQ(paragraphs, expected);
  EXPECT_EQ(Dump(*e.RootItem()), "0d[]()|");
}

struct EntityCase {
  const char* in;
  const char* out;
};

TEST(XMLEntities, DecodeOnceWithHtmlNames) {
  const EntityCase cases[] = {
      {"a &amp; b", "a & b"},
      {"&amp;lt;", "&lt;"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"&nbsp;", "\xC2\xA0"},
      {"&copy; &trade; &plusmn; &euro;", "\xC2\xA9 \xE2\x84\xA2 \xC2\xB1 \xE2\x82\xAC"},
      {"&paragraph;", "&paragraph;"},
      {"&para;", "\xC2\xB6"},
      {"&amp", "&amp"},
      {"&#65;&#x42;&#X43;", "ABC"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&#0; &#xD800; &#99999999;", "&#0; &#xD800; &#99999999;"},
      {"&#9;&#10;&#13;", "\t\n\r"},
      {"no refs", "no refs"},
      {"&;&#;&#x;", "&;&#;&#x;"},
  };
  for (const auto& c : cases) {
    WideString s = W(c.in);
    ReplaceHTMLChars(s);
    EXPECT_EQ(U8(s), c.out) << c.in;
  }
}

TEST(XMLDates, StringToDateTime) {
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"1899-12-30T00:00:00"), 0.0);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"1900-01-01T12:00:00Z"), 2.5);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"2024-02-29T06:00:00+02:00"), 45351.25);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"2024-02-30T06:00:00"), 0.0);
  // Before 1899-12-30 the time of day counts away from zero, as for every other date.
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"1899-12-29T18:00:00"), -1.75);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"2024-02-28"), 0.0);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u""), 0.0);
  EXPECT_DOUBLE_EQ(XMLStringToDateTime(u"2024-0x-28T06:00:00"), 0.0);
}

TEST(XMLHelpers, SameStringsAndPaths) {
  EXPECT_TRUE(SameStrings(false, u"W:P", u"w:p"));
  EXPECT_FALSE(SameStrings(true, u"W:P", u"w:p"));
  EXPECT_FALSE(SameStrings(false, u"\u00C9", u"\u00E9"));
  WideString path = u"a/b/c";
  EXPECT_EQ(U8(TZvXMLEngine::GetLastTagName(path)), "c");
  EXPECT_EQ(U8(path), "a/b");
  path = u"a/b/c";
  EXPECT_EQ(U8(TZvXMLEngine::GetFirstTagName(path)), "a");
  EXPECT_EQ(U8(path), "b/c");
  path = u"single";
  EXPECT_EQ(U8(TZvXMLEngine::GetFirstTagName(path)), "single");
  EXPECT_TRUE(path.empty());
}

}  // namespace

namespace {
TEST(XMLEngine, DocumentTypeWithInternalSubsetIsOneItem) {
  TZvXMLEngine e;
  e.LoadFromBytes("<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY x SYSTEM \"http://h/\">\n]>\n<r>t &x;</r>");
  TZvXMLItem* r = e.GetItemByTag(nullptr, u"r");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ParentItem(), e.RootItem());
  EXPECT_EQ(WideToUtf8(r->FullText()), "t &x;");
}
}  // namespace

namespace {
TEST(XMLText, DecodeUtf8) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"plain", u"plain"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", u"caf\u00E9 \u20AC \U0001F600"},
      {"bad \xFF end", u"bad \uFFFD end"},
      {"cut \xE2\x82", u"cut \uFFFD\uFFFD"},
      {"overlong \xC0\xAF", u"overlong \uFFFD\uFFFD"},
      {"surrogate \xED\xA0\x80", u"surrogate \uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.in), c.out) << c.in;
}
}  // namespace
