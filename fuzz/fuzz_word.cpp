// libFuzzer harness for the Word binary reader: compound files and flat Word files from memory.
#include <cstddef>
#include <cstdint>

#include "word/MSWord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  TMSWordDocument doc;
  // The first byte picks the output mode and whether macros are read, so every path is reached.
  const uint8_t mode = size > 0 ? data[0] : 0;
  doc.SetTextFormating(static_cast<TMSTextFormating>(mode % 3));
  TZvWParseItems items{wpiText, wpiSummaryInformation};
  if (mode & 4) items.Include(wpiVBA);
  doc.SetParseItems(items);
  TBytesView stream(data, static_cast<int64_t>(size));
  try {
    doc.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
