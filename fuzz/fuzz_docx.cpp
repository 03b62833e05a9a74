// The Word 2007+ reader on arbitrary bytes, in every output mode.
#include <cstddef>
#include <cstdint>

#include "packages/MSWordX.h"
#include "platform/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  TMSWordXDocument doc;
  doc.SetTextFormating(size ? static_cast<TMSTextFormating>(data[size - 1] % 3) : tfPlainText);
  TBytesView stream(data, static_cast<int64_t>(size));
  try {
    doc.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
