// Compound files (OLE structured storage): our own read-only reader of the format.
//
// The whole file is held in memory; the FAT, mini FAT and directory are parsed once on open and
// the directory is turned into a proper tree (every entry belongs to at most one storage, nesting
// is bounded), so callers may recurse over storages without guarding against cycles themselves.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Streams.h"
#include "platform/Types.h"

namespace zvword {

enum TStgType : uint32_t { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_ROOT = 5 };

struct TStatStg {
  WideString Name;
  uint32_t Type = 0;   // TStgType
  uint64_t Size = 0;   // streams only: the readable size (a size field larger than its chain is clamped)
};

class IStream;
class IStorage;
class IEnumStatStg;
class TCompoundFile;  // the parsed file; shared by every storage and stream opened from it

// A stream of a compound file; reads come from the file's sectors. Reads never raise: a read at
// or past the end returns what is left (possibly 0 bytes).
class IStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  const WideString& Name() const;

 private:
  friend class IStorage;
  IStream(std::shared_ptr<TCompoundFile> file, uint32_t entry);
  std::shared_ptr<TCompoundFile> file_;
  uint32_t entry_;
  int64_t pos_ = 0;
  int64_t size_ = 0;
  std::vector<uint32_t> chain_;  // the stream's sectors (regular or mini), already checked
  bool mini_ = false;
};

class IEnumStatStg {
 public:
  // 0 and the next element, or 1 when the walk is over.
  int Next(TStatStg& element);
  void Reset() { index_ = 0; }

 private:
  friend class IStorage;
  std::vector<TStatStg> elements_;
  size_t index_ = 0;
};

class IStorage {
 public:
  // The children in a stable order: the directory tree walked in order, which for a well-formed
  // file is the format's name order (shorter names first, then by upper-cased characters).
  std::unique_ptr<IEnumStatStg> EnumElements();
  // nullptr when the element is absent or not a stream / storage. Names compare ignoring case,
  // as the format does.
  std::unique_ptr<IStream> OpenStream(const WideString& name);
  std::unique_ptr<IStorage> OpenStorage(const WideString& name);
  const WideString& Name() const;

 private:
  friend std::unique_ptr<IStorage> OpenStorageOnBytes(RawByteString bytes);
  friend std::unique_ptr<IStorage> OpenStorageOnView(std::string_view bytes);
  IStorage(std::shared_ptr<TCompoundFile> file, uint32_t entry);
  uint32_t FindChild(const WideString& name, uint32_t type) const;
  std::shared_ptr<TCompoundFile> file_;
  uint32_t entry_;
};

// 0 when the file is a compound file, 1 otherwise (also when it cannot be read).
int StgIsStorageFile(const WideString& path);
// The root storage of a compound file on disk; raises an exception with a clear message on failure.
std::unique_ptr<IStorage> StgOpenStorage(const WideString& path);
// The in-memory open; nullptr when the bytes are not a compound file (the caller reads them flat).
// Raises only for a compound file that is damaged beyond use.
std::unique_ptr<IStorage> OpenStorageOnBytes(RawByteString bytes);
// The same over bytes the caller owns and keeps alive while the storage or its streams are in use:
// no copy of the file is made.
std::unique_ptr<IStorage> OpenStorageOnView(std::string_view bytes);
bool IsCompoundFileSignature(std::string_view head);

// Storages nested deeper than this are treated as absent.
constexpr int kMaxStorageDepth = 32;

}  // namespace zvword
