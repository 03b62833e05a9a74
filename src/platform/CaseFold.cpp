// Interim folding (ASCII, Latin-1, Greek, Cyrillic); the full simple-folding table replaces it.
#include "platform/CaseFold.h"

namespace zvword {

char32_t SimpleCaseFold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

WideString CaseFold(std::u16string_view s) {
  WideString out(s);
  for (auto& ch : out) ch = static_cast<char16_t>(SimpleCaseFold(ch));
  return out;
}

int CompareTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t x = SimpleCaseFold(a[i]), y = SimpleCaseFold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b) { return CompareTextIgnoreCase(a, b) == 0; }

}  // namespace zvword
