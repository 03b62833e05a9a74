// List labels, note marks and font code pages of Word binary documents built in code.
#include <gtest/gtest.h>

#include <functional>

#include "builders/WordDocBuilder.h"
#include "framework/ListNumbers.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

using test::WordDocBuilder;
using test::WordStory;
using Level = WordDocBuilder::ListLevel;

std::unique_ptr<TMSWordDocument> Read(const WordDocBuilder& b, TMSTextFormating mode = tfPlainText) {
  auto doc = std::make_unique<TMSWordDocument>();
  doc->SetTextFormating(mode);
  doc->ClearInternalLists();
  TMemoryStream wd(b.WordDocument());
  TMemoryStream table(b.Table());
  doc->ReadDocFromStream(wd, &table);
  return doc;
}

std::u16string Lines(const TWideStrings* list, int from = 0, int cut = 0) {
  std::u16string s;
  for (int i = from; i + cut < list->Count(); ++i) s += (i > from ? u"|" : u"") + list->Get(i);
  return s;
}

std::u16string Body(const TMSWordDocument& doc) { return Lines(doc.Text(), 1, 1); }

// Level text with placeholders: "%1.%2)" -> \0 . \1 )
std::u16string T(std::u16string_view s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == u'%' && i + 1 < s.size())
      out += static_cast<char16_t>(s[++i] - u'1');
    else
      out += s[i];
  return out;
}

struct Para {
  std::u16string text;
  uint8_t ilvl = 0;
  int ov = 1;  // 0: not in a list
};

// One list (and a second override of it starting level 0 at 5), paragraphs in turn.
WordDocBuilder ListDoc(const std::vector<Level>& levels, const std::vector<Para>& paras) {
  WordDocBuilder b;
  const size_t list = b.List(levels);
  b.Override(list);
  b.Override(list, {5});
  std::u16string text;
  for (const Para& p : paras) {
    text += p.text + u"\r";
    if (p.ov) b.ParagraphList(static_cast<uint32_t>(text.size() - 1), static_cast<uint16_t>(p.ov), p.ilvl);
  }
  b.Piece(text);
  return b;
}

struct ListCase {
  const char* name;
  std::vector<Level> levels;
  std::vector<Para> paras;
  std::u16string body;
};

class WordListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(WordListTest, LabelsPrecedeParagraphs) {
  EXPECT_EQ(Body(*Read(ListDoc(GetParam().levels, GetParam().paras))), GetParam().body);
}

const Level kDec{0, 1, T(u"%1.")};

INSTANTIATE_TEST_SUITE_P(
    Rows, WordListTest,
    ::testing::Values(
        ListCase{"DecimalTab", {kDec}, {{u"a"}, {u"b"}}, u"1.\ta|2.\tb|"},
        ListCase{"LettersFromThreeThenSpace", {{4, 3, T(u"%1)"), 1}}, {{u"a"}, {u"b"}}, u"c) a|d) b|"},
        ListCase{"UpperRomanNothing", {{1, 9, T(u"%1."), 2}}, {{u"a"}, {u"b"}}, u"IX.a|X.b|"},
        ListCase{"OrdinalAndWords",
                 {{5, 1, T(u"%1"), 1}, {7, 12, T(u"%2"), 1}, {6, 21, T(u"%3"), 1}},
                 {{u"a"}, {u"b", 1}, {u"c", 2}},
                 u"1st a|Twelfth b|Twenty-one c|"},
        ListCase{"ZeroAndBullet", {{22, 7, T(u"%1"), 1}, {23, 1, u"\xF0B7"}}, {{u"a"}, {u"b", 1}}, u"07 a|•\tb|"},
        ListCase{"LevelsRestartBelow",
                 {kDec, {0, 1, T(u"%1.%2.")}, {0, 1, T(u"%1.%2.%3")}},
                 {{u"a"}, {u"b", 1}, {u"c", 2}, {u"d", 2}, {u"e", 1}, {u"f"}, {u"g", 1}},
                 u"1.\ta|1.1.\tb|1.1.1\tc|1.1.2\td|1.2.\te|2.\tf|2.1.\tg|"},
        ListCase{"SkippedLevelShowsItsStart",
                 {kDec, {4, 1, T(u"%2")}, {0, 1, T(u"%1.%2.%3")}},
                 {{u"a"}, {u"b", 2}, {u"c", 1}},
                 u"1.\ta|1.a.1\tb|b\tc|"},
        ListCase{
            "LegalShowsArabic", {{1, 1, T(u"%1")}, {2, 1, T(u"%1.%2"), 0, true}}, {{u"a"}, {u"b", 1}}, u"I\ta|1.i\tb|"},
        ListCase{"OverrideStartsItsOwn",
                 {kDec},
                 {{u"a"}, {u"b", 0, 2}, {u"c", 0, 0}, {u"d"}, {u"e", 0, 2}},
                 u"1.\ta|5.\tb|c|2.\td|6.\te|"},
        ListCase{"UnknownOverrideHasNoLabel", {kDec}, {{u"a", 0, 7}, {u"b", 9}}, u"a|b|"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WordList, LabelInEveryMode) {
  for (const TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    const auto doc = Read(ListDoc({{1, 4, T(u"%1.")}}, {{u"x"}}), mode);
    EXPECT_NE(doc->Text()->Text().find(u"IV.\tx"), std::u16string::npos) << int(mode);
  }
}

TEST(WordList, DamagedTablesCostTheLabelsNotTheText) {
  const WordDocBuilder b = ListDoc({kDec, {0, 1, T(u"%1.%2")}, {0, 1, T(u"%3")}}, {{u"a"}, {u"b", 1}, {u"c", 2}});
  const std::string wd = b.WordDocument(), table = b.Table();
  // The formatting tables follow the piece table; cut them short, or overwrite any byte of them.
  const size_t from = 64 + (static_cast<uint8_t>(wd[422]) | static_cast<uint8_t>(wd[423]) << 8);
  ASSERT_LT(from, table.size());
  for (size_t at = from; at < table.size(); ++at) {
    for (const std::string& damaged : {table.substr(0, at), table.substr(0, at) + '\xFF' + table.substr(at + 1)}) {
      TMSWordDocument doc;
      TMemoryStream d(wd), t(damaged);
      doc.ReadDocFromStream(d, &t);
      const std::u16string body = Body(doc);
      EXPECT_NE(body.find(u"a|"), std::u16string::npos) << at;
      EXPECT_NE(body.find(u"c|"), std::u16string::npos) << at;
    }
  }
  EXPECT_EQ(Body(*Read(b)), u"1.\ta|1.1\tb|1\tc|");
}

struct NoteCase {
  const char* name;
  std::function<WordDocBuilder()> build;
  std::u16string body, notes;  // notes: the footnote, else the endnote story
};

class WordNoteTest : public ::testing::TestWithParam<NoteCase> {};

TEST_P(WordNoteTest, MarksWhereCitedAndInTheNote) {
  const auto doc = Read(GetParam().build());
  EXPECT_EQ(Body(*doc), GetParam().body);
  const TWideStrings* notes = doc->FootNoteText()->Count() ? doc->FootNoteText() : doc->EndNoteText();
  EXPECT_EQ(Lines(notes), GetParam().notes);
}

WordDocBuilder Notes(WordStory story, WordDocBuilder::Layout layout = WordDocBuilder::Layout::Word97) {
  WordDocBuilder b(layout);
  b.Piece(u"A\x02 B* C\x02\r").Story(story, u"\x02 one\r*two\r\x02three\r");
  b.Note(story, 1, 0).Note(story, 4, 6, false).Note(story, 7, 11);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WordNoteTest,
    ::testing::Values(
        NoteCase{"FootnotesArabic", [] { return Notes(WordStory::Footnotes); }, u"A1 B* C2|", u"1 one|*two|2 three|"},
        NoteCase{"EndnotesRoman", [] { return Notes(WordStory::Endnotes); }, u"Ai B* Cii|", u"i one|*two|ii three|"},
        NoteCase{"DocumentFormats", [] { return Notes(WordStory::Footnotes).NoteFormats(lnfChicago, lnfDecimal); },
                 u"A* B* C\u2020|", u"* one|*two|\u2020 three|"},
        NoteCase{"Word6", [] { return Notes(WordStory::Footnotes, WordDocBuilder::Layout::Word6); }, u"A1 B* C2|",
                 u"1 one|*two|2 three|"},
        // Numbers follow the table's order, not the text's; a character named twice takes its last mark.
        NoteCase{"TableOutOfTextOrder",
                 [] {
                   WordDocBuilder b;
                   b.Piece(u"A\x02 B* C\x02\r").Story(WordStory::Footnotes, u"\x02 one\r*two\r\x02three\r");
                   return b.Note(WordStory::Footnotes, 7, 11).Note(WordStory::Footnotes, 1, 0);
                 },
                 u"A2 B* C1|", u"2 one|*two|1 three|"},
        NoteCase{"CharacterNamedTwice",
                 [] {
                   WordDocBuilder b;
                   b.Piece(u"A\x02 B* C\x02\r").Story(WordStory::Footnotes, u"\x02 one\r*two\r\x02three\r");
                   return b.Note(WordStory::Footnotes, 1, 0).Note(WordStory::Footnotes, 1, 0).Note(WordStory::Footnotes, 7, 11);
                 },
                 u"A2 B* C3|", u"2 one|*two|3 three|"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WordFonts, Word6RunsReadInTheirFontsCodePage) {
  // The same bytes in a Cyrillic, a Central European and a Western font; the last run is Western.
  for (const bool unlisted : {false, true})
    for (const auto& [charset, text] : std::initializer_list<std::pair<uint8_t, std::u16string>>{
             {204, u"\u0414\u0430 \u00C4|"}, {238, u"\u00C4\u0155 \u00C4|"}, {0, u"\u00C4\u00E0 \u00C4|"}}) {
      WordDocBuilder b(WordDocBuilder::Layout::Word6);
      b.Piece(u"\xC4\xE0 \xC4\r").FontPageUnlisted(unlisted);
      const uint16_t western = b.Font(0), font = b.Font(charset);
      b.FontRun(0, 2, font).FontRun(2, 4, western);
      EXPECT_EQ(Body(*Read(b)), text) << int(charset) << unlisted;
    }
}

}  // namespace
}  // namespace zvword
