// The WordPerfect character sets, as far as they are mapped: ASCII (set 0), the accented Latin
// letters of the multinational set (set 1), the common typographic symbols (set 4), the first
// math symbols (set 6) and Greek (set 8). Unknown
// entries yield nothing rather than a guess.
#include <cstdint>

#include "legacy/MSWPD.h"

namespace zvword {
namespace {

// Set 1 from entry 23: sharp s, then upper- and lower-case pairs of the Latin-1 letters.
constexpr uint8_t kMultinationalFirst = 23;
constexpr char16_t kMultinational[] = {
    u'ß', 0,    0,    u'Á', u'á', u'Â', u'â', u'Ä', u'ä', u'À', u'à', u'Å', u'å', u'Æ', u'æ', u'Ç', u'ç',
    u'É', u'é', u'Ê', u'ê', u'Ë', u'ë', u'È', u'è', u'Í', u'í', u'Î', u'î', u'Ï', u'ï', u'Ì', u'ì',
    u'Ñ', u'ñ', u'Ó', u'ó', u'Ô', u'ô', u'Ö', u'ö', u'Ò', u'ò', u'Ú', u'ú', u'Û', u'û', u'Ü', u'ü',
    u'Ù', u'ù', u'Ÿ', u'ÿ', u'Ã', u'ã', u'Đ', u'đ', u'Ø', u'ø', u'Õ', u'õ', u'Ý', u'ý', u'Ð', u'ð',
    u'Þ', u'þ'};

// Set 4: bullets, Latin-1 symbols and fractions, quotation marks and dashes.
constexpr char16_t kTypographic[] = {
    u'●', u'○', u'■', u'•', u'¶', u'§', u'¡', u'¿', u'«', u'»', u'£', u'¥', u'₧', u'ƒ', u'ª', u'º', u'½',
    u'¼', u'¢', u'²', u'ⁿ', u'®', u'©', u'¤', u'¾', u'³', 0,    0,    u'’', u'‘', 0,    u'”', u'“', u'–',
    u'—'};

// Set 8: the Greek letters in capital/small pairs, with the variant beta and the final sigma.
constexpr char16_t kGreek[] = {
    u'Α', u'α', u'Β', u'β', u'Β', u'ϐ', u'Γ', u'γ', u'Δ', u'δ', u'Ε', u'ε', u'Ζ', u'ζ', u'Η', u'η', u'Θ', u'θ',
    u'Ι', u'ι', u'Κ', u'κ', u'Λ', u'λ', u'Μ', u'μ', u'Ν', u'ν', u'Ξ', u'ξ', u'Ο', u'ο', u'Π', u'π', u'Ρ', u'ρ',
    u'Σ', u'σ', u'Σ', u'ς', u'Τ', u'τ', u'Υ', u'υ', u'Φ', u'φ', u'Χ', u'χ', u'Ψ', u'ψ', u'Ω', u'ω'};

constexpr char16_t kMath[] = {u'−', u'±', u'≤', u'≥'};

template <size_t N>
char16_t Lookup(const char16_t (&table)[N], unsigned index) {
  return index < N ? table[index] : 0;
}

}  // namespace

char16_t WPCharToUnicode(uint8_t Set, uint8_t Number) {
  switch (Set) {
    case 0:
      return Number >= 0x20 && Number < 0x7F ? static_cast<char16_t>(Number) : 0;
    case 1:
      return Number >= kMultinationalFirst ? Lookup(kMultinational, Number - kMultinationalFirst) : 0;
    case 4:
      return Lookup(kTypographic, Number);
    case 6:
      return Lookup(kMath, Number);
    case 8:
      return Lookup(kGreek, Number);
    default:
      return 0;
  }
}

}  // namespace zvword
