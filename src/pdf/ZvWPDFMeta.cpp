// Document metadata: filled by the metadata module once it exists; the summary stays cleared.
#include "pdf/ZvWPDF.h"

namespace zvword {

void TZvPDFReader::ProcessMetaData() {}

}  // namespace zvword
