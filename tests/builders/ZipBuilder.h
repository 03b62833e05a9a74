// Builds ZIP archives in memory for tests: stored and deflated entries, data descriptors,
// archive comments, ZIP64 sizes and hand-made raw entries.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zvword::test {

std::string RawDeflate(const std::string& data, int level = 6);
uint32_t Crc32Of(const std::string& data);

class ZipBuilder {
 public:
  struct Entry {
    std::string name;
    std::string data;         // the bytes written after the local header
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    bool dataDescriptor = false;  // local sizes and CRC are 0; a descriptor follows the data
  };

  ZipBuilder& Add(const std::string& name, const std::string& content, bool deflate = true,
                  bool dataDescriptor = false);
  // An entry written as given: data are the raw bytes, the header fields are taken as they are.
  ZipBuilder& AddRaw(const Entry& e);
  ZipBuilder& Comment(const std::string& comment);
  // Bytes placed in front of the archive (a self-extractor stub).
  ZipBuilder& Prefix(const std::string& prefix);
  std::string Build() const;

 private:
  std::vector<Entry> entries_;
  std::string comment_;
  std::string prefix_;
};

// Deflate data of `repeat` MiB of zeros, built from one flushed block repeated (fast to make).
std::string ZeroBombDeflate(uint64_t mebibytes);

}  // namespace zvword::test
