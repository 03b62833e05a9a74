#include "pdf/ZvWPDFFontModel.h"

#include <cstdio>
#include <map>

#include "pdf/ZvWPDFGlyphs.h"
#include "pdf/ZvWPDFParser.h"
#include "platform/TextHelpers.h"

namespace zvword {
namespace {

using pdfsyntax::TCMapSection;
using pdfsyntax::TLexer;
using pdfsyntax::WalkCMapSections;

const WideString kEmpty;

// Bytes as characters of the same value: object text is not in any code page.
WideString Widen(std::string_view s) { return WideString(s.begin(), s.end()); }

RawByteString LowerBytes(std::string s) {
  for (auto& c : s) c = AsciiLower(c);
  return s;
}

uint32_t CodeOf(std::string_view s) {
  uint32_t c = 0;
  for (unsigned char b : s) c = (c << 8) | b;
  return c;
}

// Parses the dictionary that starts at the first "<<" of Text; false when there is none.
bool ParseDict(const RawByteString& Text, TZvPDFObject& Out) {
  const size_t at = Text.find("<<");
  if (at == std::string::npos) return false;
  TLexer lx(Text, at);
  return lx.ParseObject(Out, true) && Out.Kind == pokDict;
}

void Upper(WideString& w) {
  for (auto& c : w) c = AsciiUpper(c);
}

// One line per entry of each ToUnicode section: two objects for code spaces and single codes,
// three for ranges.
void SplitCMap(std::string_view Map, TZvPDFFontEntries& E) {
  WalkCMapSections(Map, 65536, [&E](TCMapSection section, const std::vector<TZvPDFObject>& ops) {
    const size_t group = section == TCMapSection::BFRange ? 3 : 2;
    TWideStrings& target = section == TCMapSection::CodeSpace ? E.lstCodeSpaceRange
                           : section == TCMapSection::BFChar  ? E.lstBFChars
                                                              : E.lstBFRange;
    for (size_t i = 0; i + group <= ops.size(); i += group) {
      RawByteString line;
      for (size_t k = 0; k < group; ++k) {
        if (k) line += ' ';
        line += PDFObjectText(ops[i + k], true);
      }
      WideString w = Widen(line);
      Upper(w);
      target.Add(std::move(w));
    }
  });
}

// The runs of a Differences array: each number starts one.
void SplitDifferences(const TZvPDFObject& Arr, TWideStrings& Out) {
  RawByteString run;
  for (const auto& it : Arr.Items) {
    if (it.IsNumber()) {
      if (!run.empty()) Out.Add(Widen(run));
      run = std::to_string(it.AsInt());
    } else if (it.Kind == pokName) {
      run += (run.empty() ? "/" : " /") + it.Str;
    }
  }
  if (!run.empty()) Out.Add(Widen(run));
}

// The code-to-name pairs of a Differences array given as text.
std::map<uint32_t, std::string> DifferenceNames(const WideString& Text) {
  std::map<uint32_t, std::string> names;
  RawByteString narrow;
  for (char16_t c : Text) narrow += static_cast<char>(c < 256 ? c : '?');
  if (narrow.find('[') == std::string::npos) narrow = "[" + narrow + "]";
  TLexer lx(narrow, narrow.find('['));
  TZvPDFObject arr;
  if (!lx.ParseObject(arr, false) || arr.Kind != pokArray) return names;
  int64_t code = 0;
  for (const auto& it : arr.Items) {
    if (it.IsNumber()) code = it.AsInt();
    else if (it.Kind == pokName && code >= 0 && code < 65536) names[static_cast<uint32_t>(code++)] = it.Str;
  }
  return names;
}

bool HexValue(std::string_view s, uint32_t& v) {
  if (s.empty() || s.size() > 8) return false;
  v = 0;
  for (char c : s) {
    const int d = HexDigitValue(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return true;
}

// Producers name glyphs by number too: "g41" and "uni20AC" hold the character in hexadecimal.
WideString GlyphText(const std::string& name) {
  uint32_t v = 0;
  if (name.size() > 1 && (name[0] == 'g' || name[0] == 'G') && HexValue(std::string_view(name).substr(1), v) && (v & 0xFFFF))
    return WideString(1, static_cast<char16_t>(v & 0xFFFF));
  if (WideString w = GlyphNameToUnicode(name); !w.empty()) return w;
  return Widen(name);
}

// Runs F when the scope ends, also when it raises.
template <typename F>
struct TAtExit {
  F Fn;
  ~TAtExit() { Fn(); }
};
template <class F>
TAtExit(F) -> TAtExit<F>;  // older compilers deduce no aggregate's arguments without it

}  // namespace

RawByteString PDFObjectText(const TZvPDFObject& O, bool HexStrings) {
  switch (O.Kind) {
    case pokNull:
      return "null";
    case pokBool:
      return O.Bool ? "true" : "false";
    case pokInt:
      return std::to_string(O.Int);
    case pokReal: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%g", O.Real);
      return buf;
    }
    case pokString: {
      if (HexStrings) {
        static const char kHex[] = "0123456789ABCDEF";
        RawByteString s = "<";
        for (unsigned char c : O.Str) (s += kHex[c >> 4]) += kHex[c & 15];
        return s + ">";
      }
      RawByteString s = "(";
      for (char c : O.Str) {
        if (c == '(' || c == ')' || c == '\\') s += '\\';
        s += c;
      }
      return s + ")";
    }
    case pokName:
      return "/" + O.Str;
    case pokRef:
      return std::to_string(O.Int) + " " + std::to_string(O.Gen) + " R";
    case pokArray: {
      RawByteString s = "[";
      for (size_t i = 0; i < O.Items.size(); ++i) {
        if (i) s += ' ';
        s += PDFObjectText(O.Items[i], HexStrings);
      }
      return s + "]";
    }
    case pokDict:
    case pokStream: {
      RawByteString s = "<<";
      for (size_t i = 0; i < O.Keys.size() && i < O.Items.size(); ++i) s += " /" + O.Keys[i] + " " + PDFObjectText(O.Items[i], HexStrings);
      return s + " >>";
    }
  }
  return {};
}

// ---- Glyph sets ----

const std::vector<TLatinCharacterSet>& LatinCharacterSet() {
  static const std::vector<TLatinCharacterSet> rows = [] {
    std::map<std::string, TLatinCharacterSet> byName;
    const TPDFStdEncoding encodings[] = {TPDFStdEncoding::Standard, TPDFStdEncoding::MacRoman, TPDFStdEncoding::WinAnsi,
                                         TPDFStdEncoding::PDFDoc};
    for (int e = 0; e < 4; ++e)
      for (int code = 1; code < 256; ++code) {
        const char* name = StdEncodingGlyphName(encodings[e], static_cast<uint8_t>(code));
        if (!name || !*name) continue;
        TLatinCharacterSet& row = byName[name];
        uint16_t* const column[] = {&row.StdEnc, &row.MacRomanEnc, &row.WinAnsiEnc, &row.PDFDocEnc};
        // A glyph some encoding lists twice (a second space) keeps its first code.
        if (*column[e] == 0) *column[e] = static_cast<uint16_t>(code);
      }
    std::vector<TLatinCharacterSet> out;
    for (auto& [name, row] : byName) {
      row.Name = name;
      row.Character = GlyphNameToUnicode(name);
      out.push_back(std::move(row));
    }
    return out;
  }();
  return rows;
}

const std::vector<THebrewCharacterSet>& HebrewCharacterSet() {
  static const std::vector<THebrewCharacterSet> rows = [] {
    // Final forms go by two names.
    const std::pair<const char*, char16_t> names[] = {
        {"alef", 0x05D0},       {"bet", 0x05D1},        {"gimel", 0x05D2},      {"dalet", 0x05D3},
        {"he", 0x05D4},         {"vav", 0x05D5},        {"zayin", 0x05D6},      {"het", 0x05D7},
        {"tet", 0x05D8},        {"yod", 0x05D9},        {"kaffinal", 0x05DA},   {"finalkaf", 0x05DA},
        {"kaf", 0x05DB},        {"lamed", 0x05DC},      {"memfinal", 0x05DD},   {"finalmem", 0x05DD},
        {"mem", 0x05DE},        {"nunfinal", 0x05DF},   {"finalnun", 0x05DF},   {"nun", 0x05E0},
        {"samekh", 0x05E1},     {"ayin", 0x05E2},       {"pefinal", 0x05E3},    {"finalpe", 0x05E3},
        {"pe", 0x05E4},         {"tsadifinal", 0x05E5}, {"finaltsadi", 0x05E5}, {"tsadi", 0x05E6},
        {"qof", 0x05E7},        {"resh", 0x05E8},       {"shin", 0x05E9},       {"tav", 0x05EA},
        {"newsheqelsign", 0x20AA}};
    std::vector<THebrewCharacterSet> out;
    for (const auto& [name, c] : names) out.push_back({WideString(1, c), name});
    return out;
  }();
  return rows;
}

// ---- Font entries and conversions ----

#define ZVW_FONT_ENTRY(NAME) \
  const WideString& TZvPDFFont::NAME() const { return FEntries ? FEntries->NAME : kEmpty; }
ZVW_FONT_ENTRY(Content)
ZVW_FONT_ENTRY(CMap)
ZVW_FONT_ENTRY(CID)
ZVW_FONT_ENTRY(DescendantFonts)
ZVW_FONT_ENTRY(FontDescriptor)
ZVW_FONT_ENTRY(FontFile)
ZVW_FONT_ENTRY(FontFile2)
ZVW_FONT_ENTRY(FontFile3)
ZVW_FONT_ENTRY(CIDToGIDMap)
ZVW_FONT_ENTRY(CIDSystemInfo)
#undef ZVW_FONT_ENTRY

WideString TZvPDFFont::ConvertCMap(bool IsUnicode, bool AddSpace, const RawByteString& AValue) const {
  const size_t width = IsUnicode ? 2 : !FCodeSpace.empty() ? static_cast<size_t>(FCodeSpace.front().Bytes) : 1;
  WideString out;
  for (size_t pos = 0; pos < AValue.size(); pos += width) {
    const uint32_t code = CodeOf(std::string_view(AValue).substr(pos, width));
    auto it = FToUnicode.find(code);
    if (AddSpace && !out.empty()) out += u' ';
    if (it != FToUnicode.end()) out += it->second;
    else out += static_cast<char16_t>(code);
  }
  return out;
}

WideString TZvPDFFont::ConvertCID(bool AddSpace, const RawByteString& AValue) const {
  std::vector<TGlyph> glyphs;
  Decode(AValue, glyphs);
  WideString out;
  for (const auto& g : glyphs) {
    if (AddSpace && !out.empty()) out += u' ';
    out += g.Text;
  }
  return out;
}

WideString TZvPDFFont::ConvertDifferencies(const WideString& AValue) const {
  const std::map<uint32_t, std::string> names = DifferenceNames(FDifferencies);
  WideString out;
  for (char16_t c : AValue) {
    auto it = names.find(c);
    if (it == names.end()) out += c;
    else out += GlyphText(it->second);
  }
  return out;
}

// ---- Reader entry points ----

bool TZvPDFReader::BindInput(TStream& AStream) {
  if (!FData.empty()) return false;
  std::string_view whole;
  if (AStream.MemoryView(whole)) {
    FData = whole;
  } else {
    AStream.Seek(0, TSeekOrigin::soBeginning);
    FOwnedInput = AStream.ReadAll();
    FData = FOwnedInput;
  }
  if (const size_t hdr = FindPDFHeader(FData); hdr != std::string_view::npos) FData.remove_prefix(hdr);
  // Streams cached by the load lost their bytes with its input; they are read again from this one.
  for (auto it = FCache.begin(); it != FCache.end();)
    it = it->second && it->second->Kind == pokStream && it->second->Data.empty() ? FCache.erase(it) : std::next(it);
  return true;
}


RawByteString TZvPDFReader::RootTag() const {
  const TZvPDFObject* r = FTrailer.Get("Root");
  return r && r->Kind == pokRef ? std::to_string(r->Int) : RawByteString();
}

RawByteString TZvPDFReader::InfoTag() const {
  const TZvPDFObject* r = FTrailer.Get("Info");
  return r && r->Kind == pokRef ? std::to_string(r->Int) : RawByteString();
}

RawByteString TZvPDFReader::EncryptTag() const {
  return FEncryptEntry.Kind == pokRef ? std::to_string(FEncryptEntry.Int) : RawByteString();
}

void TZvPDFReader::GetFilterContent(TStream& AStream, const RawByteString& Body, RawByteString& Filter, int32_t& Length,
                                    int32_t& Length1) {
  const bool bound = BindInput(AStream);
  TAtExit release{[this, bound] {
    if (bound) ReleaseInput();
  }};
  Filter.clear();
  Length = Length1 = 0;
  TZvPDFObject d;
  if (!ParseDict(Body, d)) return;
  if (const TZvPDFObject* f = ResolveKey(d, "Filter")) {
    if (f->Kind == pokName) Filter = LowerBytes("/" + f->Str);
    else if (f->Kind == pokArray)
      for (const auto& n : f->Items)
        if (n.Kind == pokName) Filter += (Filter.empty() ? "/" : " /") + LowerBytes(n.Str);
  }
  if (const TZvPDFObject* l = ResolveKey(d, "Length"); l && l->IsNumber()) Length = l->AsInt32();
  if (const TZvPDFObject* l = ResolveKey(d, "Length1"); l && l->IsNumber()) Length1 = l->AsInt32();
}

RawByteString TZvPDFReader::GetBodyByRefNo(TStream& AStream, int32_t RefNo) {
  const bool bound = BindInput(AStream);
  TAtExit release{[this, bound] {
    if (bound) ReleaseInput();
  }};
  return GetBodyByRefNo(RefNo);
}

RawByteString TZvPDFReader::GetDoubleBracketValue(TStream& AStream, const RawByteString& Tag, const RawByteString& Text) {
  const bool bound = BindInput(AStream);
  TAtExit release{[this, bound] {
    if (bound) ReleaseInput();
  }};
  return GetDoubleBracketValue(Tag, Text);
}

void TZvPDFReader::ReadFonts(TStream& AStream, const RawByteString& Data) {
  const bool bound = BindInput(AStream);
  TAtExit release{[this, bound] {
    if (bound) ReleaseInput();
  }};
  TZvPDFObject res;
  if (!ParseDict(Data.find("<<") == std::string::npos ? "<<" + Data + ">>" : Data, res)) return;
  for (size_t i = 0; i < res.Keys.size() && i < res.Items.size(); ++i) {
    const TZvPDFObject& ref = res.Items[i];
    if (ref.Kind != pokRef || ref.Int < 0 || ref.Int > kPDFMaxObjectNumber) continue;
    WideString name = u"/";
    name += Widen(res.Keys[i]);
    // The first font of a name stays; one the pages read gets its entries here.
    TZvPDFFont* font = FFonts->FindFontByName(name);
    if (font && font->FEntries) continue;
    const TZvPDFObject& dict = Resolve(ref);
    if (!dict.IsDict()) continue;
    const auto num = static_cast<int32_t>(ref.Int);
    if (!font) {
      // A font object the pages met under another name is read again under this one.
      font = FFonts->FindByObject(num);
      if (font && !font->FFontName.empty() && !SameAsciiText(std::u16string_view(font->FFontName), name)) font = nullptr;
      if (!font) {
        font = FFonts->AddItem();
        if (!FFonts->FindByObject(num)) FFonts->SetObject(num, font);
        font->Load(*this, dict);
      }
      font->FFontName = name;
    }

    auto e = std::make_shared<TZvPDFFontEntries>();
    e->Content = Widen(GetBodyByRefNo(num));
    if (const TZvPDFObject* tu = ResolveKey(dict, "ToUnicode"); tu && tu->Kind == pokStream) {
      const RawByteString map = GetStreamContent(*tu);
      e->CMap = Widen(map);
      SplitCMap(map, *e);
    }
    const TZvPDFObject* descRef = dict.Get("FontDescriptor");
    if (const TZvPDFObject* df = ResolveKey(dict, "DescendantFonts"); df && df->Kind == pokArray && !df->Items.empty()) {
      const TZvPDFObject& first = df->Items.front();
      e->DescendantFonts = Widen(first.Kind == pokRef ? GetBodyByRefNo(static_cast<int32_t>(first.Int)) : PDFObjectText(first));
      const TZvPDFObject& cid = Resolve(first);
      if (cid.IsDict()) {
        if (!descRef) descRef = cid.Get("FontDescriptor");
        if (const TZvPDFObject* m = cid.Get("CIDToGIDMap")) e->CIDToGIDMap = Widen(PDFObjectText(*m));
        if (const TZvPDFObject* si = ResolveKey(cid, "CIDSystemInfo")) e->CIDSystemInfo = Widen(PDFObjectText(*si));
      }
    }
    if (descRef) {
      e->FontDescriptor =
          Widen(descRef->Kind == pokRef ? GetBodyByRefNo(static_cast<int32_t>(descRef->Int)) : PDFObjectText(*descRef));
      const TZvPDFObject& desc = Resolve(*descRef);
      if (desc.IsDict()) {
        WideString* const files[] = {&e->FontFile, &e->FontFile2, &e->FontFile3};
        const char* const keys[] = {"FontFile", "FontFile2", "FontFile3"};
        for (int k = 0; k < 3; ++k)
          if (const TZvPDFObject* f = desc.Get(keys[k])) *files[k] = Widen(PDFObjectText(*f));
        const TZvPDFObject* program = ResolveKey(desc, "FontFile2");
        if (!program) program = ResolveKey(desc, "FontFile3");
        if (program && program->Kind == pokStream) e->CID = Widen(GetStreamContent(*program));
      }
    }
    if (const TZvPDFObject* enc = ResolveKey(dict, "Encoding"); enc && enc->IsDict())
      if (const TZvPDFObject* diff = ResolveKey(*enc, "Differences"); diff && diff->Kind == pokArray) {
        SplitDifferences(*diff, e->lstDifferencies);
        if (font->FDifferencies.empty()) font->FDifferencies = Widen(PDFObjectText(*diff));
      }
    font->FEntries = std::move(e);
  }
}

}  // namespace zvword
