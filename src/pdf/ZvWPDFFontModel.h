// PDF fonts as text: a font's dictionary entries as they are written, its ToUnicode map and
// Differences array split into lines, and the glyph sets behind glyph names. Programs that inspect
// fonts use these; the text extraction works on the object model (ZvWPDF.h) and does not need them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "framework/MSWBase.h"
#include "pdf/ZvWPDF.h"

namespace zvword {

struct TZvPDFFontEntries {
  WideString Content;          // the font object as written
  WideString CMap;             // the decoded ToUnicode stream
  WideString CID;              // the decoded font program (FontFile2, else FontFile3)
  WideString DescendantFonts;  // the descendant font object as written
  WideString FontDescriptor;   // the descriptor object as written
  WideString FontFile, FontFile2, FontFile3;  // the descriptor's references, "12 0 R"
  WideString CIDToGIDMap, CIDSystemInfo;      // the values as written
  // Upper-cased lines of the ToUnicode sections, one entry each; the runs of the Differences
  // array, each a start code and its glyph names ("24 /breve /caron").
  TWideStrings lstBFRange, lstBFChars, lstCodeSpaceRange, lstDifferencies;
};

// A glyph of the PDF Latin character set: its codes in the standard, Mac OS Roman, Windows ANSI
// and PDFDoc encodings (0 where an encoding lacks it), its text and its name.
struct TLatinCharacterSet {
  uint16_t StdEnc = 0, MacRomanEnc = 0, WinAnsiEnc = 0, PDFDocEnc = 0;
  WideString Character;
  std::string Name;
};

struct THebrewCharacterSet {
  WideString Character;
  std::string Name;
};

// The rows, ordered by name; built once from the encoding tables.
ZVWORD_API const std::vector<TLatinCharacterSet>& LatinCharacterSet();
ZVWORD_API const std::vector<THebrewCharacterSet>& HebrewCharacterSet();

// An object written back as PDF syntax ("<< /Registry (Adobe) /Supplement 0 >>", "12 0 R"),
// strings in hexadecimal when HexStrings is set.
RawByteString PDFObjectText(const TZvPDFObject& Obj, bool HexStrings = false);

}  // namespace zvword
