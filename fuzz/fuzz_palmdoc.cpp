// Feeds arbitrary bytes to the PalmDoc/Peanut reader in every output mode, and to the record
// decompressor on its own.
#include <cstddef>
#include <cstdint>

#include "legacy/MSPalmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  TPalmDocFile::DecompressText(data, size, static_cast<uint16_t>(size));
  for (TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    TPalmDocFile doc;
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
