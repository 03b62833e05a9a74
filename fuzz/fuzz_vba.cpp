// Reads the macro project of a compound file (its "Macros" storage, else the root) and decodes the
// input itself as a compressed container.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CompoundFile.h"
#include "platform/Exception.h"
#include "word/MSWordVBA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  zvword::DecompressMacros(bytes);
  try {
    auto root = zvword::OpenStorageOnBytes(bytes);
    if (!root) return 0;
    auto macros = root->OpenStorage(u"Macros");
    zvword::IStorage& storage = macros ? *macros : *root;
    zvword::TVBAProjectItems items;
    zvword::WideString project;
    zvword::TWideStrings text;
    const int codePage = zvword::ReadVBAProject(storage, items, project);
    zvword::AddMacroText(items, codePage, text);
  } catch (const zvword::Exception&) {
  }
  return 0;
}
