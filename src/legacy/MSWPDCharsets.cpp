// The WordPerfect character sets as Unicode, from the generated tables. Unknown entries yield
// nothing rather than a guess.
#include <cstdint>
#include <iterator>
#include <string_view>

#include "legacy/MSWPD.h"

namespace zvword {
namespace {

struct TWPCharset {
  const uint16_t* Offsets;  // Size + 1 offsets into kWPText
  unsigned Size;
};

#include "legacy/MSWPDCharsets.inc"

}  // namespace

std::u16string_view WPCharToUnicode(uint8_t Set, uint8_t Number, bool Version5) {
  // 6+ defines more sets than 5.x, where those numbers are the user's.
  if (Set >= (Version5 ? std::size(kWP5Charsets) : std::size(kWP6Charsets))) return {};
  const TWPCharset& set = (Version5 ? kWP5Charsets : kWP6Charsets)[Set];
  if (Number >= set.Size) return {};
  return std::u16string_view(kWPText + set.Offsets[Number], set.Offsets[Number + 1] - set.Offsets[Number]);
}

char16_t WPOneByteToUnicode(uint8_t Code) { return Code < std::size(kWPOneByte) ? kWPOneByte[Code] : 0; }

}  // namespace zvword
