// Unicode blocks, language ranges and character converters to the Windows 8-bit code pages.
#pragma once
#include <cstdint>

#include "platform/Types.h"

namespace zvword {

struct TUnicodeRange {
  uint16_t CodeFrom;  // first code point of the block
  uint16_t CodeTo;    // last code point, inclusive
  WideString Name;
};

constexpr int UnicodeBlockCount = 88;
// The block list of Unicode 3.0 in code-point order; the last row ends at U+FFFF.
extern const TUnicodeRange UnicodeBlocks[UnicodeBlockCount];

// The block of a Windows language identifier; Basic Latin (row 0) when no mapping applies.
TUnicodeRange GetUnicodeRangeByLID(uint16_t LID, uint8_t Reserved = 0);

// One UTF-16 unit to a byte of the Windows code page of the same number; 0 when the converter
// has no byte for it. Each converter covers a fixed set of characters (the letters and signs the
// page adds beyond ASCII and Latin-1); the double-byte pages have none.
uint16_t UnicodeToWin874(uint16_t Code);
uint16_t UnicodeToWin932(uint16_t Code);
uint16_t UnicodeToWin936(uint16_t Code);
uint16_t UnicodeToWin949(uint16_t Code);
uint16_t UnicodeToWin950(uint16_t Code);
uint16_t UnicodeToWin1250(uint16_t Code);
uint16_t UnicodeToWin1251(uint16_t Code);
uint16_t UnicodeToWin1252(uint16_t Code);
uint16_t UnicodeToWin1253(uint16_t Code);
uint16_t UnicodeToWin1254(uint16_t Code);
uint16_t UnicodeToWin1255(uint16_t Code);
uint16_t UnicodeToWin1256(uint16_t Code);
uint16_t UnicodeToWin1257(uint16_t Code);

// A point size as the value of an HTML font element's size attribute; "-1" outside the table.
WideString GetHTMLFontSize(int32_t PointSize);

}  // namespace zvword
