// Throughput of the Word reader's inner loops: rendering special characters and fields, and
// decoding a whole flat document, and every binary Word document of the shared corpus in turn.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "word/MSWord.h"

namespace {

using namespace zvword;

// A body with the marks real documents are full of: paragraphs, cells, rows and fields.
WideString SampleBody(size_t chars) {
  const WideString para = u"The quick brown fox jumps over the lazy dog \x13 PAGE \x14" u"12\x15 again.\r";
  const WideString row = u"Cell one\aCell two\a\a";
  WideString s;
  while (s.size() < chars) s += (s.size() / para.size()) % 5 == 4 ? row : para;
  return s;
}

// A flat Word 2 file: the FIB head and one run of 8-bit text.
std::string FlatWord2(size_t chars) {
  std::string doc(128, '\0');
  auto put32 = [&doc](size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) doc[off + i] = static_cast<char>(v >> (8 * i));
  };
  doc[0] = '\xDB';
  doc[1] = '\xA5';
  doc[2] = 45;
  const std::string para = "The quick brown fox jumps over the lazy dog.\r";
  std::string text;
  while (text.size() < chars) text += para;
  put32(24, 128);
  put32(28, static_cast<uint32_t>(128 + text.size()));
  put32(52, static_cast<uint32_t>(text.size()));
  return doc + text;
}

void BM_WordAddText(benchmark::State& state, TMSTextFormating mode) {
  const WideString body = SampleBody(static_cast<size_t>(state.range(0)));
  TMSWordDocument doc;
  doc.SetTextFormating(mode);
  for (auto _ : state) {
    TWideStrings out;
    doc.RenderStory(body, &out);
    benchmark::DoNotOptimize(out.TextLength());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size() * 2));
}
BENCHMARK_CAPTURE(BM_WordAddText, plain, tfPlainText)->Arg(1 << 20)->Arg(8 << 20);
BENCHMARK_CAPTURE(BM_WordAddText, html, tfHTML)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_WordAddText, rtf, tfRTF)->Arg(1 << 20);

void BM_WordLoadFlat(benchmark::State& state) {
  const std::string bytes = FlatWord2(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TMSWordDocument doc;
    TBytesView stream(bytes);
    doc.LoadFromStream(stream);
    benchmark::DoNotOptimize(doc.Text()->TextLength());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_WordLoadFlat)->Arg(1 << 20)->Arg(16 << 20);

// The real documents are small: what counts there is the fixed cost of each load (tables read,
// storage opened), which a run of the tool per file pays on top of its start.
void BM_WordLoadCorpus(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::path(ZVWORD_SOURCE_DIR) / "../shared/corpus/real/doc";
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    std::ifstream f(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << f.rdbuf();
    files.push_back(bytes.str());
  }
  if (files.empty()) {
    state.SkipWithError(("no corpus at " + dir.string()).c_str());
    return;
  }
  int64_t total = 0;
  for (auto _ : state) {
    for (const std::string& bytes : files) {
      TMSWordDocument doc;
      TBytesView stream(bytes);
      try {
        doc.LoadFromStream(stream);
      } catch (const Exception&) {
        // Damaged and protected files are part of the corpus; their cost counts all the same.
      }
      benchmark::DoNotOptimize(doc.Text()->TextLength());
      total += static_cast<int64_t>(bytes.size());
    }
  }
  state.SetBytesProcessed(total);
  state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_WordLoadCorpus)->Unit(benchmark::kMillisecond);

}  // namespace
