// Encrypted files: the standard security handler is not built yet, so they are refused clearly.
#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFSecurity.h"

namespace zvword {

void TZvPDFReader::ParseEncryption() {
  if (FEncryptEntry.Kind == pokNull) return;
  throw Exception(std::string_view("This PDF document is encrypted; encrypted documents are not supported yet"));
}

}  // namespace zvword
