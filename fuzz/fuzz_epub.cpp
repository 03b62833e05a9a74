// Feeds arbitrary bytes to the EPUB reader in every output mode.
#include <cstddef>
#include <cstdint>

#include "packages/MSWEPub.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  for (TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    TZvWEPub doc;
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
