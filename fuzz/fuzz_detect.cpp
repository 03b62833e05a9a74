// Detection and the factory on arbitrary bytes: whatever reader detection picks must end in text
// or an Exception, in every output mode, with and without a length limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zvword.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    std::unique_ptr<TMSWBaseDocument> doc = CreateReaderFor(bytes, "input.doc");
    if (!doc) return 0;
    doc->SetTextFormating(mode);
    if (mode == tfRTF) doc->SetMaxTextLength(200);
    TBytesView stream(data, static_cast<int64_t>(size));
    try {
      doc->LoadFromStream(stream);
    } catch (const Exception&) {
    }
    for (const auto& list : doc->Lists()) (void)list.second->TextLength();
  }
  return 0;
}
