// Small helpers exported beside the readers.
#pragma once
#include "platform/Types.h"

namespace zvword {

// Parses a decimal number whose decimal mark is a period or the locale's separator (the first
// occurrence of the latter is taken as the mark); Default when the text is not entirely a number.
double StrToFloatDef(const WideString& Text, double Default);

}  // namespace zvword
