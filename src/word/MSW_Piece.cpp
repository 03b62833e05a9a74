// The piece table: where each run of characters lies in the WordDocument stream, and decoding
// character ranges (stories) through it.
#include <algorithm>

#include "framework/MSWordCnst.h"
#include "platform/CodePages.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

constexpr uint32_t kFcCompressed = 0x40000000;
// A property-modifier entry longer than this is not kept (its bytes are skipped).
constexpr uint16_t kMaxGrpprlKept = 32768;

uint32_t LE32(std::string_view b, size_t off) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[off])) | (static_cast<uint32_t>(static_cast<uint8_t>(b[off + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[off + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[off + 3])) << 24);
}
uint16_t LE16(std::string_view b, size_t off) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[off]) | (static_cast<uint8_t>(b[off + 1]) << 8));
}

constexpr int kMacRoman = 10000;
// Characters decoded and rendered at a time from a long piece.
constexpr uint64_t kCPSlice = 64 * 1024;

// The upper half of the Macintosh Roman character set, which Word 6 for the Macintosh writes.
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

// Bytes 0x80 to 0x9F of the Western Windows code page, the only ones that differ from Latin-1;
// the five it leaves unassigned pass through as their C1 codes.
constexpr char16_t kCp1252Mid[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

void TMSWordDocument::ReadCLX(TStream* TableStream) {
  FCLX.Clear();
  if (TableStream && FFIB.lcbClx > 0) {
    TableStream->Seek(FFIB.fcClx, TSeekOrigin::soBeginning);
    // A CLX never outruns its stream; a length that says otherwise is cut to what is there.
    const RawByteString clx = TableStream->ReadBytes(FFIB.lcbClx);
    const std::string_view b = clx;
    size_t pos = 0;
    uint8_t marker = pos < b.size() ? static_cast<uint8_t>(b[pos++]) : 0;
    while (marker == 1 && pos + 2 <= b.size()) {
      const uint16_t cb = LE16(b, pos);
      pos += 2;
      if (pos + cb > b.size()) {
        marker = 0;
        break;
      }
      if (cb <= kMaxGrpprlKept) FCLX.cbGrpprl.push_back(TCLXItem{cb, RawByteString(b.substr(pos, cb))});
      ++FCLX.grpprlCount;
      pos += cb;
      marker = pos < b.size() ? static_cast<uint8_t>(b[pos++]) : 0;
    }
    if (marker == 2 && pos + 4 <= b.size()) {
      const uint32_t lcb = LE32(b, pos);
      pos += 4;
      const uint32_t n = lcb >= 4 ? (lcb - 4) / 12 : 0;
      // The counts must fit in what was read: (n + 1) positions and n descriptors.
      if (n > 0 && n <= kMaxPieces && pos + (uint64_t{n} + 1) * 4 + uint64_t{n} * 8 <= b.size()) {
        FCLX.Pos.resize(n + 1);
        for (uint32_t i = 0; i <= n; ++i) FCLX.Pos[i] = LE32(b, pos + size_t{i} * 4);
        const size_t pcdPos = pos + (size_t{n} + 1) * 4;
        FCLX.pcd.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
          const size_t p = pcdPos + size_t{i} * 8;
          FCLX.pcd[i] = TPCD{static_cast<uint8_t>(b[p]), static_cast<uint8_t>(b[p + 1]), LE32(b, p + 2), LE16(b, p + 6)};
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
  if (!EightBit) {
    Out.resize(at + Bytes.size() / 2);
    for (size_t i = 0; i < Bytes.size() / 2; ++i) Out[at + i] = static_cast<char16_t>(LE16(Bytes, i * 2));
    return;
  }
  if (CodePage == kMacRoman || CodePage == 1252) {
    Out.resize(at + Bytes.size());
    for (size_t i = 0; i < Bytes.size(); ++i) {
      const uint8_t b = static_cast<uint8_t>(Bytes[i]);
      Out[at + i] = b < 0x80 ? b : CodePage == kMacRoman ? kMacRomanHigh[b - 0x80] : (b >= 0xA0 ? b : kCp1252Mid[b - 0x80]);
    }
    return;
  }
  Out += CodePageToWide(Bytes, CodePage);
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
  BeginStory(Text(), true);
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
