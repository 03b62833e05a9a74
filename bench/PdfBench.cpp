// Throughput of the PDF reader: a generated document (text shown as kerned arrays the way office
// writers do, path drawing between the lines, compressed streams, a footer form on every page) and
// a real one, /work/tools-local/long300.pdf or the file named in ZVWORD_BENCH_PDF.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "pdf/ZvWPDF.h"
#include "platform/Streams.h"

using namespace zvword;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Objects numbered from 1 in the order added, with a cross-reference table.
class TPdfWriter {
 public:
  int Add(const std::string& body) {
    FObjects.push_back(body);
    return static_cast<int>(FObjects.size());
  }
  int Reserve() { return Add(""); }
  void Set(int num, const std::string& body) { FObjects[static_cast<size_t>(num - 1)] = body; }
  int AddFlate(const std::string& dict, const std::string& data) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    z.resize(n);
    return Add("<< " + dict + " /Filter /FlateDecode /Length " + std::to_string(n) + " >>\nstream\n" + z + "\nendstream");
  }
  std::string Build(int root) const {
    std::string out = "%PDF-1.5\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < FObjects.size(); ++i) {
      offsets.push_back(out.size());
      out += std::to_string(i + 1) + " 0 obj\n" + FObjects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(FObjects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
      std::string n = std::to_string(o);
      out += std::string(10 - n.size(), '0') + n + " 00000 n \n";
    }
    out += "trailer\n<< /Size " + std::to_string(FObjects.size() + 1) + " /Root " + std::to_string(root) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
  }

 private:
  std::vector<std::string> FObjects;
};

std::string GeneratedPdf(int pages) {
  static const char* kWords[] = {"reader", "page", "stream", "font", "glyph", "line", "text", "form"};
  TPdfWriter b;
  int catalog = b.Reserve(), tree = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  int footer = b.AddFlate("/Type /XObject /Subtype /Form /BBox [0 0 612 40] /Resources << /Font << /F1 " +
                               std::to_string(font) + " 0 R >> >>",
                           "BT /F1 8 Tf 72 20 Td (A footer drawn on every page) Tj ET");
  const std::string res = "<< /Font << /F1 " + std::to_string(font) + " 0 R >> /XObject << /Ft " + std::to_string(footer) +
                          " 0 R >> >>";
  std::string kids;
  unsigned seed = 1;
  for (int p = 0; p < pages; ++p) {
    std::string c;
    for (int l = 0; l < 45; ++l) {
      c += "q 0 0 0 rg BT 56.8 " + std::to_string(760 - l * 16) + " Td /F1 11 Tf[";
      for (int w = 0; w < 10; ++w) {
        seed = seed * 1103515245 + 12345;
        const std::string word = kWords[(seed >> 16) % 8];
        for (char ch : word) c += "(" + std::string(1, ch) + ")" + std::to_string(static_cast<int>(seed >> 20) % 7 - 3);
        c += "( )";
      }
      c += "]TJ ET Q 0.5 w 56 " + std::to_string(757 - l * 16) + " m 540 " + std::to_string(757 - l * 16) + " l S\n";
    }
    c += "/Ft Do";
    int content = b.AddFlate("", c);
    int page = b.Add("<< /Type /Page /Parent " + std::to_string(tree) + " 0 R /MediaBox [0 0 612 792] /Resources " + res +
                     " /Contents " + std::to_string(content) + " 0 R >>");
    kids += std::to_string(page) + " 0 R ";
  }
  b.Set(tree, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  b.Set(catalog, "<< /Type /Catalog /Pages " + std::to_string(tree) + " 0 R >>");
  return b.Build(catalog);
}

void Load(benchmark::State& state, const std::string& data) {
  if (data.empty()) {
    state.SkipWithError("no document (set ZVWORD_BENCH_PDF)");
    return;
  }
  for (auto _ : state) {
    TZvPDFReader r;
    int64_t chars = 0;
    // Streamed as the command-line tool does: each item is handed on, nothing is kept.
    r.Text()->SetConsumer([&chars](const WideString& item) { chars += static_cast<int64_t>(item.size()); });
    TBytesView v(data);
    r.LoadFromStream(v);
    benchmark::DoNotOptimize(chars);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_PdfGenerated(benchmark::State& state) {
  static const std::string data = GeneratedPdf(static_cast<int>(state.range(0)));
  Load(state, data);
}
BENCHMARK(BM_PdfGenerated)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_PdfLong300(benchmark::State& state) {
  const char* path = std::getenv("ZVWORD_BENCH_PDF");
  static const std::string data = ReadFile(path ? path : "/work/tools-local/long300.pdf");
  Load(state, data);
}
BENCHMARK(BM_PdfLong300)->Unit(benchmark::kMillisecond);

}  // namespace
