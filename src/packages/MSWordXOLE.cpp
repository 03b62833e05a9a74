// Word 2007+ packages that arrive inside a compound file: an embedded object's "Package" stream,
// or an encrypted package, which cannot be read without its password.
#include "packages/MSWordX.h"
#include "platform/CompoundFile.h"

namespace zvword {

bool TMSWordXDocument::IsEncryptedPackage(std::string_view Bytes) {
  if (!IsCompoundBytes(Bytes)) return false;
  try {
    std::unique_ptr<IStorage> root = OpenStorageOnView(Bytes);
    return root && root->OpenStream(u"EncryptedPackage") != nullptr;
  } catch (const Exception&) {
    return false;
  }
}

void TMSWordXDocument::LoadOLEBytes(std::string_view Bytes) {
  std::unique_ptr<IStorage> root = OpenStorageOnView(Bytes);
  if (!root) throw Exception("The compound file holds no Word 2007+ package");
  if (std::unique_ptr<IStream> package = root->OpenStream(u"Package")) {
    LoadPackage(package->ReadAll());
    return;
  }
  if (root->OpenStream(u"EncryptedPackage"))
    throw Exception("The document is encrypted; a password is needed to read it");
  throw Exception("The compound file holds no Word 2007+ package");
}

}  // namespace zvword
