// Word documents inside compound files: finding the streams, the table in use, the summary, the
// macros and the files that are not Word documents at all.
#include <gtest/gtest.h>

#include "builders/CompoundFileBuilder.h"
#include "builders/PropertySetBuilder.h"
#include "builders/VBAProjectBuilder.h"
#include "builders/WordDocBuilder.h"
#include "platform/CodePages.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

using test::CompoundFileBuilder;
using test::PropertySetBuilder;
using test::VBAProjectBuilder;
using test::WordDocBuilder;
using test::WordStory;

std::string Compound(const WordDocBuilder& w, CompoundFileBuilder cfb = CompoundFileBuilder()) {
  cfb.Stream("WordDocument", w.WordDocument());
  const std::u16string table = w.TableName();
  cfb.Stream(table == u"1Table" ? "1Table" : "0Table", w.Table());
  return cfb.Build();
}

// The body between prologue and epilogue, its lines joined as the list joins them.
std::u16string Body(const TMSWordDocument& doc) {
  std::u16string s;
  for (int i = 1; i + 1 < doc.Text()->Count(); ++i) s += (i > 1 ? u"\r\n" : u"") + doc.Text()->Get(i);
  return s;
}

std::u16string Load(TMSWordDocument& doc, const std::string& bytes) {
  TMemoryStream s(bytes);
  doc.LoadFromStream(s);
  return Body(doc);
}

TEST(WordCompound, ReadsBodyAndStoriesFromMemory) {
  WordDocBuilder w;
  w.Piece(u"Hello ").Piece(u"world\r", true).Story(WordStory::Footnotes, u"\x02 note\r").Scattered();
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, Compound(w)), u"Hello world\r\n");
  EXPECT_EQ(doc.FootNoteText()->WideText(), u" note\r\n\r\n");
  EXPECT_TRUE(TMSWordDocument::IsWordData(Compound(w)));
}

TEST(WordCompound, LargeSectorsAndTable0) {
  WordDocBuilder w;
  w.Piece(std::u16string(3000, u'z') + u"\r").UseTable0();
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, Compound(w, CompoundFileBuilder(4096))), std::u16string(3000, u'z') + u"\r\n");
}

TEST(WordCompound, TableInUseWinsOverAStaleOne) {
  // A fast save can leave the old table behind; the FIB bit says which one is current.
  WordDocBuilder current;
  current.Piece(u"current text").UseTable0();
  WordDocBuilder stale;
  stale.Piece(u"stale").Piece(u" table", true);
  CompoundFileBuilder cfb;
  cfb.Stream("WordDocument", current.WordDocument()).Stream("0Table", current.Table()).Stream("1Table", stale.Table());
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, cfb.Build()), u"current text");
}

TEST(WordCompound, StreamNamesIgnoreCase) {
  WordDocBuilder w;
  w.Piece(u"lower case names");
  CompoundFileBuilder cfb;
  cfb.Stream("worddocument", w.WordDocument()).Stream("1table", w.Table());
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, cfb.Build()), u"lower case names");
  EXPECT_TRUE(TMSWordDocument::IsWordData(cfb.Build()));
}

TEST(WordCompound, CompoundFileWithoutWordStreamIsNotAWordDocument) {
  CompoundFileBuilder cfb;
  cfb.Stream("Workbook", std::string(600, 'x')).Stream("\x05SummaryInformation", PropertySetBuilder().Build());
  const std::string bytes = cfb.Build();
  EXPECT_FALSE(TMSWordDocument::IsWordData(bytes));
  TMSWordDocument doc;
  try {
    Load(doc, bytes);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"The stream is not a valid MS Word document");
  }
}

TEST(WordCompound, EncryptedDocumentFailsWithItsMessage) {
  WordDocBuilder w;
  w.Piece(u"secret").Encrypted();
  TMSWordDocument doc;
  try {
    Load(doc, Compound(w));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Could not read the password protected file");
  }
  EXPECT_EQ(doc.Text()->Count(), 0);
}

TEST(WordCompound, SummaryIsRead) {
  WordDocBuilder w;
  w.Piece(u"x");
  CompoundFileBuilder cfb;
  cfb.Stream("\x05SummaryInformation", PropertySetBuilder().I2(1, 1252).Str(2, "The title").Str(4, "An author").Build());
  cfb.Stream("\x05" "DocumentSummaryInformation", PropertySetBuilder().Str(15, "A company").Build());
  TMSWordDocument doc;
  Load(doc, Compound(w, cfb));
  EXPECT_EQ(doc.SummaryInformation()->Title(), u"The title");
  EXPECT_EQ(doc.SummaryInformation()->Author(), u"An author");
  EXPECT_EQ(doc.SummaryInformation()->Company(), u"A company");
}

TEST(WordCompound, Word6TextTakesTheSummaryCodePageWhenTheLanguageSaysWestern) {
  if (!IsCodePageSupported(1251)) GTEST_SKIP() << "code page 1251 not available";
  WordDocBuilder w(WordDocBuilder::Layout::Word6);
  w.Language(0x0409).Piece(u"\u00EC\u00E8\u00F0");  // the 1251 bytes of the word below
  CompoundFileBuilder cfb;
  cfb.Stream("\x05SummaryInformation", PropertySetBuilder().I2(1, 1251).Build());
  cfb.Stream("WordDocument", w.WordDocument());
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, cfb.Build()), u"\u043C\u0438\u0440");
}

TEST(WordCompound, Word6MacintoshTextIsMacRoman) {
  WordDocBuilder w(WordDocBuilder::Layout::Word6);
  w.Piece(u"caf\u008E d\u00D5un");  // Mac Roman bytes for "café d’un"
  std::string wd = w.WordDocument();
  wd[18] = 1;  // written on a Macintosh
  CompoundFileBuilder cfb;
  cfb.Stream("WordDocument", wd);
  TMSWordDocument doc;
  EXPECT_EQ(Load(doc, cfb.Build()), u"caf\u00E9 d\u2019un");
}

TEST(WordCompound, MacrosUnderBannersWhenAskedFor) {
  WordDocBuilder w;
  w.Piece(u"doc");
  CompoundFileBuilder cfb;
  VBAProjectBuilder()
      .Add({.name = "Module1", .source = "Attribute VB_Name = \"Module1\"\r\nSub Hello()\r\nEnd Sub\r\n"})
      .AddTo(cfb);
  const std::string bytes = Compound(w, cfb);
  TMSWordDocument doc;
  Load(doc, bytes);
  EXPECT_EQ(doc.MacroText()->Count(), 0) << "macros are read only when asked for";
  doc.SetParseItems(TZvWParseItems{wpiText, wpiVBA});
  Load(doc, bytes);
  ASSERT_EQ(doc.MacroText()->Count(), 4);
  EXPECT_EQ(doc.MacroText()->Get(1), u"'  Macro(s) from Module1");
  EXPECT_NE(doc.MacroText()->Get(3).find(u"Sub Hello()"), std::u16string::npos);
  EXPECT_EQ(Body(doc), u"doc");
}

TEST(WordCompound, DamagedPieceTableInsideACompoundFileGivesAClearError) {
  WordDocBuilder w;
  w.Piece(u"text").FirstPieceOffsetShift(1u << 20);
  TMSWordDocument doc;
  EXPECT_THROW(Load(doc, Compound(w)), Exception);
}

TEST(WordCompound, FileOnDisk) {
  WordDocBuilder w;
  w.Piece(u"from disk\r").Story(WordStory::Headers, u"head\r");
  const std::string path = ::testing::TempDir() + "zvword_word_test.doc";
  {
    TFileStream f(path, TFileStream::Mode::fmCreate);
    const std::string bytes = Compound(w);
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  TMSWordDocument doc;
  doc.SetFileName(Utf8ToWide(path));
  doc.Execute();
  EXPECT_EQ(Body(doc), u"from disk\r\n");
  EXPECT_EQ(doc.HeaderText()->WideText(), u"head\r\n\r\n");
  std::remove(path.c_str());
}

TEST(WordCompound, FlatFileOnDiskNeedsAWordIdentifier) {
  const std::string path = ::testing::TempDir() + "zvword_not_word.doc";
  {
    TFileStream f(path, TFileStream::Mode::fmCreate);
    const std::string bytes(700, 'A');
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  TMSWordDocument doc;
  try {
    doc.LoadFromFile(Utf8ToWide(path));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"File " + Utf8ToWide(path) + u" is not valid MS Word document");
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace zvword
