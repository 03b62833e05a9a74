// Fonts: encodings, Differences, ToUnicode maps, composite fonts and glyph widths.
#include <algorithm>
#include <cstring>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFFontProgram.h"
#include "pdf/ZvWPDFGlyphs.h"
#include "pdf/ZvWPDFParser.h"
#include "platform/CodePages.h"

namespace zvword {

using pdfsyntax::TCMapSection;
using pdfsyntax::TLexer;
using pdfsyntax::WalkCMapSections;

namespace {
constexpr size_t kMaxToUnicodeEntries = 1 << 20;
constexpr size_t kMaxCIDWidths = 1 << 20;

uint32_t CodeOf(std::string_view s) {
  uint32_t v = 0;
  for (size_t i = 0; i < s.size() && i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[i]);
  return v;
}

WideString Utf16BE(std::string_view s) {
  WideString w;
  for (size_t i = 0; i + 1 < s.size(); i += 2)
    w += static_cast<char16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
  if (s.size() == 1) w += static_cast<char16_t>(static_cast<uint8_t>(s[0]));
  return w;
}

// The code page that predefined CJK encodings use for their bytes.
int CJKCodePage(std::string_view enc) {
  static const struct {
    const char* name;
    int cp;
  } map[] = {{"GBK-EUC-H", 936},     {"GBK-EUC-V", 936},       {"GB-EUC-H", 936},        {"GB-EUC-V", 936},
             {"GBpc-EUC-H", 936},    {"GBpc-EUC-V", 936},      {"GBKp-EUC-H", 936},      {"GBKp-EUC-V", 936},
             {"GBK2K-H", 936},       {"GBK2K-V", 936},         {"ETen-B5-H", 950},       {"ETen-B5-V", 950},
             {"B5pc-H", 950},        {"B5pc-V", 950},          {"ETenms-B5-H", 950},     {"ETenms-B5-V", 950},
             {"HKscs-B5-H", 950},    {"HKscs-B5-V", 950},      {"90ms-RKSJ-H", 932},     {"90ms-RKSJ-V", 932},
             {"90msp-RKSJ-H", 932},  {"90msp-RKSJ-V", 932},    {"90pv-RKSJ-H", 932},     {"83pv-RKSJ-H", 932},
             {"KSCms-UHC-H", 949},   {"KSCms-UHC-V", 949},     {"KSCms-UHC-HW-H", 949},  {"KSCms-UHC-HW-V", 949},
             {"KSCpc-EUC-H", 949},   {"KSC-EUC-H", 949},       {"KSC-EUC-V", 949}};
  for (auto& m : map)
    if (SameAsciiText(enc, m.name)) return m.cp;
  return 0;
}

struct TStdWidth {
  const char* Name;
  int Width;
};
struct TStdFont {
  const char* Name;
  const TStdWidth* Widths;
  size_t Count;
};
#include "pdf/ZvWPDFStdMetrics.inc"

// The metrics of the standard font a font without widths stands for (by its base font name;
// common aliases such as Arial and TimesNewRoman count). nullptr for Courier (every glyph 600).
const TStdFont* StdFontFor(std::string base, bool& courier) {
  size_t plus = base.find('+');
  if (plus == 6) base = base.substr(7);
  for (auto& c : base) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool bold = base.find("bold") != std::string::npos || base.find("black") != std::string::npos || base.find("heavy") != std::string::npos;
  bool italic = base.find("italic") != std::string::npos || base.find("oblique") != std::string::npos;
  courier = base.find("courier") != std::string::npos || base.find("mono") != std::string::npos;
  if (courier) return nullptr;
  std::string want;
  if (base.find("symbol") != std::string::npos) want = "Symbol";
  else if (base.find("dingbats") != std::string::npos) want = "ZapfDingbats";
  else if (base.find("times") != std::string::npos || (base.find("serif") != std::string::npos && base.find("sans") == std::string::npos))
    want = bold ? (italic ? "Times-BoldItalic" : "Times-Bold") : (italic ? "Times-Italic" : "Times-Roman");
  else
    want = bold ? (italic ? "Helvetica-BoldOblique" : "Helvetica-Bold") : (italic ? "Helvetica-Oblique" : "Helvetica");
  for (auto& f : kStdFonts)
    if (want == f.Name) return &f;
  return nullptr;
}

int StdWidth(const TStdFont& f, const std::string& glyph) {
  size_t lo = 0, hi = f.Count;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    int c = std::strcmp(f.Widths[mid].Name, glyph.c_str());
    if (c == 0) return f.Widths[mid].Width;
    if (c < 0) lo = mid + 1;
    else hi = mid;
  }
  return -1;
}

// The base font name without a subset tag ("ABCDEF+Symbol" gives "Symbol").
std::string_view PlainFontName(std::string_view base) {
  if (base.size() > 7 && base[6] == '+') base.remove_prefix(7);
  return base;
}

bool IsLeadByte(int cp, uint8_t b) {
  if (cp == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return b >= 0x81 && b <= 0xFE;
}
}  // namespace

// ---- TZvPDFFonts ----

TZvPDFFont* TZvPDFFonts::GetItem(int Index) const {
  return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)].get() : nullptr;
}
TZvPDFFont* TZvPDFFonts::AddItem() {
  FItems.push_back(std::make_unique<TZvPDFFont>());
  return FItems.back().get();
}
TZvPDFFont* TZvPDFFonts::FindFontByName(const WideString& AFontName) const {
  for (auto& f : FItems) {
    const WideString& n = f->FontName();
    if (n.size() != AFontName.size()) continue;
    bool eq = true;
    for (size_t i = 0; i < n.size() && eq; ++i) {
      char16_t a = n[i], b = AFontName[i];
      if (a >= 'A' && a <= 'Z') a += 32;
      if (b >= 'A' && b <= 'Z') b += 32;
      eq = a == b;
    }
    if (eq) return f.get();
  }
  return nullptr;
}
TZvPDFFont* TZvPDFFonts::FindByObject(int32_t ObjNum) const {
  auto it = FByObject.find(ObjNum);
  return it == FByObject.end() ? nullptr : it->second;
}
void TZvPDFFonts::Clear() {
  FItems.clear();
  FByObject.clear();
}

// ---- TZvPDFFont ----

TZvPDFFont::TZvPDFFont() : FGlyphNames(256), FWidths(256, -1) {}
TZvPDFFont::~TZvPDFFont() = default;

void TZvPDFFont::SetCMap(std::string_view Value) {
  FCodeText.clear();  // codes read before may read otherwise now
  WalkCMapSections(Value, 4096, [this](TCMapSection section, const std::vector<TZvPDFObject>& ops) {
    if (section == TCMapSection::CodeSpace) {
      for (size_t i = 0; i + 1 < ops.size(); i += 2)
        if (ops[i].Kind == pokString && ops[i + 1].Kind == pokString && !ops[i].Str.empty() && ops[i].Str.size() <= 4)
          FCodeSpace.push_back({CodeOf(ops[i].Str), CodeOf(ops[i + 1].Str), static_cast<int>(ops[i].Str.size())});
    } else if (section == TCMapSection::BFChar) {
      for (size_t i = 0; i + 1 < ops.size() && FToUnicode.size() < kMaxToUnicodeEntries; i += 2) {
        if (ops[i].Kind != pokString) continue;
        const TZvPDFObject& d = ops[i + 1];
        WideString w = d.Kind == pokString ? Utf16BE(d.Str) : d.Kind == pokName ? GlyphNameToUnicode(d.Str) : WideString();
        FToUnicode[CodeOf(ops[i].Str)] = w;
      }
    } else {
      for (size_t i = 0; i + 2 < ops.size(); i += 3) {
        if (ops[i].Kind != pokString || ops[i + 1].Kind != pokString) continue;
        uint32_t lo = CodeOf(ops[i].Str), hi = CodeOf(ops[i + 1].Str);
        if (hi < lo || hi - lo > 65535) continue;
        const TZvPDFObject& d = ops[i + 2];
        if (d.Kind == pokString) {
          WideString base = Utf16BE(d.Str);
          if (base.empty()) continue;
          for (uint32_t c = lo; c <= hi && FToUnicode.size() < kMaxToUnicodeEntries; ++c) {
            WideString w = base;
            w.back() = static_cast<char16_t>(w.back() + (c - lo));
            FToUnicode[c] = std::move(w);
          }
        } else if (d.Kind == pokArray) {
          for (uint32_t c = lo; c <= hi && c - lo < d.Items.size() && FToUnicode.size() < kMaxToUnicodeEntries; ++c)
            if (d.Items[c - lo].Kind == pokString) FToUnicode[c] = Utf16BE(d.Items[c - lo].Str);
        }
      }
    }
  });
}

void TZvPDFFont::SetDifferencesArray(const TZvPDFObject& arr) {
  FCodeText.clear();  // codes read before may read otherwise now
  int code = 0;
  for (const auto& it : arr.Items) {
    if (it.IsNumber()) {
      code = it.AsInt32();
    } else if (it.Kind == pokName) {
      if (code >= 0 && code < 256) FGlyphNames[static_cast<size_t>(code)] = it.Str;
      ++code;
    }
  }
}

void TZvPDFFont::SetDifferencies(const WideString& Value) {
  FDifferencies = Value;
  RawByteString narrow = WideToCodePage(Value, 28591);
  if (narrow.find('[') == std::string::npos) narrow = "[" + narrow + "]";
  TLexer lx(narrow, narrow.find('['));
  TZvPDFObject arr;
  if (lx.ParseObject(arr, false) && arr.Kind == pokArray) SetDifferencesArray(arr);
}

// The encoding a Type 1 font program carries in its clear-text part ("dup 65 /A put").
void TZvPDFFont::ReadBuiltInEncoding(std::string_view program) {
  size_t e = program.find("eexec");
  if (e != std::string_view::npos) program = program.substr(0, e);
  size_t p = program.find("/Encoding");
  if (p == std::string_view::npos) return;
  if (program.compare(p + 10, 16, "StandardEncoding") == 0) {
    for (int c = 0; c < 256; ++c)
      if (const char* n = StdEncodingGlyphName(TPDFStdEncoding::Standard, static_cast<uint8_t>(c))) FGlyphNames[static_cast<size_t>(c)] = n;
    return;
  }
  while ((p = program.find("dup ", p)) != std::string_view::npos) {
    p += 4;
    TLexer lx(program, p);
    TZvPDFObject code, name;
    if (!lx.ParseObject(code, false) || code.Kind != pokInt) continue;
    if (!lx.ParseObject(name, false) || name.Kind != pokName) continue;
    if (code.Int >= 0 && code.Int < 256 && FGlyphNames[static_cast<size_t>(code.Int)].empty())
      FGlyphNames[static_cast<size_t>(code.Int)] = name.Str;
    p = lx.Pos();
  }
}

void TZvPDFFont::ReadWidths(TZvPDFReader& Reader, const TZvPDFObject& Dict, const TZvPDFObject* Desc) {
  if (Desc) {
    if (const TZvPDFObject* mw = Reader.ResolveKey(*Desc, "MissingWidth"); mw && mw->IsNumber()) FMissingWidth = mw->Number();
  }
  const TZvPDFObject* fc = Reader.ResolveKey(Dict, "FirstChar");
  const TZvPDFObject* w = Reader.ResolveKey(Dict, "Widths");
  if (!w || w->Kind != pokArray) return;
  int first = fc && fc->IsNumber() ? fc->AsInt32() : 0;
  for (size_t i = 0; i < w->Items.size(); ++i) {
    int64_t code = static_cast<int64_t>(first) + static_cast<int64_t>(i);
    if (code < 0 || code > 255) continue;
    const TZvPDFObject& v = Reader.Resolve(w->Items[i]);
    if (v.IsNumber()) FWidths[static_cast<size_t>(code)] = v.Number();
  }
}

void TZvPDFFont::ReadCIDWidths(TZvPDFReader& Reader, const TZvPDFObject& CIDFont) {
  if (const TZvPDFObject* dw = Reader.ResolveKey(CIDFont, "DW"); dw && dw->IsNumber()) FDefaultWidth = dw->Number();
  const TZvPDFObject* w = Reader.ResolveKey(CIDFont, "W");
  if (!w || w->Kind != pokArray) return;
  const auto& it = w->Items;
  for (size_t i = 0; i < it.size() && FCIDWidths.size() < kMaxCIDWidths;) {
    const TZvPDFObject& a = Reader.Resolve(it[i]);
    if (!a.IsNumber() || i + 1 >= it.size()) break;
    const TZvPDFObject& b = Reader.Resolve(it[i + 1]);
    auto first = a.AsInt();
    if (b.Kind == pokArray) {
      for (size_t k = 0; k < b.Items.size() && FCIDWidths.size() < kMaxCIDWidths; ++k)
        if (b.Items[k].IsNumber() && first >= 0) FCIDWidths[static_cast<uint32_t>(first + static_cast<int64_t>(k))] = b.Items[k].Number();
      i += 2;
    } else {
      if (i + 2 >= it.size()) break;
      const TZvPDFObject& c = Reader.Resolve(it[i + 2]);
      auto last = b.AsInt();
      if (first >= 0 && last >= first && last - first < 65536 && c.IsNumber())
        for (int64_t k = first; k <= last && FCIDWidths.size() < kMaxCIDWidths; ++k) FCIDWidths[static_cast<uint32_t>(k)] = c.Number();
      i += 3;
    }
  }
}

// The embedded program (FontFile2 TrueType, FontFile3 CFF or OpenType); a damaged one is
// left out and the font reads as if none were there.
void TZvPDFFont::ReadProgram(TZvPDFReader& R, const TZvPDFObject* Desc) {
  const TZvPDFObject* ff = R.ResolveKey(*Desc, "FontFile2");
  bool trueType = ff && ff->Kind == pokStream;
  if (!trueType) ff = R.ResolveKey(*Desc, "FontFile3");
  if (!ff || ff->Kind != pokStream) return;
  try {
    RawByteString data = R.GetStreamContent(*ff);
    auto program = std::make_unique<TZvPDFFontProgram>();
    const TZvPDFObject* st = trueType ? nullptr : R.ResolveKey(*ff, "Subtype");
    bool sfnt = trueType || (st && st->IsName("OpenType"));
    if (sfnt ? program->ReadTrueType(data, &R.Budget()) : program->ReadCFF(data, &R.Budget())) {
      FProgram = std::move(program);
      FTrueTypeProgram = sfnt;
    }
  } catch (const EResourceLimit&) {
    throw;
  } catch (const Exception&) {
  }
}

void TZvPDFFont::ReadCIDToGIDMap(TZvPDFReader& R, const TZvPDFObject& CIDFont) {
  const TZvPDFObject* m = R.ResolveKey(CIDFont, "CIDToGIDMap");
  if (!m || m->Kind != pokStream) return;  // Identity, or none
  try {
    RawByteString data = R.GetStreamContent(*m);
    size_t n = std::min<size_t>(data.size() / 2, 65536);
    FCIDToGID.resize(n);
    for (size_t i = 0; i < n; ++i)
      FCIDToGID[i] = static_cast<uint16_t>(static_cast<uint8_t>(data[2 * i]) << 8 | static_cast<uint8_t>(data[2 * i + 1]));
  } catch (const EResourceLimit&) {
    throw;
  } catch (const Exception&) {
  }
}

void TZvPDFFont::Load(TZvPDFReader& R, const TZvPDFObject& Dict) {
  const TZvPDFObject* subtype = R.ResolveKey(Dict, "Subtype");
  std::string sub = subtype && subtype->Kind == pokName ? subtype->Str : std::string();
  FComposite = sub == "Type0";
  FType3 = sub == "Type3";

  if (const TZvPDFObject* tu = R.ResolveKey(Dict, "ToUnicode"); tu && tu->Kind == pokStream) {
    try {
      SetCMap(R.GetStreamContent(*tu));
    } catch (const EResourceLimit&) {
      throw;
    } catch (const Exception&) {
    }
  }

  const TZvPDFObject* enc = R.ResolveKey(Dict, "Encoding");
  if (FComposite) {
    if (enc && enc->Kind == pokName) {
      FEncoding = enc->Str;
      FCodePage = CJKCodePage(FEncoding);
      FIdentity = FEncoding.rfind("Identity", 0) == 0 || FEncoding.find("UCS2") != std::string::npos ||
                  FEncoding.find("UTF16") != std::string::npos;
    } else if (enc && enc->Kind == pokStream) {
      // An embedded CMap: its code space gives the code lengths.
      try {
        TZvPDFFont cm;
        cm.SetCMap(R.GetStreamContent(*enc));
        if (FCodeSpace.empty()) FCodeSpace = cm.FCodeSpace;
      } catch (const EResourceLimit&) {
        throw;
      } catch (const Exception&) {
      }
      if (FCodeSpace.empty()) FIdentity = true;
    } else {
      FIdentity = true;
    }
    const TZvPDFObject* df = R.ResolveKey(Dict, "DescendantFonts");
    const TZvPDFObject* cid = nullptr;
    if (df && df->Kind == pokArray && !df->Items.empty()) cid = &R.Resolve(df->Items[0]);
    else if (df && df->IsDict()) cid = df;
    if (cid && cid->IsDict()) {
      ReadCIDWidths(R, *cid);
      bool unicodeCodes = FEncoding.find("UCS2") != std::string::npos || FEncoding.find("UTF16") != std::string::npos;
      if (!HasToUnicode() && !FCodePage && !unicodeCodes) {
        const TZvPDFObject* cdesc = R.ResolveKey(*cid, "FontDescriptor");
        if (cdesc && cdesc->IsDict()) ReadProgram(R, cdesc);
        if (FProgram) ReadCIDToGIDMap(R, *cid);
      }
    }
    return;
  }

  const TZvPDFObject* desc = R.ResolveKey(Dict, "FontDescriptor");
  if (desc && !desc->IsDict()) desc = nullptr;
  if (desc) {
    const TZvPDFObject* flags = R.ResolveKey(*desc, "Flags");
    FSymbolic = flags && flags->IsNumber() && (flags->AsInt() & 4) != 0;
  }
  if (FType3) {
    const TZvPDFObject* fm = R.ResolveKey(Dict, "FontMatrix");
    if (fm && fm->Kind == pokArray && !fm->Items.empty() && fm->Items[0].IsNumber()) FWidthScale = std::abs(fm->Items[0].Number());
    if (FWidthScale <= 0 || FWidthScale > 10) FWidthScale = 0.001;
  }
  ReadWidths(R, Dict, desc);

  const char* baseName = nullptr;
  const TZvPDFObject* diffs = nullptr;
  if (enc && enc->Kind == pokName) {
    baseName = enc->Str.c_str();
    FEncoding = enc->Str;
  } else if (enc && enc->IsDict()) {
    FHasEncodingDict = true;
    if (const TZvPDFObject* b = R.ResolveKey(*enc, "BaseEncoding"); b && b->Kind == pokName) {
      FEncoding = b->Str;
      baseName = FEncoding.c_str();
    }
    diffs = R.ResolveKey(*enc, "Differences");
  }
  bool haveBase = false;
  auto fill = [&](TPDFStdEncoding e) {
    for (int c = 0; c < 256; ++c)
      if (const char* n = StdEncodingGlyphName(e, static_cast<uint8_t>(c))) FGlyphNames[static_cast<size_t>(c)] = n;
    haveBase = true;
  };
  if (baseName) {
    std::string_view b(baseName);
    if (b == "WinAnsiEncoding") fill(TPDFStdEncoding::WinAnsi);
    else if (b == "MacRomanEncoding" || b == "MacExpertEncoding") fill(TPDFStdEncoding::MacRoman);
    else if (b == "StandardEncoding") fill(TPDFStdEncoding::Standard);
    else if (b == "PDFDocEncoding") fill(TPDFStdEncoding::PDFDoc);
  }
  if (!haveBase) {
    // No named base: the font program's own encoding, else the standard one for Type 1 fonts.
    const TZvPDFObject* ff = desc ? R.ResolveKey(*desc, "FontFile") : nullptr;
    if (ff && ff->Kind == pokStream) {
      try {
        ReadBuiltInEncoding(R.GetStreamContent(*ff));
      } catch (const EResourceLimit&) {
        throw;
      } catch (const Exception&) {
      }
    }
    bool anyName = std::any_of(FGlyphNames.begin(), FGlyphNames.end(), [](const std::string& s) { return !s.empty(); });
    const TZvPDFObject* bf = R.ResolveKey(Dict, "BaseFont");
    std::string_view plain = PlainFontName(bf && bf->Kind == pokName ? std::string_view(bf->Str) : std::string_view());
    if (!HasToUnicode() && desc && !FType3) {
      ReadProgram(R, desc);
      // A CFF program's own encoding; without one it uses the standard encoding.
      if (FProgram && !FProgram->CIDKeyed && !anyName && (FProgram->HasEncoding || !FTrueTypeProgram)) {
        if (FProgram->HasEncoding) {
          for (int c = 0; c < 256; ++c)
            if (uint16_t g = FProgram->EncodingGlyphs[static_cast<size_t>(c)]; g && g < FProgram->GlyphNames.size())
              FGlyphNames[static_cast<size_t>(c)] = FProgram->GlyphNames[g];
        } else {
          fill(TPDFStdEncoding::Standard);
        }
        anyName = true;
      }
    }
    if (!anyName && !FType3 && plain.rfind("Symbol", 0) == 0) {
      fill(TPDFStdEncoding::Symbol);
      FSymbolSet = true;
    } else if (!anyName && !FType3 && plain.find("Dingbats") != std::string_view::npos) {
      FDingbats = true;
    } else if (!anyName && !FSymbolic && !FType3) {
      fill(sub == "TrueType" ? TPDFStdEncoding::WinAnsi : TPDFStdEncoding::Standard);
    }
  }
  if (diffs && diffs->Kind == pokArray) SetDifferencesArray(*diffs);
  if (!FProgram && !HasToUnicode() && desc && !FType3 &&
      std::any_of(FGlyphNames.begin(), FGlyphNames.end(), [](const std::string& n) { return !n.empty() && GlyphNameToUnicode(n).empty(); }))
    ReadProgram(R, desc);  // names the glyph list does not know may be the program's own
  if (std::all_of(FWidths.begin(), FWidths.end(), [](double w) { return w < 0; })) {
    // No widths given (the standard fonts may leave them out): the standard metrics.
    const TZvPDFObject* bf = R.ResolveKey(Dict, "BaseFont");
    bool courier = false;
    const TStdFont* sf = StdFontFor(bf && bf->Kind == pokName ? bf->Str : std::string(), courier);
    for (int c = 0; c < 256; ++c) {
      const std::string& n = FGlyphNames[static_cast<size_t>(c)];
      if (courier) FWidths[static_cast<size_t>(c)] = 600;
      else if (sf && !n.empty()) FWidths[static_cast<size_t>(c)] = StdWidth(*sf, n);
    }
  }
}

int TZvPDFFont::CodeLength(std::string_view s, size_t pos) const {
  if (!FComposite) return 1;
  if (!FCodeSpace.empty()) {
    for (int n = 1; n <= 4 && pos + static_cast<size_t>(n) <= s.size(); ++n) {
      uint32_t c = CodeOf(s.substr(pos, static_cast<size_t>(n)));
      for (const auto& r : FCodeSpace)
        if (r.Bytes == n && c >= r.Low && c <= r.High) return n;
    }
    // Outside every range: take the shortest length the map uses.
    int mn = 4;
    for (const auto& r : FCodeSpace) mn = std::min(mn, r.Bytes);
    return mn;
  }
  if (FCodePage) return IsLeadByte(FCodePage, static_cast<uint8_t>(s[pos])) ? 2 : 1;
  return 2;
}

// The text of a code through the embedded program: the glyph its name or the program's own
// code tables select, read back through the program's Unicode table or glyph names.
WideString TZvPDFFont::ProgramCodeText(uint8_t code) const {
  if (!FProgram) return {};
  const std::string& name = FGlyphNames[code];
  int32_t gid = -1;
  if (!name.empty()) gid = FProgram->GlyphByName(name);
  else if (FProgram->HasSymbolCMap) gid = FProgram->SymbolCodes[code];
  else if (FProgram->HasMacCMap) gid = FProgram->MacCodes[code];
  else if (FProgram->HasEncoding) gid = FProgram->EncodingGlyphs[code];
  return gid > 0 ? FProgram->GlyphText(static_cast<uint32_t>(gid)) : WideString();
}

WideString TZvPDFFont::SimpleCodeText(uint8_t code) const {
  const std::string& name = FGlyphNames[code];
  if (FSymbolSet) {
    // Codes the Symbol set leaves empty have no name to compare.
    const char* symbol = StdEncodingGlyphName(TPDFStdEncoding::Symbol, code);
    if (symbol && name == symbol) return StdEncodingToText(TPDFStdEncoding::Symbol, code);
  }
  if (FDingbats && name.empty()) return StdEncodingToText(TPDFStdEncoding::ZapfDingbats, code);
  if (!name.empty()) {
    WideString w = GlyphNameToUnicode(name);
    if (!w.empty()) return w;
    w = ProgramCodeText(code);
    if (!w.empty()) return w;
    // Names some producers invent: "g65", "c65", "cid65", "a65" hold the code in decimal.
    size_t i = 0;
    while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i]))) ++i;
    if (i > 0 && i <= 3 && i < name.size() && name.size() - i <= 3 &&
        std::all_of(name.begin() + static_cast<long>(i), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      int v = std::stoi(name.substr(i));
      if (v >= 32 && v < 256 && v != 127) {
        char16_t u = StdEncodingToUnicode(TPDFStdEncoding::WinAnsi, static_cast<uint8_t>(v));
        if (u) return WideString(1, u);
      }
    }
    return {};
  }
  if (WideString w = ProgramCodeText(code); !w.empty()) return w;
  // No name: the code read as Windows ANSI is the best guess (symbolic TrueType fonts and the like).
  char16_t u = StdEncodingToUnicode(TPDFStdEncoding::WinAnsi, code);
  if (u) return WideString(1, u);
  return code >= 32 ? WideString(1, static_cast<char16_t>(code)) : WideString();
}

void TZvPDFFont::Decode(std::string_view s, std::vector<TGlyph>& out) const {
  size_t pos = 0;
  while (pos < s.size()) {
    int n = CodeLength(s, pos);
    if (pos + static_cast<size_t>(n) > s.size()) n = static_cast<int>(s.size() - pos);
    std::string_view raw = s.substr(pos, static_cast<size_t>(n));
    uint32_t code = CodeOf(raw);
    pos += static_cast<size_t>(n);
    if (!FComposite) {
      // Single-byte codes: each code's text and width are worked out once.
      if (FCodeText.empty()) {
        FCodeText.resize(256);
        FCodeWidth.resize(256);
        FCodeTextDone.assign(256, false);
      }
      auto c8 = static_cast<uint8_t>(code);
      if (!FCodeTextDone[c8]) {
        auto tu = FToUnicode.find(code);
        FCodeText[c8] = tu != FToUnicode.end() ? tu->second : SimpleCodeText(c8);
        double w = FWidths[c8];
        if (w < 0) w = FMissingWidth > 0 ? FMissingWidth : (code == 32 ? 250 : 500);
        FCodeWidth[c8] = w * FWidthScale;
        FCodeTextDone[c8] = true;
      }
      TGlyph& g = out.emplace_back();
      g.Text = FCodeText[c8];
      g.Width = FCodeWidth[c8];
      g.IsSpace = code == 32;
      continue;
    }
    TGlyph g;
    g.IsSpace = n == 1 && code == 32;
    auto tu = FToUnicode.find(code);
    if (tu != FToUnicode.end()) {
      g.Text = tu->second;
    } else if (FComposite) {
      if (FCodePage) g.Text = CodePageToWide(raw, FCodePage);
      else if (FIdentity && (FEncoding.find("UCS2") != std::string::npos || FEncoding.find("UTF16") != std::string::npos))
        g.Text = Utf16BE(raw);
      else if (FIdentity && FProgram && !FProgram->CIDKeyed)
        g.Text = FProgram->GlyphText(FCIDToGID.empty() ? code : code < FCIDToGID.size() ? FCIDToGID[code] : 0);
    }
    auto w = FCIDWidths.find(code);
    g.Width = (w != FCIDWidths.end() ? w->second : FDefaultWidth) * 0.001;
    out.push_back(std::move(g));
  }
}

WideString TZvPDFFont::DecodeText(std::string_view bytes) const {
  std::vector<TGlyph> gs;
  Decode(bytes, gs);
  WideString w;
  for (auto& g : gs) w += g.Text;
  return w;
}

}  // namespace zvword
