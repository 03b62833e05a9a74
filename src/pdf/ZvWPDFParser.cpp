#include "pdf/ZvWPDFParser.h"

#include <cstdlib>
#include <cstring>

#include "platform/TextHelpers.h"

namespace zvword {

const TZvPDFObject* TZvPDFObject::Get(std::string_view key) const {
  for (size_t i = 0; i < Keys.size() && i < Items.size(); ++i)
    if (Keys[i] == key) return &Items[i];
  return nullptr;
}

namespace pdfsyntax {

void WalkCMapSections(std::string_view Map, size_t MaxOperands,
                      const std::function<void(TCMapSection, const std::vector<TZvPDFObject>&)>& Section) {
  TLexer lx(Map);
  std::vector<TZvPDFObject> ops;
  TCMapSection section = TCMapSection::CodeSpace;
  bool open = false;
  while (!lx.AtEnd()) {
    TZvPDFObject o;
    std::string_view kw;
    const size_t before = lx.Pos();
    if (lx.ParseObject(o, false, &kw)) {
      if (ops.size() < MaxOperands) ops.push_back(std::move(o));
      continue;
    }
    if (lx.Pos() == before) lx.SetPos(before + (kw.empty() ? 1 : kw.size()));
    if (kw == "begincodespacerange" || kw == "beginbfchar" || kw == "beginbfrange") {
      section = kw == "begincodespacerange" ? TCMapSection::CodeSpace
                : kw == "beginbfchar"       ? TCMapSection::BFChar
                                            : TCMapSection::BFRange;
      open = true;
    } else if (open && kw == (section == TCMapSection::CodeSpace ? "endcodespacerange"
                              : section == TCMapSection::BFChar  ? "endbfchar"
                                                                 : "endbfrange")) {
      Section(section, ops);
      open = false;
    }
    ops.clear();
  }
}

size_t Find(std::string_view hay, std::string_view needle, size_t from) {
  if (from > hay.size()) return std::string_view::npos;
  return hay.find(needle, from);
}

void TLexer::SkipWhite() {
  while (FPos < FData.size()) {
    auto c = static_cast<uint8_t>(FData[FPos]);
    if (IsWhite(c)) {
      ++FPos;
    } else if (c == '%') {
      while (FPos < FData.size() && FData[FPos] != '\r' && FData[FPos] != '\n') ++FPos;
    } else {
      break;
    }
  }
}

std::string_view TLexer::ReadRegular() {
  size_t s = FPos;
  while (FPos < FData.size() && IsRegular(static_cast<uint8_t>(FData[FPos]))) ++FPos;
  return FData.substr(s, FPos - s);
}

bool TLexer::ReadUInt(int64_t& v) {
  size_t p = FPos;
  v = 0;
  int digits = 0;
  while (p < FData.size() && FData[p] >= '0' && FData[p] <= '9') {
    if (v < (int64_t(1) << 50)) v = v * 10 + (FData[p] - '0');
    ++p;
    ++digits;
  }
  if (!digits) return false;
  FPos = p;
  return true;
}

bool TLexer::LooksAt(std::string_view kw) const {
  if (FData.compare(FPos, kw.size(), kw) != 0 || FPos + kw.size() > FData.size()) return false;
  size_t e = FPos + kw.size();
  return e >= FData.size() || !IsRegular(static_cast<uint8_t>(FData[e]));
}

void TLexer::ParseLiteralString(RawByteString& out) {
  // Balanced parentheses belong to the string; a backslash escapes the next character.
  ++FPos;
  int depth = 1;
  while (FPos < FData.size()) {
    char c = FData[FPos++];
    if (c == '\\') {
      if (FPos >= FData.size()) break;
      char e = FData[FPos++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case '\r':
          if (FPos < FData.size() && FData[FPos] == '\n') ++FPos;
          break;
        case '\n': break;
        default:
          if (e >= '0' && e <= '7') {
            int v = e - '0';
            for (int k = 0; k < 2 && FPos < FData.size() && FData[FPos] >= '0' && FData[FPos] <= '7'; ++k)
              v = v * 8 + (FData[FPos++] - '0');
            out += static_cast<char>(v & 0xFF);
          } else {
            out += e;
          }
      }
    } else if (c == '(') {
      ++depth;
      out += c;
    } else if (c == ')') {
      if (--depth == 0) return;
      out += c;
    } else if (c == '\r') {
      // An end of line inside a string reads as one LF.
      if (FPos < FData.size() && FData[FPos] == '\n') ++FPos;
      out += '\n';
    } else {
      out += c;
    }
  }
}

namespace {
constexpr std::array<int8_t, 256> kHexValue = [] {
  std::array<int8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(HexDigitValue(c));
  return t;
}();
}  // namespace

void TLexer::ParseHexString(RawByteString& out) {
  ++FPos;
  // Content streams are full of short hex strings: pairs of digits go two at a time, anything
  // else (white space, an odd digit, the end) to the general reading.
  const char* d = FData.data();
  size_t p = FPos;
  while (p + 1 < FData.size()) {
    const int hi = kHexValue[static_cast<uint8_t>(d[p])], lo = kHexValue[static_cast<uint8_t>(d[p + 1])];
    if ((hi | lo) < 0) break;
    out += static_cast<char>(hi << 4 | lo);
    p += 2;
  }
  FPos = p;
  FPos += DecodeHexRun(FData.substr(FPos), out);
}

void TLexer::ParseName(RawByteString& out) {
  ++FPos;
  while (FPos < FData.size()) {
    auto c = static_cast<uint8_t>(FData[FPos]);
    if (!IsRegular(c)) break;
    ++FPos;
    if (c == '#' && FPos + 1 < FData.size() && HexDigitValue(FData[FPos]) >= 0 && HexDigitValue(FData[FPos + 1]) >= 0) {
      out += static_cast<char>(HexDigitValue(FData[FPos]) << 4 | HexDigitValue(FData[FPos + 1]));
      FPos += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
}

void TLexer::ParseNumber(std::string_view tok, TZvPDFObject& out) {
  // Tolerant: signs repeated, a second point ends the number, junk after digits is ignored.
  size_t i = 0;
  bool neg = false;
  while (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) {
    if (tok[i] == '-') neg = !neg;
    ++i;
  }
  double ip = 0;
  int64_t iv = 0;
  bool big = false;
  while (i < tok.size() && tok[i] >= '0' && tok[i] <= '9') {
    ip = ip * 10 + (tok[i] - '0');
    if (iv < (int64_t(1) << 55)) iv = iv * 10 + (tok[i] - '0'); else big = true;
    ++i;
  }
  if (i < tok.size() && tok[i] == '.') {
    ++i;
    double f = 0, scale = 1;
    while (i < tok.size() && tok[i] >= '0' && tok[i] <= '9') {
      if (scale > 1e-15) {
        scale /= 10;
        f += (tok[i] - '0') * scale;
      }
      ++i;
    }
    out.Kind = pokReal;
    out.Real = neg ? -(ip + f) : ip + f;
    return;
  }
  if (big) {
    out.Kind = pokReal;
    out.Real = neg ? -ip : ip;
    return;
  }
  out.Kind = pokInt;
  out.Int = neg ? -iv : iv;
}

void TLexer::SkipContainer() {
  size_t depth = 0;
  do {
    SkipWhite();
    if (FPos >= FData.size()) return;
    auto c = static_cast<uint8_t>(FData[FPos]);
    bool pair = FPos + 1 < FData.size() && FData[FPos + 1] == FData[FPos];
    if (c == '[' || (c == '<' && pair)) {
      ++depth;
      FPos += c == '[' ? 1 : 2;
    } else if (c == ']' || (c == '>' && pair)) {
      --depth;
      FPos += c == ']' ? 1 : 2;
    } else if (c == '(') {
      ++FPos;
      for (int open = 1; FPos < FData.size() && open > 0; ++FPos) {
        char ch = FData[FPos];
        if (ch == '\\') ++FPos;
        else if (ch == '(') ++open;
        else if (ch == ')') --open;
      }
    } else if (c == '<') {
      size_t e = FData.find('>', FPos);
      FPos = e == std::string_view::npos ? FData.size() : e + 1;
    } else if (IsDelim(c)) {
      ++FPos;
      ReadRegular();  // a name, or a stray delimiter
    } else {
      std::string_view tok = ReadRegular();
      // As in a container parsed in full, these keywords end it and stay for the caller.
      if (tok == "endobj" || tok == "stream" || tok == "endstream") {
        FPos -= tok.size();
        return;
      }
    }
  } while (depth > 0);
}

void TLexer::ParseArrayItems(std::vector<TZvPDFObject>& Items, size_t& Count, bool AllowRefs, int Depth) {
  ++FPos;
  Count = 0;
  for (;;) {
    SkipWhite();
    if (FPos >= FData.size()) return;
    if (FData[FPos] == ']') {
      ++FPos;
      return;
    }
    if (Count == Items.size()) Items.emplace_back();
    std::string_view kw;
    size_t before = FPos;
    if (!ParseObject(Items[Count], AllowRefs, &kw, Depth + 1)) {
      if (kw.empty() || kw == ">>" || kw == "endobj" || kw == "stream" || kw == "endstream") return;
      if (FPos == before) ++FPos;
      continue;  // a stray keyword inside an array is skipped
    }
    ++Count;
  }
}

bool TLexer::ParseObject(TZvPDFObject& Out, bool AllowRefs, std::string_view* Keyword, int Depth) {
  // Reset in place: a reused object keeps its buffers.
  Out.Kind = pokNull;
  Out.Str.clear();
  if (!Out.Keys.empty()) Out.Keys.clear();
  Out.Data = {};
  Out.Int = 0;
  Out.Gen = 0;
  Out.ObjNum = Out.ObjGen = 0;
  SkipWhite();
  const int c = FPos < FData.size() ? static_cast<uint8_t>(FData[FPos]) : -1;
  // An array refills the elements it held before (content operands are reused from operator to
  // operator); anything else drops them.
  if (c != '[' || Depth > kPDFMaxNesting) Out.Items.clear();
  if (c < 0) return false;
  if (Depth > kPDFMaxNesting && (c == '[' || (c == '<' && FPos + 1 < FData.size() && FData[FPos + 1] == '<'))) {
    // Too deep: the whole container is passed over and reads as null, so no nesting builds objects.
    SkipContainer();
    return true;
  }
  switch (c) {
    case '(':
      Out.Kind = pokString;
      ParseLiteralString(Out.Str);
      return true;
    case '/':
      Out.Kind = pokName;
      ParseName(Out.Str);
      return true;
    case '[': {
      Out.Kind = pokArray;
      size_t used = 0;
      ParseArrayItems(Out.Items, used, AllowRefs, Depth);
      Out.Items.resize(used);
      return true;
    }
    case '<':
      if (FPos + 1 < FData.size() && FData[FPos + 1] == '<') {
        FPos += 2;
        Out.Kind = pokDict;
        for (;;) {
          SkipWhite();
          if (FPos >= FData.size()) return true;
          if (FData[FPos] == '>') {
            FPos += (FPos + 1 < FData.size() && FData[FPos + 1] == '>') ? 2 : 1;
            return true;
          }
          if (FData[FPos] != '/') {
            // Not a key: skip one object or keyword; a keyword that ends objects ends the dictionary.
            TZvPDFObject junk;
            std::string_view kw;
            size_t before = FPos;
            if (!ParseObject(junk, AllowRefs, &kw, Depth + 1)) {
              if (kw == "endobj" || kw == "stream" || kw == "endstream" || kw == "obj" || kw.empty()) return true;
            }
            if (FPos == before) ++FPos;
            continue;
          }
          RawByteString key;
          ParseName(key);
          TZvPDFObject val;
          std::string_view kw;
          size_t before = FPos;
          if (!ParseObject(val, AllowRefs, &kw, Depth + 1)) {
            if (kw == ">>") continue;  // key without a value
            if (kw == "endobj" || kw == "stream" || kw == "endstream" || kw.empty()) return true;
            if (FPos == before) ++FPos;
            continue;
          }
          Out.Keys.push_back(std::move(key));
          Out.Items.push_back(std::move(val));
        }
      }
      Out.Kind = pokString;
      ParseHexString(Out.Str);
      return true;
    case ']':
    case '>':
    case ')':
    case '}':
      if (Keyword) *Keyword = (c == '>' && FPos + 1 < FData.size() && FData[FPos + 1] == '>') ? ">>" : FData.substr(FPos, 1);
      if (c == ')' || c == '}') ++FPos;  // meaningless here: consume so callers advance
      return false;
    case '{':
      ++FPos;
      if (Keyword) *Keyword = "{";
      return false;
    default:
      break;
  }
  std::string_view tok = ReadRegular();
  if (tok.empty()) {
    ++FPos;
    if (Keyword) *Keyword = "?";
    return false;
  }
  auto f = static_cast<uint8_t>(tok[0]);
  if ((f >= '0' && f <= '9') || f == '+' || f == '-' || f == '.') {
    ParseNumber(tok, Out);
    if (AllowRefs && Out.Kind == pokInt && Out.Int >= 0 && f >= '0' && f <= '9') {
      // "N G R" is a reference.
      size_t save = FPos;
      SkipWhite();
      int64_t gen;
      if (ReadUInt(gen)) {
        SkipWhite();
        if (FPos < FData.size() && FData[FPos] == 'R' &&
            (FPos + 1 >= FData.size() || !IsRegular(static_cast<uint8_t>(FData[FPos + 1])))) {
          ++FPos;
          Out.Kind = pokRef;
          Out.Gen = static_cast<int32_t>(gen > 65535 ? 0 : gen);
          return true;
        }
      }
      FPos = save;
    }
    return true;
  }
  if (tok == "true" || tok == "false") {
    Out.Kind = pokBool;
    Out.Bool = tok == "true";
    return true;
  }
  if (tok == "null") return true;
  if (Keyword) *Keyword = tok;
  // Keywords that end an object stay for the caller, so a damaged object does not swallow the next.
  if (tok == "endobj" || tok == "stream" || tok == "endstream" || tok == "obj") FPos -= tok.size();
  return false;
}

}  // namespace pdfsyntax
}  // namespace zvword
