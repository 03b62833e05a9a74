#include "legacy/MSPalmDoc.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/ByteReader.h"
#include "platform/CodePages.h"

namespace zvword {
namespace {

const WideString kNotValidPalmDoc = u"Not valid PalmDoc text file.";
constexpr size_t kHeaderSize = 78;
constexpr size_t kRecord0Size = 16;
constexpr size_t kPeanutHeaderSize = 116;
constexpr uint16_t kPeanutCapacity = 4096;
// A book without line breaks is still handed on in pieces of this many characters.
constexpr size_t kMaxCarry = 1 << 20;

RawByteString ReadOrFail(TStream& stream, size_t count, const char* what) {
  RawByteString bytes(count, '\0');
  if (stream.Read(bytes.data(), static_cast<int64_t>(count)) != static_cast<int64_t>(count))
    throw EReadError(std::string("Stream read error: ") + what + " is cut off");
  return bytes;
}

bool IsLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }

}  // namespace

TPalmDocFile::TPalmDocFile(TComponent* AOwner) : TMSWBaseDocument(AOwner), FSink(*this, LineMarks()) {}

void TPalmDocFile::ClearInternalLists() { TMSWBaseDocument::ClearInternalLists(); }

bool TPalmDocFile::IsPeanutFile() const {
  return std::memcmp(FHeader.PDBType, "PNRD", 4) == 0 && std::memcmp(FHeader.Creator, "PPRS", 4) == 0;
}

bool TPalmDocFile::IsPalmDocData(std::string_view head) {
  if (head.size() < kHeaderSize) return false;
  const std::string_view sig = head.substr(60, 8);
  return sig == "TEXtREAd" || sig == "PNRDPPRS";
}

void TPalmDocFile::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

RawByteString TPalmDocFile::DecompressText(const uint8_t* data, size_t length, uint16_t capacity) {
  // No command expands its bytes more than fivefold, so a large announced capacity is not trusted.
  RawByteString out(std::min<size_t>(std::max<size_t>(capacity, 64), length * 5 + 16), '\0');
  out.resize(DecompressInto(data, length, out));
  return out;
}

namespace {

// Sixteen characters in one move: all are loaded before any is stored, so a source that overlaps
// the destination from behind yields only characters that were in place before.
template <typename CharT>
inline void Move16(CharT* to, const CharT* from) {
  CharT t[16];
  std::memcpy(t, from, sizeof t);
  std::memcpy(to, t, sizeof t);
}

// PalmDoc LZ77 into bytes (Table null) or straight into UTF-16 (Table: the characters of the 256
// bytes, ASCII below 80). Only a literal run (01 to 08) can carry bytes above 7F, so the others
// widen without the table. Characters go into `out` from its start; it grows, never shrinks.
template <typename CharT>
size_t Expand(const uint8_t* data, size_t length, std::basic_string<CharT>& out, const char16_t* Table) {
  // No command gives more than five characters for each byte it takes; moves write 16 at a time.
  constexpr size_t kSlack = 64;
  // Commands decoded between checks of the room left; any size works, this one keeps those rare.
  constexpr size_t kChunk = size_t{1} << 16;
  if (out.size() < kSlack) out.resize(kSlack);
  // Kept in locals: writes through a char pointer could alias the string's own fields.
  CharT* dst = out.data();
  size_t capacity = out.size();
  size_t i = 0, o = 0;
  auto room = [&](size_t need) {
    if (capacity - o >= need) return;
    out.resize(std::max(capacity * 2, o + need));
    dst = out.data();
    capacity = out.size();
  };
  auto literals = [&](const uint8_t* p, size_t n) {
    if constexpr (sizeof(CharT) == 1) std::memcpy(dst + o, p, n);
    else for (size_t k = 0; k < n; ++k) dst[o + k] = Table[p[k]];
    o += n;
  };
  // Commands that start more than 16 bytes before the record's end read ahead and write past the
  // output in fixed-size moves, without a bounds check each.
  while (length - i > 16) {
    const size_t stop = i + std::min(length - i - 16, kChunk);
    room((stop - i) * 5 + kSlack);
    while (i < stop) {
      const unsigned c = data[i];
      if ((c & 0xC0) == 0x80) {  // the commonest command in text
        const unsigned w = c << 8 | data[i + 1];
        const size_t back = (w & 0x3FFF) >> 3;
        const size_t count = (w & 7) + 3;
        if (back < count || back > o) [[unlikely]] {
          if (back == 0 || back > o) return o;  // reaches before the record's output
          // A copy longer than its distance repeats what it has just written.
          for (size_t k = 0; k < count; ++k) dst[o + k] = dst[o + k - back];
        } else {
          Move16(dst + o, dst + o - back);
        }
        o += count;
        i += 2;
      } else if (c - 0x09 < 0x77) {
        // Literal bytes (09 to 7F) come in runs: eight are moved at once and the run up to the
        // first command byte among them (below 09 or above 7F) is kept.
        size_t run = 1;
        if constexpr (std::endian::native == std::endian::little) {
          uint64_t x;
          std::memcpy(&x, data + i, 8);
          const uint64_t stops = (((x - 0x0909090909090909u) & ~x) | x) & 0x8080808080808080u;
          run = static_cast<size_t>(std::countr_zero(stops)) / 8;
        }
        if constexpr (sizeof(CharT) == 1) {
          std::memcpy(dst + o, data + i, 8);
        } else {
          CharT wide[8];
          for (size_t k = 0; k < 8; ++k) wide[k] = data[i + k];
          std::memcpy(dst + o, wide, sizeof wide);
        }
        o += run;
        i += run;
      } else if (c >= 0xC0) {
        dst[o] = ' ';
        dst[o + 1] = static_cast<CharT>(c ^ 0x80);
        o += 2;
        ++i;
      } else if (c == 0) {
        dst[o++] = ' ';
        ++i;
      } else {
        literals(data + i + 1, c);
        i += 1 + c;
      }
    }
  }
  room((length - i) * 5 + kSlack);
  while (i < length) {
    const uint8_t c = data[i++];
    if (c >= 0x09 && c <= 0x7F) {
      dst[o++] = static_cast<CharT>(c);
    } else if (c == 0x00) {
      dst[o++] = ' ';
    } else if (c <= 0x08) {
      if (i + c > length) break;  // run cut off by the end of the record
      literals(data + i, c);
      i += c;
    } else if (c <= 0xBF) {
      if (i >= length) break;  // pair cut off by the end of the record
      const unsigned w = static_cast<unsigned>(c) << 8 | data[i++];
      const size_t back = (w & 0x3FFF) >> 3;
      const size_t count = (w & 7) + 3;
      if (back == 0 || back > o) break;  // reaches before the record's output
      for (size_t k = 0; k < count; ++k) dst[o + k] = dst[o + k - back];
      o += count;
    } else {
      dst[o++] = ' ';
      dst[o++] = static_cast<CharT>(c ^ 0x80);
    }
  }
  return o;
}

}  // namespace

size_t TPalmDocFile::DecompressInto(const uint8_t* data, size_t length, RawByteString& out) {
  return Expand(data, length, out, nullptr);
}

size_t TPalmDocFile::DecompressInto(const uint8_t* data, size_t length, WideString& out, const char16_t* Table) {
  return Expand(data, length, out, Table);
}

void TPalmDocFile::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  FHeader = TPDBHeader();
  FRecord0 = TPDB_DocRecord0();
  FPeanutHeader = TPDB_PeanutHeader();

  const RawByteString head = ReadOrFail(Stream, kHeaderSize, "Palm database header");
  TByteReader h(head, "Palm database header");
  h.ReadInto(FHeader.Name, sizeof FHeader.Name);
  FHeader.Attributes = h.U16BE();
  FHeader.Version = h.U16BE();
  FHeader.CreateTime = h.U32BE();
  FHeader.ModifyTime = h.U32BE();
  FHeader.BackupTime = h.U32BE();
  FHeader.ModificationNumber = h.U32BE();
  FHeader.AppInfoIDc = h.U32BE();
  FHeader.SortInfoID = h.U32BE();
  h.ReadInto(FHeader.PDBType, 4);
  h.ReadInto(FHeader.Creator, 4);
  FHeader.IDSeed = h.U32BE();
  FHeader.NextRecordList = h.U32BE();
  FHeader.NumRecords = h.U16BE();

  const bool peanut = IsPeanutFile();
  if (!peanut && !(std::memcmp(FHeader.PDBType, "TEXt", 4) == 0 && std::memcmp(FHeader.Creator, "REAd", 4) == 0))
    throw Exception(kNotValidPalmDoc);

  // The whole record list at once; a database always names record 0, even when it counts none.
  const size_t listCount = std::max<size_t>(FHeader.NumRecords, 1);
  const RawByteString listBytes = ReadOrFail(Stream, listCount * 8, "Palm database record list");
  const TByteReader list(listBytes, "Palm database record list");
  auto offsetOf = [&](size_t i) { return list.U32BEAt(i * 8); };

  int64_t n = static_cast<int64_t>(FHeader.NumRecords) - 1;
  Stream.SetPosition(offsetOf(0));
  uint16_t compression;
  uint16_t capacity;
  if (peanut) {
    const RawByteString r = ReadOrFail(Stream, kPeanutHeaderSize, "Peanut record 0");
    const TByteReader p(r, "Peanut record 0");
    FPeanutHeader.Version = p.U16BEAt(0);
    FPeanutHeader.NumRecords = p.U16BEAt(8);
    n = static_cast<int64_t>(FPeanutHeader.NumRecords) - 1;
    compression = FPeanutHeader.Version;
    capacity = kPeanutCapacity;
  } else {
    const RawByteString r = ReadOrFail(Stream, kRecord0Size, "PalmDoc record 0");
    TByteReader p(r, "PalmDoc record 0");
    FRecord0.Version = p.U16BE();
    FRecord0.spare = p.U16BE();
    FRecord0.DocSize = p.U32BE();
    FRecord0.NumRecords = p.U16BE();
    FRecord0.RecSize = p.U16BE();
    FRecord0.Position = p.U32BE();
    compression = FRecord0.Version;
    capacity = FRecord0.RecSize;
  }
  // A Peanut count larger than the record list would read offsets out of the records themselves.
  n = std::min<int64_t>(n, static_cast<int64_t>(listCount) - 1);

  if (!ParseItems().Contains(wpiText)) return;

  FSink.Open(Text());
  const int64_t size = Stream.Size();
  // Records of a book already in memory are decoded where they lie.
  std::string_view memory;
  const bool inMemory = Stream.MemoryView(memory) && static_cast<uint64_t>(size) == memory.size();
  FCarriedCR = false;
  FSinceBreak = 0;
  RawByteString bytes, text;  // reused from record to record
  // Each byte of the file is read for at most one record: records that overlap would replay it.
  int64_t readUpTo = 0;
  WideString decoded, wide;
  // Compressed text of the common code pages decodes straight into characters.
  const char16_t* const table = AsciiSingleByteTable(CP_ACP);
  for (int64_t i = 1; i <= n; ++i) {
    if (FSink.Stopped()) break;
    const int64_t start = offsetOf(static_cast<size_t>(i));
    int64_t end = i < n ? offsetOf(static_cast<size_t>(i + 1)) : size;
    end = std::min(end, size);
    if (start >= end) continue;  // a record that starts beyond its end or the file holds nothing
    if (start < readUpTo) {
      FSink.Close(false);  // what was read so far stays
      throw Exception("PalmDoc record " + std::to_string(i) + " overlaps the records before it");
    }
    readUpTo = end;
    std::string_view record;
    if (inMemory && !peanut) {
      record = memory.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
    } else {
      Stream.SetPosition(start);
      bytes.resize(static_cast<size_t>(end - start));
      bytes.resize(static_cast<size_t>(std::max<int64_t>(0, Stream.Read(bytes.data(), end - start))));
      if (peanut)
        for (char& b : bytes) b = static_cast<char>(b ^ 0xA5);
      record = bytes;
    }
    if (compression == 2 && table) {
      const size_t produced = DecompressInto(reinterpret_cast<const uint8_t*>(record.data()), record.size(), wide, table);
      Budget().ChargeDecoded(static_cast<int64_t>(produced));
      EmitRecord(std::u16string_view(wide.data(), produced));
      continue;
    }
    if (compression == 2) {
      if (text.size() < capacity) text.resize(capacity);
      // At most five bytes come from each byte of the record, so this stays within the input's reach.
      const size_t produced = DecompressInto(reinterpret_cast<const uint8_t*>(record.data()), record.size(), text);
      Budget().ChargeDecoded(static_cast<int64_t>(produced));
      record = std::string_view(text.data(), produced);
    }
    decoded.clear();
    AppendCodePageToWide(decoded, record, CP_ACP);
    EmitRecord(decoded);
  }
  FSink.Close();
} catch (const std::exception&) {
  RethrowAsException();
}

// Records are cut at fixed byte counts, so a line runs on into the next record; the last line
// break of a record ends an item, the ones before it stay inside it (plain text keeps the book's
// own characters for them).
void TPalmDocFile::EmitRecord(std::u16string_view r) {
  if (FCarriedCR && !r.empty() && r[0] == u'\n') r.remove_prefix(1);
  FCarriedCR = false;
  if (r.empty()) return;
  size_t p = r.size();
  while (p > 0 && !IsLineBreak(r[p - 1])) --p;
  if (p == 0) {
    FSink.Text(r);
    FSinceBreak += r.size();
    // A book without line breaks is still handed on in pieces, so the limit keeps working.
    if (FSinceBreak >= kMaxCarry) {
      FSink.EndLine();
      FSinceBreak = 0;
    }
    return;
  }
  size_t cut = p - 1;
  if (r[cut] == u'\n' && cut > 0 && r[cut - 1] == u'\r') --cut;
  size_t from = 0;
  // Plain text keeps the book's own line breaks, so the lines inside the item go on unsplit.
  for (size_t k = 0; k < cut && FSink.Mode() != tfPlainText; ++k) {
    if (!IsLineBreak(r[k])) continue;
    FSink.Text(r.substr(from, k - from));
    const size_t len = r[k] == u'\r' && k + 1 < cut && r[k + 1] == u'\n' ? 2 : 1;
    FSink.Break(r.substr(k, len));
    k += len - 1;
    from = k + 1;
  }
  FSink.Text(r.substr(from, cut - from));
  FSink.Mark(tmLine);
  // A CR ending the record may be the first half of a CR LF split between records.
  FCarriedCR = r[p - 1] == u'\r' && p == r.size();
  FSink.Text(r.substr(p));
  FSinceBreak = r.size() - p;
}

}  // namespace zvword
