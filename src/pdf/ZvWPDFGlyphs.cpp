#include "pdf/ZvWPDFGlyphs.h"

#include <algorithm>
#include <cstring>

namespace zvword {

namespace {

struct GlyphEntry {
  const char* name;
  const char16_t* text;
};

#include "pdf/ZvWPDFGlyphData.inc"

const GlyphEntry* FindGlyph(std::string_view name) {
  const GlyphEntry* first = std::begin(kGlyphList);
  const GlyphEntry* last = std::end(kGlyphList);
  const GlyphEntry* it = std::lower_bound(first, last, name, [](const GlyphEntry& e, std::string_view n) {
    return std::string_view(e.name) < n;
  });
  if (it != last && std::string_view(it->name) == name) return it;
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHex(std::string_view s, uint32_t& value) {
  value = 0;
  for (char c : s) {
    int h = HexValue(c);
    if (h < 0) return false;
    value = value * 16 + static_cast<uint32_t>(h);
  }
  return true;
}

bool IsScalar(uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

void AppendCodePoint(WideString& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// One "_"-separated component of a glyph name.
WideString ComponentToUnicode(std::string_view c) {
  if (c.empty()) return {};
  if (const GlyphEntry* e = FindGlyph(c)) return WideString(e->text);
  // uni followed by one or more groups of four hex digits, each a BMP character.
  if (c.size() >= 7 && c.substr(0, 3) == "uni" && (c.size() - 3) % 4 == 0) {
    WideString out;
    for (size_t i = 3; i < c.size(); i += 4) {
      uint32_t v;
      if (!ParseHex(c.substr(i, 4), v) || !IsScalar(v)) return {};
      out.push_back(static_cast<char16_t>(v));
    }
    return out;
  }
  // u followed by four to six hex digits, one character of any plane.
  if (c.size() >= 5 && c.size() <= 7 && c[0] == 'u') {
    uint32_t v;
    if (!ParseHex(c.substr(1), v) || !IsScalar(v)) return {};
    WideString out;
    AppendCodePoint(out, v);
    return out;
  }
  return {};
}

const char* const* NamesOf(TPDFStdEncoding e) {
  switch (e) {
    case TPDFStdEncoding::Standard: return kStandardNames;
    case TPDFStdEncoding::WinAnsi: return kWinAnsiNames;
    case TPDFStdEncoding::MacRoman: return kMacRomanNames;
    case TPDFStdEncoding::PDFDoc: return kPDFDocNames;
  }
  return kStandardNames;
}

const char16_t* UnicodeOf(TPDFStdEncoding e) {
  switch (e) {
    case TPDFStdEncoding::Standard: return kStandardUnicode;
    case TPDFStdEncoding::WinAnsi: return kWinAnsiUnicode;
    case TPDFStdEncoding::MacRoman: return kMacRomanUnicode;
    case TPDFStdEncoding::PDFDoc: return kPDFDocUnicode;
  }
  return kStandardUnicode;
}

}  // namespace

WideString GlyphNameToUnicode(std::string_view name) {
  size_t dot = name.find('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  WideString out;
  while (true) {
    size_t us = name.find('_');
    out += ComponentToUnicode(name.substr(0, us));
    if (us == std::string_view::npos) break;
    name.remove_prefix(us + 1);
  }
  return out;
}

const char* StdEncodingGlyphName(TPDFStdEncoding encoding, uint8_t code) { return NamesOf(encoding)[code]; }

char16_t StdEncodingToUnicode(TPDFStdEncoding encoding, uint8_t code) { return UnicodeOf(encoding)[code]; }

WideString StdEncodingToText(TPDFStdEncoding encoding, uint8_t code) {
  const char* name = NamesOf(encoding)[code];
  if (name == nullptr) return {};
  if (std::strcmp(name, "space") == 0) return u" ";
  return GlyphNameToUnicode(name);
}

WideString PDFDocEncodingToWide(std::string_view bytes) {
  WideString out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    char16_t c = kPDFDocUnicode[b];
    out.push_back(c != 0 ? c : static_cast<char16_t>(b));
  }
  return out;
}

}  // namespace zvword
