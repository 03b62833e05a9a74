// Converts arbitrary bytes through every code page and back, and folds them as UTF-16 text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/CaseFold.h"
#include "platform/CodePages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  if (size < 1) return 0;
  static const int kPages[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                               1361, 866, 20866, 28592, 65001, 1200, 1201};
  const int cp = kPages[data[0] % (sizeof kPages / sizeof kPages[0])];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const WideString wide = CodePageToWide(bytes, cp);
  WideToCodePage(wide, cp);
  CaseFold(wide);
  CompareTextIgnoreCase(wide, CaseFold(wide));
  CodePageFromCharsetName(bytes);
  return 0;
}
