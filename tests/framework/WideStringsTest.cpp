#include <gtest/gtest.h>

#include "framework/MSWBase.h"

namespace zvword {
namespace {

TEST(TWideStrings, PutReplacesAndRejectsOutOfRange) {
  TWideStrings list;
  list.Add(u"a");
  list.Put(0, u"b");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), u"b");
  EXPECT_THROW(list.Put(1, u"c"), Exception);
  EXPECT_THROW(list.Insert(-1, u"c"), Exception);
  EXPECT_EQ(list.Get(-1), u"");
}

TEST(TWideStrings, TextJoinsWithCRLF) {
  TWideStrings list;
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(list.WideText(), u"a\r\nb\r\n");
  EXPECT_EQ(list.TextLength(), 6);
}

}  // namespace
}  // namespace zvword
