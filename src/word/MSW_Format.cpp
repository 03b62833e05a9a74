// What the reader takes from the formatting tables: the labels of list paragraphs and the marks
// of automatically numbered notes, computed ahead of the text they stand in.
#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "framework/ListNumbers.h"
#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

// Tables larger than this are damaged or hostile; no real document comes near.
constexpr uint64_t kMaxTable = 16u << 20;
constexpr size_t kFkpSize = 512;
// More notes than any document cites; the marks of a hostile table's others are not kept.
constexpr size_t kMaxNotes = 1u << 18;
constexpr int kMaxStartAt = 32767;
constexpr uint16_t sprmPIlvl = 0x260A, sprmPIlfo = 0x460B;

// The bytes of a table at fc, lcb long, cut to what the stream holds.
RawByteString ReadTable(TStream* s, uint32_t fc, uint32_t lcb) {
  if (!s || lcb == 0) return {};
  const int64_t size = s->Size();
  if (size <= 0 || fc >= static_cast<uint64_t>(size)) return {};
  s->Seek(fc, TSeekOrigin::soBeginning);
  return s->ReadBytes(static_cast<int64_t>(std::min<uint64_t>({lcb, kMaxTable, uint64_t(size) - fc})));
}

// Operand size of a Word 97 property modifier; the variable ones carry a length byte (or word).
size_t SprmOperandSize(uint16_t sprm, const TByteReader& r, size_t at) {
  switch (sprm >> 13) {
    case 0:
    case 1:
      return 1;
    case 2:
    case 4:
    case 5:
      return 2;
    case 3:
      return 4;
    case 7:
      return 3;
    default:
      // A table definition counts its operand in a word that says one byte more.
      if (sprm == 0xD608 || sprm == 0xD606) return r.CanReadAt(at, 2) ? 1 + std::max<size_t>(1, r.U16LEAt(at)) : 2;
      return r.CanReadAt(at, 1) ? 1 + size_t{r.U8At(at)} : 1;
  }
}

// The list and level a run of Word 97 paragraph modifiers sets; -1 where it sets none.
void ListSprms(std::string_view grpprl, int& ilfo, int& ilvl) {
  const TByteReader r(grpprl, "Word paragraph properties");
  size_t at = 0;
  while (r.CanReadAt(at, 2)) {
    const uint16_t sprm = r.U16LEAt(at);
    at += 2;
    const size_t n = SprmOperandSize(sprm, r, at);
    if (!r.CanReadAt(at, n)) break;
    if (sprm == sprmPIlvl)
      ilvl = r.U8At(at);
    else if (sprm == sprmPIlfo)
      ilfo = r.I16LEAt(at);
    at += n;
  }
}

struct TLevel {
  int StartAt = 1;
  int Nfc = lnfDecimal;
  bool Legal = false;
  bool NoRestart = false;
  uint8_t RestartLim = 0;  // with NoRestart: only levels above this one restart it
  uint8_t Follow = 0;      // 0 tab, 1 space, 2 nothing
  WideString Text;         // characters 0 to 8 stand for the numbers of those levels
};

struct TList {
  uint32_t Lsid = 0;
  std::array<TLevel, 9> Levels;
};

struct TOverride {
  uint32_t Lsid = 0;
  std::array<int, 9> StartAt{-1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::array<bool, 9> HasLevel{};
  std::array<TLevel, 9> Levels;
};

// Reads one LVL at the reader's position.
TLevel ReadLevel(TByteReader& r) {
  TLevel l;
  // Word starts lists at 0 to 32767; a wilder value must not overflow the counters.
  l.StartAt = std::clamp(r.I32LE(), 0, kMaxStartAt);
  l.Nfc = r.U8();
  const uint8_t flags = r.U8();
  l.Legal = (flags & 0x04) != 0;
  l.NoRestart = (flags & 0x08) != 0;
  r.Skip(9);
  l.Follow = r.U8();
  r.Skip(8);
  const uint8_t cbChpx = r.U8();
  const uint8_t cbPapx = r.U8();
  l.RestartLim = r.U8();
  r.Skip(1);
  r.Skip(uint64_t{cbChpx} + cbPapx);
  const uint16_t cch = r.U16LE();
  const TByteReader text(r.Bytes(2 * uint64_t{cch}), r.What());
  l.Text.resize(cch);
  for (size_t i = 0; i < cch; ++i) l.Text[i] = static_cast<char16_t>(text.U16LEAt(2 * i));
  return l;
}

// Bullets drawn from the Symbol and Wingdings fonts are private-use codes there.
WideString BulletText(const WideString& t) {
  WideString out;
  for (char16_t c : t) {
    if (c == 0xF0A7)
      out += u'\u25AA';
    else if (c >= 0xF000 && c <= 0xF0FF)
      out += u'\u2022';
    else if (c >= 32)
      out += c;
  }
  return out;
}

class TListState {
 public:
  std::vector<TList> Lists;
  std::vector<TOverride> Overrides;  // index ilfo - 1

  // The label of one more paragraph at list override ilfo, level ilvl; false when none.
  bool Next(int ilfo, int ilvl, WideString& label, uint8_t& follow) {
    if (ilfo < 1 || static_cast<size_t>(ilfo) > Overrides.size() || ilvl < 0 || ilvl > 8) return false;
    TOverride& o = Overrides[static_cast<size_t>(ilfo - 1)];
    if (ById.empty())
      for (size_t i = Lists.size(); i-- > 0;) ById[Lists[i].Lsid] = i;
    const auto found = ById.find(o.Lsid);
    if (found == ById.end()) return false;
    const size_t li = found->second;
    const auto it = Lists.begin() + static_cast<std::ptrdiff_t>(li);
    auto level = [&](int i) -> const TLevel& {
      return o.HasLevel[size_t(i)] ? o.Levels[size_t(i)] : it->Levels[size_t(i)];
    };
    auto start = [&](int i) { return o.StartAt[size_t(i)] >= 0 ? o.StartAt[size_t(i)] : level(i).StartAt; };
    // An override that starts levels anew is a list of its own; the others continue their list.
    const bool own = std::any_of(o.StartAt.begin(), o.StartAt.end(), [](int v) { return v >= 0; });
    auto& counters = Counters[own ? Overrides.size() + static_cast<size_t>(ilfo) : li];
    if (counters.empty())
      for (int i = 0; i < 9; ++i) counters.push_back(start(i) - 1);
    // Levels above not reached since they last moved count as at their start from now on.
    for (int i = 0; i < ilvl; ++i) counters[size_t(i)] = std::max(counters[size_t(i)], start(i));
    ++counters[size_t(ilvl)];
    for (int i = ilvl + 1; i < 9; ++i)
      if (!level(i).NoRestart || ilvl < level(i).RestartLim) counters[size_t(i)] = start(i) - 1;

    const TLevel& l = level(ilvl);
    follow = l.Follow;
    label.clear();
    if (l.Nfc == lnfBullet) {
      label = BulletText(l.Text);
      return !label.empty();
    }
    for (char16_t c : l.Text) {
      if (c > 8) {
        if (c >= 32) label += c;
        continue;
      }
      const int at = c;
      const int value = at <= ilvl ? counters[size_t(at)] : start(at);
      label += FormatListNumber(value, l.Legal && at != ilvl ? lnfDecimal : level(at).Nfc);
    }
    return !label.empty();
  }

 private:
  std::map<size_t, std::vector<int>> Counters;  // per list: lists shared by overrides continue
  std::map<uint32_t, size_t> ById;              // the first list of each identifier
};

// The lists and their overrides of a Word 97 table stream.
void ReadLists(std::string_view lst, std::string_view lfo, TListState& s) {
  if (lst.size() >= 2) {
    TByteReader r(lst, "Word list table");
    const uint16_t count = r.U16LE();
    std::vector<bool> simple;
    for (uint16_t i = 0; i < count && r.CanRead(28); ++i) {
      TList l;
      l.Lsid = r.U32LE();
      r.Skip(22);
      simple.push_back((r.U8() & 1) != 0);
      r.Skip(1);
      s.Lists.push_back(std::move(l));
    }
    // The levels follow the list records: one for a simple list, nine for the others.
    for (size_t i = 0; i < s.Lists.size(); ++i)
      for (int lv = 0; lv < (simple[i] ? 1 : 9); ++lv) s.Lists[i].Levels[size_t(lv)] = ReadLevel(r);
  }
  if (lfo.size() >= 4) {
    TByteReader r(lfo, "Word list overrides");
    const uint32_t count = r.U32LE();
    std::vector<uint8_t> levels;
    for (uint32_t i = 0; i < count && r.CanRead(16); ++i) {
      TOverride o;
      o.Lsid = r.U32LE();
      r.Skip(8);
      levels.push_back(r.U8());
      r.Skip(3);
      s.Overrides.push_back(o);
    }
    for (size_t i = 0; i < s.Overrides.size() && r.CanRead(4); ++i) {
      r.Skip(4);
      for (uint8_t k = 0; k < levels[i]; ++k) {
        const int32_t startAt = r.I32LE();
        const uint32_t flags = r.U32LE();
        const size_t ilvl = flags & 0x0F;
        const TLevel level = flags & 0x20 ? ReadLevel(r) : TLevel();
        if (ilvl > 8) continue;
        if (flags & 0x10) s.Overrides[i].StartAt[ilvl] = std::clamp(startAt, 0, kMaxStartAt);
        if (flags & 0x20) {
          s.Overrides[i].Levels[ilvl] = level;
          s.Overrides[i].HasLevel[ilvl] = true;
          if (flags & 0x10) s.Overrides[i].Levels[ilvl].StartAt = s.Overrides[i].StartAt[ilvl];
        }
      }
    }
  }
}

struct TStyleList {
  int Ilfo = -1, Ilvl = -1, Base = 0xFFF;
};

// The list each paragraph style names, with the style it is based on.
std::vector<TStyleList> ReadStyleLists(std::string_view stsh) {
  std::vector<TStyleList> styles;
  if (stsh.size() < 2) return styles;
  TByteReader r(stsh, "Word style sheet");
  const uint16_t cbStshi = r.U16LE();
  if (!r.CanRead(cbStshi) || cbStshi < 4) return styles;
  const uint16_t cstd = r.U16LEAt(2);
  const uint16_t cbBase = r.U16LEAt(4);
  r.Skip(cbStshi);
  for (uint16_t i = 0; i < cstd && r.CanRead(2); ++i) {
    const uint16_t cbStd = r.U16LE();
    TStyleList st;
    if (cbStd == 0 || !r.CanRead(cbStd)) {
      styles.push_back(st);
      if (cbStd) break;
      continue;
    }
    const std::string_view bytes = r.Bytes(cbStd);
    const TByteReader d(bytes, "Word style");
    if (cbBase < 10 || cbStd < cbBase + 2) {
      styles.push_back(st);
      continue;
    }
    const uint16_t w2 = d.U16LEAt(2), w4 = d.U16LEAt(4);
    st.Base = w2 >> 4;
    const int sgc = w2 & 0x0F, cupx = w4 & 0x0F;
    size_t at = cbBase;
    // The name: a counted string of 16-bit characters and its terminator.
    at += 2 + 2 * size_t{d.U16LEAt(at)} + 2;
    if (sgc == 1 && cupx >= 1) {
      if (at & 1) ++at;
      if (d.CanReadAt(at, 2)) {
        const uint16_t cb = d.U16LEAt(at);
        if (cb >= 2 && d.CanReadAt(at + 2, cb)) ListSprms(bytes.substr(at + 4, cb - 2), st.Ilfo, st.Ilvl);
      }
    }
    styles.push_back(st);
  }
  return styles;
}

// Operand sizes of the Word 6/95 character modifiers (codes 65 to 118); -1 for a counted operand,
// 0 past the known ones, where a list of modifiers can no longer be followed.
int Sprm6Size(uint8_t sprm) {
  static const int8_t kSizes[] = {1, 1,  1, -1, 2, 4, 1, 2, 3,  -1, 1,  0,  0, 0,  0,  // 65-79
                                  2, -1, 0, 0,  0, 1, 1, 1, 1,  1,  1,  1,  1, 2,  1,  // 80-94
                                  3, 2,  2, 1,  2, 1, 2, 1, -1, 1,  -1, -1, 2, -1, 2,  // 95-109
                                  2, 0,  0, 0,  0, 0, 0, 1, 1};                        // 110-118
  if (sprm == 82 || sprm == 83) return 0;
  if (sprm < 65 || sprm > 118) return -2;
  const int n = kSizes[sprm - 65];
  return n == 0 ? -2 : n;
}

// The code page of a font's character set; 0 for the Western, symbol and unknown ones.
int CharsetCodePage(uint8_t chs) {
  switch (chs) {
    case 161:
      return 1253;
    case 162:
      return 1254;
    case 163:
      return 1258;
    case 177:
      return 1255;
    case 178:
      return 1256;
    case 186:
      return 1257;
    case 204:
      return 1251;
    case 222:
      return 874;
    case 238:
      return 1250;
    default:
      return 0;
  }
}

}  // namespace

std::optional<uint64_t> TMSWordDocument::CPToFC(uint64_t cp) const {
  const auto posEnd = FCLX.Pos.begin() + FCLX.noPCD + 1;
  if (FCLX.noPCD == 0 || cp >= FCLX.Pos[FCLX.noPCD]) return std::nullopt;
  auto it = std::upper_bound(FCLX.Pos.begin(), posEnd, static_cast<uint32_t>(cp));
  const uint32_t i = static_cast<uint32_t>(it - FCLX.Pos.begin() - 1);
  uint64_t start = 0, end = 0;
  const TPieceKind kind = GetPieceBoundsFC(i, start, end);
  if (kind == TPieceKind::pkNone) return std::nullopt;
  return start + (cp - FCLX.Pos[i]) * (kind == TPieceKind::pk8Bit ? 1 : 2);
}

void TMSWordDocument::ReadFormatting(TStream& DocStream, TStream* TableStream) {
  FLabels.clear();
  FNextLabel = 0;
  FNoteRefMarks.clear();
  FNoteTextMarks.clear();
  FFontRuns.clear();
  // Word 6/95 keeps its tables in the document stream and numbers lists another way.
  const bool word97 = FDocVersion == 8 && TableStream;
  if (!word97 && !(FDocVersion >= 5 && FDocVersion <= 7)) return;
  try {
    ReadNoteMarks(word97 ? TableStream : &DocStream);
    if (word97)
      ReadListLabels(DocStream, TableStream);
    else
      ReadFontRuns(DocStream);
  } catch (const Exception& e) {
    // The text reads without them; what was found stays.
    AddWarning(u"Word formatting tables are damaged: " + e.Message());
  }
}

void TMSWordDocument::ReadNoteMarks(TStream* TableStream) {
  const RawByteString dop = ReadTable(TableStream, FFIB.fcDop, FFIB.lcbDop);
  const TByteReader d(dop, "Word document properties");
  // Footnotes count from 1 in arabic digits, endnotes in lower roman, unless the document says.
  int ftnStart = 1, ednStart = 1, ftnNfc = lnfDecimal, ednNfc = lnfLowerRoman;
  if (d.CanReadAt(0x36, 2)) {
    ftnStart = std::max(1, d.U16LEAt(2) >> 2);
    ednStart = std::max(1, d.U16LEAt(0x34) >> 2);
    ftnNfc = (d.U16LEAt(0x36) >> 2) & 0x0F;
    ednNfc = (d.U16LEAt(0x36) >> 6) & 0x0F;
  }
  const uint64_t ftnStory = static_cast<uint64_t>(std::max(FFIB.ccpText, 0));
  uint64_t ednStory = ftnStory;
  for (int32_t c : {FFIB.ccpFtn, FFIB.ccpHdr, FFIB.ccpMcr, FFIB.ccpAtn})
    ednStory += static_cast<uint64_t>(std::max(c, 0));

  // Marks are looked up only at characters of the text; a damaged table names far more.
  uint64_t lastCP = FCLX.noPCD > 0 ? FCLX.Pos[FCLX.noPCD] : 0;
  for (int32_t c :
       {FFIB.ccpText, FFIB.ccpFtn, FFIB.ccpHdr, FFIB.ccpMcr, FFIB.ccpAtn, FFIB.ccpEdn, FFIB.ccpTxbx, FFIB.ccpHdrTxbx})
    lastCP += static_cast<uint64_t>(std::max(c, 0));
  auto notes = [&](uint32_t fcRef, uint32_t lcbRef, uint32_t fcTxt, uint32_t lcbTxt, uint64_t story, int start,
                   int nfc) {
    const RawByteString ref = ReadTable(TableStream, fcRef, lcbRef);
    const RawByteString txt = ReadTable(TableStream, fcTxt, lcbTxt);
    if (ref.size() < 10) return;
    const TByteReader r(ref, "Word note references"), t(txt, "Word note texts");
    const size_t n = (ref.size() - 4) / 6;
    int number = start;
    for (size_t i = 0; i < std::min(n, kMaxNotes); ++i) {
      // A custom mark is ordinary text where it stands; only numbered notes get one from us.
      if (r.I16LEAt(4 * (n + 1) + 2 * i) == 0) continue;
      const int mark = number++;
      if (r.U32LEAt(4 * i) <= lastCP) FNoteRefMarks.push_back({r.U32LEAt(4 * i), mark, nfc});
      if (t.CanReadAt(4 * i, 4) && story + t.U32LEAt(4 * i) <= lastCP)
        FNoteTextMarks.push_back({story + t.U32LEAt(4 * i), mark, nfc});
    }
  };
  notes(FFIB.fcPlcffndRef, FFIB.lcbPlcffndRef, FFIB.fcPlcffndTxt, FFIB.lcbPlcffndTxt, ftnStory, ftnStart, ftnNfc);
  notes(FFIB.fcPlcfendRef, FFIB.lcbPlcfendRef, FFIB.fcPlcfendTxt, FFIB.lcbPlcfendTxt, ednStory, ednStart, ednNfc);
  // A character named twice keeps the mark named last.
  const auto before = [](const TNoteMark& a, const TNoteMark& b) { return a.CP < b.CP; };
  for (TNoteMarks* marks : {&FNoteRefMarks, &FNoteTextMarks}) {
    if (!std::is_sorted(marks->begin(), marks->end(), before)) std::stable_sort(marks->begin(), marks->end(), before);
    const auto last = std::unique(marks->rbegin(), marks->rend(),
                                  [](const TNoteMark& a, const TNoteMark& b) { return a.CP == b.CP; });
    marks->erase(marks->begin(), last.base());
  }
}


void TMSWordDocument::ReadListLabels(TStream& DocStream, TStream* TableStream) {
  TListState lists;
  // The level records of the lists, and the override data, follow the counted tables and fall
  // outside the lengths the FIB gives them: read on to the end of the stream.
  ReadLists(ReadTable(TableStream, FFIB.fcPlfLst, FFIB.lcbPlfLst ? kMaxTable : 0),
            ReadTable(TableStream, FFIB.fcPlfLfo, FFIB.lcbPlfLfo ? kMaxTable : 0), lists);
  if (lists.Overrides.empty()) return;
  const std::vector<TStyleList> styles = ReadStyleLists(ReadTable(TableStream, FFIB.fcStshf, FFIB.lcbStshf));
  const RawByteString bte = ReadTable(TableStream, FFIB.fcPlcfbtePapx, FFIB.lcbPlcfbtePapx);
  if (bte.size() < 12) return;
  const TByteReader b(bte, "Word paragraph bin table");
  const size_t pages = (bte.size() - 4) / 8;
  const int64_t docSize = DocStream.Size();
  std::map<uint32_t, RawByteString> fkps;

  // Paragraph properties are found by the offset of the paragraph's mark.
  auto paragraph = [&](uint64_t fc, int& ilfo, int& ilvl, int& istd) -> bool {
    size_t lo = 0, hi = pages;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (b.U32LEAt(4 * (mid + 1)) <= fc)
        lo = mid + 1;
      else
        hi = mid;
    }
    if (lo >= pages || b.U32LEAt(4 * lo) > fc) return false;
    const uint32_t pn = b.U32LEAt(4 * (pages + 1) + 4 * lo) & 0x3FFFFF;
    auto it = fkps.find(pn);
    if (it == fkps.end()) {
      if (fkps.size() > 4096) fkps.clear();
      RawByteString page;
      if (uint64_t{pn} * kFkpSize + kFkpSize <= static_cast<uint64_t>(docSize)) {
        DocStream.Seek(int64_t{pn} * int64_t{kFkpSize}, TSeekOrigin::soBeginning);
        page = DocStream.ReadBytes(kFkpSize);
      }
      it = fkps.emplace(pn, std::move(page)).first;
    }
    const RawByteString& page = it->second;
    if (page.size() != kFkpSize) return false;
    const TByteReader p(page, "Word paragraph properties page");
    const size_t crun = p.U8At(kFkpSize - 1);
    if (4 * (crun + 1) + 13 * crun > kFkpSize - 1) return false;
    for (size_t j = 0; j < crun; ++j) {
      if (!(p.U32LEAt(4 * j) <= fc && fc < p.U32LEAt(4 * (j + 1)))) continue;
      const size_t at = 2 * size_t{p.U8At(4 * (crun + 1) + 13 * j)};
      if (at == 0 || at + 1 >= kFkpSize) return false;
      size_t len = 2 * size_t{p.U8At(at)}, from = at + 1;
      if (len == 0) {
        len = 2 * size_t{p.U8At(at + 1)};
        from = at + 2;
      } else {
        --len;
      }
      if (len < 2 || !p.CanReadAt(from, len)) return false;
      istd = p.U16LEAt(from);
      ListSprms(std::string_view(page).substr(from + 2, len - 2), ilfo, ilvl);
      return true;
    }
    return false;
  };

  uint64_t total = 0;
  for (int32_t c :
       {FFIB.ccpText, FFIB.ccpFtn, FFIB.ccpHdr, FFIB.ccpMcr, FFIB.ccpAtn, FFIB.ccpEdn, FFIB.ccpTxbx, FFIB.ccpHdrTxbx})
    total += static_cast<uint64_t>(std::max(c, 0));
  uint64_t cp = 0, paraStart = 0;
  ReadCPChunks(0, total, [&](std::u16string_view chunk) {
    for (size_t i = 0; i < chunk.size(); ++i, ++cp) {
      if (chunk[i] != 13 && chunk[i] != 7) continue;
      const uint64_t start = paraStart;
      paraStart = cp + 1;
      const std::optional<uint64_t> fc = CPToFC(cp);
      int ilfo = -1, ilvl = -1, istd = 0;
      if (!fc || !paragraph(*fc, ilfo, ilvl, istd)) continue;
      // What the paragraph does not say, its style (or the styles it is based on) may.
      for (int s = istd, step = 0;
           step < 16 && s >= 0 && static_cast<size_t>(s) < styles.size() && (ilfo < 0 || ilvl < 0); ++step) {
        if (ilfo < 0) ilfo = styles[size_t(s)].Ilfo;
        if (ilvl < 0) ilvl = styles[size_t(s)].Ilvl;
        s = styles[size_t(s)].Base;
      }
      WideString label;
      uint8_t follow = 0;
      if (ilfo > 0 && lists.Next(ilfo, std::max(ilvl, 0), label, follow))
        FLabels.push_back({start, std::move(label), follow});
    }
  });
}

}  // namespace zvword

namespace zvword {

void TMSWordDocument::ReadFontRuns(TStream& DocStream) {
  // Text written with a Cyrillic or Greek font on a Western system keeps its bytes in the font's
  // code page; a document whose language or summary already names another code page is read in it.
  const int page = TextCodePage();
  if (page != 1252 && page != 0) return;
  std::vector<int> fonts;
  {
    const RawByteString ffn = ReadTable(&DocStream, FFIB.fcSttbfffn, FFIB.lcbSttbfffn);
    const TByteReader r(ffn, "Word font table");
    bool any = false;
    for (size_t at = 2; r.CanReadAt(at, 1);) {
      const size_t size = size_t{r.U8At(at)} + 1;
      fonts.push_back(r.CanReadAt(at, 5) ? CharsetCodePage(r.U8At(at + 4)) : 0);
      any = any || fonts.back() != 0;
      at += size;
    }
    if (!any) return;
  }
  const RawByteString bte = ReadTable(&DocStream, FFIB.fcPlcfbteChpx, FFIB.lcbPlcfbteChpx);
  const TByteReader b(bte, "Word character bin table");
  const size_t n = bte.size() >= 10 ? (bte.size() - 4) / 6 : 0;
  std::vector<uint32_t> pns;
  for (size_t i = 0; i < n; ++i) pns.push_back(b.U16LEAt(4 * (n + 1) + 2 * i));
  // Pages the table does not list follow its last one.
  for (uint32_t pn = pns.empty() ? FFIB.pnChpFirst : pns.back() + 1; pns.size() < FFIB.cpnBteChp && pns.size() < 65536;
       ++pn)
    pns.push_back(pn);
  const int64_t docSize = DocStream.Size();
  for (uint32_t pn : pns) {
    if (uint64_t{pn} * kFkpSize + kFkpSize > static_cast<uint64_t>(docSize)) continue;
    DocStream.Seek(int64_t{pn} * int64_t{kFkpSize}, TSeekOrigin::soBeginning);
    const RawByteString page = DocStream.ReadBytes(kFkpSize);
    const TByteReader p(page, "Word character properties page");
    const size_t crun = p.U8At(kFkpSize - 1);
    if (page.size() != kFkpSize || 5 * crun + 4 > kFkpSize - 1) continue;
    for (size_t j = 0; j < crun; ++j) {
      const size_t at = 2 * size_t{p.U8At(4 * (crun + 1) + j)};
      int ftc = -1;
      if (at > 0 && at < kFkpSize - 1) {
        const size_t end = std::min(kFkpSize - 1, at + 1 + p.U8At(at));
        for (size_t k = at + 1; k < end;) {
          const uint8_t sprm = p.U8At(k++);
          const int size = Sprm6Size(sprm);
          if (size == -2) break;
          if (sprm == 93 && k + 2 <= end) ftc = p.U16LEAt(k);
          k += size >= 0 ? size_t(size) : 1 + size_t{k < end ? p.U8At(k) : uint8_t{0}};
        }
      }
      if (ftc < 0 || static_cast<size_t>(ftc) >= fonts.size() || fonts[size_t(ftc)] == 0) continue;
      const uint32_t from = p.U32LEAt(4 * j), to = p.U32LEAt(4 * (j + 1));
      if (to > from) FFontRuns.push_back({from, to, fonts[size_t(ftc)]});
    }
  }
  std::sort(FFontRuns.begin(), FFontRuns.end(), [](const TFontRun& x, const TFontRun& y) { return x.From < y.From; });
}

void TMSWordDocument::DecodeFontRuns(std::string_view Bytes, uint64_t Offset, int CodePage, WideString& Out) const {
  auto it = std::upper_bound(FFontRuns.begin(), FFontRuns.end(), Offset,
                             [](uint64_t o, const TFontRun& r) { return o < r.From; });
  if (it != FFontRuns.begin()) --it;
  size_t at = 0;
  while (at < Bytes.size()) {
    const uint64_t fc = Offset + at;
    while (it != FFontRuns.end() && it->To <= fc) ++it;
    size_t next = Bytes.size();
    int page = CodePage;
    if (it != FFontRuns.end()) {
      if (it->From <= fc) {
        page = it->CodePage;
        next = static_cast<size_t>(std::min<uint64_t>(Bytes.size(), it->To - Offset));
      } else {
        next = static_cast<size_t>(std::min<uint64_t>(Bytes.size(), it->From - Offset));
      }
    }
    DecodeBytes(Bytes.substr(at, next - at), true, page, Out);
    at = next;
  }
}

}  // namespace zvword
