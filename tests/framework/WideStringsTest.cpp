#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "framework/MSWBase.h"
#include "platform/CodePages.h"

namespace zvword {
namespace {

TEST(TWideStrings, PutReplacesAndRejectsOutOfRange) {
  TWideStrings list;
  list.Add(u"a");
  list.Put(0, u"b");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), u"b");
  list.SetStrings(0, u"longer");
  EXPECT_EQ(list.WideText(), u"longer\r\n");
  EXPECT_EQ(list.TextLength(), 8);
  for (int bad : {-1, 1, 5}) {
    try {
      list.Put(bad, u"c");
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), u"WideStrings index out of bounds");
    }
  }
  EXPECT_EQ(list.Count(), 1);
}

TEST(TWideStrings, InsertBounds) {
  TWideStrings list;
  list.Insert(0, u"b");  // Insert(Count) appends
  list.Insert(0, u"a");
  list.Insert(2, u"c");
  EXPECT_EQ(list.WideText(), u"a\r\nb\r\nc\r\n");
  EXPECT_THROW(list.Insert(4, u"x"), Exception);
  EXPECT_THROW(list.Insert(-1, u"x"), Exception);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Add(u"d"), 3);
}

TEST(TWideStrings, GetOutOfRangeIsEmpty) {
  TWideStrings list;
  list.Add(u"x");
  EXPECT_EQ(list.Get(-1), u"");
  EXPECT_EQ(list.Get(1), u"");
  EXPECT_EQ(list.Strings(0), u"x");
}

TEST(TWideStrings, TextJoinsWithCRLF) {
  TWideStrings list;
  EXPECT_EQ(list.Text(), u"");
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(list.WideText(), u"a\r\nb\r\n");
  EXPECT_EQ(list.Text(), list.WideText());
  EXPECT_EQ(list.TextLength(), 6);
  list.Delete(0);
  EXPECT_EQ(list.WideText(), u"b\r\n");
  EXPECT_EQ(list.TextLength(), 3);
  list.Clear();
  EXPECT_EQ(list.TextLength(), 0);
}

TEST(TWideStrings, Search) {
  TWideStrings list;
  list.Add(u"Alpha");
  list.Add(u"\u00C4rger");
  list.Add(u"alpha");
  EXPECT_EQ(list.IndexOf(u"alpha"), 2);
  EXPECT_EQ(list.IndexOf(u"ALPHA"), -1);
  EXPECT_EQ(list.IndexOfIgnoreCase(u"ALPHA"), 0);
  // Letters outside a to z fold too.
  EXPECT_EQ(list.IndexOfIgnoreCase(u"\u00E4RGER"), 1);
  EXPECT_EQ(list.IndexOfIgnoreCase(u"\u00E4rge"), -1);
  EXPECT_EQ(TWideStrings::WideCompareText(u"\u0416", u"\u0436"), 0);
  EXPECT_LT(TWideStrings::WideCompareText(u"a", u"B"), 0);
  EXPECT_GT(TWideStrings::WideCompareText(u"b", u"A"), 0);
}

std::string Saved(const TWideStrings& list) {
  TMemoryStream s;
  list.SaveToStream(s);
  return s.Bytes();
}

TEST(TWideStrings, SavesUnicodeWithAByteOrderMark) {
  TWideStrings list;
  EXPECT_EQ(Saved(list), "\xFF\xFE");
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(Saved(list), std::string("\xFF\xFE" "a\0\r\0\n\0b\0\r\0\n\0", 14));
  list.Clear();
  list.Add(u"\u20AC");
  EXPECT_EQ(Saved(list), std::string("\xFF\xFE\xAC\x20\r\0\n\0", 8));
}

TEST(TWideStrings, SavesAnsiInTheSystemCodePage) {
  TWideStrings list;
  list.SetSaveUnicode(false);
  EXPECT_EQ(Saved(list), "");
  list.Add(u"\u00E9\u20AC");
  EXPECT_EQ(Saved(list), "\xE9\x80\r\n");
  SetSystemCodePage(1251);
  list.Clear();
  list.Add(u"\u0416");
  EXPECT_EQ(Saved(list), "\xC6\r\n");
  SetSystemCodePage(1252);
}

TEST(TWideStrings, SaveToFileReplacesTheFile) {
  const std::string path = ::testing::TempDir() + "zvword_widestrings.txt";
  {
    std::ofstream f(path);
    f << "old content that is longer";
  }
  TWideStrings list;
  list.Add(u"x");
  list.SaveToFile(Utf8ToWide(path));
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  EXPECT_EQ(ss.str(), std::string("\xFF\xFEx\0\r\0\n\0", 8));
  std::remove(path.c_str());
  EXPECT_THROW(list.SaveToFile(u"/nonexistent-dir/x.txt"), Exception);
}

}  // namespace
}  // namespace zvword
