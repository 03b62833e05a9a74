// ZIP entry extraction in bytes of output per second: one large deflated part read back through
// the archive (inflation and CRC check), as a package reader reads its body part.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>

#include "support/ZvWZipFile.h"

using namespace zvword;

namespace {

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// An archive of one deflated entry.
std::string OneEntryArchive(const std::string& name, const std::string& data) {
  const std::string packed = RawDeflate(data);
  std::string out;
  auto put = [&](uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) out += static_cast<char>(v >> (8 * k));
  };
  auto common = [&] {
    put(20, 2), put(0, 2), put(8, 2), put(0, 4), put(ZipCrc32(data), 4);
    put(packed.size(), 4), put(data.size(), 4), put(name.size(), 2), put(0, 2);
  };
  put(0x04034B50, 4), common(), out += name, out += packed;
  const size_t central = out.size();
  put(0x02014B50, 4), put(20, 2), common(), put(0, 2), put(0, 2), put(0, 2), put(0, 4), put(0, 4), out += name;
  const size_t centralSize = out.size() - central;
  put(0x06054B50, 4), put(0, 2), put(0, 2), put(1, 2), put(1, 2), put(centralSize, 4), put(central, 4), put(0, 2);
  return out;
}

// Word-like markup: runs of text in paragraphs, varied enough that deflate has work to do.
std::string BodyXml(size_t bytes) {
  std::string xml = "<w:document><w:body>";
  for (size_t n = 0; xml.size() < bytes; ++n)
    xml += "<w:p><w:r><w:t>Paragraph " + std::to_string(n) + " of the harbour notes, line " +
           std::to_string(n * 7919 % 1000) + ".</w:t></w:r></w:p>";
  return xml + "</w:body></w:document>";
}

void BM_ZipInflateBodyPart(benchmark::State& state) {
  const std::string archive = OneEntryArchive("word/document.xml", BodyXml(static_cast<size_t>(state.range(0)) << 20));
  TZipArchive zip;
  zip.LoadFromView(archive);
  size_t bytes = 0;
  for (auto _ : state) {
    const RawByteString part = zip.GetUncompressed(0);
    bytes += part.size();
    benchmark::DoNotOptimize(part.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ZipInflateBodyPart)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
