// UTF-8 and UTF-16: the one implementation of each conversion (UTF-8 <-> UTF-16 is declared in
// Types.h, beside the string types).
#pragma once
#include <cstdint>
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

// Decodes the UTF-8 bytes [p, end) into d, which has room for one unit per byte; returns the end
// of what it wrote. A byte that starts no character (overlong, surrogate, past U+10FFFF, cut
// short) gives U+FFFD. Inline: the XML engine calls it for every piece of text it hands over.
inline char16_t* DecodeUtf8(const uint8_t* p, const uint8_t* end, char16_t* d) {
  while (p < end) {
    while (p < end && *p < 0x80) *d++ = *p++;
    if (p >= end) break;
    const uint8_t c = *p;
    const size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    uint32_t cp = len == 2 ? c & 0x1Fu : len == 3 ? c & 0x0Fu : c & 0x07u;
    bool ok = len != 0 && static_cast<size_t>(end - p) >= len;
    for (size_t k = 1; ok && k < len; ++k) {
      ok = (p[k] & 0xC0) == 0x80;
      cp = cp << 6 | (p[k] & 0x3Fu);
    }
    if (ok)
      ok = !(len == 2 && cp < 0x80) && !(len == 3 && cp < 0x800) && !(len == 4 && cp < 0x10000) &&
           !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
    if (!ok) {
      *d++ = 0xFFFD;
      ++p;
      continue;
    }
    p += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *d++ = static_cast<char16_t>(cp);
    }
  }
  return d;
}

// UTF-16 text as little-endian bytes, after the byte-order mark FF FE when asked.
RawByteString WideToUtf16LE(std::u16string_view s, bool bom = false);

}  // namespace zvword
