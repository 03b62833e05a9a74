// The text sink: mark rendering per mode, escaping, framing, the length limit and the hooks a
// host has on the output.
#include <gtest/gtest.h>

#include <functional>

#include "framework/TextSink.h"

namespace zvword {
namespace {

const TMarkTable kMarks = {{
    {u"\r\n", u"\\par \r\n", u"<p></p>\r\n"},  // paragraph
    {u"\r\n", u"\\line ", u"<br>"},            // line
    {u"\t", u"\\tab ", u"&#9;"},               // tab
    {u" ", u"\\cell ", u"</td>"},              // cell
    {u"\r\n", u"\\row\r\n", u"</tr>\r\n"},     // row
    {u"\f", u"\\page ", u"<hr>"},              // page
}};

// A reader whose document is whatever the test feeds to its sink; it sees every item it adds.
class SinkReader : public TMSWBaseDocument {
 public:
  TTextSink Sink{*this, kMarks};
  std::vector<WideString> Seen;
  void AddText(const WideString& Text, TWideStrings* Strings) override {
    Seen.push_back(Text);
    TMSWBaseDocument::AddText(Text, Strings);
  }
};

struct RenderCase {
  const char* name;
  TMSTextFormating mode;
  std::function<void(TTextSink&)> feed;
  std::u16string expected;  // the joined text between prologue and epilogue
};

class SinkRendering : public ::testing::TestWithParam<RenderCase> {};

TEST_P(SinkRendering, JoinsToTheRendering) {
  const RenderCase& c = GetParam();
  SinkReader doc;
  doc.SetTextFormating(c.mode);
  doc.Sink.Open(doc.Text(), false);
  c.feed(doc.Sink);
  doc.Sink.Close(false);
  EXPECT_EQ(doc.Text()->WideText(), c.expected) << c.name;
  // Every item reached the list through AddText.
  EXPECT_EQ(static_cast<int>(doc.Seen.size()), doc.Text()->Count());
}

void Marks(TTextSink& s) {
  s.Text(u"a");
  s.Mark(tmTab);
  s.Text(u"b");
  s.Mark(tmCell);
  s.Mark(tmRow);
  s.Text(u"c");
  s.Mark(tmLine);
  s.Mark(tmPage);
  s.Mark(tmParagraph);
}

void Escapes(TTextSink& s) { s.Text(u"<a & \"b\"> {c}\\ \u00E9\u20AC\U0001F600"); }

void Breaks(TTextSink& s) {
  s.Text(u"one");
  s.Break(u"\n");
  s.Text(u"two");
  s.Break(u"\r");
}

void Raw(TTextSink& s) {
  WideString held;
  s.Text(u"x<y", held);
  s.Mark(tmParagraph, held);
  s.Raw(held);
  s.Markup(TMarkup{u"[plain]", u"[rtf]", u"[html]"});
}

INSTANTIATE_TEST_SUITE_P(
    TextSink, SinkRendering,
    ::testing::Values(
        RenderCase{"marks plain", tfPlainText, Marks, u"a\tb \r\nc\r\n\f\r\n"},
        RenderCase{"marks rtf", tfRTF, Marks, u"a\\tab b\\cell \\row\r\nc\\line \\page \\par \r\n"},
        RenderCase{"marks html", tfHTML, Marks, u"a&#9;b</td></tr>\r\nc<br><hr><p></p>\r\n"},
        RenderCase{"plain is never escaped", tfPlainText, Escapes, u"<a & \"b\"> {c}\\ \u00E9\u20AC\U0001F600\r\n"},
        RenderCase{"rtf escapes", tfRTF, Escapes,
                   u"<a & \"b\"> \\{c\\}\\\\ \\u233\\'e9\\u8364\\'80\\u-10179\\'3f\\u-8704\\'3f\r\n"},
        RenderCase{"html escapes", tfHTML, Escapes,
                   u"&lt;a &amp; &quot;b&quot;&gt; {c}\\ \u00E9\u20AC\U0001F600\r\n"},
        RenderCase{"plain keeps the document's breaks", tfPlainText, Breaks, u"one\ntwo\r\r\n"},
        RenderCase{"rtf renders breaks", tfRTF, Breaks, u"one\\line two\\line \r\n"},
        RenderCase{"held text goes out raw", tfHTML, Raw, u"x&lt;y<p></p>\r\n[html]\r\n"},
        RenderCase{"held text plain", tfPlainText, Raw, u"x<y\r\n[plain]\r\n"}),
    [](const ::testing::TestParamInfo<RenderCase>& info) {
      std::string n = info.param.name;
      for (auto& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(TextSink, LinesStreamToTheConsumerBetweenPrologueAndEpilogue) {
  SinkReader doc;
  doc.SetTextFormating(tfHTML);
  std::vector<WideString> out;
  doc.Text()->SetConsumer([&out](const WideString& item) { out.push_back(item); });
  doc.Sink.Open(doc.Text());
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], doc.GetTextStart());
  doc.Sink.Text(u"first");
  doc.Sink.Mark(tmParagraph);
  // A finished line goes out at once, before the document ends.
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1], u"first<p></p>");
  doc.Sink.Text(u"last");
  doc.Sink.Close();
  EXPECT_EQ(out, (std::vector<WideString>{doc.GetTextStart(), u"first<p></p>", u"last", doc.GetTextFinish()}));
  EXPECT_EQ(doc.Seen, out);
}

TEST(TextSink, LimitCutsTheJoinedTextAndStopsTheReader) {
  for (const bool consumer : {false, true}) {
    SinkReader doc;
    doc.SetMaxTextLength(11);
    WideString streamed;
    if (consumer) doc.Text()->SetConsumer([&streamed](const WideString& item) { streamed += item + u"\r\n"; });
    doc.Sink.Open(doc.Text());
    int lines = 0;
    for (; lines < 100 && !doc.Sink.Stopped(); ++lines) {
      doc.Sink.Text(u"line");
      doc.Sink.Mark(tmParagraph);
    }
    doc.Sink.Close();
    EXPECT_TRUE(doc.IsCancelExtract);
    EXPECT_EQ(lines, 2);  // the reader stopped as soon as the limit was reached
    // The first 11 characters of "\r\nline\r\nline\r\n...", then the list's own line end.
    EXPECT_EQ(consumer ? streamed : doc.Text()->WideText(), u"\r\nline\r\nlin\r\n");
  }
}

TEST(TextSink, SideListFillsUpWithoutStoppingTheReader) {
  SinkReader doc;
  doc.SetMaxTextLength(8);
  TWideStrings notes;
  doc.Sink.Open(&notes, false);
  for (int i = 0; i < 5; ++i) {
    doc.Sink.Text(u"note");
    doc.Sink.Mark(tmParagraph);
  }
  doc.Sink.Close(false);
  EXPECT_EQ(notes.WideText(), u"note\r\nno\r\n");  // the first 8 characters, then the line end
  EXPECT_FALSE(doc.Sink.Stopped());
}

TEST(TextSink, HostReplacesSpecialCharacters) {
  SinkReader doc;
  doc.SetTextFormating(tfRTF);
  std::vector<std::pair<TZvWordSysChar, WideString>> seen;
  doc.SetOnConvertSysChar([&](TMSWBaseDocument* sender, TZvWordSysChar kind, WideString value, WideString& result) {
    EXPECT_EQ(sender, &doc);
    seen.emplace_back(kind, result);
    if (kind == scRowEnd) result = u"<row:" + value + u">";
  });
  doc.Sink.Open(doc.Text(), false);
  doc.Sink.Special(scParagraphEnd, 13, doc.Sink.Rendering(tmParagraph));
  doc.Sink.Special(scRowEnd, u'R', doc.Sink.Rendering(tmRow));
  WideString held;
  doc.Sink.Special(scRowEnd, u'S', u"unused", held);
  doc.Sink.Close(false);
  EXPECT_EQ(doc.Text()->WideText(), u"\\par \r\n<row:R>\r\n");
  EXPECT_EQ(held, u"<row:S>");
  ASSERT_EQ(seen.size(), 3u);
  // The handler is offered the default rendering of the mode.
  EXPECT_EQ(seen[0], (std::pair<TZvWordSysChar, WideString>{scParagraphEnd, u"\\par \r\n"}));
}

TEST(TextSink, OutputIsChargedToTheBudget) {
  SinkReader doc;
  TResourceLimits limits;
  limits.MaxOutputChars = 10;
  doc.SetResourceLimits(limits);
  doc.Sink.Open(doc.Text(), false);
  doc.Sink.Text(u"12345");
  doc.Sink.EndLine();
  EXPECT_EQ(doc.Budget().Output(), 5);
  doc.Sink.Text(u"123456");
  EXPECT_THROW(doc.Sink.EndLine(), EResourceLimit);
}

}  // namespace
}  // namespace zvword
