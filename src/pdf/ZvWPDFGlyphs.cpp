#include "pdf/ZvWPDFGlyphs.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/CodePages.h"
#include "platform/TextHelpers.h"
#include "platform/Unicode.h"

namespace zvword {

namespace {

struct GlyphEntry {
  const char* name;
  const char16_t* text;
};

#include "pdf/ZvWPDFGlyphData.inc"
#include "pdf/ZvWPDFFontData.inc"

const GlyphEntry* FindGlyph(std::string_view name) {
  const GlyphEntry* first = std::begin(kGlyphList);
  const GlyphEntry* last = std::end(kGlyphList);
  const GlyphEntry* it = std::lower_bound(first, last, name, [](const GlyphEntry& e, std::string_view n) {
    return std::string_view(e.name) < n;
  });
  if (it != last && std::string_view(it->name) == name) return it;
  return nullptr;
}

bool ParseHex(std::string_view s, uint32_t& value) {
  value = 0;
  for (char c : s) {
    int h = HexDigitValue(c);
    if (h < 0) return false;
    value = value * 16 + static_cast<uint32_t>(h);
  }
  return true;
}

bool IsScalar(uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

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

const char* const kNoNames[256] = {};

const char* const* NamesOf(TPDFStdEncoding e) {
  switch (e) {
    case TPDFStdEncoding::Standard: return kStandardNames;
    case TPDFStdEncoding::WinAnsi: return kWinAnsiNames;
    case TPDFStdEncoding::MacRoman: return kMacRomanNames;
    case TPDFStdEncoding::PDFDoc: return kPDFDocNames;
    case TPDFStdEncoding::Symbol: return kSymbolNames;
    case TPDFStdEncoding::ZapfDingbats: return kNoNames;
  }
  return kStandardNames;
}

// The Windows and Macintosh encodings are those code pages restricted to the codes they name;
// two codes name the plain space and hyphen instead of the no-break ones, and Mac 0xDB is the
// currency sign that later Mac OS Roman made the euro.
std::array<char16_t, 256> FromCodePage(TPDFStdEncoding e, int codePage) {
  std::array<char16_t, 256> out{};
  for (int code = 0; code < 256; ++code) {
    const char* name = NamesOf(e)[code];
    const char byte = static_cast<char>(code);
    if (!name) continue;
    if (std::strcmp(name, "space") == 0) out[code] = u' ';
    else if (std::strcmp(name, "hyphen") == 0) out[code] = u'-';
    else if (std::strcmp(name, "currency") == 0) out[code] = u'\u00A4';
    else out[code] = CodePageToWide(std::string_view(&byte, 1), codePage)[0];
  }
  return out;
}

const char16_t* UnicodeOf(TPDFStdEncoding e) {
  static const std::array<char16_t, 256> kWinAnsiUnicode = FromCodePage(TPDFStdEncoding::WinAnsi, 1252);
  static const std::array<char16_t, 256> kMacRomanUnicode = FromCodePage(TPDFStdEncoding::MacRoman, 10000);
  switch (e) {
    case TPDFStdEncoding::Standard: return kStandardUnicode;
    case TPDFStdEncoding::WinAnsi: return kWinAnsiUnicode.data();
    case TPDFStdEncoding::MacRoman: return kMacRomanUnicode.data();
    case TPDFStdEncoding::PDFDoc: return kPDFDocUnicode;
    case TPDFStdEncoding::Symbol: return kSymbolUnicode;
    case TPDFStdEncoding::ZapfDingbats: return kDingbatsUnicode;
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
  // The symbolic sets give their characters straight: their names are not all in the glyph list.
  if (encoding == TPDFStdEncoding::Symbol || encoding == TPDFStdEncoding::ZapfDingbats) {
    char16_t u = UnicodeOf(encoding)[code];
    return u ? WideString(1, u) : WideString();
  }
  const char* name = NamesOf(encoding)[code];
  if (name == nullptr) return {};
  if (std::strcmp(name, "space") == 0) return u" ";
  return GlyphNameToUnicode(name);
}

const char* MacGlyphName(uint32_t index) { return index < std::size(kMacGlyphNames) ? kMacGlyphNames[index] : nullptr; }

const char* CFFStandardString(uint32_t sid) {
  return sid < std::size(kCFFStandardStrings) ? kCFFStandardStrings[sid] : nullptr;
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
