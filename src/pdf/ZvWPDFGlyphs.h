// Glyph names and the four Latin single-byte encodings of PDF simple fonts.
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

enum class TPDFStdEncoding { Standard, WinAnsi, MacRoman, PDFDoc };

// The glyph name a code stands for in an encoding; nullptr when unmapped.
const char* StdEncodingGlyphName(TPDFStdEncoding encoding, uint8_t code);

// The single character of a code in an encoding; 0 when unmapped. Ligature
// codes (fi, fl) give their presentation form here; StdEncodingToText splits them.
char16_t StdEncodingToUnicode(TPDFStdEncoding encoding, uint8_t code);

// The text of a code in an encoding, ligatures as their letters; empty when unmapped.
WideString StdEncodingToText(TPDFStdEncoding encoding, uint8_t code);

// Decodes a PDFDocEncoding byte string (text strings without a byte-order mark).
// Codes the encoding leaves undefined keep their byte value.
WideString PDFDocEncodingToWide(std::string_view bytes);

}  // namespace zvword
