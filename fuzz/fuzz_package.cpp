// Packages (Word 2007+, OpenDocument, EPUB, zipped FictionBook) mutated inside their entries.
// Byte mutations of a ZIP mostly break its CRCs or its deflate streams, so the readers behind the
// archive see little; this mutator unpacks the archive, mutates one entry's bytes (or renames,
// drops or doubles an entry) and packs it again with sound sizes and CRCs. Inputs that are not
// archives fall back to plain byte mutation.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "builders/ZipBuilder.h"
#include "support/ZvWZipFile.h"
#include "zvword.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* Data, size_t Size, size_t MaxSize);

namespace {

struct Entry {
  std::string name, data;
};

constexpr size_t kMaxEntryBytes = 1 << 20;

bool Unpack(std::string_view zip, std::vector<Entry>& out) {
  try {
    zvword::TZipArchive a;
    a.SetMaxUncompressedSize(kMaxEntryBytes);
    a.LoadFromView(zip);
    for (int i = 0; i < a.Count() && i < 64; ++i) {
      Entry e;
      e.name = a.Files.Items(i).Name();
      try {
        e.data = a.GetUncompressed(i);
      } catch (const zvword::Exception&) {
        continue;
      }
      out.push_back(std::move(e));
    }
  } catch (const zvword::Exception&) {
    return false;
  }
  return !out.empty();
}

std::string Pack(const std::vector<Entry>& entries, std::minstd_rand& rng) {
  zvword::test::ZipBuilder zip;
  // The mimetype entry of OpenDocument and EPUB stays stored, as writers keep it.
  for (const Entry& e : entries) zip.Add(e.name, e.data, e.name != "mimetype" && rng() % 4 != 0);
  return zip.Build();
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* Data, size_t Size, size_t MaxSize, unsigned int Seed) {
  std::minstd_rand rng(Seed);
  std::vector<Entry> entries;
  if (rng() % 8 == 0 || !Unpack(std::string_view(reinterpret_cast<const char*>(Data), Size), entries))
    return LLVMFuzzerMutate(Data, Size, MaxSize);
  Entry& e = entries[rng() % entries.size()];
  switch (rng() % 16) {
    case 0:  // a part under another name, or twice
      entries.push_back(e);
      if (rng() % 2) LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(entries.back().name.data()), entries.back().name.size(), entries.back().name.size());
      break;
    case 1:
      if (entries.size() > 1) entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(&e - entries.data()));
      break;
    default: {
      const size_t old = e.data.size();
      e.data.resize(std::min(kMaxEntryBytes, old + old / 4 + 64));
      e.data.resize(LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(e.data.data()), old, e.data.size()));
    }
  }
  const std::string zip = Pack(entries, rng);
  if (zip.size() > MaxSize) return LLVMFuzzerMutate(Data, Size, MaxSize);
  std::memcpy(Data, zip.data(), zip.size());
  return zip.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<TMSWBaseDocument> doc = CreateReaderFor(bytes, "input");
  if (!doc) return 0;
  doc->SetTextFormating(static_cast<TMSTextFormating>(size % 3));
  TBytesView stream(data, static_cast<int64_t>(size));
  try {
    doc->LoadFromStream(stream);
  } catch (const Exception&) {
  }
  for (const auto& list : doc->Lists()) (void)list.second->TextLength();
  return 0;
}
