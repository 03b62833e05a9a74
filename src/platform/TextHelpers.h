// ASCII helpers for names, keys and hex digits in formats' markup; document text is never folded
// this way (see CaseFold.h for that).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zvword {

// 'A'..'Z' to 'a'..'z'; every other unit as it is.
template <typename C>
constexpr C AsciiLower(C c) {
  return c >= C('A') && c <= C('Z') ? static_cast<C>(c + 32) : c;
}
template <typename C>
constexpr C AsciiUpper(C c) {
  return c >= C('a') && c <= C('z') ? static_cast<C>(c - 32) : c;
}

// Equal when only the case of ASCII letters differs.
template <typename C>
constexpr bool SameAsciiText(std::basic_string_view<C> a, std::basic_string_view<C> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}
constexpr bool SameAsciiText(std::string_view a, std::string_view b) { return SameAsciiText<char>(a, b); }
constexpr bool SameAsciiText(std::u16string_view a, std::u16string_view b) { return SameAsciiText<char16_t>(a, b); }

// The value of a hexadecimal digit, -1 for any other unit.
constexpr int HexDigitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends the bytes of hexadecimal digit pairs up to the first '>' or the end, skipping anything
// else; an odd last digit counts as followed by 0. Returns the characters read, the '>' included.
inline size_t DecodeHexRun(std::string_view In, std::string& Out) {
  int hi = -1;
  size_t i = 0;
  while (i < In.size()) {
    const char c = In[i++];
    if (c == '>') break;
    const int v = HexDigitValue(static_cast<unsigned char>(c));
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      Out += static_cast<char>(hi << 4 | v);
      hi = -1;
    }
  }
  if (hi >= 0) Out += static_cast<char>(hi << 4);
  return i;
}

}  // namespace zvword
