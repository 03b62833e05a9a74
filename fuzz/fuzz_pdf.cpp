// Loads the input as a PDF document in every output mode and walks its pages and items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFFilters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    zvword::TZvPDFReader r;
    r.SetTextFormating(size % 3 == 0 ? zvword::tfPlainText : size % 3 == 1 ? zvword::tfRTF : zvword::tfHTML);
    zvword::TBytesView v(bytes);
    r.LoadFromStream(v);
    for (int i = 0; i < r.Pages()->Count(); ++i) {
      zvword::TZvPDFPage* p = r.Pages()->GetPage(i);
      p->Items().SortItems();
      (void)p->GetPlainText();
    }
  } catch (const zvword::Exception&) {
  }
  // The decoders on the raw bytes too.
  (void)zvword::TZvWLZWDecoder::DecodeTIFF(bytes, 1 << 20, size & 1);
  (void)zvword::TZvWLZWDecoder::DecodeGIF(bytes, 1 << 20, 8);
  (void)zvword::pdffilters::ASCII85Decode(bytes);
  (void)zvword::pdffilters::ApplyPredictor(bytes, 10 + static_cast<int>(size % 6), 1 + static_cast<int>(size % 4), 8,
                                           1 + static_cast<int>(size % 7));
  return 0;
}
