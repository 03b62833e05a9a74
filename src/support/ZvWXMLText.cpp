// Text helpers of the XML engine: references, dates, name comparison and encoding detection.
#include <array>
#include <unordered_map>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/CodePages.h"
#include "platform/LocalTime.h"
#include "platform/TextHelpers.h"
#include "platform/Unicode.h"
#include "support/ZvWXML.h"

namespace zvword {
namespace {

struct NamedEntity {
  const char* name;
  char32_t code;
};

// The XML entities and the HTML 4 named entities.
constexpr NamedEntity kNamedEntities[] = {
    {"quot", 34}, {"amp", 38}, {"apos", 39}, {"lt", 60}, {"gt", 62},
    {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"fnof", 402},
    {"circ", 710}, {"tilde", 732},
    {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917}, {"Zeta", 918},
    {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924},
    {"Nu", 925}, {"Xi", 926}, {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931},
    {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949}, {"zeta", 950},
    {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954}, {"lambda", 955}, {"mu", 956},
    {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961}, {"sigmaf", 962},
    {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206},
    {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216}, {"rsquo", 8217},
    {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224},
    {"Dagger", 8225}, {"bull", 8226}, {"hellip", 8230}, {"permil", 8240}, {"prime", 8242},
    {"Prime", 8243}, {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254}, {"frasl", 8260},
    {"euro", 8364}, {"image", 8465}, {"weierp", 8472}, {"real", 8476}, {"trade", 8482},
    {"alefsym", 8501}, {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595},
    {"harr", 8596}, {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658},
    {"dArr", 8659}, {"hArr", 8660}, {"forall", 8704}, {"part", 8706}, {"exist", 8707},
    {"empty", 8709}, {"nabla", 8711}, {"isin", 8712}, {"notin", 8713}, {"ni", 8715},
    {"prod", 8719}, {"sum", 8721}, {"minus", 8722}, {"lowast", 8727}, {"radic", 8730},
    {"prop", 8733}, {"infin", 8734}, {"ang", 8736}, {"and", 8743}, {"or", 8744}, {"cap", 8745},
    {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"cong", 8773},
    {"asymp", 8776}, {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834},
    {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853},
    {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969},
    {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001}, {"rang", 9002}, {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
};

// Latin-1 names, U+00A0 to U+00FF in order.
constexpr const char* kLatin1Names[96] = {
    "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml", "copy", "ordf",
    "laquo", "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para",
    "middot", "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc", "Atilde", "Auml", "Aring", "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc",
    "Euml", "Igrave", "Iacute", "Icirc", "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc",
    "Otilde", "Ouml", "times", "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN",
    "szlig", "agrave", "aacute", "acirc", "atilde", "auml", "aring", "aelig", "ccedil", "egrave",
    "eacute", "ecirc", "euml", "igrave", "iacute", "icirc", "iuml", "eth", "ntilde", "ograve",
    "oacute", "ocirc", "otilde", "ouml", "divide", "oslash", "ugrave", "uacute", "ucirc", "uuml",
    "yacute", "thorn", "yuml"};

const std::unordered_map<std::u16string, char32_t>& EntityTable() {
  static const auto table = [] {
    std::unordered_map<std::u16string, char32_t> m;
    for (const auto& e : kNamedEntities) m.emplace(AsciiToWide(e.name), e.code);
    for (int i = 0; i < 96; ++i) m.emplace(AsciiToWide(kLatin1Names[i]), static_cast<char32_t>(0xA0 + i));
    return m;
  }();
  return table;
}

bool IsAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Decodes the reference starting at s[i] == '&'; returns the characters it spans, 0 when it is none.
size_t DecodeReference(std::u16string_view s, size_t i, WideString& out) {
  constexpr size_t kMaxName = 32;
  size_t j = i + 1;
  if (j < s.size() && s[j] == u'#') {
    ++j;
    bool hex = j < s.size() && (s[j] == u'x' || s[j] == u'X');
    if (hex) ++j;
    const size_t digitsStart = j;
    uint32_t value = 0;
    while (j < s.size() && j - digitsStart <= 8) {
      const int d = HexDigitValue(s[j]);
      if (d < 0 || (!hex && d > 9)) break;
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      ++j;
    }
    if (j == digitsStart || j >= s.size() || s[j] != u';') return 0;
    // Not a character: leave the reference as written rather than invent one.
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    AppendCodePoint(out, value);
    return j + 1 - i;
  }
  while (j < s.size() && j - i <= kMaxName && IsAsciiAlnum(s[j])) ++j;
  if (j == i + 1 || j >= s.size() || s[j] != u';') return 0;
  // The five XML entities are nearly all a part holds: no table look-up for them.
  const std::u16string_view name = s.substr(i + 1, j - i - 1);
  using namespace std::string_view_literals;
  const char16_t xml = name == u"amp"sv    ? u'&'
                       : name == u"lt"sv   ? u'<'
                       : name == u"gt"sv   ? u'>'
                       : name == u"quot"sv ? u'"'
                       : name == u"apos"sv ? u'\''
                                           : 0;
  if (xml != 0) {
    out += xml;
    return j + 1 - i;
  }
  const auto& table = EntityTable();
  auto it = table.find(std::u16string(s.substr(i + 1, j - i - 1)));
  if (it == table.end()) return 0;
  AppendCodePoint(out, it->second);
  return j + 1 - i;
}

// The first "&" at or after From; the size of S when none. Most text holds none at all.
size_t FindAmpersand(std::u16string_view s, size_t from) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi16(u'&');
  for (; i + 8 <= s.size(); i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, amp)))
      return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
  }
#endif
  for (; i < s.size(); ++i)
    if (s[i] == u'&') return i;
  return s.size();
}

}  // namespace

void AppendDecodedEntities(std::u16string_view s, WideString& out) {
  size_t i = 0;
  while (i < s.size()) {
    const size_t amp = FindAmpersand(s, i);
    if (amp == s.size()) {
      out.append(s.substr(i));
      break;
    }
    out.append(s.substr(i, amp - i));
    size_t used = DecodeReference(s, amp, out);
    if (used == 0) {
      out += u'&';
      i = amp + 1;
    } else {
      i = amp + used;
    }
  }
}

WideString DecodeEntities(std::u16string_view s) {
  WideString out;
  out.reserve(s.size());
  AppendDecodedEntities(s, out);
  return out;
}

void ReplaceHTMLChars(WideString& S) {
  if (S.find(u'&') != WideString::npos) S = DecodeEntities(S);
}

TDateTime XMLStringToDateTime(std::u16string_view S) {
  if (S.size() < 19) return 0;
  auto num = [&](size_t pos, size_t len, int& v) {
    v = 0;
    for (size_t k = pos; k < pos + len; ++k) {
      if (S[k] < u'0' || S[k] > u'9') return false;
      v = v * 10 + (S[k] - u'0');
    }
    return true;
  };
  TSystemTime t;
  if (!num(0, 4, t.Year) || !num(5, 2, t.Month) || !num(8, 2, t.Day) || !num(11, 2, t.Hour) ||
      !num(14, 2, t.Minute) || !num(17, 2, t.Second))
    return 0;
  TDateTime result = 0;
  return TryEncodeDateTime(t, result) ? result : 0;
}

bool SameStrings(bool CaseSensitive, std::u16string_view S1, std::u16string_view S2) {
  return CaseSensitive ? S1 == S2 : SameAsciiText(S1, S2);
}

namespace {
bool IsValidUtf8(std::string_view b) {
  size_t i = 0;
  while (i < b.size()) {
    auto c = static_cast<uint8_t>(b[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || c == 0xC0 || c == 0xC1) return false;
    // A sequence cut by the end of the data still counts: the part may be truncated.
    for (size_t k = 1; k < len && i + k < b.size(); ++k)
      if ((static_cast<uint8_t>(b[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}
}  // namespace

int DetectXMLCodePage(std::string_view b, WideString* declared, size_t* bomLength) {
  size_t bom = 0;
  int cp = 0;
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") bom = 3, cp = CP_UTF8;
  else if (b.size() >= 2 && b.substr(0, 2) == "\xFF\xFE") bom = 2, cp = CP_UTF16LE;
  else if (b.size() >= 2 && b.substr(0, 2) == "\xFE\xFF") bom = 2, cp = CP_UTF16BE;
  else if (b.size() >= 4 && b.substr(0, 4) == std::string_view("<\0?\0", 4)) cp = CP_UTF16LE;
  else if (b.size() >= 4 && b.substr(0, 4) == std::string_view("\0<\0?", 4)) cp = CP_UTF16BE;
  if (bomLength) *bomLength = bom;
  if (declared) declared->clear();
  // The declaration, read as ASCII (for UTF-16 every other byte).
  std::string head;
  {
    size_t step = (cp == CP_UTF16LE || cp == CP_UTF16BE) ? 2 : 1;
    size_t start = bom + (cp == CP_UTF16BE ? 1 : 0);
    for (size_t i = start; i < b.size() && head.size() < 512; i += step) {
      head += b[i];
      if (head.size() >= 2 && head.compare(head.size() - 2, 2, "?>") == 0) break;
    }
  }
  size_t decl = head.find("<?xml");
  if (decl != std::string::npos && head.find_first_not_of(" \t\r\n") == decl) {
    size_t enc = head.find("encoding", decl);
    size_t end = head.find("?>", decl);
    if (enc != std::string::npos && (end == std::string::npos || enc < end)) {
      size_t i = enc + 8;
      while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
      if (i < head.size() && head[i] == '=') {
        ++i;
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
        if (i < head.size() && (head[i] == '"' || head[i] == '\'')) {
          char q = head[i++];
          size_t close = head.find(q, i);
          if (close != std::string::npos) {
            std::string name = head.substr(i, close - i);
            if (declared) *declared = CodePageToWide(name, CP_UTF8);
            if (cp == 0) {
              int named = CodePageFromCharsetName(Utf8ToWide(name));
              // A UTF-16 name on 8-bit bytes is a mislabel; the bytes decide.
              if (named != 0 && named != CP_UTF16LE && named != CP_UTF16BE) cp = named;
            }
          }
        }
      }
    }
  }
  if (cp == 0) cp = IsValidUtf8(b.substr(bom)) ? CP_UTF8 : SystemCodePage();
  return cp;
}

}  // namespace zvword
