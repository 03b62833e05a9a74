// UTF-8 and UTF-16: the one implementation of each conversion (UTF-8 <-> UTF-16 is declared in
// Types.h, beside the string types).
#pragma once
#include <string_view>

#include "platform/Types.h"

namespace zvword {

// Appends one code point as UTF-16: a surrogate pair above U+FFFF.
inline void AppendCodePoint(WideString& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

// UTF-16 text as little-endian bytes, after the byte-order mark FF FE when asked.
RawByteString WideToUtf16LE(std::u16string_view s, bool bom = false);

}  // namespace zvword
