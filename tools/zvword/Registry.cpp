#include "tools/zvword/Registry.h"

namespace zvword::cli {

const std::vector<ReaderEntry>& Readers() {
  static const std::vector<ReaderEntry> readers = [] {
    std::vector<ReaderEntry> r;
    // Readers add their entries here, most specific signature first.
    return r;
  }();
  return readers;
}

const ReaderEntry* FindReader(std::string_view name) {
  for (const auto& e : Readers())
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace zvword::cli
