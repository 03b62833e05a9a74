// The WordPerfect character sets as Unicode, from the generated tables. Unknown entries yield
// nothing rather than a guess.
#include <cstdint>
#include <iterator>

#include "legacy/MSWPD.h"

namespace zvword {
namespace {

struct TWPCharset {
  const char16_t* Table;
  unsigned Size;
};

#include "legacy/MSWPDCharsets.inc"

}  // namespace

char16_t WPCharToUnicode(uint8_t Set, uint8_t Number) {
  if (Set == 0) return Number >= 0x20 && Number < 0x7F ? static_cast<char16_t>(Number) : 0;
  if (Set >= std::size(kWPCharsets)) return 0;
  const TWPCharset& set = kWPCharsets[Set];
  return Number < set.Size ? set.Table[Number] : 0;
}

}  // namespace zvword
