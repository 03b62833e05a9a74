// PalmDoc decoding throughput in bytes of text per second: the record decompressor alone, and a
// whole book through the reader. The book repeats the records of the bundled compressed sample.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/MSPalmDoc.h"

using namespace zvword;

namespace {

uint32_t BE32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8 | static_cast<uint8_t>(s[at + 3]);
}

// The compressed text records of samples/harbour.pdb.
std::vector<std::string> SampleRecords() {
  std::ifstream f(std::string(ZVWORD_SOURCE_DIR) + "/samples/harbour.pdb", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string book = ss.str();
  std::vector<std::string> records;
  if (book.size() < 78) return records;
  const size_t n = static_cast<uint8_t>(book[76]) << 8 | static_cast<uint8_t>(book[77]);
  for (size_t i = 1; i < n; ++i) {
    const size_t start = BE32(book, 78 + 8 * i);
    const size_t end = i + 1 < n ? BE32(book, 78 + 8 * (i + 1)) : book.size();
    records.push_back(book.substr(start, end - start));
  }
  return records;
}

// A compressed book of about `records` records of 4 KB text each.
std::string MakeBook(size_t count) {
  const auto sample = SampleRecords();
  std::vector<std::string> records;
  for (size_t i = 0; i < count; ++i) records.push_back(sample[i % sample.size()]);
  std::string header(78, '\0');
  header.replace(60, 8, "TEXtREAd");
  const size_t total = records.size() + 1;
  header[76] = static_cast<char>(total >> 8);
  header[77] = static_cast<char>(total & 0xFF);
  std::string rec0(16, '\0');
  rec0[1] = 2;     // compressed
  rec0[10] = 0x10;  // 4096
  std::string list, body = rec0;
  size_t pos = 78 + 8 * total + 2;
  auto put32 = [&](size_t v) {
    for (int k = 3; k >= 0; --k) list += static_cast<char>(v >> (8 * k));
    list += std::string(4, '\0');
  };
  put32(pos);
  pos += rec0.size();
  for (const auto& r : records) {
    put32(pos);
    pos += r.size();
    body += r;
  }
  return header + list + std::string(2, '\0') + body;
}

void BM_PalmDocDecompressRecords(benchmark::State& state) {
  const auto records = SampleRecords();
  size_t bytes = 0;
  for (auto _ : state)
    for (const auto& r : records) {
      const RawByteString text = TPalmDocFile::DecompressText(r, 4096);
      bytes += text.size();
      benchmark::DoNotOptimize(text.data());
    }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PalmDocDecompressRecords);

void BM_PalmDocLoadBook(benchmark::State& state) {
  const std::string book = MakeBook(static_cast<size_t>(state.range(0)));
  size_t chars = 0;
  for (auto _ : state) {
    TPalmDocFile doc;
    TBytesView stream(book);
    doc.LoadFromStream(stream);
    chars += static_cast<size_t>(doc.Text()->TextLength());
  }
  state.SetBytesProcessed(static_cast<int64_t>(chars));  // one byte of the book per character
}
BENCHMARK(BM_PalmDocLoadBook)->Arg(256)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace
