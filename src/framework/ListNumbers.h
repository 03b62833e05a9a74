// Numbers as list labels and note marks show them: roman, letters, ordinals, number words and
// the rest of Word's number formats, shared by both Word readers.
#pragma once
#include <string_view>

#include "platform/Types.h"

namespace zvword {

// Word's number format codes, as the binary format stores them.
enum TListNumberFormat : int {
  lnfDecimal = 0,
  lnfUpperRoman = 1,
  lnfLowerRoman = 2,
  lnfUpperLetter = 3,
  lnfLowerLetter = 4,
  lnfOrdinal = 5,
  lnfCardinalText = 6,
  lnfOrdinalText = 7,
  lnfHex = 8,
  lnfChicago = 9,
  lnfDecimalZero = 22,
  lnfBullet = 23,
  lnfNone = 255,
};

// Value written in format Nfc; formats without a rendering of their own give arabic digits.
WideString FormatListNumber(int Value, int Nfc);
// The format code of a format name of Word 2007+ ("lowerRoman", "ordinalText"...); decimal when
// the name is unknown.
int ListNumberFormatOfName(std::u16string_view Name);

}  // namespace zvword
