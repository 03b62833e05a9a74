// Conversions of document-information values.
#pragma once
#include <string_view>

#include "platform/Types.h"

namespace zvword {

// A text string: UTF-16BE after FE FF, UTF-8 after EF BB BF, else PDFDocEncoding.
WideString PDFTextStringToWide(std::string_view s);
// A date "D:YYYYMMDDHHmmSS" and its shorter forms (time-zone part ignored); 0 when unreadable.
TDateTime PDFDateToDateTime(const WideString& S);

}  // namespace zvword
