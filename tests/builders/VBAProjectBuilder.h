// Builds VBA macro projects inside compound files: the project text, the cache stream with its
// reference and module records, the compressed "dir" stream and the module streams.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builders/CompoundFileBuilder.h"

namespace zvword::test {

class VBAProjectBuilder {
 public:
  struct Module {
    std::string name{};
    std::string source{};
    std::string streamName{};   // defaults to the name
    uint32_t pcodeSize = 40;    // bytes of compiled code before the source
    bool storedChunks = false;  // full chunks kept uncompressed
    // What the cache and the directory say the source offset is (default: the true one).
    int64_t cacheOffset = -1;
    int64_t dirOffset = -1;
  };

  VBAProjectBuilder& Reference(std::u16string entry) { references_.push_back(std::move(entry)); return *this; }
  VBAProjectBuilder& Add(Module m) { modules_.push_back(std::move(m)); return *this; }
  VBAProjectBuilder& CodePage(uint16_t cp) { codePage_ = cp; return *this; }
  // The cache stream without module records (count 0), as later versions of the format write it.
  VBAProjectBuilder& NoCacheModules() { cacheModules_ = false; return *this; }
  VBAProjectBuilder& NoDir() { dir_ = false; return *this; }

  // Adds the project below `storage` ("Macros" in a Word document): storage/PROJECT and storage/VBA/*.
  void AddTo(CompoundFileBuilder& b, std::string_view storage = "Macros") const;

  std::string CacheStream() const;
  std::string DirStream() const;  // uncompressed
  std::string ModuleStream(const Module& m) const;

  // Compressed container of the VBA format; full chunks stored instead of compressed on request.
  static std::string Compress(std::string_view data, bool storeFullChunks = false);

 private:
  uint32_t SourceOffset(const Module& m) const { return m.pcodeSize; }
  std::vector<std::u16string> references_;
  std::vector<Module> modules_;
  uint16_t codePage_ = 1252;
  bool cacheModules_ = true;
  bool dir_ = true;
};

}  // namespace zvword::test
