// Opens the input as a compound file and reads every stream of every storage.
#include <cstddef>
#include <cstdint>

#include "platform/CompoundFile.h"
#include "platform/Exception.h"

namespace {

void Walk(zvword::IStorage& storage) {
  auto e = storage.EnumElements();
  zvword::TStatStg st;
  char buf[4096];
  while (e->Next(st) == 0) {
    if (st.Type == zvword::STGTY_STORAGE) {
      if (auto sub = storage.OpenStorage(st.Name)) Walk(*sub);
    } else if (auto s = storage.OpenStream(st.Name)) {
      while (s->Read(buf, sizeof buf) > 0) {
      }
      s->Seek(-100, zvword::TSeekOrigin::soEnd);
      s->Read(buf, 200);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto root = zvword::OpenStorageOnBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (root) Walk(*root);
  } catch (const zvword::Exception&) {
  }
  return 0;
}
