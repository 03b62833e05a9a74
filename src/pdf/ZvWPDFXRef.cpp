// The reader's frame: header, cross-reference sections (tables and streams), object lookup with
// object streams, and the rebuild of a damaged file's object table.
#include <algorithm>
#include <cstring>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFParser.h"
#include "pdf/ZvWPDFSecurity.h"
#include "platform/ByteReader.h"
#include "platform/CodePages.h"

namespace zvword {

using pdfsyntax::IsRegular;
using pdfsyntax::IsWhite;
using pdfsyntax::TLexer;

// ---- TZvPDFXRefList ----

TZvPDFXRef* TZvPDFXRefList::GetItem(int Index) {
  return Index >= 0 && Index < Count() ? &FItems[static_cast<size_t>(Index)] : nullptr;
}
const TZvPDFXRef* TZvPDFXRefList::GetItem(int Index) const {
  return Index >= 0 && Index < Count() ? &FItems[static_cast<size_t>(Index)] : nullptr;
}
TZvPDFXRef* TZvPDFXRefList::AddItem(int Index) {
  if (Index < 0 || Index > kPDFMaxObjectNumber) return nullptr;
  if (Index >= Count()) FItems.resize(static_cast<size_t>(Index) + 1);
  return &FItems[static_cast<size_t>(Index)];
}
int64_t TZvPDFXRefList::GetOffsetForXRef(int Index) const {
  const TZvPDFXRef* x = GetItem(Index);
  if (!x) return -1;
  if (x->FKind == xrkUnCompressed) return x->FOffset;
  if (x->FKind == xrkCompressed) {
    const TZvPDFXRef* s = GetItem(x->FObjNumber);
    return s && s->FKind == xrkUnCompressed ? s->FOffset : -1;
  }
  return -1;
}

// ---- TZvPDFReader: construction and load ----

TZvPDFReader::TZvPDFReader(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FXRefs(std::make_unique<TZvPDFXRefList>()),
      FFonts(std::make_unique<TZvPDFFonts>()),
      FPages(std::make_unique<TZvPDFPages>(this)),
      FSummaryInformation(std::make_unique<TZvWordSummaryInformation>()) {}

TZvPDFReader::~TZvPDFReader() = default;

void TZvPDFReader::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  FDocID.clear();
  FEncryption.reset();
  if (FXRefs) FXRefs->Clear();
  if (FPages) FPages->Clear();
  FPagesSeen = 0;
  if (FFonts) FFonts->Clear();
  if (FSummaryInformation) FSummaryInformation->Clear();
  FTrailer = TZvPDFObject();
  FEncryptEntry = TZvPDFObject();
  FCache.clear();
  FFetched.clear();
  FForms.clear();
  FFormBytes = 0;
  FLoading.clear();
  FObjStms.clear();
  FReconstructed = false;
  FEmitStarted = false;
  FData = {};
  FOwnedInput.clear();
  FOwnedInput.shrink_to_fit();
}

void TZvPDFReader::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

namespace {
int64_t ParseIntAt(std::string_view s, size_t p) {
  while (p < s.size() && IsWhite(static_cast<uint8_t>(s[p]))) ++p;
  int64_t v = 0;
  int n = 0;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9' && n < 15) {
    v = v * 10 + (s[p++] - '0');
    ++n;
  }
  return n ? v : -1;
}

bool LowerStartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameAsciiText(s.substr(0, prefix.size()), prefix);
}
}  // namespace

size_t TZvPDFReader::FindPDFHeader(std::string_view Data) {
  for (size_t i = 0; i + 5 <= Data.size() && i < 1024; ++i)
    if (LowerStartsWith(Data.substr(i), "%pdf")) return i;
  return std::string_view::npos;
}

void TZvPDFReader::LoadFromStream(TStream& AStream) {
  TMSWBaseDocument::LoadFromStream(AStream);
  try {
    LoadDocument(AStream);
  } catch (const EResourceLimit&) {
    // The pages read before the limit keep their text.
    try {
      if (!FEmitStarted && ParseItems().Contains(wpiText)) EmitPages();
    } catch (const Exception&) {
    } catch (const std::bad_alloc&) {
    }
    ReleaseInput();
    throw;
  } catch (...) {
    ReleaseInput();
    RethrowAsException();
  }
  ReleaseInput();
}

// The input is borrowed for the load only: views into it are dropped with it.
void TZvPDFReader::ReleaseInput() {
  const char* lo = FData.data();
  const char* hi = lo + FData.size();
  for (auto& [num, obj] : FCache)
    if (obj && obj->Kind == pokStream && obj->Data.data() >= lo && obj->Data.data() < hi) obj->Data = {};
  FData = {};
  FOwnedInput.clear();
  FOwnedInput.shrink_to_fit();
}

void TZvPDFReader::LoadDocument(TStream& AStream) {
  // A stream that already lies in memory is read in place; others are read once into a copy.
  std::string_view whole;
  if (AStream.MemoryView(whole)) {
    const int64_t at = AStream.Position();
    FData = at > 0 && static_cast<uint64_t>(at) <= whole.size() ? whole.substr(static_cast<size_t>(at)) : whole;
  } else {
    FOwnedInput = AStream.ReadAll();
    FData = FOwnedInput;
  }
  std::string_view data(FData);

  // Some producers put junk before the header; offsets then count from the header.
  const size_t hdr = FindPDFHeader(data);
  // Without a header the file is still read when it holds objects, as viewers do.
  if (hdr == std::string_view::npos && data.find(" obj") == std::string_view::npos)
    throw Exception(std::string_view("This is not valid PDF-document"));
  if (hdr != std::string_view::npos && hdr > 0) {
    FData.remove_prefix(hdr);
    data = FData;
  }
  FVersion.clear();
  size_t v0 = hdr == std::string_view::npos ? data.size() : (data.size() > 4 && data[4] == '-' ? 5 : 4);
  for (size_t i = v0; i < v0 + 4 && i < data.size() && ((data[i] >= '0' && data[i] <= '9') || data[i] == '.'); ++i)
    FVersion += data[i];

  // The last startxref of the file names the newest section.
  bool ok = false;
  size_t sx = data.rfind("startxref");
  if (sx != std::string_view::npos) {
    int64_t off = ParseIntAt(data, sx + 9);
    if (off >= 0) ok = LoadXRefChain(off);
  }
  if (!ok || !RootUsable()) ReconstructXRefs();

  ParseEncryption();
  if (ParseItems().Contains(wpiText)) {
    const TZvPDFObject* root = ResolveKey(FTrailer, "Root");
    const TZvPDFObject* pages = root ? ResolveKey(*root, "Pages") : nullptr;
    std::unordered_set<int64_t> visited;
    if (pages && pages->IsDict()) {
      ProcessPages(*pages, nullptr, nullptr, 0, visited);
    }
    if (FPagesSeen == 0) {
      // No page tree: take page objects in file order, as a damaged file still holds them.
      bool any = false;
      for (int i = 1; i < FXRefs->Count() && FPagesSeen < kPDFMaxPages; ++i) {
        const TZvPDFXRef* x = FXRefs->GetItem(i);
        if (x->Kind() == xrkFree) continue;
        const TZvPDFObject* o = GetObject(i);
        if (!o || !o->IsDict()) continue;
        const TZvPDFObject* t = o->Get("Type");
        if (t && t->IsName("Page")) {
          any = true;
          std::unordered_set<int64_t> v2;
          ProcessPages(*o, nullptr, nullptr, 0, v2);
        }
      }
      if (!any && !(root && root->IsDict()))
        throw Exception(std::string_view("The PDF document has no readable catalog or pages"));
    }
  }
  ProcessMetaData();
  FEmitStarted = true;
  if (ParseItems().Contains(wpiText)) EmitPages();
}

// ---- Cross-reference sections ----

bool TZvPDFReader::LoadXRefChain(int64_t StartOffset) {
  std::unordered_set<int64_t> seen;
  int64_t off = StartOffset;
  bool first = true;
  while (off >= 0 && off < static_cast<int64_t>(FData.size()) && seen.insert(off).second) {
    TZvPDFObject trailer;
    int64_t xrefStm = -1;
    if (!LoadSectionAt(off, trailer, xrefStm)) return !first && FTrailer.Get("Root");
    // A hybrid file's stream section complements its table and outranks older sections.
    if (xrefStm >= 0 && seen.insert(xrefStm).second) {
      TZvPDFObject t2;
      int64_t dummy;
      LoadSectionAt(xrefStm, t2, dummy);
    }
    TakeTrailer(trailer);
    first = false;
    const TZvPDFObject* prev = trailer.Get("Prev");
    off = prev && prev->IsNumber() ? prev->AsInt() : -1;
  }
  return !first;
}

bool TZvPDFReader::LoadSectionAt(int64_t Offset, TZvPDFObject& TrailerOut, int64_t& XRefStm) {
  XRefStm = -1;
  TLexer lx(FData, static_cast<size_t>(Offset));
  lx.SkipWhite();
  if (lx.LooksAt("xref")) {
    if (!LoadCrossXRefTable(lx.Pos() + 4, TrailerOut)) return false;
    const TZvPDFObject* s = TrailerOut.Get("XRefStm");
    if (s && s->IsNumber()) XRefStm = s->AsInt();
    return true;
  }
  return LoadCrossXRefStream(Offset, TrailerOut);
}

bool TZvPDFReader::LoadCrossXRefTable(size_t Pos, TZvPDFObject& TrailerOut) {
  TLexer lx(FData, Pos);
  for (;;) {
    lx.SkipWhite();
    if (lx.AtEnd()) return false;
    if (lx.LooksAt("trailer")) {
      lx.SetPos(lx.Pos() + 7);
      TZvPDFObject t;
      if (!lx.ParseObject(t, true) || t.Kind != pokDict) return false;
      TrailerOut = std::move(t);
      return true;
    }
    int64_t first, count;
    if (!lx.ReadUInt(first)) return false;
    lx.SkipWhite();
    if (!lx.ReadUInt(count)) return false;
    // An entry takes at least 18 bytes; a count beyond what is left is a lie.
    int64_t left = static_cast<int64_t>(FData.size() - lx.Pos());
    if (count > left / 18 + 1) count = left / 18 + 1;
    for (int64_t k = 0; k < count; ++k) {
      lx.SkipWhite();
      size_t save = lx.Pos();
      int64_t off, gen;
      if (!lx.ReadUInt(off)) {
        lx.SetPos(save);
        break;  // fewer entries than announced
      }
      lx.SkipWhite();
      if (!lx.ReadUInt(gen)) {
        lx.SetPos(save);
        break;
      }
      lx.SkipWhite();
      char type = lx.AtEnd() ? 0 : FData[lx.Pos()];
      if (type != 'n' && type != 'f') {
        lx.SetPos(save);
        break;
      }
      lx.SetPos(lx.Pos() + 1);
      int64_t num = first + k;
      if (num > kPDFMaxObjectNumber) continue;
      TZvPDFXRef* x = FXRefs->AddItem(static_cast<int>(num));
      if (!x || x->FSet) continue;
      if (type == 'n' && off > 0) {
        x->FKind = xrkUnCompressed;
        x->FOffset = off;
        x->FGeneration = static_cast<int32_t>(gen);
        x->FSet = true;
      }
    }
  }
}

bool TZvPDFReader::LoadCrossXRefStream(int64_t Offset, TZvPDFObject& TrailerOut) {
  TZvPDFObject obj;
  if (!ReadObjectAt(Offset, -1, obj) || obj.Kind != pokStream) return false;
  const TZvPDFObject* type = obj.Get("Type");
  if (type && !type->IsName("XRef")) return false;
  const TZvPDFObject* w = obj.Get("W");
  if (!w || w->Kind != pokArray || w->Items.size() < 3) return false;
  int widths[3];
  for (int i = 0; i < 3; ++i) {
    double v = w->Items[static_cast<size_t>(i)].Number(-1);
    if (v < 0 || v > 8) return false;
    widths[i] = static_cast<int>(v);
  }
  size_t rec = static_cast<size_t>(widths[0] + widths[1] + widths[2]);
  if (rec == 0) return false;
  RawByteString data = GetStreamContent(obj);
  std::vector<std::pair<int64_t, int64_t>> index;
  const TZvPDFObject* ix = obj.Get("Index");
  if (ix && ix->Kind == pokArray) {
    for (size_t i = 0; i + 1 < ix->Items.size(); i += 2)
      index.emplace_back(ix->Items[i].AsInt(), ix->Items[i + 1].AsInt());
  } else {
    const TZvPDFObject* size = obj.Get("Size");
    index.emplace_back(0, size && size->IsNumber() ? size->AsInt() : static_cast<int64_t>(data.size() / rec));
  }
  TByteReader rd(data, "PDF cross-reference stream");
  // Fields wider than 7 bytes cannot hold a usable offset: their top bits are dropped.
  auto field = [&](int width, int64_t def) {
    return width == 0 ? def : static_cast<int64_t>(rd.UBE(static_cast<unsigned>(width)) & 0x7FFFFFFFFFFFFFFFull);
  };
  for (auto [first, count] : index) {
    for (int64_t k = 0; k < count && rd.CanRead(rec); ++k) {
      int64_t t = field(widths[0], 1), f2 = field(widths[1], 0), f3 = field(widths[2], 0);
      int64_t num = first + k;
      if (num < 0 || num > kPDFMaxObjectNumber) continue;
      TZvPDFXRef* x = FXRefs->AddItem(static_cast<int>(num));
      if (!x || x->FSet) continue;
      if (t == 1 && f2 > 0) {
        x->FKind = xrkUnCompressed;
        x->FOffset = f2;
        x->FGeneration = static_cast<int32_t>(f3);
        x->FSet = true;
      } else if (t == 2 && f2 > 0 && f2 <= kPDFMaxObjectNumber) {
        x->FKind = xrkCompressed;
        x->FObjNumber = static_cast<int32_t>(f2);
        x->FOffset = f3;
        x->FSet = true;
      }
    }
  }
  TrailerOut = std::move(obj);
  TrailerOut.Data = {};
  return true;
}

void TZvPDFReader::TakeTrailer(const TZvPDFObject& T) {
  if (!T.IsDict()) return;
  if (FTrailer.Kind != pokDict) FTrailer.Kind = pokDict;
  for (size_t i = 0; i < T.Keys.size(); ++i) {
    const std::string& k = T.Keys[i];
    if (k == "Root" || k == "Info" || k == "Encrypt" || k == "ID") {
      if (!FTrailer.Get(k)) {
        FTrailer.Keys.push_back(k);
        FTrailer.Items.push_back(T.Items[i]);
      }
    }
  }
  const TZvPDFObject* e = FTrailer.Get("Encrypt");
  if (e && FEncryptEntry.Kind == pokNull) FEncryptEntry = *e;
  const TZvPDFObject* id = FTrailer.Get("ID");
  if (id && FDocID.empty() && id->Kind == pokArray && !id->Items.empty() && id->Items[0].Kind == pokString)
    FDocID = id->Items[0].Str;
}

bool TZvPDFReader::RootUsable() {
  const TZvPDFObject* r = FTrailer.Get("Root");
  if (!r) return false;
  const TZvPDFObject& root = Resolve(*r);
  if (!root.IsDict()) return false;
  const TZvPDFObject* p = ResolveKey(root, "Pages");
  return p && p->IsDict();
}

// Rebuilds the object table from the "N G obj" headers of the file; the last definition of an
// object wins, as in an incrementally updated file.
void TZvPDFReader::ReconstructXRefs() {
  if (FReconstructed) return;
  FReconstructed = true;
  std::string_view d(FData);
  std::vector<int32_t> found;
  size_t p = 0;
  while ((p = d.find("obj", p)) != std::string_view::npos) {
    size_t at = p;
    p += 3;
    if (p < d.size() && IsRegular(static_cast<uint8_t>(d[p]))) continue;
    // Back over white space, the generation, white space, the number.
    size_t q = at;
    auto back_ws = [&] {
      size_t n = 0;
      while (q > 0 && IsWhite(static_cast<uint8_t>(d[q - 1]))) --q, ++n;
      return n;
    };
    auto back_num = [&](int64_t& v) {
      size_t e = q;
      while (q > 0 && d[q - 1] >= '0' && d[q - 1] <= '9' && e - q < 10) --q;
      if (q == e) return false;
      v = 0;
      for (size_t i = q; i < e; ++i) v = v * 10 + (d[i] - '0');
      return true;
    };
    int64_t gen, num;
    back_ws();
    if (!back_num(gen)) continue;
    if (!back_ws()) continue;
    if (!back_num(num)) continue;
    if (q > 0 && IsRegular(static_cast<uint8_t>(d[q - 1]))) continue;
    if (num <= 0 || num > kPDFMaxObjectNumber || gen > 65535) continue;
    TZvPDFXRef* x = FXRefs->AddItem(static_cast<int>(num));
    if (!x) continue;
    x->FKind = xrkUnCompressed;
    x->FOffset = static_cast<int64_t>(q);
    x->FGeneration = static_cast<int32_t>(gen);
    x->FSet = true;
    found.push_back(static_cast<int32_t>(num));
    // Failed lookups may succeed now; parsed objects stay, callers may hold them.
    auto c = FCache.find(static_cast<int32_t>(num));
    if (c != FCache.end() && !c->second) FCache.erase(c);
  }
  // Trailers: the newest one found counts first.
  std::vector<TZvPDFObject> trailers;
  p = 0;
  while ((p = d.find("trailer", p)) != std::string_view::npos) {
    TLexer lx(d, p + 7);
    TZvPDFObject t;
    if (lx.ParseObject(t, true) && t.Kind == pokDict) trailers.push_back(std::move(t));
    p += 7;
  }
  // Object streams and cross-reference streams hold objects and trailers of their own.
  std::vector<int32_t> objStms;
  for (int32_t num : found) {
    const TZvPDFXRef* x = FXRefs->GetItem(num);
    size_t from = static_cast<size_t>(x->Offset());
    size_t win = std::min(d.size(), from + 2048);
    std::string_view head = d.substr(from, win - from);
    size_t st = head.find("stream");
    if (st == std::string_view::npos) continue;
    head = head.substr(0, st);
    if (head.find("/ObjStm") != std::string_view::npos) objStms.push_back(num);
    if (head.find("/XRef") != std::string_view::npos) {
      TZvPDFObject o;
      if (ReadObjectAt(x->Offset(), num, o) && o.IsDict()) {
        o.Data = {};
        trailers.push_back(std::move(o));
      }
    }
  }
  for (int32_t sn : objStms) {
    const TZvPDFObject* so = GetObject(sn);
    if (!so || so->Kind != pokStream) continue;
    TZvPDFObject probe;
    ReadCompressed(sn, -1, -1, probe);  // fills the object stream's table
    auto it = FObjStms.find(sn);
    if (it == FObjStms.end()) continue;
    int32_t idx = 0;
    for (auto& [n, off] : it->second->Offsets) {
      (void)off;
      TZvPDFXRef* x = FXRefs->AddItem(n);
      if (x && !(x->FKind == xrkUnCompressed && x->FSet)) {
        x->FKind = xrkCompressed;
        x->FObjNumber = sn;
        x->FOffset = idx;
        x->FSet = true;
      }
      ++idx;
    }
  }
  TZvPDFObject old = std::move(FTrailer);
  FTrailer = TZvPDFObject();
  for (auto it = trailers.rbegin(); it != trailers.rend(); ++it) TakeTrailer(*it);
  TakeTrailer(old);
  if (!RootUsable()) {
    // No trailer names a usable catalog: take the last catalog object of the file.
    for (int i = FXRefs->Count() - 1; i > 0; --i) {
      const TZvPDFXRef* x = FXRefs->GetItem(i);
      if (x->Kind() == xrkFree) continue;
      const TZvPDFObject* o = GetObject(i);
      const TZvPDFObject* t = o && o->IsDict() ? o->Get("Type") : nullptr;
      if (t && t->IsName("Catalog") && o->Get("Pages")) {
        TZvPDFObject ref;
        ref.Kind = pokRef;
        ref.Int = i;
        for (size_t k = 0; k < FTrailer.Keys.size(); ++k)
          if (FTrailer.Keys[k] == "Root") {
            FTrailer.Keys.erase(FTrailer.Keys.begin() + static_cast<long>(k));
            FTrailer.Items.erase(FTrailer.Items.begin() + static_cast<long>(k));
            break;
          }
        FTrailer.Kind = pokDict;
        FTrailer.Keys.push_back("Root");
        FTrailer.Items.push_back(ref);
        break;
      }
    }
  }
}

// ---- Objects ----

bool TZvPDFReader::ReadObjectAt(int64_t Offset, int32_t ExpectNum, TZvPDFObject& Out) {
  if (Offset < 0 || Offset >= static_cast<int64_t>(FData.size())) return false;
  TLexer lx(FData, static_cast<size_t>(Offset));
  lx.SkipWhite();
  int64_t num, gen;
  if (!lx.ReadUInt(num)) return false;
  lx.SkipWhite();
  if (!lx.ReadUInt(gen)) return false;
  lx.SkipWhite();
  if (!lx.LooksAt("obj")) return false;
  if (ExpectNum >= 0 && num != ExpectNum) return false;
  lx.SetPos(lx.Pos() + 3);
  if (!lx.ParseObject(Out, true)) Out = TZvPDFObject();
  Out.ObjNum = static_cast<int32_t>(num);
  Out.ObjGen = static_cast<int32_t>(gen);
  if (Out.Kind != pokDict) return true;
  lx.SkipWhite();
  if (!lx.LooksAt("stream")) return true;
  size_t s = lx.Pos() + 6;
  if (s < FData.size() && FData[s] == '\r') ++s;
  if (s < FData.size() && FData[s] == '\n') ++s;
  Out.Kind = pokStream;
  // Trust /Length only when "endstream" follows where it says; else search for the keyword.
  int64_t len = -1;
  if (const TZvPDFObject* l = Out.Get("Length")) {
    if (l->Kind == pokRef) {
      if (l->Int != num && !FLoading.count(static_cast<int32_t>(l->Int))) {
        const TZvPDFObject& lv = Resolve(*l);
        if (lv.IsNumber()) len = lv.AsInt();
      }
    } else if (l->IsNumber()) {
      len = l->AsInt();
    }
  }
  std::string_view d(FData);
  bool good = false;
  if (len >= 0 && s + static_cast<size_t>(len) <= d.size()) {
    size_t e = s + static_cast<size_t>(len);
    size_t q = e;
    while (q < d.size() && IsWhite(static_cast<uint8_t>(d[q])) && q < e + 4) ++q;
    if (d.compare(q, 9, "endstream") == 0) {
      Out.Data = d.substr(s, static_cast<size_t>(len));
      good = true;
    }
  }
  if (!good) {
    size_t e = d.find("endstream", s);
    if (e == std::string_view::npos) {
      size_t eo = d.find("endobj", s);
      e = eo == std::string_view::npos ? d.size() : eo;
    }
    size_t ee = e;
    if (ee > s && d[ee - 1] == '\n') --ee;
    if (ee > s && d[ee - 1] == '\r') --ee;
    Out.Data = d.substr(s, ee - s);
  }
  return true;
}

bool TZvPDFReader::ReadCompressed(int32_t StmNum, int32_t Index, int32_t ExpectNum, TZvPDFObject& Out) {
  auto it = FObjStms.find(StmNum);
  if (it == FObjStms.end()) {
    auto os = std::make_unique<TObjStm>();
    const TZvPDFObject* so = GetObject(StmNum);
    if (so && so->Kind == pokStream) {
      try {
        os->Data = GetStreamContent(*so);
      } catch (const EResourceLimit&) {
        throw;
      } catch (const Exception&) {
        os->Data.clear();
      }
      const TZvPDFObject* n = so->Get("N");
      const TZvPDFObject* f = so->Get("First");
      int64_t count = n && n->IsNumber() ? n->AsInt() : 0;
      int64_t first = f && f->IsNumber() ? f->AsInt() : 0;
      if (first < 0 || first > static_cast<int64_t>(os->Data.size())) first = 0;
      count = std::min<int64_t>(count, static_cast<int64_t>(os->Data.size()) / 2 + 1);
      TLexer lx(os->Data);
      for (int64_t k = 0; k < count; ++k) {
        int64_t on, oo;
        lx.SkipWhite();
        if (!lx.ReadUInt(on)) break;
        lx.SkipWhite();
        if (!lx.ReadUInt(oo)) break;
        if (on > kPDFMaxObjectNumber) break;
        os->Offsets.emplace_back(static_cast<int32_t>(on), first + oo);
      }
      os->Ok = true;
    }
    it = FObjStms.emplace(StmNum, std::move(os)).first;
  }
  TObjStm& os = *it->second;
  if (Index < 0) return false;
  if (!os.Ok) return false;
  int64_t off = -1;
  if (static_cast<size_t>(Index) < os.Offsets.size() && os.Offsets[static_cast<size_t>(Index)].first == ExpectNum)
    off = os.Offsets[static_cast<size_t>(Index)].second;
  else
    for (auto& [n, o] : os.Offsets)
      if (n == ExpectNum) off = o;
  if (off < 0 || off >= static_cast<int64_t>(os.Data.size())) return false;
  TLexer lx(os.Data, static_cast<size_t>(off));
  if (!lx.ParseObject(Out, true)) return false;
  Out.ObjNum = ExpectNum;
  return true;
}

void TZvPDFReader::DecryptObjectStrings(TZvPDFObject& Obj, int32_t Num, int32_t Gen, int Depth) {
  if (Depth > kPDFMaxNesting) return;
  if (Obj.Kind == pokString) Obj.Str = DecryptString(Num, Gen, Obj.Str);
  for (auto& it : Obj.Items) DecryptObjectStrings(it, Num, Gen, Depth + 1);
}

const TZvPDFObject* TZvPDFReader::GetObject(int32_t ObjNum) {
  auto c = FCache.find(ObjNum);
  if (c != FCache.end()) return c->second.get();
  if (FLoading.count(ObjNum)) return nullptr;  // a reference loop
  const TZvPDFXRef* x = FXRefs->GetItem(ObjNum);
  if (!x || x->Kind() == xrkFree) {
    if (!FReconstructed && ObjNum > 0 && ObjNum <= kPDFMaxObjectNumber && FXRefs->Count() > 0 &&
        (!x || ObjNum >= FXRefs->Count())) {
      // Referenced but missing from the table: the table may be damaged.
      ReconstructXRefs();
      x = FXRefs->GetItem(ObjNum);
    }
    if (!x || x->Kind() == xrkFree) return nullptr;
  }
  // A fetch may fetch again (a /Length reference, an object stream): the nesting is bounded.
  TResourceBudget::TDepthGuard nested(Budget());
  Budget().ChargeObjects();
  FLoading.insert(ObjNum);
  struct TUnmark {
    std::unordered_set<int32_t>& Set;
    int32_t Num;
    ~TUnmark() { Set.erase(Num); }
  } unmark{FLoading, ObjNum};
  auto obj = std::make_unique<TZvPDFObject>();
  bool ok;
  if (x->Kind() == xrkUnCompressed) {
    ok = ReadObjectAt(x->Offset(), ObjNum, *obj);
    if (!ok && !FReconstructed) {
      // The table points beside the object: rebuild it from the object headers.
      ReconstructXRefs();
      x = FXRefs->GetItem(ObjNum);
      if (x && x->Kind() == xrkUnCompressed) ok = ReadObjectAt(x->Offset(), ObjNum, *obj);
      else if (x && x->Kind() == xrkCompressed) ok = ReadCompressed(x->ObjNumber(), static_cast<int32_t>(x->Offset()), ObjNum, *obj);
    }
    if (ok && FEncryption && FEncryption->Enabled()) DecryptObjectStrings(*obj, ObjNum, obj->ObjGen, 0);
  } else {
    ok = x->ObjNumber() != ObjNum && ReadCompressed(x->ObjNumber(), static_cast<int32_t>(x->Offset()), ObjNum, *obj);
  }
  if (!ok) obj.reset();
  auto* res = obj.get();
  FCache[ObjNum] = std::move(obj);
  FFetched.push_back(ObjNum);
  return res;
}

void TZvPDFReader::ForgetFetchedSince(size_t Mark) {
  for (size_t i = Mark; i < FFetched.size(); ++i) FCache.erase(FFetched[i]);
  FFetched.resize(std::min(Mark, FFetched.size()));
}

const TZvPDFObject& TZvPDFReader::Resolve(const TZvPDFObject& Obj) {
  const TZvPDFObject* o = &Obj;
  for (int i = 0; i < kPDFMaxRefDepth && o->Kind == pokRef; ++i) {
    if (o->Int < 0 || o->Int > kPDFMaxObjectNumber) return FNull;
    const TZvPDFObject* n = GetObject(static_cast<int32_t>(o->Int));
    if (!n) return FNull;
    o = n;
  }
  return o->Kind == pokRef ? FNull : *o;
}

const TZvPDFObject* TZvPDFReader::ResolveKey(const TZvPDFObject& Dict, std::string_view Key) {
  const TZvPDFObject* v = Dict.Get(Key);
  if (!v) return nullptr;
  const TZvPDFObject& r = Resolve(*v);
  return r.Kind == pokNull ? nullptr : &r;
}

RawByteString TZvPDFReader::GetBodyByRefNo(int32_t RefNo) {
  const TZvPDFXRef* x = FXRefs->GetItem(RefNo);
  if (!x || x->Kind() == xrkFree) return {};
  if (x->Kind() == xrkCompressed) {
    TZvPDFObject probe;
    ReadCompressed(x->ObjNumber(), -1, -1, probe);
    auto it = FObjStms.find(x->ObjNumber());
    if (it == FObjStms.end()) return {};
    const auto& offs = it->second->Offsets;
    for (size_t i = 0; i < offs.size(); ++i)
      if (offs[i].first == RefNo) {
        int64_t s = offs[i].second;
        int64_t e = i + 1 < offs.size() && offs[i + 1].second > s ? offs[i + 1].second : static_cast<int64_t>(it->second->Data.size());
        if (s < 0 || s > static_cast<int64_t>(it->second->Data.size())) return {};
        return it->second->Data.substr(static_cast<size_t>(s), static_cast<size_t>(std::min<int64_t>(e, it->second->Data.size()) - s));
      }
    return {};
  }
  int64_t s = x->Offset();
  if (s < 0 || s >= static_cast<int64_t>(FData.size())) return {};
  size_t e = FData.find("endobj", static_cast<size_t>(s));
  e = e == std::string_view::npos ? FData.size() : e + 6;
  return RawByteString(FData.substr(static_cast<size_t>(s), e - static_cast<size_t>(s)));
}

// The keys use the whole first identifier as written, whatever its length.
RawByteString TZvPDFReader::DecryptStream(int32_t ObjNum, int32_t Gen, std::string_view Bytes) {
  if (!FEncryption || !FEncryption->Enabled() || Bytes.empty()) return RawByteString(Bytes);
  return FEncryption->DecryptStream(ObjNum, Gen, FDocID, FPassword, Bytes);
}

RawByteString TZvPDFReader::DecryptString(int32_t ObjNum, int32_t Gen, std::string_view Bytes) {
  if (!FEncryption || !FEncryption->Enabled() || Bytes.empty()) return RawByteString(Bytes);
  return FEncryption->DecryptString(ObjNum, Gen, FDocID, FPassword, Bytes);
}

}  // namespace zvword
