// Numbers in the formats of list labels and note marks.
#include <gtest/gtest.h>

#include "framework/ListNumbers.h"

namespace zvword {
namespace {

struct NumberCase {
  int value;
  int nfc;
  std::u16string text;
};

TEST(ListNumbers, Formats) {
  const NumberCase rows[] = {
      {4, lnfUpperRoman, u"IV"},
      {1999, lnfLowerRoman, u"mcmxcix"},
      {4000, lnfLowerRoman, u"4000"},
      {28, lnfLowerLetter, u"bb"},
      {3, lnfUpperLetter, u"C"},
      {0, lnfUpperLetter, u"0"},
      {11, lnfOrdinal, u"11th"},
      {22, lnfOrdinal, u"22nd"},
      {103, lnfOrdinal, u"103rd"},
      {0, lnfCardinalText, u"Zero"},
      {115, lnfCardinalText, u"One hundred fifteen"},
      {12, lnfOrdinalText, u"Twelfth"},
      {40, lnfOrdinalText, u"Fortieth"},
      {2001, lnfOrdinalText, u"Two thousand first"},
      {255, lnfHex, u"FF"},
      {6, lnfChicago, u"\u2020\u2020"},
      {7, lnfDecimalZero, u"07"},
      {12, lnfDecimalZero, u"12"},
      {3, lnfBullet, u""},
      {3, 57, u"3"},
  };
  for (const auto& r : rows) EXPECT_EQ(FormatListNumber(r.value, r.nfc), r.text) << r.value << " " << r.nfc;
}

TEST(ListNumbers, NamesOfWord2007Formats) {
  for (const auto& [name, nfc] :
       std::initializer_list<std::pair<std::u16string_view, int>>{{u"upperRoman", lnfUpperRoman},
                                                                  {u"ordinalText", lnfOrdinalText},
                                                                  {u"decimalZero", lnfDecimalZero},
                                                                  {u"none", lnfNone},
                                                                  {u"japaneseCounting", lnfDecimal}})
    EXPECT_EQ(ListNumberFormatOfName(name), nfc) << WideToUtf8(WideString(name));
}

}  // namespace
}  // namespace zvword
