// FIB layouts, piece tables and stories of Word binary documents built in code.
#include <gtest/gtest.h>

#include "builders/WordDocBuilder.h"
#include "platform/CodePages.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

using test::WordDocBuilder;
using test::WordStory;
using Layout = WordDocBuilder::Layout;

// Reads a built document the way a compound-file load does: WordDocument and table streams.
std::unique_ptr<TMSWordDocument> Read(const WordDocBuilder& b, TMSTextFormating mode = tfPlainText) {
  auto doc = std::make_unique<TMSWordDocument>();
  doc->SetTextFormating(mode);
  doc->ClearInternalLists();
  TMemoryStream wd(b.WordDocument());
  TMemoryStream table(b.Table());
  doc->ReadDocFromStream(wd, &table);
  return doc;
}

// The body without the prologue and epilogue items.
// The body between prologue and epilogue, its lines joined as the list joins them.
std::u16string Body(const TMSWordDocument& doc) {
  std::u16string s;
  for (int i = 1; i + 1 < doc.Text()->Count(); ++i) s += (i > 1 ? u"\r\n" : u"") + doc.Text()->Get(i);
  return s;
}

std::u16string Joined(const TWideStrings* list) {
  std::u16string s;
  for (int i = 0; i < list->Count(); ++i) s += (i > 0 ? u"\r\n" : u"") + list->Get(i);
  return s;
}

struct PieceCase {
  const char* name;
  WordDocBuilder builder;
  std::u16string body;  // or, for a table that is refused, its message
  bool refused = false;
};

class PieceTableTest : public ::testing::TestWithParam<PieceCase> {};

TEST_P(PieceTableTest, DecodesBody) {
  try {
    const auto doc = Read(GetParam().builder);
    EXPECT_FALSE(GetParam().refused);
    EXPECT_EQ(Body(*doc), GetParam().body);
  } catch (const Exception& e) {
    EXPECT_TRUE(GetParam().refused) << WideToUtf8(e.Message());
    EXPECT_EQ(e.Message(), GetParam().body);
  }
}

WordDocBuilder Many(int pieces) {
  WordDocBuilder b;
  for (int i = 0; i < pieces; ++i) b.Piece(std::u16string(1, static_cast<char16_t>(u'a' + i % 26)), i % 2 == 0);
  return b;
}

std::u16string ManyText(int pieces) {
  std::u16string s;
  for (int i = 0; i < pieces; ++i) s += static_cast<char16_t>(u'a' + i % 26);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Word, PieceTableTest,
    ::testing::Values(
        PieceCase{"sixteen_bit", WordDocBuilder().Piece(u"Hello \u0416\u4E2D"), u"Hello \u0416\u4E2D"},
        PieceCase{"eight_bit", WordDocBuilder().Piece(u"caf\u00E9", true), u"caf\u00E9"},
        PieceCase{"eight_bit_windows_only", WordDocBuilder().Piece(u"\x93quoted\x94 \x80", true),
                  u"\u201Cquoted\u201D \u20AC"},
        PieceCase{"mixed_pieces", WordDocBuilder().Piece(u"one ", true).Piece(u"\u03B4\u03CD\u03BF ").Piece(u"three", true),
                  u"one \u03B4\u03CD\u03BF three"},
        PieceCase{"scattered_fast_save",
                  WordDocBuilder().Piece(u"first ").Piece(u"second ", true).Piece(u"third").Scattered(),
                  u"first second third"},
        PieceCase{"grpprl_before_pieces", WordDocBuilder().Piece(u"ab", true).Piece(u"cd").GrpprlEntries(3), u"abcd"},
        PieceCase{"table_zero", WordDocBuilder().Piece(u"zero table").UseTable0(), u"zero table"},
        PieceCase{"many_pieces", Many(700), ManyText(700)},
        PieceCase{"word6_pieces", WordDocBuilder(Layout::Word6).Piece(u"six ").Piece(u"pieces").Scattered(),
                  u"six pieces"},
        PieceCase{"word2_flat", WordDocBuilder(Layout::Word2).Piece(u"Word two text"), u"Word two text"},
        PieceCase{"paragraphs", WordDocBuilder().Piece(u"a\rb\r", true), u"a\r\nb\r\n"},
        // Fast saves leave pieces that share bytes; a table that replays them is refused.
        PieceCase{"shared_bytes", WordDocBuilder().Piece(std::u16string(50, u'r')).Replays(2), std::u16string(150, u'r')},
        PieceCase{"replayed_bytes", WordDocBuilder().Piece(std::u16string(500, u'r')).Replays(2),
                  u"Word piece table is damaged: its pieces read more bytes than the document holds", true},
        PieceCase{"positions_go_back", WordDocBuilder().Piece(u"one").Piece(u"two").Position(1, 5).Position(2, 2),
                  u"Word piece table is damaged: its character positions go back", true}),
    [](const ::testing::TestParamInfo<PieceCase>& info) { return std::string(info.param.name); });

TEST(WordDoc, StoriesGoToTheirListsAndNotToTheBody) {
  for (bool eightBit : {false, true}) {
    WordDocBuilder b;
    b.Piece(u"Body text\r", eightBit)
        .Story(WordStory::Footnotes, u"\x02 A footnote\r", eightBit)
        .Story(WordStory::Headers, u"Header line\rFooter line\r", eightBit)
        .Story(WordStory::Annotations, u"\x05 A comment\r", eightBit)
        .Story(WordStory::Endnotes, u"\x02 An endnote\r", eightBit)
        .Story(WordStory::TextBoxes, u"Boxed\r", eightBit)
        .Story(WordStory::HeaderTextBoxes, u"Header box\r", eightBit)
        .Story(WordStory::Macros, u"Macro doc\r", eightBit)
        .Scattered();
    const auto doc = Read(b);
    EXPECT_EQ(Body(*doc), u"Body text\r\n") << eightBit;
    EXPECT_EQ(Joined(doc->FootNoteText()), u" A footnote\r\n");
    EXPECT_EQ(Joined(doc->HeaderText()), u"Header line\r\nFooter line\r\n");
    EXPECT_EQ(Joined(doc->AnnotationText()), u" A comment\r\n");
    EXPECT_EQ(Joined(doc->EndNoteText()), u" An endnote\r\n");
    EXPECT_EQ(Joined(doc->TextBoxText()), u"Boxed\r\n");
    EXPECT_EQ(Joined(doc->HeaderTextBoxText()), u"Header box\r\n");
    EXPECT_EQ(Joined(doc->MacroText()), u"Macro doc\r\n");
    EXPECT_EQ(doc->FooterText()->Count(), 0);
  }
}

TEST(WordDoc, Word6StoriesFollowTheMainText) {
  WordDocBuilder b(Layout::Word6);
  b.Piece(u"Main\r").Story(WordStory::Footnotes, u"Note\r").Story(WordStory::Headers, u"Head\r");
  const auto doc = Read(b);
  EXPECT_EQ(Body(*doc), u"Main\r\n");
  EXPECT_EQ(Joined(doc->FootNoteText()), u"Note\r\n");
  EXPECT_EQ(Joined(doc->HeaderText()), u"Head\r\n");
  EXPECT_EQ(doc->DocVersion(), 6);
}

TEST(WordDoc, StoryTextSpanningPiecesIsJoined) {
  WordDocBuilder b;
  b.Piece(u"Bo").Piece(u"dy\r", true).Story(WordStory::Footnotes, u"Fo", true).Story(WordStory::Footnotes, u"ot\r");
  const auto doc = Read(b);
  EXPECT_EQ(Body(*doc), u"Body\r\n");
  EXPECT_EQ(Joined(doc->FootNoteText()), u"Foot\r\n");
}

TEST(WordDoc, HtmlFramesBodyAndEscapes) {
  WordDocBuilder b;
  b.Piece(u"x < y\r");
  const auto doc = Read(b, tfHTML);
  ASSERT_GE(doc->Text()->Count(), 3);
  EXPECT_EQ(doc->Text()->Get(0).rfind(u"<html>", 0), 0u);
  EXPECT_EQ(Body(*doc), u"x &lt; y<p></p>\r\n");
  EXPECT_EQ(doc->Text()->Get(doc->Text()->Count() - 1), u"\r\n</body>\r\n</html>");
}

TEST(WordDoc, VersionsFromFibNumber) {
  struct Row {
    Layout layout;
    uint16_t nFib;
    int version;
  };
  const Row rows[] = {{Layout::Word97, 193, 8}, {Layout::Word97, 217, 8}, {Layout::Word97, 102, 8},
                      {Layout::Word6, 101, 6},  {Layout::Word6, 104, 7},  {Layout::Word2, 45, 2}};
  for (const auto& r : rows) {
    WordDocBuilder b(r.layout);
    b.FibNumber(r.nFib).Piece(u"v");
    TMSWordDocument doc;
    TMemoryStream wd(b.WordDocument());
    doc.ReadFIB(wd);
    EXPECT_EQ(doc.DocVersion(), r.version) << r.nFib;
  }
}

TEST(WordDoc, FibFieldsPerLayout) {
  WordDocBuilder b(Layout::Word6);
  b.Piece(u"abc").Story(WordStory::Footnotes, u"de").Story(WordStory::TextBoxes, u"f").Language(0x0419);
  TMSWordDocument doc;
  TMemoryStream wd(b.WordDocument());
  doc.ReadFIB(wd);
  EXPECT_EQ(doc.FIB().ccpText, 3);
  EXPECT_EQ(doc.FIB().ccpFtn, 2);
  EXPECT_EQ(doc.FIB().ccpTxbx, 1);
  EXPECT_EQ(doc.FIB().lID, 0x0419);
  EXPECT_EQ(doc.FIB().fcMin, 1024u);
  EXPECT_GT(doc.FIB().lcbClx, 0u);
}

TEST(WordDoc, EncryptedDocumentIsRefusedBeforeAnyText) {
  WordDocBuilder b;
  b.Piece(u"secret").Encrypted();
  TMSWordDocument doc;
  TMemoryStream wd(b.WordDocument());
  TMemoryStream table(b.Table());
  try {
    doc.ReadDocFromStream(wd, &table);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Could not read the password protected file");
  }
  EXPECT_EQ(doc.Text()->Count(), 0);
  EXPECT_TRUE(doc.IsPasswordProtected());
}

TEST(WordDoc, PieceOutsideTheStreamRaises) {
  WordDocBuilder b;
  b.Piece(u"text").FirstPieceOffsetShift(1u << 24);
  try {
    Read(b);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Piece Bounds out of range");
  }
}

TEST(WordDoc, LyingPieceTableLengthFallsBackToOneRun) {
  // A length far beyond the table: the descriptors are not trusted and the text is read as the
  // run from fcMin to fcMac.
  WordDocBuilder b;
  b.Piece(u"whole run").ClxLengthOverride(0x7FFFFFF0);
  const auto doc = Read(b);
  EXPECT_EQ(Body(*doc), u"whole run");
  EXPECT_EQ(doc->CLX().noPCD, 1u);
}

TEST(WordDoc, TruncatedFibIsNotAWordDocument) {
  TMSWordDocument doc;
  TMemoryStream wd(std::string("\xEC\xA5\xC1\x00", 4));
  EXPECT_THROW(doc.ReadDocFromStream(wd, nullptr), Exception);
}

TEST(WordDoc, LanguageToCodePage) {
  struct Row {
    uint16_t lid;
    int codePage;
  };
  const Row rows[] = {{0x0419, 1251}, {0x041A, 1252}, {0x0C1A, 1251}, {0x0411, 932}, {0x0405, 1250},
                      {0x0408, 1253}, {0x041F, 1254}, {0x040D, 1255}, {0x0401, 1256}, {0x0425, 1257},
                      {0x0404, 950},  {0x0804, 936},  {0x0412, 949},  {0x0812, 1361}, {0x041E, 874},
                      {0x0409, 1252}, {0x0000, 0}};
  for (const auto& r : rows) {
    WordDocBuilder b;
    b.Language(r.lid).Piece(u"x");
    TMSWordDocument doc;
    TMemoryStream wd(b.WordDocument());
    doc.ReadFIB(wd);
    EXPECT_EQ(doc.DocLangToCodePage(), r.codePage) << std::hex << r.lid;
  }
}

TEST(WordDoc, FarEastLanguageAndDefaultLanguageEvent) {
  WordDocBuilder b;
  b.Language(0x0409).FarEastLanguage(0x0411).Piece(u"x");
  TMSWordDocument doc;
  TMemoryStream wd(b.WordDocument());
  doc.ReadFIB(wd);
  EXPECT_TRUE(doc.IsFarEastDocument());
  EXPECT_EQ(doc.DocLangToCodePage(), 932);
  doc.SetOnGetDefaultLanguage([](TMSWBaseDocument*, uint16_t& lang) { lang = 0x0419; });
  EXPECT_EQ(doc.DocLangToCodePage(), 1251);
}

TEST(WordDoc, Word6TextUsesTheDocumentCodePage) {
  if (!IsCodePageSupported(1251)) GTEST_SKIP() << "code page 1251 not available";
  WordDocBuilder b(Layout::Word6);
  b.Language(0x0419).Piece(u"\u00EF\u00F0\u00E8\u00E2\u00E5\u00F2");  // the 1251 bytes of the word below
  const auto doc = Read(b);
  EXPECT_EQ(Body(*doc), u"\u043F\u0440\u0438\u0432\u0435\u0442");
}

TEST(WordDoc, Word97EightBitPiecesAreWestern) {
  // A Russian document's 8-bit pieces hold only Western characters; the language does not change them.
  WordDocBuilder b;
  b.Language(0x0419).Piece(u"caf\u00E9 ", true).Piece(u"\u043C\u0438\u0440");
  const auto doc = Read(b);
  EXPECT_EQ(Body(*doc), u"caf\u00E9 \u043C\u0438\u0440");
}

TEST(WordDoc, TextOffLeavesNoText) {
  WordDocBuilder b;
  b.Piece(u"text");
  TMSWordDocument doc;
  doc.SetParseItems(TZvWParseItems{wpiSummaryInformation});
  TMemoryStream wd(b.WordDocument());
  TMemoryStream table(b.Table());
  doc.ReadDocFromStream(wd, &table);
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(WordDoc, FlatWord2StreamLoads) {
  WordDocBuilder b(Layout::Word2);
  b.Piece(u"Flat Word 2\r").Story(WordStory::Footnotes, u"note\r");
  TMSWordDocument doc;
  TMemoryStream s(b.WordDocument());
  doc.LoadFromStream(s);
  EXPECT_EQ(Body(doc), u"Flat Word 2\r\n");
  EXPECT_EQ(Joined(doc.FootNoteText()), u"note\r\n");
  EXPECT_EQ(doc.DocVersion(), 2);
}

TEST(WordDoc, OtherBytesAreNotAWordDocument) {
  // A stream is named by the name its caller gave, else as a stream.
  for (const WideString name : {u"", u"given.doc"}) {
    for (const std::string& bytes : {std::string("<?xml version=\"1.0\"?><w:document/>"),
                                    std::string("\xFFWPC\x10\x00\x00\x00", 8), std::string(600, '\0')}) {
      TMSWordDocument doc;
      doc.SetFileName(name);
      TMemoryStream s(bytes);
      try {
        doc.LoadFromStream(s);
        FAIL() << "no exception";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), name.empty() ? u"The stream is not a valid MS Word document"
                                            : u"File given.doc is not valid MS Word document");
      }
    }
  }
}

TEST(WordDoc, ReloadClearsEverything) {
  WordDocBuilder first;
  first.Piece(u"first\r").Story(WordStory::Footnotes, u"note\r");
  WordDocBuilder second;
  second.Piece(u"second\r");
  TMSWordDocument doc;
  TMemoryStream a(first.WordDocument()), at(first.Table());
  doc.ClearInternalLists();
  doc.ReadDocFromStream(a, &at);
  EXPECT_EQ(Joined(doc.FootNoteText()), u"note\r\n");
  TMemoryStream b(second.WordDocument()), bt(second.Table());
  doc.ClearInternalLists();
  doc.ReadDocFromStream(b, &bt);
  EXPECT_EQ(Body(doc), u"second\r\n");
  EXPECT_EQ(doc.FootNoteText()->Count(), 0);
}

TEST(WordDoc, MaxTextLengthStopsEarly) {
  WordDocBuilder b;
  b.Piece(std::u16string(1000, u'a')).Story(WordStory::Footnotes, u"note");
  auto doc = std::make_unique<TMSWordDocument>();
  doc->SetMaxTextLength(10);
  TMemoryStream wd(b.WordDocument()), t(b.Table());
  doc->ReadDocFromStream(wd, &t);
  EXPECT_LE(doc->Text()->TextLength(), 12);
  EXPECT_TRUE(doc->IsCancelExtract);
  EXPECT_EQ(doc->FootNoteText()->Count(), 0) << "no story is read past the limit";
}

TEST(WordDoc, BodyStreamsLineByLineBehindThePrologue) {
  WordDocBuilder b;
  b.Piece(u"one\rtw").Piece(u"o\r", true).Story(WordStory::Footnotes, u"note\r");
  TMSWordDocument doc;
  doc.SetTextFormating(tfHTML);
  std::vector<WideString> seen;
  doc.Text()->SetConsumer([&](const WideString& item) { seen.push_back(item); });
  TMemoryStream wd(b.WordDocument()), t(b.Table());
  doc.ReadDocFromStream(wd, &t);
  EXPECT_EQ(seen, (std::vector<WideString>{doc.GetTextStart(), u"one<p></p>", u"two<p></p>", u"", doc.GetTextFinish()}));
  EXPECT_EQ(Joined(doc.FootNoteText()), u"note<p></p>\r\n");
}

}  // namespace
}  // namespace zvword
