// A read-only ZIP reader: loads an archive into memory and hands out an entry's bytes by name.
// Stored and deflated entries, archive comments, data descriptors and ZIP64 sizes are understood;
// every entry is checked against its CRC, and sizes are limited before anything is allocated.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/Streams.h"
#include "platform/Types.h"

namespace zvword {

#pragma pack(push, 1)
struct TCommonFileHeader {
  uint16_t VersionNeededToExtract = 0;
  uint16_t GeneralPurposeBitFlag = 0;
  uint16_t CompressionMethod = 0;
  uint32_t LastModFileTimeDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t FilenameLength = 0;
  uint16_t ExtraFieldLength = 0;
};

// A central directory entry's fixed part (46 bytes); the name, extra field and comment follow it.
struct TFileHeader {
  uint32_t CentralFileHeaderSignature = 0;
  uint16_t VersionMadeBy = 0;
  TCommonFileHeader CommonFileHeader;
  uint16_t FileCommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalFileAttributes = 0;
  uint32_t ExternalFileAttributes = 0;
  uint32_t RelativeOffsetOfLocalHeader = 0;
};

struct TEndOfCentralDir {
  uint32_t EndOfCentralDirSignature = 0;
  uint16_t NumberOfThisDisk = 0;
  uint16_t NumberOfTheDiskWithTheStart = 0;
  uint16_t TotalNumberOfEntriesOnThisDisk = 0;
  uint16_t TotalNumberOfEntries = 0;
  uint32_t SizeOfTheCentralDirectory = 0;
  uint32_t OffsetOfStartOfCentralDirectory = 0;
  uint16_t ZipfileCommentLength = 0;
};
#pragma pack(pop)
static_assert(sizeof(TCommonFileHeader) == 26);
static_assert(sizeof(TFileHeader) == 46);
static_assert(sizeof(TEndOfCentralDir) == 22);

// A CRC check failed.
class ZVWORD_API EZipFileCRCError : public Exception {
 public:
  using Exception::Exception;
};

class TZipArchive;
class TLocalFiles;

// One entry: its local and central headers and where its data lies in the archive.
class TLocalFile {
 public:
  uint32_t LocalFileHeaderSignature = 0;
  TCommonFileHeader CommonFileHeader;
  RawByteString FileName;
  RawByteString ExtraField;
  uint32_t CentralFileHeaderSignature = 0;
  uint16_t CentralVersionMadeBy = 0;
  TCommonFileHeader CentralCommonFileHeader;
  uint16_t CentralFileCommentLength = 0;
  uint16_t CentralDiskNumberStart = 0;
  uint16_t CentralInternalFileAttributes = 0;
  uint32_t CentralExternalFileAttributes = 0;
  uint32_t CentralRelativeOffsetOfLocalHeader = 0;
  RawByteString CentralFileName;
  RawByteString CentralExtraField;
  RawByteString CentralFileComment;

  // The central header as read (for an entry recovered without one: its local header's fields).
  TFileHeader FileHeader() const;
  void SetFileHeader(const TFileHeader& Header);

  // Sizes and offset with ZIP64 values applied.
  uint64_t CompressedSize = 0;
  uint64_t UncompressedSize = 0;
  uint64_t LocalHeaderOffset = 0;

  // The raw (compressed) bytes of the entry; a view into the archive, empty when the local header
  // was not found. Shorter than CompressedSize when the archive ends early.
  std::string_view CompressedData() const { return FCompressedData; }
  bool HeaderRead() const { return FHeaderRead; }
  // The entry's name: the local header's, or the central one's when the local header is missing.
  const RawByteString& Name() const { return FHeaderRead ? FileName : CentralFileName; }
  void Assign(const TLocalFile& Source) { *this = Source; }

 private:
  friend class TZipArchive;
  std::string_view FCompressedData;
  // Recovery inflates a deflated entry to find its end: the result is kept for the first request.
  mutable RawByteString FInflated;
  mutable bool FHasInflated = false;
  bool FHeaderRead = false;
  bool FCutOff = false;  // recovered without a known end
};

class TLocalFiles {
 public:
  explicit TLocalFiles(TComponent* ACntrl = nullptr) : FOwner(ACntrl) {}
  TComponent* OwnerControl() const { return FOwner; }
  TLocalFile& Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  const TLocalFile& Items(int Index) const { return *FItems.at(static_cast<size_t>(Index)); }
  TLocalFile& Items(int Index) { return *FItems.at(static_cast<size_t>(Index)); }
  void SetItems(int Index, const TLocalFile& Value) { Items(Index).Assign(Value); }
  void Clear() { FItems.clear(); }

 private:
  TComponent* FOwner;
  std::vector<std::unique_ptr<TLocalFile>> FItems;
};

class TZipArchive : public TComponent {
 public:
  // Limits against archives built to exhaust memory.
  static constexpr uint64_t DefaultMaxUncompressedSize = uint64_t(1) << 30;
  // Deflate cannot expand beyond about 1032:1; a larger declared ratio is a lie.
  static constexpr uint64_t DefaultMaxCompressionRatio = 1100;

  explicit TZipArchive(TComponent* AOwner = nullptr);
  ~TZipArchive() override;

  TLocalFiles Files;
  TEndOfCentralDir EndOfCentralDirectory;
  WideString ZipFileComment;

  uint64_t MaxUncompressedSize() const { return FMaxUncompressedSize; }
  void SetMaxUncompressedSize(uint64_t v) { FMaxUncompressedSize = v; }
  uint64_t MaxCompressionRatio() const { return FMaxCompressionRatio; }
  void SetMaxCompressionRatio(uint64_t v) { FMaxCompressionRatio = v; }

  // Decoded bytes of every entry read are charged here when set (a reader's document budget).
  void SetBudget(TResourceBudget* Budget) { FBudget = Budget; }
  // True when the central directory was missing or damaged, so that the entries (or the ones it
  // lacked) were looked for from their local headers.
  bool Recovered() const { return FRecovered; }

  void LoadFromFile(const WideString& FileName);
  void LoadFromStream(TStream& ZipFileStream);
  // Takes the whole archive as bytes (no copy is made of a moved string).
  void LoadFromBytes(RawByteString Bytes);
  // Reads the archive in place; the bytes must outlive the archive.
  void LoadFromView(std::string_view Bytes);

  int Count() const { return Files.Count(); }
  int GetCount() const { return Files.Count(); }
  void GetFileNames(TWideStrings& lstFiles) const;
  // Index of the first entry named AFileName (ASCII letters without case), -1 when none.
  int GetIndexByFileName(std::string_view AFileName) const;
  int GetIndexByFileName(const WideString& AFileName) const;
  // The entry's uncompressed bytes. Raises on a bad index, an unsupported or encrypted entry, a
  // size over the limits, damaged or truncated data, and (EZipFileCRCError) a CRC mismatch.
  RawByteString GetUncompressed(int Index) const;
  RawByteString Uncompressed(int Index) const { return GetUncompressed(Index); }
  // The bytes of the entry named AFileName; empty when there is no such entry.
  RawByteString DecompressFileName(std::string_view AFileName) const;

 private:
  // False when the central directory is missing or lists fewer entries than it counts.
  bool ReadCentralDirectory();
  void Load();
  void Recover();
  // Fills the local header fields of F from At; returns where the entry's data start.
  static uint64_t ReadLocalHeader(std::string_view Data, uint64_t At, TLocalFile& F);
  RawByteString FData;
  std::string_view FView;  // the archive: FData or the caller's bytes
  TResourceBudget* FBudget = nullptr;
  bool FRecovered = false;
  uint64_t FMaxUncompressedSize = DefaultMaxUncompressedSize;
  uint64_t FMaxCompressionRatio = DefaultMaxCompressionRatio;
};

// True when the file starts with a ZIP local file header.
bool FileIsZipArchive(const WideString& FileName);
bool BytesAreZipArchive(std::string_view Head);

// The standard CRC-32 (reflected 0xEDB88320).
uint32_t ZipCrc32(std::string_view Data, uint32_t Crc = 0);

}  // namespace zvword
