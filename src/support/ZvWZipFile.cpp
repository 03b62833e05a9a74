// The ZIP reader: central directory, local headers, inflate and the checks on untrusted sizes.
#include "support/ZvWZipFile.h"

#include <zlib.h>
#ifdef ZVWORD_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "platform/TextHelpers.h"

namespace zvword {
namespace {

constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;

constexpr uint32_t kDescriptorSig = 0x08074B50;
constexpr uint64_t kLocalHeaderSize = 30;
constexpr uint64_t kCentralHeaderSize = 46;

TCommonFileHeader ReadCommon(TByteReader& r) {
  TCommonFileHeader h;
  h.VersionNeededToExtract = r.U16LE();
  h.GeneralPurposeBitFlag = r.U16LE();
  h.CompressionMethod = r.U16LE();
  h.LastModFileTimeDate = r.U32LE();
  h.Crc32 = r.U32LE();
  h.CompressedSize = r.U32LE();
  h.UncompressedSize = r.U32LE();
  h.FilenameLength = r.U16LE();
  h.ExtraFieldLength = r.U16LE();
  return h;
}

// The fixed part of a central header, from just after its signature.
TFileHeader ReadFileHeader(TByteReader& r) {
  TFileHeader h;
  h.CentralFileHeaderSignature = kCentralSig;
  h.VersionMadeBy = r.U16LE();
  h.CommonFileHeader = ReadCommon(r);
  h.FileCommentLength = r.U16LE();
  h.DiskNumberStart = r.U16LE();
  h.InternalFileAttributes = r.U16LE();
  h.ExternalFileAttributes = r.U32LE();
  h.RelativeOffsetOfLocalHeader = r.U32LE();
  return h;
}

bool SigAt(const TByteReader& d, uint64_t at, uint32_t sig) { return d.CanReadAt(at, 4) && d.U32LEAt(at) == sig; }

// The ZIP64 extra field replaces the values stored as all ones, in this order.
void ApplyZip64(std::string_view extraField, bool usize, bool csize, bool offset, TLocalFile& f) {
  TByteReader x(extraField, "ZIP extra field");
  while (x.CanRead(4)) {
    const uint16_t id = x.U16LE(), len = x.U16LE();
    TByteReader v = x.SubUpTo(x.Position(), len);
    if (id == 0x0001) {
      if (usize && v.CanRead(8)) f.UncompressedSize = v.U64LE();
      if (csize && v.CanRead(8)) f.CompressedSize = v.U64LE();
      if (offset && v.CanRead(8)) f.LocalHeaderOffset = v.U64LE();
      return;
    }
    x.Skip(v.Size());
  }
}

WideString EntryName(const TLocalFile& f) { return CodePageToWide(f.Name(), CP_UTF8); }

std::string Num(uint64_t v) { return std::to_string(v); }

[[noreturn]] void Fail(const TLocalFile& f, const std::string& what) {
  throw Exception(u"Entry \"" + EntryName(f) + u"\" " + Utf8ToWide(what));
}

}  // namespace

uint32_t ZipCrc32(std::string_view Data, uint32_t Crc) {
#ifdef ZVWORD_HAVE_LIBDEFLATE
  // The same polynomial, folded with carry-less multiplication where the processor has it.
  return libdeflate_crc32(Crc, Data.data(), Data.size());
#endif
  // zlib's crc32 is the same polynomial and much faster than a byte table.
  uLong c = Crc;
  const auto* p = reinterpret_cast<const Bytef*>(Data.data());
  size_t left = Data.size();
  while (left > 0) {
    const uInt chunk = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
    c = crc32(c, p, chunk);
    p += chunk;
    left -= chunk;
  }
  return static_cast<uint32_t>(c);
}

TFileHeader TLocalFile::FileHeader() const {
  TFileHeader h;
  h.CentralFileHeaderSignature = CentralFileHeaderSignature;
  h.VersionMadeBy = CentralVersionMadeBy;
  h.CommonFileHeader = CentralCommonFileHeader;
  h.FileCommentLength = CentralFileCommentLength;
  h.DiskNumberStart = CentralDiskNumberStart;
  h.InternalFileAttributes = CentralInternalFileAttributes;
  h.ExternalFileAttributes = CentralExternalFileAttributes;
  h.RelativeOffsetOfLocalHeader = CentralRelativeOffsetOfLocalHeader;
  return h;
}

void TLocalFile::SetFileHeader(const TFileHeader& Header) {
  CentralFileHeaderSignature = Header.CentralFileHeaderSignature;
  CentralVersionMadeBy = Header.VersionMadeBy;
  CentralCommonFileHeader = Header.CommonFileHeader;
  CentralFileCommentLength = Header.FileCommentLength;
  CentralDiskNumberStart = Header.DiskNumberStart;
  CentralInternalFileAttributes = Header.InternalFileAttributes;
  CentralExternalFileAttributes = Header.ExternalFileAttributes;
  CentralRelativeOffsetOfLocalHeader = Header.RelativeOffsetOfLocalHeader;
}

TLocalFile& TLocalFiles::Add() {
  FItems.push_back(std::make_unique<TLocalFile>());
  return *FItems.back();
}

TZipArchive::TZipArchive(TComponent* AOwner) : TComponent(AOwner), Files(this) {}
TZipArchive::~TZipArchive() = default;

void TZipArchive::LoadFromFile(const WideString& FileName) {
  TFileStream stream(FileName);
  LoadFromStream(stream);
}

void TZipArchive::LoadFromStream(TStream& ZipFileStream) { LoadFromBytes(ZipFileStream.ReadAll()); }

void TZipArchive::LoadFromBytes(RawByteString Bytes) {
  Files.Clear();
  EndOfCentralDirectory = TEndOfCentralDir();
  ZipFileComment.clear();
  FRecovered = false;
  FData = std::move(Bytes);
  FView = FData;
  Load();
}

void TZipArchive::LoadFromView(std::string_view Bytes) {
  Files.Clear();
  EndOfCentralDirectory = TEndOfCentralDir();
  ZipFileComment.clear();
  FRecovered = false;
  FData.clear();
  FView = Bytes;
  Load();
}

void TZipArchive::Load() {
  if (!ReadCentralDirectory()) {
    Recover();
    FRecovered = Files.Count() > 0;
  }
}

uint64_t TZipArchive::ReadLocalHeader(std::string_view Data, uint64_t At, TLocalFile& F) {
  const TByteReader d(Data, "ZIP local header");
  TByteReader r = d.Sub(At + 4, kLocalHeaderSize - 4);
  F.LocalFileHeaderSignature = kLocalSig;
  F.CommonFileHeader = ReadCommon(r);
  uint64_t at = At + kLocalHeaderSize;
  F.FileName = RawByteString(d.SubUpTo(at, F.CommonFileHeader.FilenameLength).Rest());
  at += F.CommonFileHeader.FilenameLength;
  F.ExtraField = RawByteString(d.SubUpTo(at, F.CommonFileHeader.ExtraFieldLength).Rest());
  F.FHeaderRead = true;
  return at + F.CommonFileHeader.ExtraFieldLength;
}

bool TZipArchive::ReadCentralDirectory() {
  const TByteReader d(FView, "ZIP archive");
  const uint64_t size = d.Size();
  if (size < 22) return false;
  // The end record sits before an archive comment of at most 65,535 bytes.
  const uint64_t lowest = size > 22 + 65535 ? size - 22 - 65535 : 0;
  uint64_t eocd = UINT64_MAX;
  for (uint64_t pos = size - 22;; --pos) {
    if (d.U32LEAt(pos) == kEndSig && d.CanReadAt(pos + 22, d.U16LEAt(pos + 20))) {
      eocd = pos;
      break;
    }
    if (pos == lowest) break;
  }
  if (eocd == UINT64_MAX) return false;
  TByteReader r = d.Sub(eocd + 4, 18, "ZIP end of central directory");
  auto& e = EndOfCentralDirectory;
  e.EndOfCentralDirSignature = kEndSig;
  e.NumberOfThisDisk = r.U16LE();
  e.NumberOfTheDiskWithTheStart = r.U16LE();
  e.TotalNumberOfEntriesOnThisDisk = r.U16LE();
  e.TotalNumberOfEntries = r.U16LE();
  e.SizeOfTheCentralDirectory = r.U32LE();
  e.OffsetOfStartOfCentralDirectory = r.U32LE();
  e.ZipfileCommentLength = r.U16LE();
  ZipFileComment = CodePageToWide(d.BytesAt(eocd + 22, e.ZipfileCommentLength), CP_ACP);

  uint64_t entries = e.TotalNumberOfEntries;
  uint64_t cdSize = e.SizeOfTheCentralDirectory;
  uint64_t cdOffset = e.OffsetOfStartOfCentralDirectory;
  uint64_t cdEnd = eocd;
  if (eocd >= 20 && d.U32LEAt(eocd - 20) == kZip64LocatorSig) {
    const uint64_t z64 = d.U64LEAt(eocd - 12);
    if (d.CanReadAt(z64, 56) && d.U32LEAt(z64) == kZip64EndSig) {
      entries = d.U64LEAt(z64 + 32);
      cdSize = d.U64LEAt(z64 + 40);
      cdOffset = d.U64LEAt(z64 + 48);
      cdEnd = z64;
    }
  }
  // Data in front of the archive (a self-extractor stub) shifts every offset by the same amount.
  uint64_t shift = 0;
  if (!SigAt(d, cdOffset, kCentralSig) && cdEnd >= cdSize && SigAt(d, cdEnd - cdSize, kCentralSig) &&
      cdEnd - cdSize > cdOffset)
    shift = cdEnd - cdSize - cdOffset;

  uint64_t pos = cdOffset + shift;  // cannot wrap: with a shift it is cdEnd - cdSize
  // Each central entry takes at least 46 bytes, so the count cannot outrun the data.
  entries = std::min<uint64_t>(entries, size / kCentralHeaderSize + 1);
  uint64_t listed = 0;
  for (; listed < entries && SigAt(d, pos, kCentralSig) && d.CanReadAt(pos, kCentralHeaderSize); ++listed) {
    TByteReader c = d.Sub(pos + 4, size - pos - 4, "ZIP central directory");
    const TFileHeader header = ReadFileHeader(c);
    const TCommonFileHeader& ch = header.CommonFileHeader;
    // At least a signature (the next entry's or the end record's) follows every entry.
    if (!c.CanRead(4 + uint64_t{ch.FilenameLength} + ch.ExtraFieldLength + header.FileCommentLength)) break;
    TLocalFile& f = Files.Add();
    f.SetFileHeader(header);
    f.CentralFileName = RawByteString(c.Bytes(ch.FilenameLength));
    f.CentralExtraField = RawByteString(c.Bytes(ch.ExtraFieldLength));
    f.CentralFileComment = RawByteString(c.Bytes(header.FileCommentLength));
    pos += 4 + c.Position();

    f.CompressedSize = ch.CompressedSize;
    f.UncompressedSize = ch.UncompressedSize;
    f.LocalHeaderOffset = f.CentralRelativeOffsetOfLocalHeader;
    ApplyZip64(f.CentralExtraField, ch.UncompressedSize == 0xFFFFFFFF, ch.CompressedSize == 0xFFFFFFFF,
               f.CentralRelativeOffsetOfLocalHeader == 0xFFFFFFFF, f);

    uint64_t local = 0;
    if (CheckedAdd(f.LocalHeaderOffset, shift, local) && d.CanReadAt(local, kLocalHeaderSize) &&
        d.U32LEAt(local) == kLocalSig) {
      // The central directory's sizes are the ones to trust: local ones are 0 when a data
      // descriptor follows the data.
      const uint64_t data = ReadLocalHeader(FView, local, f);
      f.FCompressedData = d.SubUpTo(data, f.CompressedSize).Rest();
    }
  }
  return listed == entries;
}

namespace {

// Where a raw deflate stream ends, found by inflating it into `out`.
struct TDeflateEnd {
  bool ended = false;
  uint64_t in = 0, out = 0;
  uint32_t crc = 0;
};

TDeflateEnd FindDeflateEnd(std::string_view in, uint64_t maxOut, TResourceBudget* budget, RawByteString& out) {
  struct TInflater {
    z_stream z{};
    bool ready = inflateInit2(&z, -MAX_WBITS) == Z_OK;
    ~TInflater() {
      if (ready) inflateEnd(&z);
    }
  } inflater;
  TDeflateEnd r;
  if (!inflater.ready) throw Exception("zlib cannot be initialised");
  z_stream& z = inflater.z;
  constexpr size_t kStep = 64u << 10;
  size_t inPos = 0;
  int rc = Z_OK;
  while (rc == Z_OK && r.out <= maxOut) {
    if (z.avail_in == 0) {
      if (inPos >= in.size()) break;
      const auto chunk = static_cast<uInt>(std::min<size_t>(in.size() - inPos, 1u << 30));
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + inPos));
      z.avail_in = chunk;
      inPos += chunk;
    }
    out.resize(static_cast<size_t>(r.out) + kStep);
    char* const at = out.data() + r.out;
    z.next_out = reinterpret_cast<Bytef*>(at);
    z.avail_out = static_cast<uInt>(kStep);
    rc = inflate(&z, Z_NO_FLUSH);
    const size_t produced = kStep - z.avail_out;
    if (budget) budget->ChargeDecoded(static_cast<int64_t>(produced));
    r.crc = ZipCrc32(std::string_view(at, produced), r.crc);
    r.out += produced;
  }
  r.ended = rc == Z_STREAM_END && r.out <= maxOut;
  r.in = inPos - z.avail_in;
  if (r.ended) out.resize(static_cast<size_t>(r.out));
  else RawByteString().swap(out);
  return r;
}

}  // namespace

void TZipArchive::Recover() {
  const std::string_view all = FView;
  const TByteReader d(all, "ZIP archive");
  TLocalFiles found(this);
  uint64_t kept = 0;
  for (size_t pos = all.find("PK\x03\x04"); pos != std::string_view::npos && d.CanReadAt(pos, kLocalHeaderSize);
       pos = all.find("PK\x03\x04", pos)) {
    TLocalFile& f = found.Add();
    const uint64_t data = ReadLocalHeader(all, pos, f);
    const TCommonFileHeader& h = f.CommonFileHeader;
    TCommonFileHeader& ch = f.CentralCommonFileHeader = h;
    f.CentralFileName = f.FileName;
    f.LocalHeaderOffset = pos;
    f.CompressedSize = h.CompressedSize;
    f.UncompressedSize = h.UncompressedSize;
    ApplyZip64(f.ExtraField, h.UncompressedSize == 0xFFFFFFFF, h.CompressedSize == 0xFFFFFFFF, false, f);
    uint64_t end = data;
    if (h.GeneralPurposeBitFlag & 8) {
      // The sizes follow the data: a deflate stream tells where it ends, stored data only through
      // the descriptor whose size matches its distance from the header.
      uint64_t length = 0;
      bool known = false;
      if (h.CompressionMethod == 8 && data <= all.size()) {
        const TDeflateEnd z = FindDeflateEnd(all.substr(data), FMaxUncompressedSize, FBudget, f.FInflated);
        known = z.ended;
        // What is kept spares a second inflation, within what one entry may take in all.
        f.FHasInflated = z.ended && kept + z.out <= FMaxUncompressedSize;
        if (f.FHasInflated) kept += z.out;
        else RawByteString().swap(f.FInflated);
        length = z.in;
        f.UncompressedSize = z.out;
        ch.Crc32 = z.crc;
      } else if (h.CompressionMethod == 0 && data <= all.size()) {
        for (size_t at = all.find("PK\x07\x08", data); at != std::string_view::npos && !known;
             at = all.find("PK\x07\x08", at + 1))
          if (d.CanReadAt(at, 16) && d.U32LEAt(at + 8) == at - data) {
            known = true;
            length = at - data;
            f.UncompressedSize = length;
          }
      }
      if (!known) {
        // Its end cannot be found: listed, but read as cut off.
        f.FCompressedData = d.SubUpTo(data, UINT64_MAX).Rest();
        f.FCutOff = true;
        break;
      }
      f.CompressedSize = length;
      f.FCompressedData = d.Sub(data, length).Rest();
      end = data + length;
      const uint64_t q = end + (SigAt(d, end, kDescriptorSig) ? 4 : 0);
      if (d.CanReadAt(q, 12) && d.U32LEAt(q + 4) == length) {
        ch.Crc32 = d.U32LEAt(q);
        end = q + 12;
      } else if (d.CanReadAt(q, 20) && d.U64LEAt(q + 4) == length) {
        ch.Crc32 = d.U32LEAt(q);
        end = q + 20;
      }
    } else {
      f.FCompressedData = d.SubUpTo(data, f.CompressedSize).Rest();
      // A size that runs past the archive is damage, not the end: later headers are still looked for.
      if (f.FCompressedData.size() == f.CompressedSize) end = data + f.CompressedSize;
    }
    pos = static_cast<size_t>(std::max<uint64_t>(end, pos + 4));
  }
  // A directory that lists some entries knows their sizes better, unless the headers show more.
  if (found.Count() > Files.Count()) Files = std::move(found);
}

void TZipArchive::GetFileNames(TWideStrings& lstFiles) const {
  for (int i = 0; i < Files.Count(); ++i) lstFiles.Add(CodePageToWide(Files.Items(i).Name(), CP_UTF8));
}

int TZipArchive::GetIndexByFileName(std::string_view AFileName) const {
  for (int i = 0; i < Files.Count(); ++i)
    if (SameAsciiText(Files.Items(i).Name(), AFileName)) return i;
  return -1;
}

int TZipArchive::GetIndexByFileName(const WideString& AFileName) const {
  return GetIndexByFileName(WideToUtf8(AFileName));
}

namespace {

// Inflates raw deflate data into `out`, which holds exactly the declared size.
void InflateWithZlib(const TLocalFile& f, std::string_view in, RawByteString& out) {
  const uint64_t size = out.size();
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw Exception("zlib cannot be initialised");
  char probe = 0;
  int rc = Z_OK;
  uInt remainingIn = 0;
  size_t inPos = 0, outPos = 0;
  // Feed in chunks so sizes above 4 GiB of input cannot overflow zlib's counters.
  while (true) {
    if (z.avail_in == 0 && inPos < in.size()) {
      remainingIn = static_cast<uInt>(std::min<size_t>(in.size() - inPos, 1u << 30));
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + inPos));
      z.avail_in = remainingIn;
      inPos += remainingIn;
    }
    if (outPos < out.size()) {
      const uInt chunk = static_cast<uInt>(std::min<size_t>(out.size() - outPos, 1u << 30));
      z.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
      z.avail_out = chunk;
      rc = inflate(&z, Z_NO_FLUSH);
      outPos += chunk - z.avail_out;
    } else {
      // The declared size is reached: the stream must end here, not produce more.
      z.next_out = reinterpret_cast<Bytef*>(&probe);
      z.avail_out = 1;
      rc = inflate(&z, Z_NO_FLUSH);
      if (z.avail_out == 0) {
        inflateEnd(&z);
        Fail(f, "inflates past its declared size of " + Num(size) + " bytes");
      }
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT) {
      std::string msg = z.msg ? z.msg : "invalid deflate data";
      inflateEnd(&z);
      Fail(f, "is damaged: " + msg);
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && inPos >= in.size()) {
      inflateEnd(&z);
      Fail(f, "is truncated: its compressed data end early");
    }
  }
  inflateEnd(&z);
  if (outPos != size)
    Fail(f, "holds " + Num(outPos) + " bytes, not the " + Num(size) + " its header declares");
}

}  // namespace

RawByteString TZipArchive::GetUncompressed(int Index) const {
  if (Index < 0 || Index >= Files.Count()) throw Exception("Index out of range.");
  const TLocalFile& f = Files.Items(Index);
  const auto& ch = f.CentralCommonFileHeader;
  if (!f.FHeaderRead) Fail(f, "has no local header");
  if ((ch.GeneralPurposeBitFlag & 1) || (f.CommonFileHeader.GeneralPurposeBitFlag & 1))
    Fail(f, "is encrypted");
  const uint16_t method = ch.CompressionMethod;
  if (method != 0 && method != 8)
    Fail(f, "uses compression method " + Num(method) + ", which is not supported");
  const uint64_t size = f.UncompressedSize;
  if (size > FMaxUncompressedSize)
    Fail(f, "declares " + Num(size) + " bytes, more than the limit of " + Num(FMaxUncompressedSize));
  if (f.FCutOff || f.FCompressedData.size() < f.CompressedSize)
    Fail(f, "is truncated: the archive ends inside its data");
  // Recovery already inflated (and charged) this entry to find where it ends.
  const bool kept = f.FHasInflated && method == 8;
  // Charged before the output is allocated: the declared size is what inflation may produce.
  if (FBudget && !kept) FBudget->ChargeDecoded(static_cast<int64_t>(size));
  const std::string_view in = f.FCompressedData;

  RawByteString out;
  if (in.empty() && size == 0) {
    // An empty entry, whatever its method says.
  } else if (method == 0) {
    if (in.size() != size) Fail(f, "is stored with sizes that disagree");
    out.assign(in);
  } else {
    if (size > 0 && size / std::max<uint64_t>(in.size(), 1) > FMaxCompressionRatio)
      Fail(f, "declares an expansion of " + Num(size) + " bytes from " + Num(in.size()) +
                  ", beyond what deflate can produce");
    if (kept) {
      out.swap(f.FInflated);
      f.FHasInflated = false;
    } else {
      out.resize(static_cast<size_t>(size));
      bool done = false;
#ifdef ZVWORD_HAVE_LIBDEFLATE
      // In one call when the size is known; a failure is inflated again by zlib for its precise error.
      thread_local const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
          libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
      done = inflater && libdeflate_deflate_decompress(inflater.get(), in.data(), in.size(), out.data(), out.size(),
                                                       nullptr) == LIBDEFLATE_SUCCESS;
#endif
      if (!done) InflateWithZlib(f, in, out);
    }
  }
  const uint32_t crc = ZipCrc32(out);
  if (crc != ch.Crc32 && crc != f.CommonFileHeader.Crc32)
    throw EZipFileCRCError(u"CRC Error in \"" + EntryName(f) + u"\".");
  return out;
}

RawByteString TZipArchive::DecompressFileName(std::string_view AFileName) const {
  const int i = GetIndexByFileName(AFileName);
  if (i < 0) return {};
  return GetUncompressed(i);
}

bool BytesAreZipArchive(std::string_view Head) { return SigAt(TByteReader(Head), 0, kLocalSig); }

bool FileIsZipArchive(const WideString& FileName) {
  TFileStream stream(FileName);
  return BytesAreZipArchive(stream.ReadBytes(8));
}

}  // namespace zvword
