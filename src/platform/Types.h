// Basic types shared by every module.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace zvword {

using WideString = std::u16string;       // UTF-16 text
using WideChar = char16_t;
using RawByteString = std::string;       // raw bytes (8-bit text before conversion, PDF data)
using TDateTime = double;                // days since 1899-12-30; fraction = time of day

// A set over a small enumeration (at most 32 values); bit n stands for value n.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) Include(e);
  }
  static constexpr TSet FromBits(uint32_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr bool Contains(E e) const { return (bits_ >> static_cast<unsigned>(e)) & 1u; }
  constexpr void Include(E e) { bits_ |= 1u << static_cast<unsigned>(e); }
  constexpr void Exclude(E e) { bits_ &= ~(1u << static_cast<unsigned>(e)); }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TSet&) const = default;

 private:
  uint32_t bits_ = 0;
};

// UTF-8 <-> UTF-16 helpers (invalid sequences become U+FFFD).
ZVWORD_API std::string WideToUtf8(std::u16string_view s);
ZVWORD_API WideString Utf8ToWide(std::string_view s);
// Widens ASCII literals (bytes above 127 become U+FFFD).
ZVWORD_API WideString AsciiToWide(std::string_view s);

}  // namespace zvword
