#include <gtest/gtest.h>

#include "platform/CaseFold.h"

namespace zvword {
namespace {

TEST(CaseFold, SimpleFoldsAcrossScripts) {
  const std::pair<char32_t, char32_t> cases[] = {
      {U'A', U'a'},           {U'a', U'a'},           {0xC4, 0xE4},       {0x178, 0xFF},     {0x130, 0x130},
      {0x3A3, 0x3C3},         {0x3C2, 0x3C3},         {0x410, 0x430},     {0x401, 0x451},    {0x1E9E, 0xDF},
      {0x1F88, 0x1F80},       {0x10A0, 0x2D00},       {0x13F8, 0x13F0},   {0xAB70, 0x13A0},  {0xFF21, 0xFF41},
      {0x10400, 0x10428},     {0x1E900, 0x1E922},     {0xDF, 0xDF},       {U'1', U'1'}};
  for (const auto& [c, f] : cases) EXPECT_EQ(SimpleCaseFold(c), f) << std::hex << static_cast<uint32_t>(c);
}

TEST(CaseFold, ComparesFoldedCodePoints) {
  EXPECT_EQ(CompareTextIgnoreCase(u"\u00C4rger", u"\u00E4RGER"), 0);
  EXPECT_EQ(CompareTextIgnoreCase(u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"), 0);
  EXPECT_EQ(CompareTextIgnoreCase(u"\U00010400x", u"\U00010428X"), 0);
  EXPECT_LT(CompareTextIgnoreCase(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareTextIgnoreCase(u"abcd", u"ABC"), 0);
  EXPECT_LT(CompareTextIgnoreCase(u"", u"a"), 0);
  EXPECT_EQ(CaseFold(u"Stra\u1E9EE \U00010400"), u"stra\u00DFe \U00010428");
  // A lone surrogate is compared as it is.
  EXPECT_EQ(CompareTextIgnoreCase(u"\xD800", u"\xD800"), 0);
}

}  // namespace
}  // namespace zvword
