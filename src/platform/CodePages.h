// Conversion of 8-bit text to and from UTF-16 with Windows code pages, and the process-wide
// system ANSI code page that stands in for the host's.
#pragma once
#include <string_view>

#include "platform/Types.h"

namespace zvword {

constexpr int CP_ACP = 0;       // the system ANSI code page
constexpr int CP_UTF16LE = 1200;
constexpr int CP_UTF16BE = 1201;
constexpr int CP_UTF8 = 65001;

// The system ANSI code page (1252 unless changed).
ZVWORD_API int SystemCodePage();
ZVWORD_API void SetSystemCodePage(int codePage);

// True when the code page converts (the Windows single- and double-byte code pages we carry
// tables for, plus 1200, 1201, 65001, 20127, 28591 and their kin).
ZVWORD_API bool IsCodePageSupported(int codePage);

// 8-bit text to UTF-16. CP_ACP means the system code page; an unknown code page falls back to it.
ZVWORD_API WideString CodePageToWide(std::string_view bytes, int codePage = CP_ACP);
// The same, appended to `out` (no temporary for text built piece by piece).
void AppendCodePageToWide(WideString& out, std::string_view bytes, int codePage = CP_ACP);
// UTF-16 to 8-bit text; characters the code page lacks become defaultChar.
ZVWORD_API RawByteString WideToCodePage(std::u16string_view text, int codePage = CP_ACP, char defaultChar = '?');

// The encoding of one UTF-16 unit: a byte, or lead << 8 | trail for a double-byte character;
// -1 when the code page has none.
int CodePageEncodeChar(char16_t c, int codePage);
// The table behind CodePageEncodeChar, for callers that encode many characters: 65,536 entries,
// 0 for none (U+0000 itself encodes as 0); nullptr for the Unicode encodings.
const uint16_t* CodePageEncodeTable(int codePage);

// The characters of the 256 bytes of a single-byte code page whose bytes below 80 are ASCII, for
// decoders that widen as they go; nullptr for other code pages. CP_ACP asks about the system's.
const char16_t* AsciiSingleByteTable(int codePage);

// True for the double-byte pages (932, 936, 949, 950, 1361); CP_ACP asks about the system's.
bool IsDoubleByteCodePage(int codePage);

// The code page of a charset name as documents declare it ("windows-1251", "ISO-8859-2",
// "koi8-r", "Shift_JIS", "gb2312", "big5", "euc-kr", "UTF-8", "utf-16", ...), matched without
// regard to case or separators; 0 when the name is unknown or its code page is not carried.
int CodePageFromCharsetName(std::u16string_view name);
int CodePageFromCharsetName(std::string_view name);

}  // namespace zvword
