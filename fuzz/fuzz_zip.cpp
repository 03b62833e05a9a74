// The ZIP reader on arbitrary bytes: every entry is extracted under small limits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Exception.h"
#include "support/ZvWZipFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  TZipArchive zip;
  zip.SetMaxUncompressedSize(16u << 20);
  zip.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < zip.Count() && i < 64; ++i) {
    try {
      (void)zip.GetUncompressed(i);
    } catch (const Exception&) {
    }
  }
  (void)zip.GetIndexByFileName(std::string_view("word/document.xml"));
  return 0;
}
