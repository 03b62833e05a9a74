#include "framework/ListNumbers.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/TextHelpers.h"

namespace zvword {
namespace {

WideString Decimal(int v) { return AsciiToWide(std::to_string(v)); }

WideString Roman(int v, bool upper) {
  static const struct {
    int value;
    const char16_t* text;
  } kRoman[] = {{1000, u"m"}, {900, u"cm"}, {500, u"d"}, {400, u"cd"}, {100, u"c"}, {90, u"xc"}, {50, u"l"},
                {40, u"xl"},  {10, u"x"},   {9, u"ix"},  {5, u"v"},    {4, u"iv"},  {1, u"i"}};
  WideString out;
  if (v <= 0 || v >= 4000) return Decimal(v);
  for (const auto& r : kRoman)
    while (v >= r.value) {
      out += r.text;
      v -= r.value;
    }
  if (upper)
    for (auto& c : out) c = static_cast<char16_t>(c - 32);
  return out;
}

// Word repeats the letter past z: a..z, aa..zz, aaa...
WideString Letters(int v, bool upper) {
  if (v <= 0) return Decimal(v);
  const int count = (v - 1) / 26 + 1;
  const char16_t c = static_cast<char16_t>((upper ? u'A' : u'a') + (v - 1) % 26);
  return WideString(static_cast<size_t>(std::min(count, 50)), c);
}

WideString Ordinal(int v) {
  const int tens = v % 100, units = v % 10;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) suffix = units == 1 ? "st" : units == 2 ? "nd" : units == 3 ? "rd" : "th";
  return Decimal(v) + AsciiToWide(suffix);
}

constexpr std::array<const char*, 20> kOnes = {
    "zero", "one",    "two",    "three",    "four",     "five",    "six",     "seven",     "eight",    "nine",
    "ten",  "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
constexpr std::array<const char*, 10> kTens = {"",      "",      "twenty",  "thirty", "forty",
                                               "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string Words(int v) {
  if (v < 20) return kOnes[static_cast<size_t>(v)];
  if (v < 100) return std::string(kTens[static_cast<size_t>(v / 10)]) + (v % 10 ? "-" + Words(v % 10) : "");
  if (v < 1000) return Words(v / 100) + " hundred" + (v % 100 ? " " + Words(v % 100) : "");
  return Words(v / 1000) + " thousand" + (v % 1000 ? " " + Words(v % 1000) : "");
}

// The ordinal word of a number: the last word of its cardinal changes.
std::string OrdinalWords(int v) {
  static const struct {
    const char* cardinal;
    const char* ordinal;
  } kIrregular[] = {{"one", "first"},    {"two", "second"}, {"three", "third"},   {"five", "fifth"},
                    {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
  std::string w = Words(v);
  const size_t cut = w.find_last_of(" -") == std::string::npos ? 0 : w.find_last_of(" -") + 1;
  const std::string last = w.substr(cut);
  for (const auto& r : kIrregular)
    if (last == r.cardinal) return w.substr(0, cut) + r.ordinal;
  if (last.back() == 'y') return w.substr(0, w.size() - 1) + "ieth";
  return w + "th";
}

WideString Capitalised(const std::string& s) {
  WideString w = AsciiToWide(s);
  if (!w.empty()) w[0] = AsciiUpper(w[0]);
  return w;
}

}  // namespace

WideString FormatListNumber(int v, int Nfc) {
  switch (Nfc) {
    case lnfUpperRoman:
      return Roman(v, true);
    case lnfLowerRoman:
      return Roman(v, false);
    case lnfUpperLetter:
      return Letters(v, true);
    case lnfLowerLetter:
      return Letters(v, false);
    case lnfOrdinal:
      return v > 0 ? Ordinal(v) : Decimal(v);
    case lnfCardinalText:
      return v >= 0 && v < 1000000 ? Capitalised(Words(v)) : Decimal(v);
    case lnfOrdinalText:
      return v > 0 && v < 1000000 ? Capitalised(OrdinalWords(v)) : Decimal(v);
    case lnfHex: {
      static const char kDigits[] = "0123456789ABCDEF";
      std::string s;
      for (unsigned u = static_cast<unsigned>(v); u || s.empty(); u >>= 4) s.insert(s.begin(), kDigits[u & 15]);
      return AsciiToWide(s);
    }
    case lnfChicago: {
      // *, dagger, double dagger, section; then each doubled, tripled...
      static const char16_t kMarks[] = {u'*', u'\u2020', u'\u2021', u'\u00A7'};
      if (v <= 0) return Decimal(v);
      return WideString(static_cast<size_t>(std::min((v - 1) / 4 + 1, 50)), kMarks[(v - 1) % 4]);
    }
    case lnfDecimalZero:
      return v >= 0 && v < 10 ? u"0" + Decimal(v) : Decimal(v);
    case lnfBullet:
    case lnfNone:
      return {};
    default:
      return Decimal(v);
  }
}

int ListNumberFormatOfName(std::u16string_view Name) {
  static const struct {
    std::u16string_view name;
    int nfc;
  } kNames[] = {{u"decimal", lnfDecimal},
                {u"upperRoman", lnfUpperRoman},
                {u"lowerRoman", lnfLowerRoman},
                {u"upperLetter", lnfUpperLetter},
                {u"lowerLetter", lnfLowerLetter},
                {u"ordinal", lnfOrdinal},
                {u"cardinalText", lnfCardinalText},
                {u"ordinalText", lnfOrdinalText},
                {u"hex", lnfHex},
                {u"chicago", lnfChicago},
                {u"decimalZero", lnfDecimalZero},
                {u"bullet", lnfBullet},
                {u"none", lnfNone}};
  for (const auto& n : kNames)
    if (n.name == Name) return n.nfc;
  return lnfDecimal;
}

}  // namespace zvword
