#include "builders/CompoundFileBuilder.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace zvword::test {

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFEu, kFree = 0xFFFFFFFFu, kFatMark = 0xFFFFFFFDu, kDifatMark = 0xFFFFFFFCu;
constexpr uint32_t kNone = 0xFFFFFFFFu;

// Names are Latin-1: each byte is its own code point.
std::u16string Widen(std::string_view s) {
  std::u16string r;
  for (const unsigned char c : s) r += static_cast<char16_t>(c);
  return r;
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

uint32_t Ceil(uint64_t n, uint64_t d) { return static_cast<uint32_t>((n + d - 1) / d); }

}  // namespace

size_t CompoundFileBuilder::Layout::EntryOffset(uint32_t index) const {
  const uint32_t perSector = sectorSize / 128;
  return SectorOffset(dirSectors.at(index / perSector)) + (index % perSector) * 128;
}

void CompoundFileBuilder::Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

void CompoundFileBuilder::Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

uint32_t CompoundFileBuilder::Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
  return v;
}

bool CompoundFileBuilder::NameLess(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
  return false;
}

size_t CompoundFileBuilder::Ensure(std::string_view path, bool storage) {
  size_t parent = 0;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const bool last = slash == std::string_view::npos;
    const std::string_view part = path.substr(start, last ? std::string_view::npos : slash - start);
    const std::string full(path.substr(0, last ? path.size() : slash));
    size_t found = 0;
    for (size_t c : nodes_[parent].children)
      if (nodes_[c].path == full) found = c;
    if (found == 0) {
      nodes_.push_back(Node{full, Widen(part), !last || storage, {}, {}});
      found = nodes_.size() - 1;
      nodes_[parent].children.push_back(found);
    }
    if (last) return found;
    parent = found;
    start = slash + 1;
  }
}

CompoundFileBuilder& CompoundFileBuilder::Stream(std::string_view path, std::string_view data) {
  nodes_[Ensure(path, false)].data = std::string(data);
  return *this;
}

CompoundFileBuilder& CompoundFileBuilder::Storage(std::string_view path) {
  Ensure(path, true);
  return *this;
}

std::string CompoundFileBuilder::Build(Layout* layoutOut) const {
  if (sectorSize_ != 512 && sectorSize_ != 4096) throw std::invalid_argument("sector size");
  const uint32_t ss = sectorSize_;
  const uint32_t perFat = ss / 4;
  const uint32_t hd = std::min<uint32_t>(headerDifat_, 109);
  const size_t n = nodes_.size();
  Layout layout;
  layout.sectorSize = ss;

  // Sibling trees: left/right/child per entry.
  std::vector<uint32_t> left(n, kNone), right(n, kNone), child(n, kNone);
  for (size_t i = 0; i < n; ++i) {
    if (!nodes_[i].storage) continue;
    std::vector<size_t> kids = nodes_[i].children;
    std::sort(kids.begin(), kids.end(), [&](size_t a, size_t b) { return NameLess(nodes_[a].name, nodes_[b].name); });
    if (kids.empty()) continue;
    if (shape_ == TreeShape::RightChain) {
      child[i] = static_cast<uint32_t>(kids.front());
      for (size_t k = 0; k + 1 < kids.size(); ++k) right[kids[k]] = static_cast<uint32_t>(kids[k + 1]);
    } else if (shape_ == TreeShape::LeftChain) {
      child[i] = static_cast<uint32_t>(kids.back());
      for (size_t k = kids.size() - 1; k > 0; --k) left[kids[k]] = static_cast<uint32_t>(kids[k - 1]);
    } else {
      std::function<uint32_t(size_t, size_t)> build = [&](size_t lo, size_t hi) -> uint32_t {
        if (lo >= hi) return kNone;
        const size_t mid = (lo + hi) / 2;
        left[kids[mid]] = build(lo, mid);
        right[kids[mid]] = build(mid + 1, hi);
        return static_cast<uint32_t>(kids[mid]);
      };
      child[i] = build(0, kids.size());
    }
  }

  // Sector allocation: big streams, mini stream, mini FAT, directory, then FAT and DIFAT.
  std::vector<std::string> sectors;
  std::vector<uint32_t> fat;
  auto allocate = [&](const std::string& bytes, uint32_t count) -> uint32_t {
    if (count == 0) return kEnd;
    const auto first = static_cast<uint32_t>(sectors.size());
    for (uint32_t k = 0; k < count; ++k) {
      std::string sector(ss, '\0');
      const size_t from = size_t{k} * ss;
      if (from < bytes.size()) sector.replace(0, std::min<size_t>(ss, bytes.size() - from), bytes, from, ss);
      sectors.push_back(sector);
      fat.push_back(k + 1 < count ? first + k + 1 : kEnd);
    }
    return first;
  };

  std::vector<uint32_t> start(n, kEnd);
  std::string mini;
  std::vector<uint32_t> miniFat;
  for (size_t i = 1; i < n; ++i) {
    const Node& node = nodes_[i];
    if (node.storage) {
      start[i] = 0;
      continue;
    }
    if (node.data.size() >= 4096) {
      start[i] = allocate(node.data, Ceil(node.data.size(), ss));
    } else if (!node.data.empty()) {
      const uint32_t count = Ceil(node.data.size(), 64);
      start[i] = static_cast<uint32_t>(miniFat.size());
      for (uint32_t k = 0; k < count; ++k) miniFat.push_back(k + 1 < count ? start[i] + k + 1 : kEnd);
      std::string padded = node.data;
      padded.resize(size_t{count} * 64, '\0');
      mini += padded;
    }
    layout.startSector[node.path] = start[i];
  }
  start[0] = allocate(mini, Ceil(mini.size(), ss));

  std::string miniFatBytes(miniFat.size() * 4, '\0');
  for (size_t k = 0; k < miniFat.size(); ++k) Put32(miniFatBytes, k * 4, miniFat[k]);
  const uint32_t miniFatCount = Ceil(miniFatBytes.size(), ss);
  // Unused mini FAT slots must be free, not zero.
  miniFatBytes.resize(size_t{miniFatCount} * ss, '\xFF');
  const uint32_t firstMiniFat = allocate(miniFatBytes, miniFatCount);
  for (uint32_t k = 0; k < miniFatCount; ++k) layout.miniFatSectors.push_back(firstMiniFat + k);

  const uint32_t dirCount = Ceil(n * 128, ss);
  std::string dir(size_t{dirCount} * ss, '\0');
  for (size_t slot = 0; slot < size_t{dirCount} * ss / 128; ++slot) {
    const size_t at = slot * 128;
    Put32(dir, at + 68, kNone);
    Put32(dir, at + 72, kNone);
    Put32(dir, at + 76, kNone);
    if (slot >= n) continue;
    const Node& node = nodes_[slot];
    const std::u16string name = node.name.substr(0, 31);
    for (size_t c = 0; c < name.size(); ++c) Put16(dir, at + 2 * c, name[c]);
    Put16(dir, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    dir[at + 66] = static_cast<char>(slot == 0 ? 5 : node.storage ? 1 : 2);
    dir[at + 67] = 1;  // black
    Put32(dir, at + 68, left[slot]);
    Put32(dir, at + 72, right[slot]);
    Put32(dir, at + 76, child[slot]);
    Put32(dir, at + 116, start[slot]);
    const uint64_t size = slot == 0 ? mini.size() : node.data.size();
    Put32(dir, at + 120, static_cast<uint32_t>(size));
    Put32(dir, at + 124, static_cast<uint32_t>(size >> 32));
    layout.entryIndex[node.path] = static_cast<uint32_t>(slot);
  }
  const uint32_t firstDir = allocate(dir, dirCount);
  for (uint32_t k = 0; k < dirCount; ++k) layout.dirSectors.push_back(firstDir + k);

  // FAT and DIFAT sizes depend on each other: settle them together.
  const auto data = static_cast<uint32_t>(sectors.size());
  uint32_t fatCount = 0, difatCount = 0;
  for (;;) {
    const uint32_t nf = Ceil(data + fatCount + difatCount, perFat);
    const uint32_t nd = nf > hd ? Ceil(nf - hd, perFat - 1) : 0;
    if (nf == fatCount && nd == difatCount) break;
    fatCount = nf;
    difatCount = nd;
  }
  for (uint32_t k = 0; k < fatCount; ++k) {
    layout.fatSectors.push_back(static_cast<uint32_t>(sectors.size()));
    sectors.emplace_back(ss, '\0');
    fat.push_back(kFatMark);
  }
  for (uint32_t k = 0; k < difatCount; ++k) {
    layout.difatSectors.push_back(static_cast<uint32_t>(sectors.size()));
    sectors.emplace_back(ss, '\0');
    fat.push_back(kDifatMark);
  }
  fat.resize(size_t{fatCount} * perFat, kFree);
  for (uint32_t k = 0; k < fatCount; ++k)
    for (uint32_t e = 0; e < perFat; ++e) Put32(sectors[layout.fatSectors[k]], e * 4, fat[size_t{k} * perFat + e]);
  // DIFAT sectors: FAT sector numbers beyond those in the header, then the next DIFAT sector.
  for (uint32_t k = 0; k < difatCount; ++k) {
    std::string& s = sectors[layout.difatSectors[k]];
    for (uint32_t e = 0; e + 1 < perFat; ++e) {
      const size_t f = hd + size_t{k} * (perFat - 1) + e;
      Put32(s, e * 4, f < fatCount ? layout.fatSectors[f] : kFree);
    }
    Put32(s, ss - 4, k + 1 < difatCount ? layout.difatSectors[k + 1] : kEnd);
  }

  std::string header(ss, '\0');
  const char sig[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  header.replace(0, 8, sig, 8);
  Put16(header, 24, 0x3E);
  Put16(header, 26, ss == 512 ? 3 : 4);
  Put16(header, 28, 0xFFFE);
  Put16(header, 30, ss == 512 ? 9 : 12);
  Put16(header, 32, 6);
  Put32(header, 40, ss == 512 ? 0 : dirCount);
  Put32(header, 44, fatCount);
  Put32(header, 48, firstDir);
  Put32(header, 56, 4096);
  Put32(header, 60, miniFatCount ? firstMiniFat : kEnd);
  Put32(header, 64, miniFatCount);
  Put32(header, 68, difatCount ? layout.difatSectors[0] : kEnd);
  Put32(header, 72, difatCount);
  for (uint32_t k = 0; k < 109; ++k)
    Put32(header, 76 + 4 * k, k < fatCount && k < hd ? layout.fatSectors[k] : kFree);

  std::string out = header;
  out.reserve(header.size() + sectors.size() * ss);
  for (const auto& s : sectors) out += s;
  if (layoutOut) *layoutOut = std::move(layout);
  return out;
}

}  // namespace zvword::test
