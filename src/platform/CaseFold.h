// Unicode simple case folding and case-insensitive comparison of wide strings.
#pragma once
#include <string_view>

#include "platform/Types.h"

namespace zvword {

char32_t SimpleCaseFold(char32_t c);
WideString CaseFold(std::u16string_view s);
// -1, 0 or 1 comparing the simple case folds of both strings code point by code point.
int CompareTextIgnoreCase(std::u16string_view a, std::u16string_view b);
bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace zvword
