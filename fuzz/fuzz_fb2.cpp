// Feeds arbitrary bytes to the FictionBook reader in every output mode.
#include <cstddef>
#include <cstdint>

#include "packages/MSWFB2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  for (TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    TFictionBook doc;
    doc.SetTextFormating(mode);
    if (mode == tfHTML) doc.SetMaxTextLength(100);
    TBytesView stream(data, static_cast<int64_t>(size));
    try {
      doc.LoadFromStream(stream);
    } catch (const Exception&) {
    }
  }
  return 0;
}
