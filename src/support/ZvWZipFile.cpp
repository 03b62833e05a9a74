// The ZIP reader: central directory, local headers, inflate and the checks on untrusted sizes.
#include "support/ZvWZipFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/CodePages.h"
#include "platform/TextHelpers.h"

namespace zvword {
namespace {

constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;

uint16_t U16(std::string_view d, uint64_t at) {
  if (at + 2 > d.size()) return 0;
  return static_cast<uint16_t>(static_cast<uint8_t>(d[at]) | static_cast<uint8_t>(d[at + 1]) << 8);
}
uint32_t U32(std::string_view d, uint64_t at) {
  if (at + 4 > d.size()) return 0;
  return U16(d, at) | static_cast<uint32_t>(U16(d, at + 2)) << 16;
}
uint64_t U64(std::string_view d, uint64_t at) {
  if (at + 8 > d.size()) return 0;
  return U32(d, at) | static_cast<uint64_t>(U32(d, at + 4)) << 32;
}

TCommonFileHeader ReadCommon(std::string_view d, uint64_t at) {
  TCommonFileHeader h;
  h.VersionNeededToExtract = U16(d, at);
  h.GeneralPurposeBitFlag = U16(d, at + 2);
  h.CompressionMethod = U16(d, at + 4);
  h.LastModFileTimeDate = U32(d, at + 6);
  h.Crc32 = U32(d, at + 10);
  h.CompressedSize = U32(d, at + 14);
  h.UncompressedSize = U32(d, at + 18);
  h.FilenameLength = U16(d, at + 22);
  h.ExtraFieldLength = U16(d, at + 24);
  return h;
}

std::string_view Sub(std::string_view d, uint64_t at, uint64_t len) {
  if (at >= d.size()) return {};
  return d.substr(static_cast<size_t>(at), static_cast<size_t>(std::min<uint64_t>(len, d.size() - at)));
}

WideString EntryName(const TLocalFile& f) { return CodePageToWide(f.Name(), CP_UTF8); }

std::string Num(uint64_t v) { return std::to_string(v); }

[[noreturn]] void Fail(const TLocalFile& f, const std::string& what) {
  throw Exception(u"Entry \"" + EntryName(f) + u"\" " + Utf8ToWide(what));
}

}  // namespace

uint32_t ZipCrc32(std::string_view Data, uint32_t Crc) {
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
  FData = std::move(Bytes);
  FView = FData;
  ReadCentralDirectory();
}

void TZipArchive::LoadFromView(std::string_view Bytes) {
  Files.Clear();
  EndOfCentralDirectory = TEndOfCentralDir();
  FData.clear();
  FView = Bytes;
  ReadCentralDirectory();
}

void TZipArchive::ReadCentralDirectory() {
  const std::string_view d = FView;
  if (d.size() < 22) return;
  // The end record sits before an archive comment of at most 65,535 bytes.
  const uint64_t lowest = d.size() > 22 + 65535 ? d.size() - 22 - 65535 : 0;
  uint64_t eocd = UINT64_MAX;
  for (uint64_t pos = d.size() - 22;; --pos) {
    if (U32(d, pos) == kEndSig && pos + 22 + U16(d, pos + 20) <= d.size()) {
      eocd = pos;
      break;
    }
    if (pos == lowest) break;
  }
  if (eocd == UINT64_MAX) return;
  auto& e = EndOfCentralDirectory;
  e.EndOfCentralDirSignature = kEndSig;
  e.NumberOfThisDisk = U16(d, eocd + 4);
  e.NumberOfTheDiskWithTheStart = U16(d, eocd + 6);
  e.TotalNumberOfEntriesOnThisDisk = U16(d, eocd + 8);
  e.TotalNumberOfEntries = U16(d, eocd + 10);
  e.SizeOfTheCentralDirectory = U32(d, eocd + 12);
  e.OffsetOfStartOfCentralDirectory = U32(d, eocd + 16);
  e.ZipfileCommentLength = U16(d, eocd + 20);
  ZipFileComment = CodePageToWide(Sub(d, eocd + 22, e.ZipfileCommentLength), CP_ACP);

  uint64_t entries = e.TotalNumberOfEntries;
  uint64_t cdSize = e.SizeOfTheCentralDirectory;
  uint64_t cdOffset = e.OffsetOfStartOfCentralDirectory;
  uint64_t cdEnd = eocd;
  if (eocd >= 20 && U32(d, eocd - 20) == kZip64LocatorSig) {
    const uint64_t z64 = U64(d, eocd - 20 + 8);
    if (z64 + 56 <= d.size() && U32(d, z64) == kZip64EndSig) {
      entries = U64(d, z64 + 32);
      cdSize = U64(d, z64 + 40);
      cdOffset = U64(d, z64 + 48);
      cdEnd = z64;
    }
  }
  // Data in front of the archive (a self-extractor stub) shifts every offset by the same amount.
  uint64_t shift = 0;
  if (U32(d, cdOffset) != kCentralSig && cdEnd >= cdSize && U32(d, cdEnd - cdSize) == kCentralSig &&
      cdEnd - cdSize > cdOffset)
    shift = cdEnd - cdSize - cdOffset;

  uint64_t pos = cdOffset + shift;
  // Each central entry takes at least 46 bytes, so the count cannot outrun the data.
  entries = std::min<uint64_t>(entries, d.size() / 46 + 1);
  for (uint64_t i = 0; i < entries && pos + 4 <= d.size(); ++i) {
    if (U32(d, pos) != kCentralSig) {
      pos += 4;
      continue;
    }
    TLocalFile& f = Files.Add();
    f.CentralFileHeaderSignature = kCentralSig;
    f.CentralVersionMadeBy = U16(d, pos + 4);
    f.CentralCommonFileHeader = ReadCommon(d, pos + 6);
    f.CentralFileCommentLength = U16(d, pos + 32);
    f.CentralDiskNumberStart = U16(d, pos + 34);
    f.CentralInternalFileAttributes = U16(d, pos + 36);
    f.CentralExternalFileAttributes = U32(d, pos + 38);
    f.CentralRelativeOffsetOfLocalHeader = U32(d, pos + 42);
    const auto& ch = f.CentralCommonFileHeader;
    uint64_t at = pos + 46;
    f.CentralFileName = RawByteString(Sub(d, at, ch.FilenameLength));
    at += ch.FilenameLength;
    f.CentralExtraField = RawByteString(Sub(d, at, ch.ExtraFieldLength));
    at += ch.ExtraFieldLength;
    f.CentralFileComment = RawByteString(Sub(d, at, f.CentralFileCommentLength));
    pos = at + f.CentralFileCommentLength;

    f.CompressedSize = ch.CompressedSize;
    f.UncompressedSize = ch.UncompressedSize;
    f.LocalHeaderOffset = f.CentralRelativeOffsetOfLocalHeader;
    // ZIP64: the values stored as all ones come from the extra field, in this order.
    const std::string_view extra = f.CentralExtraField;
    for (size_t x = 0; x + 4 <= extra.size();) {
      const uint16_t id = U16(extra, x), len = U16(extra, x + 2);
      if (id == 0x0001) {
        size_t v = x + 4;
        const size_t end = std::min(extra.size(), x + 4 + len);
        if (ch.UncompressedSize == 0xFFFFFFFF && v + 8 <= end) f.UncompressedSize = U64(extra, v), v += 8;
        if (ch.CompressedSize == 0xFFFFFFFF && v + 8 <= end) f.CompressedSize = U64(extra, v), v += 8;
        if (f.CentralRelativeOffsetOfLocalHeader == 0xFFFFFFFF && v + 8 <= end) f.LocalHeaderOffset = U64(extra, v);
        break;
      }
      x += 4u + len;
    }

    const uint64_t local = f.LocalHeaderOffset + shift;
    if (local + 30 <= d.size() && U32(d, local) == kLocalSig) {
      f.LocalFileHeaderSignature = kLocalSig;
      f.CommonFileHeader = ReadCommon(d, local + 4);
      uint64_t lat = local + 30;
      f.FileName = RawByteString(Sub(d, lat, f.CommonFileHeader.FilenameLength));
      lat += f.CommonFileHeader.FilenameLength;
      f.ExtraField = RawByteString(Sub(d, lat, f.CommonFileHeader.ExtraFieldLength));
      lat += f.CommonFileHeader.ExtraFieldLength;
      // The central directory's sizes are the ones to trust: local ones are 0 when a data
      // descriptor follows the data.
      f.FCompressedData = Sub(d, lat, f.CompressedSize);
      f.FHeaderRead = true;
    }
  }
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
  if (f.FCompressedData.size() < f.CompressedSize) Fail(f, "is truncated: the archive ends inside its data");
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
    out.resize(static_cast<size_t>(size));
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

bool BytesAreZipArchive(std::string_view Head) { return Head.size() >= 4 && U32(Head, 0) == kLocalSig; }

bool FileIsZipArchive(const WideString& FileName) {
  TFileStream stream(FileName);
  return BytesAreZipArchive(stream.ReadBytes(8));
}

}  // namespace zvword
