// What embedded font programs (TrueType/OpenType and CFF) say about their glyphs: which glyph a
// code draws and what character a glyph stands for. Fonts without a ToUnicode map are read
// through them.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Types.h"

namespace zvword {

class TResourceBudget;

struct TZvPDFFontProgram {
  // The Unicode cmap read backwards: glyph id -> its lowest code point (0 = none).
  std::vector<uint32_t> GlyphUnicode;
  // Single-byte codes -> glyph id (0 = none): the symbol cmap (3,0), whose codes may sit at
  // F000, F100 or F200 plus the byte, and the Macintosh cmap (1,0).
  std::array<uint16_t, 256> SymbolCodes{};
  std::array<uint16_t, 256> MacCodes{};
  bool HasSymbolCMap = false, HasMacCMap = false;
  // Glyph names by glyph id (post table, CFF charset); empty when the program names none.
  std::vector<std::string> GlyphNames;
  // CFF: CID-keyed fonts give each glyph's CID; a built-in encoding gives the glyph of a code.
  bool CIDKeyed = false;
  std::vector<uint16_t> GlyphCIDs;
  std::array<uint16_t, 256> EncodingGlyphs{};
  bool HasEncoding = false;

  // Reads a TrueType or OpenType font (a CFF table inside included); false when the data is no
  // such font. A damaged table is left out; what the others give stays.
  bool ReadTrueType(std::string_view data, TResourceBudget* budget);
  // Reads a bare CFF font (the first of its set); false when the data is none.
  bool ReadCFF(std::string_view data, TResourceBudget* budget);

  // The text of a glyph: its Unicode cmap entry, else its name through the glyph list.
  WideString GlyphText(uint32_t gid) const;
  // The glyph of a name, -1 when the program has no such name.
  int32_t GlyphByName(std::string_view name) const;
};

}  // namespace zvword
