// Builds compound files in memory: storages and streams by path, 512- or 4096-byte sectors,
// small streams in the mini stream, and a layout report so tests can damage chosen structures.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zvword::test {

class CompoundFileBuilder {
 public:
  enum class TreeShape { Balanced, RightChain, LeftChain };

  struct Layout {
    uint32_t sectorSize = 512;
    std::vector<uint32_t> fatSectors, difatSectors, dirSectors, miniFatSectors;
    std::map<std::string, uint32_t> entryIndex;   // path -> directory entry
    std::map<std::string, uint32_t> startSector;  // stream path -> first sector (mini sector for small ones)
    size_t SectorOffset(uint32_t s) const { return (size_t{s} + 1) * sectorSize; }
    // Byte offset of a directory entry in the file.
    size_t EntryOffset(uint32_t index) const;
  };

  explicit CompoundFileBuilder(uint32_t sectorSize = 512) : sectorSize_(sectorSize) {}
  // A stream at a path like "Macros/VBA/ThisDocument"; missing storages are created.
  CompoundFileBuilder& Stream(std::string_view path, std::string_view data);
  CompoundFileBuilder& Storage(std::string_view path);
  CompoundFileBuilder& Shape(TreeShape shape) { shape_ = shape; return *this; }
  // How many FAT sector numbers go into the header before the DIFAT sectors take over (at most 109).
  CompoundFileBuilder& HeaderDifatSlots(uint32_t n) { headerDifat_ = n; return *this; }

  std::string Build(Layout* layout = nullptr) const;

  // Names compared as the format orders siblings: shorter first, then by upper-cased characters.
  static bool NameLess(const std::u16string& a, const std::u16string& b);
  static void Put16(std::string& s, size_t at, uint16_t v);
  static void Put32(std::string& s, size_t at, uint32_t v);
  static uint32_t Get32(const std::string& s, size_t at);

 private:
  struct Node {
    std::string path;
    std::u16string name;
    bool storage = false;
    std::string data;
    std::vector<size_t> children;  // indexes into nodes_
  };
  size_t Ensure(std::string_view path, bool storage);

  uint32_t sectorSize_;
  TreeShape shape_ = TreeShape::Balanced;
  uint32_t headerDifat_ = 109;
  std::vector<Node> nodes_{Node{"", u"Root Entry", true, {}, {}}};
};

}  // namespace zvword::test
