// Packages (Word 2007+, OpenDocument, EPUB, zipped FictionBook) mutated inside their entries.
// Byte mutations of a ZIP mostly break its CRCs or its deflate streams, so the readers behind the
// archive see little; this mutator unpacks the archive, mutates one entry's bytes (or renames,
// drops or doubles an entry) and packs it again with sound sizes and CRCs. Inputs that are not
// archives fall back to plain byte mutation.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// Raw deflate at the fastest level: the readers' inflation is what is under test, not ours.
std::string Deflate(const std::string& in) {
  z_stream z{};
  if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Pack(const std::vector<Entry>& entries, std::minstd_rand& rng) {
  std::string zip, central;
  for (const Entry& e : entries) {
    // The mimetype entry of OpenDocument and EPUB stays stored, as writers keep it.
    const bool stored = e.name == "mimetype" || rng() % 4 == 0;
    const std::string body = stored ? e.data : Deflate(e.data);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    std::string common;
    Put16(common, 20);
    Put16(common, 0);
    Put16(common, stored ? 0 : 8);
    Put32(common, 0);
    Put32(common, crc);
    Put32(common, static_cast<uint32_t>(body.size()));
    Put32(common, static_cast<uint32_t>(e.data.size()));
    Put16(common, static_cast<uint32_t>(e.name.size()));
    Put16(common, 0);
    Put32(zip, 0x04034b50);
    zip += common + e.name + body;
    Put32(central, 0x02014b50);
    Put16(central, 20);
    central += common;
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, offset);
    central += e.name;
  }
  const uint32_t at = static_cast<uint32_t>(zip.size());
  zip += central;
  Put32(zip, 0x06054b50);
  Put32(zip, 0);
  Put16(zip, static_cast<uint32_t>(entries.size()));
  Put16(zip, static_cast<uint32_t>(entries.size()));
  Put32(zip, static_cast<uint32_t>(central.size()));
  Put32(zip, at);
  Put16(zip, 0);
  return zip;
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
