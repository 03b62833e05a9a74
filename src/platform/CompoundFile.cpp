#include "platform/CompoundFile.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/ByteReader.h"
#include "platform/CaseFold.h"
#include "platform/Exception.h"
#include "platform/TextHelpers.h"

namespace zvword {

namespace {

constexpr char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kNoStream = 0xFFFFFFFFu;
constexpr uint32_t kFreeSector = 0xFFFFFFFFu;
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMiniSectorSize = 64;
// Streams below this size live in the mini stream; the format fixes it.
constexpr uint64_t kMiniStreamCutoff = 4096;

uint64_t Units(uint64_t size, uint32_t unit) { return size / unit + (size % unit != 0); }

bool IsAscii(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

// Element names are nearly always ASCII; those need no Unicode folding table.
bool SameElementName(std::u16string_view a, std::u16string_view b) {
  if (IsAscii(a) && IsAscii(b)) return SameAsciiText(a, b);
  return SameTextIgnoreCase(a, b);
}


[[noreturn]] void Damaged(const std::string& what) { throw Exception("Compound file is damaged: " + what); }

}  // namespace

bool IsCompoundFileSignature(std::string_view head) {
  return head.size() >= sizeof kSignature && std::memcmp(head.data(), kSignature, sizeof kSignature) == 0;
}

// The parsed file: header, FAT, mini FAT, mini stream chain and the directory as a tree.
class TCompoundFile {
 public:
  struct TEntry {
    WideString Name;
    uint32_t Type = 0;
    uint32_t Left = kNoStream, Right = kNoStream, Child = kNoStream;
    uint32_t Start = 0;
    uint64_t Size = 0;
    std::vector<uint32_t> Children;  // storages only, in tree order
  };

  explicit TCompoundFile(RawByteString bytes);
  // Reads bytes owned by the caller, who keeps them alive while the file is in use.
  explicit TCompoundFile(std::string_view bytes);

  // Follows a chain through table from start; stops at an end mark, a number out of range
  // (>= units), a sector already visited, or after maxLength steps.
  static std::vector<uint32_t> Chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t units,
                                     uint64_t maxLength);
  // Copies n bytes from offset of a regular sector; bytes past the end of a truncated file read as 0.
  void ReadSector(uint32_t sector, uint32_t offset, char* out, size_t n) const;
  // Copies n bytes at offset of the mini stream (0 past its end).
  void ReadMini(uint64_t offset, char* out, size_t n) const;
  uint64_t ReadableSize(const TEntry& e) const;

  uint32_t SectorSize() const { return sectorSize_; }
  uint32_t SectorCount() const { return sectorCount_; }
  uint32_t MiniSectorCount() const { return static_cast<uint32_t>((miniStreamSize_ + kMiniSectorSize - 1) / kMiniSectorSize); }
  const std::vector<uint32_t>& Fat() const { return fat_; }
  const std::vector<uint32_t>& MiniFat() const { return miniFat_; }
  const std::vector<TEntry>& Entries() const { return entries_; }

 private:
  void ReadFat(uint32_t fatSectors, uint32_t firstDifat);
  void ReadDirectory(uint32_t firstDirSector);
  void BuildTree();
  void Parse();
  std::vector<uint32_t> InOrder(uint32_t top, std::vector<bool>& claimed) const;

  RawByteString owned_;
  std::string_view data_;
  uint32_t sectorShift_ = 9;
  uint32_t sectorSize_ = 512;
  uint32_t sectorCount_ = 0;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::vector<uint32_t> miniChain_;
  uint64_t miniStreamSize_ = 0;
  std::vector<TEntry> entries_;
};

TCompoundFile::TCompoundFile(RawByteString bytes) : owned_(std::move(bytes)), data_(owned_) { Parse(); }

TCompoundFile::TCompoundFile(std::string_view bytes) : data_(bytes) { Parse(); }

void TCompoundFile::Parse() {
  if (data_.size() < kHeaderSize) Damaged("the header is truncated");
  const TByteReader h(data_.substr(0, kHeaderSize), "compound file header");
  if (!IsCompoundFileSignature(data_)) Damaged("bad signature");
  if (h.U16LEAt(28) != 0xFFFE) Damaged("bad byte-order mark");
  sectorShift_ = h.U16LEAt(30);
  if (sectorShift_ != 9 && sectorShift_ != 12) Damaged("unsupported sector size");
  if (h.U16LEAt(32) != 6) Damaged("unsupported mini sector size");
  sectorSize_ = 1u << sectorShift_;
  // The header fills the first sector; a last sector cut short still counts (read as zeros past the end).
  const uint64_t sectors = (data_.size() + sectorSize_ - 1) / sectorSize_;
  if (sectors < 2) Damaged("the file holds no sectors");
  sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(sectors - 1, 0xFFFFFFF0u));

  ReadFat(h.U32LEAt(44), h.U32LEAt(68));
  ReadDirectory(h.U32LEAt(48));

  const TEntry& root = entries_[0];
  miniChain_ = Chain(fat_, root.Start, sectorCount_, Units(root.Size, sectorSize_));
  miniStreamSize_ = std::min<uint64_t>(root.Size, uint64_t{miniChain_.size()} * sectorSize_);

  const uint32_t miniFatSectorLimit = (MiniSectorCount() * 4 + sectorSize_ - 1) / sectorSize_;
  std::string buf(sectorSize_, '\0');
  for (uint32_t s : Chain(fat_, h.U32LEAt(60), sectorCount_, miniFatSectorLimit)) {
    ReadSector(s, 0, buf.data(), sectorSize_);
    TByteReader sector(buf, "compound file mini FAT");
    while (!sector.AtEnd()) miniFat_.push_back(sector.U32LE());
  }
  BuildTree();
}

std::vector<uint32_t> TCompoundFile::Chain(const std::vector<uint32_t>& table, uint32_t start, uint32_t units,
                                           uint64_t maxLength) {
  std::vector<uint32_t> out;
  if (maxLength == 0 || start >= units) return out;
  std::vector<bool> seen(units);
  uint32_t s = start;
  while (s < units && !seen[s] && out.size() < maxLength) {
    seen[s] = true;
    out.push_back(s);
    if (s >= table.size()) break;  // the table does not reach this far: the chain ends here
    s = table[s];
  }
  return out;
}

void TCompoundFile::ReadSector(uint32_t sector, uint32_t offset, char* out, size_t n) const {
  const uint64_t at = (uint64_t{sector} + 1) * sectorSize_ + offset;  // below 2^45: cannot wrap
  const std::string_view have = TByteReader(data_, "compound file").SubUpTo(at, n).Rest();
  if (!have.empty()) std::memcpy(out, have.data(), have.size());
  if (have.size() < n) std::memset(out + have.size(), 0, n - have.size());
}

void TCompoundFile::ReadMini(uint64_t offset, char* out, size_t n) const {
  while (n > 0) {
    const uint64_t index = offset / sectorSize_;
    const auto within = static_cast<uint32_t>(offset % sectorSize_);
    const size_t take = std::min<size_t>(n, sectorSize_ - within);
    if (offset >= miniStreamSize_ || index >= miniChain_.size()) {
      std::memset(out, 0, n);
      return;
    }
    ReadSector(miniChain_[index], within, out, take);
    out += take;
    offset += take;
    n -= take;
  }
}

uint64_t TCompoundFile::ReadableSize(const TEntry& e) const {
  if (e.Type != STGTY_STREAM) return 0;
  if (e.Size < kMiniStreamCutoff) return std::min<uint64_t>(e.Size, miniStreamSize_);
  return std::min<uint64_t>(e.Size, uint64_t{sectorCount_} * sectorSize_);
}

void TCompoundFile::ReadFat(uint32_t fatSectors, uint32_t firstDifat) {
  const TByteReader h(data_.substr(0, kHeaderSize), "compound file header");
  const uint32_t perSector = sectorSize_ / 4;
  // Only entries for sectors that exist matter; more would be an allocation driven by the header.
  const uint64_t wanted = sectorCount_;
  uint64_t pendingHoles = 0;  // FAT sectors named out of range, kept as free runs if more follow
  uint32_t listed = 0;
  auto addFatSector = [&](uint32_t s) {
    // Unused slots are marked free; writers leave them between the header and the DIFAT sectors.
    if (fat_.size() >= wanted || s == kFreeSector) return;
    ++listed;
    if (s >= sectorCount_) {
      ++pendingHoles;
      return;
    }
    for (; pendingHoles > 0 && fat_.size() < wanted; --pendingHoles) fat_.resize(fat_.size() + perSector, kFreeSector);
    const size_t at = fat_.size();
    fat_.resize(at + perSector);
    std::string buf(sectorSize_, '\0');
    ReadSector(s, 0, buf.data(), sectorSize_);
    const TByteReader sector(buf, "compound file FAT");
    for (uint32_t i = 0; i < perSector; ++i) fat_[at + i] = sector.U32LEAt(4 * i);
  };
  // Writers disagree on whether the count is exact; trust it as an upper bound on what is listed.
  for (uint32_t i = 0; i < 109 && listed < fatSectors; ++i) addFatSector(h.U32LEAt(76 + 4 * i));
  std::vector<bool> seen(sectorCount_);
  std::string buf(sectorSize_, '\0');
  uint32_t d = firstDifat;
  while (d < sectorCount_ && !seen[d] && listed < fatSectors && fat_.size() < wanted) {
    seen[d] = true;
    ReadSector(d, 0, buf.data(), sectorSize_);
    const TByteReader difat(buf, "compound file DIFAT");
    for (uint32_t i = 0; i + 1 < perSector && listed < fatSectors; ++i) addFatSector(difat.U32LEAt(4 * i));
    d = difat.U32LEAt(sectorSize_ - 4);
  }
  if (fat_.size() > wanted) fat_.resize(wanted);
  if (fat_.empty()) Damaged("no allocation table");
}

void TCompoundFile::ReadDirectory(uint32_t firstDirSector) {
  const std::vector<uint32_t> chain = Chain(fat_, firstDirSector, sectorCount_, sectorCount_);
  if (chain.empty()) Damaged("the directory is missing");
  const uint32_t perSector = sectorSize_ / kDirEntrySize;
  entries_.reserve(chain.size() * perSector);
  std::string buf(sectorSize_, '\0');
  for (uint32_t s : chain) {
    ReadSector(s, 0, buf.data(), sectorSize_);
    const TByteReader sector(buf, "compound file directory");
    for (uint32_t i = 0; i < perSector; ++i) {
      const TByteReader p = sector.Sub(uint64_t{i} * kDirEntrySize, kDirEntrySize);
      TEntry e;
      e.Type = p.U8At(66);
      if (e.Type == STGTY_STORAGE || e.Type == STGTY_STREAM || e.Type == STGTY_ROOT) {
        uint32_t chars = p.U16LEAt(64) / 2;
        chars = chars == 0 ? 0 : std::min<uint32_t>(chars - 1, 31);
        for (uint32_t c = 0; c < chars; ++c) {
          const char16_t ch = p.U16LEAt(2 * c);
          if (ch == 0) break;
          e.Name.push_back(ch);
        }
        e.Left = p.U32LEAt(68);
        e.Right = p.U32LEAt(72);
        e.Child = p.U32LEAt(76);
        e.Start = p.U32LEAt(116);
        // Files with 512-byte sectors may carry garbage in the high half of the size.
        e.Size = sectorShift_ == 9 ? p.U32LEAt(120) : p.U64LEAt(120);
      } else {
        e.Type = 0;
      }
      entries_.push_back(std::move(e));
    }
  }
  if (entries_.empty() || entries_[0].Type != STGTY_ROOT) Damaged("the root entry is missing");
}

std::vector<uint32_t> TCompoundFile::InOrder(uint32_t top, std::vector<bool>& claimed) const {
  std::vector<uint32_t> out, stack;
  auto usable = [&](uint32_t id) {
    return id < entries_.size() && !claimed[id] &&
           (entries_[id].Type == STGTY_STORAGE || entries_[id].Type == STGTY_STREAM);
  };
  uint32_t cur = top;
  for (;;) {
    // An entry already placed elsewhere in the tree (a cycle or a shared subtree) ends that branch.
    while (usable(cur)) {
      claimed[cur] = true;
      stack.push_back(cur);
      cur = entries_[cur].Left;
    }
    if (stack.empty()) break;
    const uint32_t n = stack.back();
    stack.pop_back();
    out.push_back(n);
    cur = entries_[n].Right;
  }
  return out;
}

void TCompoundFile::BuildTree() {
  std::vector<bool> claimed(entries_.size());
  claimed[0] = true;
  std::deque<std::pair<uint32_t, int>> queue{{0u, 0}};
  while (!queue.empty()) {
    // Plain locals: clang cannot capture structured bindings in the lambda below.
    const uint32_t id = queue.front().first;
    const int depth = queue.front().second;
    queue.pop_front();
    std::vector<uint32_t> children = InOrder(entries_[id].Child, claimed);
    // Storages nested too deeply are left out, so that recursive walks of callers stay bounded.
    std::erase_if(children, [&](uint32_t c) {
      return entries_[c].Type == STGTY_STORAGE && depth + 1 > kMaxStorageDepth;
    });
    for (uint32_t c : children)
      if (entries_[c].Type == STGTY_STORAGE) queue.emplace_back(c, depth + 1);
    entries_[id].Children = std::move(children);
  }
}

// ---- IStream ----

IStream::IStream(std::shared_ptr<TCompoundFile> file, uint32_t entry) : file_(std::move(file)), entry_(entry) {
  const auto& e = file_->Entries()[entry_];
  mini_ = e.Size < kMiniStreamCutoff;
  const uint32_t unit = mini_ ? kMiniSectorSize : file_->SectorSize();
  chain_ = mini_ ? TCompoundFile::Chain(file_->MiniFat(), e.Start, file_->MiniSectorCount(), Units(e.Size, unit))
                 : TCompoundFile::Chain(file_->Fat(), e.Start, file_->SectorCount(), Units(e.Size, unit));
  // A size field larger than its chain is clamped to the chain.
  size_ = static_cast<int64_t>(std::min<uint64_t>(e.Size, uint64_t{chain_.size()} * unit));
}

const WideString& IStream::Name() const { return file_->Entries()[entry_].Name; }

int64_t IStream::Size() { return size_; }

int64_t IStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : size_;
  pos_ = offset < 0 && base + offset < 0 ? 0 : base + offset;
  return pos_;
}

int64_t IStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - pos_);
  const uint32_t unit = mini_ ? kMiniSectorSize : file_->SectorSize();
  char* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < n) {
    const auto at = static_cast<uint64_t>(pos_ + done);
    const auto index = static_cast<size_t>(at / unit);
    const auto within = static_cast<uint32_t>(at % unit);
    const auto take = static_cast<size_t>(std::min<int64_t>(unit - within, n - done));
    if (mini_)
      file_->ReadMini(uint64_t{chain_[index]} * kMiniSectorSize + within, out + done, take);
    else
      file_->ReadSector(chain_[index], within, out + done, take);
    done += static_cast<int64_t>(take);
  }
  pos_ += n;
  return n;
}

// ---- IEnumStatStg / IStorage ----

int IEnumStatStg::Next(TStatStg& element) {
  if (index_ >= elements_.size()) return 1;
  element = elements_[index_++];
  return 0;
}

IStorage::IStorage(std::shared_ptr<TCompoundFile> file, uint32_t entry) : file_(std::move(file)), entry_(entry) {}

const WideString& IStorage::Name() const { return file_->Entries()[entry_].Name; }

std::unique_ptr<IEnumStatStg> IStorage::EnumElements() {
  auto result = std::unique_ptr<IEnumStatStg>(new IEnumStatStg());
  const auto& entries = file_->Entries();
  for (uint32_t c : entries[entry_].Children) {
    const auto& e = entries[c];
    result->elements_.push_back(TStatStg{e.Name, e.Type, file_->ReadableSize(e)});
  }
  return result;
}

uint32_t IStorage::FindChild(const WideString& name, uint32_t type) const {
  const auto& entries = file_->Entries();
  for (uint32_t c : entries[entry_].Children)
    if (entries[c].Type == type && SameElementName(entries[c].Name, name)) return c;
  return kNoStream;
}

std::unique_ptr<IStream> IStorage::OpenStream(const WideString& name) {
  const uint32_t c = FindChild(name, STGTY_STREAM);
  if (c == kNoStream) return nullptr;
  return std::unique_ptr<IStream>(new IStream(file_, c));
}

std::unique_ptr<IStorage> IStorage::OpenStorage(const WideString& name) {
  const uint32_t c = FindChild(name, STGTY_STORAGE);
  if (c == kNoStream) return nullptr;
  return std::unique_ptr<IStorage>(new IStorage(file_, c));
}

// ---- opening ----

std::unique_ptr<IStorage> OpenStorageOnBytes(RawByteString bytes) {
  if (!IsCompoundFileSignature(bytes)) return nullptr;
  auto file = std::make_shared<TCompoundFile>(std::move(bytes));
  return std::unique_ptr<IStorage>(new IStorage(std::move(file), 0));
}

std::unique_ptr<IStorage> OpenStorageOnView(std::string_view bytes) {
  if (!IsCompoundFileSignature(bytes)) return nullptr;
  auto file = std::make_shared<TCompoundFile>(bytes);
  return std::unique_ptr<IStorage>(new IStorage(std::move(file), 0));
}

int StgIsStorageFile(const WideString& path) {
  try {
    TFileStream f(path);
    char head[sizeof kSignature];
    if (f.Size() < kHeaderSize || f.Read(head, sizeof head) != sizeof head) return 1;
    return IsCompoundFileSignature(std::string_view(head, sizeof head)) ? 0 : 1;
  } catch (const Exception&) {
    return 1;
  }
}

std::unique_ptr<IStorage> StgOpenStorage(const WideString& path) {
  RawByteString bytes;
  {
    TFileStream f(path);
    bytes = f.ReadAll();
  }
  if (!IsCompoundFileSignature(bytes))
    throw Exception("File \"" + WideToUtf8(path) + "\" is not a compound file");
  try {
    return OpenStorageOnBytes(std::move(bytes));
  } catch (const Exception& e) {
    throw Exception("File \"" + WideToUtf8(path) + "\": " + e.what());
  }
}

}  // namespace zvword
