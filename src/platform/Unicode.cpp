#include "platform/Exception.h"
#include "platform/Types.h"
#include "platform/Unicode.h"

namespace zvword {

std::string WideToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Text is mostly ASCII: runs of it are copied without looking further.
WideString Utf8ToWide(std::string_view b) {
  WideString out;
  out.resize(b.size());  // never more units than bytes
  const auto* p = reinterpret_cast<const uint8_t*>(b.data());
  out.resize(static_cast<size_t>(DecodeUtf8(p, p + b.size(), out.data()) - out.data()));
  return out;
}

RawByteString WideToUtf16LE(std::u16string_view s, bool bom) {
  RawByteString out;
  out.reserve(s.size() * 2 + (bom ? 2 : 0));
  if (bom) out += "\xFF\xFE";
  for (char16_t c : s) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

WideString AsciiToWide(std::string_view s) {
  WideString out;
  out.reserve(s.size());
  for (char ch : s) {
    const auto b = static_cast<uint8_t>(ch);
    out += b < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD';
  }
  return out;
}

Exception::Exception(WideString message) : message_(std::move(message)), utf8_(WideToUtf8(message_)) {}
Exception::Exception(std::string_view utf8Message)
    : message_(Utf8ToWide(utf8Message)), utf8_(utf8Message) {}

WideString FormatMessage(const WideString& pattern, std::initializer_list<WideString> args) {
  WideString out;
  auto it = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && it != args.end()) {
      out += *it++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace zvword
