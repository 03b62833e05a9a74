// The piece table: where each run of characters lies in the WordDocument stream, and decoding
// character ranges (stories) through it.
#include <algorithm>

#include "framework/MSWordCnst.h"
#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

constexpr uint32_t kFcCompressed = 0x40000000;
// A property-modifier entry longer than this is not kept (its bytes are skipped).
constexpr uint16_t kMaxGrpprlKept = 32768;

constexpr int kMacRoman = 10000;
const char* const kPositionsGoBack = "Word piece table is damaged: its character positions go back";
const char* const kPiecesReplayBytes = "Word piece table is damaged: its pieces read more bytes than the document holds";
// Characters decoded and rendered at a time from a long piece.
constexpr uint64_t kCPSlice = 64 * 1024;

}  // namespace

void TMSWordDocument::ReadCLX(TStream* TableStream) {
  FCLX.Clear();
  if (TableStream && FFIB.lcbClx > 0) {
    TableStream->Seek(FFIB.fcClx, TSeekOrigin::soBeginning);
    // A CLX never outruns its stream; a length that says otherwise is cut to what is there.
    const RawByteString clx = TableStream->ReadBytes(FFIB.lcbClx);
    TByteReader r(clx, "Word piece table");
    uint8_t marker = r.AtEnd() ? 0 : r.U8();
    while (marker == 1 && r.CanRead(2)) {
      const uint16_t cb = r.U16LE();
      if (!r.CanRead(cb)) {
        marker = 0;
        break;
      }
      const std::string_view grpprl = r.Bytes(cb);
      if (cb <= kMaxGrpprlKept) FCLX.cbGrpprl.push_back(TCLXItem{cb, RawByteString(grpprl)});
      ++FCLX.grpprlCount;
      marker = r.AtEnd() ? 0 : r.U8();
    }
    if (marker == 2 && r.CanRead(4)) {
      const uint32_t lcb = r.U32LE();
      const uint32_t n = lcb >= 4 ? (lcb - 4) / 12 : 0;
      // The counts must fit in what was read: (n + 1) positions and n descriptors.
      if (n > 0 && n <= kMaxPieces && r.CanRead((uint64_t{n} + 1) * 4 + uint64_t{n} * 8)) {
        FCLX.Pos.resize(n + 1);
        for (uint32_t& cp : FCLX.Pos) cp = r.U32LE();
        FCLX.pcd.resize(n);
        for (TPCD& p : FCLX.pcd) {
          p.Para = r.U8();
          p.fn = r.U8();
          p.fc = r.U32LE();
          p.prm = r.U16LE();
        }
        FCLX.noPCD = n;
      }
    }
  }
  if (FCLX.noPCD == 0) {
    // No usable table: the text is the run of bytes from fcMin to fcMac.
    FCLX.Clear();
    const uint32_t bytes = FFIB.fcMac > FFIB.fcMin ? FFIB.fcMac - FFIB.fcMin : 0;
    uint64_t counted = 0;
    for (int32_t c : {FFIB.ccpText, FFIB.ccpFtn, FFIB.ccpHdr, FFIB.ccpMcr, FFIB.ccpAtn, FFIB.ccpEdn, FFIB.ccpTxbx,
                      FFIB.ccpHdrTxbx})
      counted += static_cast<uint64_t>(std::max(c, 0));
    // Word 97 text is 16-bit unless the counts cannot fit in the bytes as 16-bit characters.
    const bool eightBit = FDocVersion < 8 || (counted > 0 && counted * 2 > bytes);
    FCLX.Pos = {0, eightBit ? bytes : bytes / 2};
    FCLX.pcd.push_back(TPCD{0, 0, FDocVersion >= 8 && eightBit ? (FFIB.fcMin * 2) | kFcCompressed : FFIB.fcMin, 0});
    FCLX.noPCD = 1;
  }

  // The text may not outgrow the stream it comes from. Fast saves leave pieces that share a few
  // bytes, but a table whose positions go back, or whose pieces read more bytes than the stream
  // holds, would replay the same bytes without end.
  const uint64_t docSize = FDocStream ? static_cast<uint64_t>(std::max<int64_t>(FDocStream->Size(), 0)) : UINT64_MAX;
  uint64_t total = 0;
  for (uint32_t i = 0; i < FCLX.noPCD; ++i) {
    if (FCLX.Pos[i + 1] < FCLX.Pos[i]) throw Exception(kPositionsGoBack);
    uint64_t start = 0, end = 0;
    GetPieceBoundsFC(i, start, end);
    // A piece outside the stream is refused when it is read.
    total += std::min(end, docSize) - std::min(std::min(start, end), docSize);
    if (total > docSize) throw Exception(kPiecesReplayBytes);
  }
}

std::pair<uint32_t, bool> TMSWordDocument::GetNormFC(uint32_t fc) const {
  // Word 6/95 pieces hold 8-bit text at a plain byte offset, unless the file says it uses
  // extended characters: then its pieces are coded as Word 97 codes them.
  if (FDocVersion < 8 && !HasExtendedChars()) return {fc, true};
  if (fc & kFcCompressed) return {(fc & ~kFcCompressed) / 2, true};
  return {fc, false};
}

TPieceKind TMSWordDocument::GetPieceBoundsFC(uint32_t Index, uint64_t& Start, uint64_t& End) const {
  if (Index >= FCLX.noPCD || Index + 1 >= FCLX.Pos.size()) return TPieceKind::pkNone;
  const auto [offset, eightBit] = GetNormFC(FCLX.pcd[Index].fc);
  const uint32_t a = FCLX.Pos[Index], z = FCLX.Pos[Index + 1];
  const uint64_t chars = z > a ? z - a : 0;
  Start = offset;
  End = Start + chars * (eightBit ? 1 : 2);
  return eightBit ? TPieceKind::pk8Bit : TPieceKind::pk16Bit;
}

void TMSWordDocument::DecodeBytes(std::string_view Bytes, bool EightBit, int CodePage, WideString& Out) const {
  const size_t at = Out.size();
  const auto* b = reinterpret_cast<const uint8_t*>(Bytes.data());
  if (!EightBit) {
    const size_t n = Bytes.size() / 2;
    Out.resize(at + n);
    char16_t* d = Out.data() + at;
    for (size_t i = 0; i < n; ++i) d[i] = static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    return;
  }
  // Plain ASCII, the bulk of Western text, needs no code page table (built on first use).
  if (CodePage == 1252 && std::all_of(b, b + Bytes.size(), [](uint8_t c) { return c < 0x80; })) {
    Out.append(b, b + Bytes.size());
    return;
  }
  AppendCodePageToWide(Out, Bytes, CodePage);
}

int TMSWordDocument::TextCodePage() {
  const int byLanguage = DocLangToCodePage();
  // Word 6 text is in the code page of the machine that wrote it. A document marked with a Western
  // language but saved on, say, a Cyrillic system is told apart by its summary's code page.
  if (!OnGetDefaultLanguage() && (byLanguage == 0 || byLanguage == 1252)) {
    if (FFIB.envr == 1 || FSummaryCodePage == kMacRoman) return kMacRoman;
    if (FSummaryCodePage != 0) return FSummaryCodePage;
  }
  return byLanguage;
}

WideString TMSWordDocument::ReadCPRange(uint64_t cpStart, uint64_t cpEnd) {
  WideString out;
  if (cpEnd <= cpStart || FCLX.noPCD == 0 || !FDocStream) return out;
  out.reserve(static_cast<size_t>(std::min<uint64_t>(cpEnd - cpStart, FDocStream->Size())));
  ReadCPChunks(cpStart, cpEnd, [&out](std::u16string_view chunk) { out.append(chunk); });
  return out;
}

void TMSWordDocument::ReadCPChunks(uint64_t cpStart, uint64_t cpEnd,
                                   const std::function<void(std::u16string_view)>& Chunk) {
  if (cpEnd <= cpStart || FCLX.noPCD == 0 || !FDocStream) return;
  // Word 97 stores 8-bit pieces in its fixed Western code page; only older versions write the
  // document's own code page.
  int codePage = FDocVersion >= 8 || HasExtendedChars() ? 1252 : TextCodePage();
  if (codePage == 0) codePage = SystemCodePage();
  // Single-byte text can be cut anywhere; a multi-byte code page is decoded a piece at a time.
  const bool sliceable = codePage == 1252 || codePage == kMacRoman;
  const uint64_t docSize = static_cast<uint64_t>(std::max<int64_t>(FDocStream->Size(), 0));
  // First piece that ends after cpStart.
  const auto posEnd = FCLX.Pos.begin() + FCLX.noPCD + 1;
  auto it = std::upper_bound(FCLX.Pos.begin(), posEnd - 1, static_cast<uint32_t>(std::min<uint64_t>(cpStart, UINT32_MAX)));
  uint32_t i = it == FCLX.Pos.begin() ? 0 : static_cast<uint32_t>(it - FCLX.Pos.begin() - 1);
  WideString chars;
  for (; i < FCLX.noPCD && !IsCancelExtract; ++i) {
    const uint64_t a = FCLX.Pos[i], z = FCLX.Pos[i + 1];
    if (a >= cpEnd) break;
    if (z <= a || z <= cpStart) continue;
    uint64_t start = 0, end = 0;
    const TPieceKind kind = GetPieceBoundsFC(i, start, end);
    if (start > docSize || end > docSize) throw Exception(SPieceBoundsOutOfRange);
    const bool eightBit = kind == TPieceKind::pk8Bit;
    const uint64_t bpc = eightBit ? 1 : 2;
    const uint64_t to = std::min(z, cpEnd);
    // Long pieces go out in slices, so the text streams and a length limit stops the reading.
    for (uint64_t from = std::max(a, cpStart); from < to && !IsCancelExtract;) {
      const uint64_t next = eightBit && !sliceable ? to : std::min(to, from + kCPSlice);
      FPieceBuffer.resize((next - from) * bpc);
      FDocStream->Seek(static_cast<int64_t>(start + (from - a) * bpc), TSeekOrigin::soBeginning);
      FDocStream->ReadBuffer(FPieceBuffer.data(), static_cast<int64_t>(FPieceBuffer.size()));
      chars.clear();
      if (eightBit && !FFontRuns.empty())
        DecodeFontRuns(FPieceBuffer, start + (from - a), codePage, chars);
      else
        DecodeBytes(FPieceBuffer, eightBit, codePage, chars);
      Chunk(chars);
      from = next;
    }
  }
}

void TMSWordDocument::ReadSimpleText(TStream&) {
  uint64_t end = static_cast<uint64_t>(std::max(FFIB.ccpText, 0));
  // A document that counts no main text is read whole.
  if (end == 0 && FCLX.noPCD > 0) end = FCLX.Pos[FCLX.noPCD];
  BeginStory(Text(), true, 0);
  try {
    ReadCPChunks(0, end, [this](std::u16string_view chunk) { FeedStory(chunk); });
  } catch (const Exception&) {
    // A damaged piece ends the body; the lines before it stay, the one it cut short too.
    FSink.EndLineIfAny();
    throw;
  }
  EndStory(true, true);
}

}  // namespace zvword
