// Throughput of the OpenDocument reader over a flat text document of paragraphs, numbered lists and
// tables, at two sizes: the time per byte should not grow with the body.
#include <benchmark/benchmark.h>

#include <string>

#include "packages/MSWOO.h"

namespace {

using namespace zvword;

std::string FlatOdt(size_t bytes) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document office:mimetype="
      "\"application/vnd.oasis.opendocument.text\"><office:automatic-styles><text:list-style style:name=\"L1\">"
      "<text:list-level-style-number text:level=\"1\" style:num-suffix=\".\" style:num-format=\"1\"/>"
      "</text:list-style><style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties "
      "fo:font-weight=\"bold\"/></style:style></office:automatic-styles><office:body><office:text>";
  const std::string para = "<text:p text:style-name=\"P1\">The quick brown fox <text:span>jumps</text:span> over the "
                           "lazy dog<text:s text:c=\"2\"/>again &amp; again.</text:p>\n";
  const std::string list = "<text:list text:style-name=\"L1\" text:continue-numbering=\"true\"><text:list-item>"
                           "<text:p>An item</text:p></text:list-item></text:list>\n";
  const std::string table = "<table:table><table:table-row><table:table-cell><text:p>a</text:p></table:table-cell>"
                            "<table:table-cell><text:p>b</text:p></table:table-cell></table:table-row></table:table>\n";
  std::string body;
  for (size_t i = 0; body.size() < bytes; ++i) body += i % 7 == 5 ? list : i % 7 == 6 ? table : para;
  return head + body + "</office:text></office:body></office:document>";
}

void BM_OdfLoadFlat(benchmark::State& state, TMSTextFormating mode) {
  const std::string bytes = FlatOdt(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TOpenOfficeTextDocument doc;
    doc.SetTextFormating(mode);
    TBytesView stream(bytes);
    doc.LoadFromStream(stream);
    benchmark::DoNotOptimize(doc.Text()->TextLength());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK_CAPTURE(BM_OdfLoadFlat, plain, tfPlainText)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OdfLoadFlat, html, tfHTML)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
