// Shared helpers of the PDF tests.
#pragma once
#include <string>

#include "builders/PdfBuilder.h"
#include "pdf/ZvWPDF.h"
#include "platform/Streams.h"

namespace zvword::testing {

// The document's text as UTF-8 (the items of the output list joined with LF).
inline std::string PdfText(const std::string& bytes, TMSTextFormating fmt = tfPlainText, TZvPDFReader* keep = nullptr) {
  TZvPDFReader own;
  TZvPDFReader& r = keep ? *keep : own;
  r.SetTextFormating(fmt);
  TBytesView v(bytes);
  r.LoadFromStream(v);
  std::string out;
  for (int i = 0; i < r.Text()->Count(); ++i) {
    std::string s = WideToUtf8(r.Text()->Get(i));
    if (s.empty()) continue;
    if (!out.empty()) out += "\n";
    out += s;
  }
  // Line ends of the pages as LF, so expectations stay short.
  std::string res;
  for (size_t i = 0; i < out.size(); ++i)
    if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) res += out[i];
  return res;
}

// The message of the exception the load raises, or "" when it succeeds.
inline std::string PdfError(const std::string& bytes) {
  try {
    PdfText(bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace zvword::testing
