// Loading the same document plain and encrypted, side by side. The files come from the
// directory in ZVWORD_BENCH_PDF_DIR: NAME.pdf and its encrypted copies NAME-aes256.pdf,
// NAME-aes128.pdf and NAME-rc4.pdf (e.g. made with qpdf --encrypt).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "pdf/ZvWPDF.h"
#include "platform/Streams.h"

using namespace zvword;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void BM_PdfLoad(benchmark::State& state, const char* suffix) {
  const char* dir = std::getenv("ZVWORD_BENCH_PDF_DIR");
  const char* name = std::getenv("ZVWORD_BENCH_PDF_NAME");
  std::string data = dir ? ReadFile(std::string(dir) + "/" + (name ? name : "big300") + suffix + ".pdf") : "";
  if (data.empty()) {
    state.SkipWithError("set ZVWORD_BENCH_PDF_DIR");
    return;
  }
  for (auto _ : state) {
    TZvPDFReader r;
    TBytesView v(data);
    r.LoadFromStream(v);
    benchmark::DoNotOptimize(r.Text()->Count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK_CAPTURE(BM_PdfLoad, plain, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PdfLoad, aes256, "-aes256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PdfLoad, aes128, "-aes128")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PdfLoad, rc4, "-rc4")->Unit(benchmark::kMillisecond);

}  // namespace
