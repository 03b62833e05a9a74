// Feeds arbitrary bytes (packages and flat XML) to the OpenDocument readers in every output mode,
// and to the media-type detection.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "packages/MSWOO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TCustomOpenOfficeDocument::MediaType(bytes);
  for (TMSTextFormating mode : {tfPlainText, tfRTF, tfHTML}) {
    std::unique_ptr<TCustomOpenOfficeDocument> doc;
    if (mode == tfPlainText) doc = std::make_unique<TOpenOfficeTextDocument>();
    else if (mode == tfRTF) doc = std::make_unique<TOpenOfficeSpreadsheet>();
    else doc = std::make_unique<TOpenOfficePresentation>();
    doc->SetTextFormating(mode);
    if (mode == tfHTML) doc->SetMaxTextLength(100);
    TBytesView stream(data, static_cast<int64_t>(size));
    try {
      doc->LoadFromStream(stream);
    } catch (const Exception&) {
    }
  }
  return 0;
}
