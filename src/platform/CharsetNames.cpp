// Charset names as XML declarations and HTML meta tags write them, mapped to code pages.
#include <cstring>

#include "platform/CodePages.h"
#include "platform/TextHelpers.h"

namespace zvword {

int CodePageFromCharsetName(std::u16string_view name) {
  // Compare without case and without the separators writers disagree on.
  std::string key;
  for (char16_t c : name) {
    if (c == u'-' || c == u'_' || c == u' ' || c == u'.' || c == u':') continue;
    if (c >= 0x80) return 0;
    key += static_cast<char>(AsciiLower(c));
  }
  if (key.empty() || key.size() > 40) return 0;
  struct Alias {
    const char* name;
    int cp;
  };
  static constexpr Alias kAliases[] = {
      {"utf8", 65001}, {"utf16", 1200}, {"utf16le", 1200}, {"utf16be", 1201}, {"ucs2", 1200},
      {"unicode", 1200}, {"usascii", 20127}, {"ascii", 20127}, {"latin1", 28591}, {"l1", 28591},
      {"latin2", 28592}, {"koi8r", 20866}, {"koi8u", 21866}, {"ibm866", 866}, {"cp866", 866},
      {"shiftjis", 932}, {"sjis", 932}, {"xsjis", 932}, {"mskanji", 932}, {"windows31j", 932},
      {"gbk", 936}, {"gb2312", 936}, {"xgbk", 936}, {"euccn", 936}, {"gb18030", 936},
      {"big5", 950}, {"big5hkscs", 950}, {"euckr", 949}, {"ksc56011987", 949}, {"uhc", 949},
      {"johab", 1361}, {"tis620", 874}, {"macintosh", 10000}, {"macroman", 10000},
      {"xmacroman", 10000}, {"mac", 10000}, {"latin9", 28605}, {"koi8ru", 21866}, {"iso88598i", 28598},
      {"csshiftjis", 932}, {"cseuckr", 949}, {"csbig5", 950}, {"xxbig5", 950}, {"csgb2312", 936},
      {"chinese", 936}, {"korean", 949}, {"ksc5601", 949}, {"unicode11utf8", 65001},
      {"ansix341968", 20127}, {"unicodefffe", 1201},
  };
  for (const auto& a : kAliases)
    if (key == a.name) return a.cp;
  auto numberAfter = [&](const char* prefix) -> int {
    size_t len = std::strlen(prefix);
    if (key.compare(0, len, prefix) != 0 || key.size() == len || key.size() > len + 5) return 0;
    int v = 0;
    for (size_t i = len; i < key.size(); ++i) {
      if (key[i] < '0' || key[i] > '9') return 0;
      v = v * 10 + (key[i] - '0');
    }
    return v;
  };
  // Only code pages that convert: an unknown number would silently read as the system's.
  auto supported = [](int cp) { return IsCodePageSupported(cp) ? cp : 0; };
  if (int n = numberAfter("iso8859"); n >= 1 && n <= 16) return supported(n == 11 ? 28601 : 28590 + n);
  if (int n = numberAfter("windows")) return supported(n);
  if (int n = numberAfter("xcp")) return supported(n);
  if (int n = numberAfter("cp")) return supported(n);
  if (int n = numberAfter("ibm")) return supported(n);
  return 0;
}

int CodePageFromCharsetName(std::string_view name) {
  WideString wide;
  wide.reserve(name.size());
  for (char c : name) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return CodePageFromCharsetName(std::u16string_view(wide));
}

}  // namespace zvword
