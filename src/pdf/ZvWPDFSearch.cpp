// Searches on the raw text of objects, for callers that hold object text rather than parsed objects.
#include <algorithm>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFParser.h"

namespace zvword {

namespace {
RawByteString Lower(std::string_view s) {
  RawByteString r(s);
  for (auto& c : r) c = AsciiLower(c);
  return r;
}
bool IsDelimiter(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
RawByteString Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsDelimiter(s[b])) ++b;
  while (e > b && IsDelimiter(s[e - 1])) --e;
  return RawByteString(s.substr(b, e - b));
}
}  // namespace

RawByteString TZvPDFReader::TokenAfterKey(const RawByteString& Key, const RawByteString& Text) {
  if (Key.empty()) return Text;
  RawByteString lt = Lower(Text), lk = Lower(Key);
  size_t from = 0;
  for (;;) {
    size_t p = lt.find(lk, from);
    if (p == std::string::npos) return {};
    size_t s = p + lk.size();
    while (s < Text.size() && (Text[s] == ' ' || Text[s] == '0' || Text[s] == '[')) ++s;
    size_t e = s;
    bool inParen = false;
    for (; e < Text.size(); ++e) {
      char c = Text[e];
      if (c == '(') inParen = true;
      else if (c == ')') inParen = false;
      if (inParen) continue;
      if (e > s) {
        if (IsDelimiter(c) || c == '/' || c == ']') break;
        if (e + 1 < Text.size() && ((c == '<' && Text[e + 1] == '<') || (c == '>' && Text[e + 1] == '>'))) break;
      } else if (IsDelimiter(c)) {
        break;
      }
    }
    RawByteString tok = Text.substr(s, e - s);
    if (Lower(tok) != "/group") return tok;
    from = p + lk.size();
  }
}

RawByteString TZvPDFReader::RunAfterKey(const RawByteString& Key, const RawByteString& Text) {
  size_t p = Text.find(Key);
  if (p == std::string::npos) return {};
  std::string_view rest = std::string_view(Text).substr(p + Key.size());
  size_t end = rest.find(">>");
  size_t slash = rest.find('/');
  if (slash != std::string_view::npos && (end == std::string_view::npos || slash < end)) end = slash;
  size_t lb = rest.find('[');
  if (lb != std::string_view::npos && (end == std::string_view::npos || lb < end)) {
    size_t rb = rest.find(']', lb);
    return RawByteString(rest.substr(lb + 1, rb == std::string_view::npos ? std::string_view::npos : rb - lb - 1));
  }
  return RawByteString(rest.substr(0, end));
}

RawByteString TZvPDFReader::CutReference(RawByteString& Text) {
  static const char* markers[] = {" 0 r", " 0 R", " 1 r", " 1 R", " 2 r", " 2 R"};
  for (const char* m : markers) {
    size_t p = Text.find(m);
    if (p == std::string::npos) continue;
    size_t slash = Text.find('/');
    if (slash != std::string::npos && slash < p) return {};
    RawByteString r = Trim(std::string_view(Text).substr(0, p));
    Text.erase(0, p + 4);
    return r;
  }
  return {};
}

RawByteString TZvPDFReader::GetRefBody(const RawByteString& Body, const RawByteString& Tag, bool FromEnd) {
  size_t hit = std::string::npos;
  if (!FromEnd) {
    hit = Body.find(Tag);
  } else {
    size_t p = Body.size();
    while (p > 0) {
      size_t h = Body.rfind(Tag, p - 1);
      if (h == std::string::npos) break;
      if (h == 0 || Body[h - 1] == '\r' || Body[h - 1] == '\n') {
        hit = h;
        break;
      }
      if (h == 0) break;
      p = h;
    }
  }
  if (hit == std::string::npos) return {};
  size_t s = hit + Tag.size();
  while (s < Body.size() && (Body[s] == '\n' || Body[s] == '\r' || Body[s] == ' ')) ++s;
  std::string_view rest = std::string_view(Body).substr(s);
  static const struct {
    const char* Name;
    bool IncludeInBody;
  } ends[] = {{"%%", false}, {"startxref", false}, {"trailer", false}, {"endobj", true}};
  size_t cut = rest.size();
  for (auto& e : ends) {
    size_t q = rest.find(e.Name);
    if (q != std::string_view::npos) {
      size_t c = e.IncludeInBody ? q + std::char_traits<char>::length(e.Name) : q;
      if (q < cut || (c < cut)) cut = std::min(cut, c);
    }
  }
  rest = rest.substr(0, cut);
  while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r' || rest.back() == ' ')) rest.remove_suffix(1);
  return RawByteString(rest);
}

RawByteString TZvPDFReader::GetItemType(const RawByteString& Body) { return Lower(TokenAfterKey("/type", Lower(Body))); }

RawByteString TZvPDFReader::GetLastLine(RawByteString& S, int MaxLen, bool Remove) {
  int len = static_cast<int>(S.size());
  int limit = MaxLen <= 0 ? len - 1 : MaxLen + 1;
  RawByteString got;
  int visited = 0;
  for (int i = len - 1; i >= 0 && visited < limit; --i) {
    char c = S[static_cast<size_t>(i)];
    ++visited;
    if (c == '\n' || c == '\r' || c == ' ') {
      if (!got.empty()) break;
      continue;
    }
    got.insert(got.begin(), c);
  }
  if (Remove && visited > 0 && MaxLen > 0) {
    size_t from = static_cast<size_t>(len - visited);
    S.erase(from, static_cast<size_t>(MaxLen));
  }
  return got;
}

WideString TZvPDFReader::Reverse(const WideString& S) { return WideString(S.rbegin(), S.rend()); }

RawByteString TZvPDFReader::GetDoubleBracketValue(const RawByteString& Tag, const RawByteString& Text) {
  size_t p = Text.find(Tag);
  if (p == std::string::npos) return {};
  pdfsyntax::TLexer lx(Text, p + Tag.size());
  lx.SkipWhite();
  size_t start = lx.Pos();
  TZvPDFObject o;
  if (!lx.ParseObject(o, true)) return {};
  if (o.Kind == pokDict) {
    // The inside of the dictionary, as written.
    std::string_view d = std::string_view(Text).substr(start, lx.Pos() - start);
    if (d.size() >= 4) d = d.substr(2, d.size() - 4);
    return Trim(d);
  }
  if (o.Kind != pokRef || o.Int < 0 || o.Int > kPDFMaxObjectNumber) return {};
  RawByteString body = GetBodyByRefNo(static_cast<int32_t>(o.Int));
  size_t lb = body.find("<<");
  if (lb == std::string::npos) return {};
  pdfsyntax::TLexer lb2(body, lb);
  TZvPDFObject d;
  if (!lb2.ParseObject(d, true)) return {};
  std::string_view in = std::string_view(body).substr(lb, lb2.Pos() - lb);
  if (in.size() >= 4) in = in.substr(2, in.size() - 4);
  return Trim(in);
}

RawByteString TZvPDFReader::GetInfoTag(const RawByteString& Tag, const RawByteString& Body, bool UnHex, bool Strings) {
  (void)UnHex;
  size_t p = Tag.empty() ? 0 : Lower(Body).find(Lower(Tag));
  if (p == std::string::npos) return {};
  pdfsyntax::TLexer lx(Body, p + Tag.size());
  TZvPDFObject o;
  if (!lx.ParseObject(o, false)) return {};
  switch (o.Kind) {
    case pokString:
      return o.Str;
    case pokArray: {
      // An array of strings (such as /ID): its strings joined.
      RawByteString r;
      for (auto& it : o.Items)
        if (it.Kind == pokString) r += it.Str;
      return r;
    }
    case pokName:
      return Strings ? o.Str : "/" + o.Str;
    case pokInt:
      return std::to_string(o.Int);
    case pokReal:
      return std::to_string(o.Real);
    case pokBool:
      return o.Bool ? "true" : "false";
    default:
      return {};
  }
}

}  // namespace zvword
