// Unicode simple case folding from a table generated out of CaseFolding.txt (casefold_table.inc).
#include "platform/CaseFold.h"

#include <algorithm>
#include <array>
#include <memory>

#include "platform/Unicode.h"

namespace zvword {
namespace {

struct CaseFoldPair {
  char32_t from;
  char32_t to;
};

#include "platform/casefold_table.inc"

// The Basic Multilingual Plane as one lookup array, built once; other planes search the pairs.
const std::array<char16_t, 65536>& BmpFolds() {
  static const auto table = [] {
    auto t = std::make_unique<std::array<char16_t, 65536>>();
    for (unsigned c = 0; c < 65536; ++c) (*t)[c] = static_cast<char16_t>(c);
    for (const auto& p : kCaseFold)
      if (p.from < 0x10000) (*t)[p.from] = static_cast<char16_t>(p.to);
    return t;
  }();
  return *table;
}

// Next code point of s at i (a surrogate pair counts as one), advancing i.
char32_t NextCodePoint(std::u16string_view s, size_t& i) {
  const char16_t c = s[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (s[i++] - 0xDC00);
  return c;
}

}  // namespace

char32_t SimpleCaseFold(char32_t c) {
  if (c < 0x10000) return BmpFolds()[c];
  const auto* end = kCaseFold + sizeof kCaseFold / sizeof kCaseFold[0];
  const auto* it = std::lower_bound(kCaseFold, end, c, [](const CaseFoldPair& p, char32_t v) { return p.from < v; });
  return it != end && it->from == c ? it->to : c;
}

WideString CaseFold(std::u16string_view s) {
  WideString out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const char32_t c = SimpleCaseFold(NextCodePoint(s, i));
    AppendCodePoint(out, c);
  }
  return out;
}

int CompareTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = SimpleCaseFold(NextCodePoint(a, i)), y = SimpleCaseFold(NextCodePoint(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b) { return CompareTextIgnoreCase(a, b) == 0; }

}  // namespace zvword
