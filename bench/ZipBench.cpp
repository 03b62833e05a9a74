// ZIP entry extraction in bytes of output per second: one large deflated part read back through
// the archive (inflation and CRC check), as a package reader reads its body part.
#include <benchmark/benchmark.h>

#include <string>

#include "builders/ZipBuilder.h"
#include "support/ZvWZipFile.h"

using namespace zvword;

namespace {

// Word-like markup: runs of text in paragraphs, varied enough that deflate has work to do.
std::string BodyXml(size_t bytes) {
  std::string xml = "<w:document><w:body>";
  for (size_t n = 0; xml.size() < bytes; ++n)
    xml += "<w:p><w:r><w:t>Paragraph " + std::to_string(n) + " of the harbour notes, line " +
           std::to_string(n * 7919 % 1000) + ".</w:t></w:r></w:p>";
  return xml + "</w:body></w:document>";
}

void BM_ZipInflateBodyPart(benchmark::State& state) {
  const std::string archive = test::ZipBuilder().Add("word/document.xml", BodyXml(static_cast<size_t>(state.range(0)) << 20)).Build();
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
