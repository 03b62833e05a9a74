// Glyph names, the single-byte encodings of PDF simple fonts and the glyph name tables that
// font programs refer to by number.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/Types.h"

namespace zvword {

// The text a glyph name stands for, following the Adobe Glyph List rules:
// anything after the first "." is a variant suffix and is dropped; "_" joins
// components, each mapped on its own (list name, uniXXXX[XXXX...], uXXXX to
// uXXXXXX). Ligatures come out as their letters ("fi" gives "f" "i"). Empty
// when no component is known.
WideString GlyphNameToUnicode(std::string_view name);

// Symbol and ZapfDingbats are the built-in encodings of those two standard fonts; ZapfDingbats
// names no glyphs here, only their characters.
enum class TPDFStdEncoding { Standard, WinAnsi, MacRoman, PDFDoc, Symbol, ZapfDingbats };

// The glyph name a code stands for in an encoding; nullptr when unmapped.
const char* StdEncodingGlyphName(TPDFStdEncoding encoding, uint8_t code);

// The single character of a code in an encoding; 0 when unmapped. Ligature
// codes (fi, fl) give their presentation form here; StdEncodingToText splits them.
char16_t StdEncodingToUnicode(TPDFStdEncoding encoding, uint8_t code);

// The text of a code in an encoding, ligatures as their letters; empty when unmapped.
WideString StdEncodingToText(TPDFStdEncoding encoding, uint8_t code);

// The glyph names of the Macintosh standard order (TrueType post tables, 0 to 257); nullptr past it.
const char* MacGlyphName(uint32_t index);
// The predefined strings of CFF fonts by string id (0 to 390); nullptr past them.
const char* CFFStandardString(uint32_t sid);

// Decodes a PDFDocEncoding byte string (text strings without a byte-order mark).
// Codes the encoding leaves undefined keep their byte value.
WideString PDFDocEncodingToWide(std::string_view bytes);

}  // namespace zvword
