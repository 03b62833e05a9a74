#include "framework/ZvWUtils.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/FormatSettings.h"

namespace zvword {

double StrToFloatDef(const WideString& Text, double Default) {
  WideString s = Text;
  const char16_t sep = DecimalSeparator();
  if (sep != u'.')
    if (const size_t p = s.find(sep); p != WideString::npos) s[p] = u'.';
  // Surrounding blanks are allowed, as the host framework's number parser allows them.
  size_t from = 0, to = s.size();
  while (from < to && (s[from] == u' ' || s[from] == u'\t')) ++from;
  while (to > from && (s[to - 1] == u' ' || s[to - 1] == u'\t')) --to;
  std::string ascii;
  ascii.reserve(to - from);
  // Accepted: [sign] digits [. digits] [e [sign] digits], with at least one digit in the mantissa.
  size_t i = from;
  auto digits = [&] {
    size_t n = 0;
    while (i < to && s[i] >= u'0' && s[i] <= u'9') ascii += static_cast<char>(s[i++]), ++n;
    return n;
  };
  bool negative = false;
  if (i < to && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  size_t mantissa = digits();
  if (i < to && s[i] == u'.') {
    ascii += '.';
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return Default;
  if (i < to && (s[i] == u'e' || s[i] == u'E')) {
    ascii += 'e';
    ++i;
    if (i < to && (s[i] == u'+' || s[i] == u'-')) ascii += static_cast<char>(s[i++]);
    if (digits() == 0) return Default;
  }
  if (i != to) return Default;
  double value = 0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) return Default;
  return negative ? -value : value;
}

}  // namespace zvword
