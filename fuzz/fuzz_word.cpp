// libFuzzer harness for the Word binary reader: compound files and flat Word files from memory.
#include <cstddef>
#include <cstdint>

#include "word/MSWord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  TMSWordDocument doc;
  // The input's length picks the output mode and whether macros are read, so that every path is
  // reached without spending the format's leading signature bytes.
  doc.SetTextFormating(static_cast<TMSTextFormating>(size % 3));
  TZvWParseItems items{wpiText, wpiSummaryInformation};
  if ((size / 3) % 2 == 0) items.Include(wpiVBA);
  doc.SetParseItems(items);
  TBytesView stream(data, static_cast<int64_t>(size));
  try {
    doc.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
