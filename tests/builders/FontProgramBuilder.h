// Builds small font programs for the PDF tests: TrueType fonts with cmap, maxp and post tables
// (no outlines), and CFF fonts with a charset and an encoding (every glyph an empty charstring).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zvword::testing {

using CodeGlyphs = std::vector<std::pair<uint32_t, uint16_t>>;  // code -> glyph id, codes ascending

struct TrueTypeLayout {
  uint16_t glyphs = 8;
  CodeGlyphs unicode;  // (3,1), format 4
  CodeGlyphs symbol;   // (3,0), format 4
  CodeGlyphs mac;      // (1,0), format 0
  std::vector<std::string> names;  // post format 2 names from glyph 0; empty: no post table
};
std::string MakeTrueType(const TrueTypeLayout& layout);

struct CffLayout {
  std::vector<std::string> names;  // glyphs 1.. (standard strings or new ones)
  CodeGlyphs encoding;             // custom encoding (format 0, codes of glyphs 1.. in order)
  bool cidKeyed = false;           // the charset then gives CIDs 1.. in order
};
std::string MakeCff(const CffLayout& layout);

}  // namespace zvword::testing
