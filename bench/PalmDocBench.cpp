// PalmDoc decoding throughput in bytes of text per second: the record decompressor alone (into
// bytes and straight into characters), and a whole book through the reader. The records hold
// text made of words drawn at random, so that no two records decode alike and a branch
// predictor cannot learn the book.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "legacy/MSPalmDoc.h"
#include "platform/CodePages.h"

using namespace zvword;

namespace {

// PalmDoc compression, greedy, with the last position of each three-byte prefix as the only candidate.
std::string Compress(const std::string& text) {
  std::vector<int64_t> last(1 << 12, -1);
  auto hash = [&](size_t i) { return (static_cast<uint8_t>(text[i]) * 31u * 31u + static_cast<uint8_t>(text[i + 1]) * 31u + static_cast<uint8_t>(text[i + 2])) & 0xFFF; };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t len = 0, dist = 0;
    if (i + 3 <= text.size()) {
      const int64_t at = last[hash(i)];
      last[hash(i)] = static_cast<int64_t>(i);
      if (at >= 0 && i - static_cast<size_t>(at) <= 2047) {
        while (len < 10 && i + len < text.size() && text[static_cast<size_t>(at) + len] == text[i + len]) ++len;
        dist = i - static_cast<size_t>(at);
      }
    }
    if (len >= 3) {
      const unsigned w = 0x8000 | static_cast<unsigned>(dist << 3) | static_cast<unsigned>(len - 3);
      out += static_cast<char>(w >> 8);
      out += static_cast<char>(w & 0xFF);
      i += len;
    } else if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] >= 0x40) {  // ASCII text: below 80
      out += static_cast<char>(text[i + 1] ^ 0x80);
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Compressed records of 4,096 bytes of text each.
const std::vector<std::string>& Records() {
  static const std::vector<std::string> records = [] {
    static const char* const words[] = {"the ", "harbour ", "net ", "tide ", "rope, ", "and ", "of ", "a ", "ship ",
                                        "sailed ", "into ", "grey ", "morning. ", "Gulls ", "cried ", "over ", "water ",
                                        "while ", "men ", "hauled ", "nets\n", "to ", "shore ", "again; ", "\"Ahoy!\" "};
    constexpr size_t kWords = sizeof words / sizeof words[0];
    uint32_t seed = 12345;
    std::vector<std::string> out;
    for (int r = 0; r < 512; ++r) {
      std::string text;
      while (text.size() < 4096) {
        seed = seed * 1103515245u + 12345u;
        text += words[(seed >> 16) % kWords];
        // Numbers here and there keep matches about as short as in a novel.
        if ((seed >> 8) % 3 == 0) text += std::to_string(seed % 1000) + " ";
      }
      text.resize(4096);
      out.push_back(Compress(text));
    }
    return out;
  }();
  return records;
}

// A compressed book of `count` records.
std::string MakeBook(size_t count) {
  const auto& sample = Records();
  std::vector<std::string> records;
  for (size_t i = 0; i < count; ++i) records.push_back(sample[i % sample.size()]);
  std::string header(78, '\0');
  header.replace(60, 8, "TEXtREAd");
  const size_t total = records.size() + 1;
  header[76] = static_cast<char>(total >> 8);
  header[77] = static_cast<char>(total & 0xFF);
  std::string rec0(16, '\0');
  rec0[1] = 2;      // compressed
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
  const auto& records = Records();
  RawByteString text;
  size_t bytes = 0, compressed = 0;
  for (const auto& r : records) compressed += r.size();
  for (auto _ : state)
    for (const auto& r : records) {
      bytes += TPalmDocFile::DecompressInto(reinterpret_cast<const uint8_t*>(r.data()), r.size(), text);
      benchmark::DoNotOptimize(text.data());
    }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["ratio"] = static_cast<double>(bytes) / static_cast<double>(compressed * state.iterations());
}
BENCHMARK(BM_PalmDocDecompressRecords);

void BM_PalmDocDecompressRecordsToCharacters(benchmark::State& state) {
  const auto& records = Records();
  const char16_t* table = AsciiSingleByteTable(1252);
  WideString text;
  size_t bytes = 0;
  for (auto _ : state)
    for (const auto& r : records) {
      bytes += TPalmDocFile::DecompressInto(reinterpret_cast<const uint8_t*>(r.data()), r.size(), text, table);
      benchmark::DoNotOptimize(text.data());
    }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PalmDocDecompressRecordsToCharacters);

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
