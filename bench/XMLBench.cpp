// XML engine throughput on a generated Word body part, in bytes per second.
#include <benchmark/benchmark.h>

#include <string>

#include "support/ZvWXML.h"

using namespace zvword;

namespace {

std::string MakeBodyPart(size_t bytes) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                  "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
  const std::string para =
      "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr><w:r><w:rPr><w:b/></w:rPr>"
      "<w:t xml:space=\"preserve\">The quick brown fox &amp; the lazy dog </w:t></w:r>"
      "<w:r><w:t>jump over caf\xC3\xA9 tables</w:t></w:r></w:p>";
  s.reserve(bytes + para.size() + 64);
  while (s.size() < bytes) s += para;
  s += "</w:body></w:document>";
  return s;
}

std::string MakeContentPart(size_t bytes) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                  "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>";
  const std::string para =
      "<text:p text:style-name=\"P1\">The quick brown fox<text:s text:c=\"2\"/>jumps "
      "<text:span text:style-name=\"T1\">over caf\xC3\xA9 tables</text:span> &amp; the lazy dog</text:p>\n";
  s.reserve(bytes + para.size() + 64);
  while (s.size() < bytes) s += para;
  s += "</office:text></office:body></office:document-content>";
  return s;
}

// As a reader drives it: the paragraph is freed as soon as it closes.
void BM_XMLStreamingParagraphs(benchmark::State& state) {
  const std::string part = MakeBodyPart(static_cast<size_t>(state.range(0)) << 20);
  size_t chars = 0;
  for (auto _ : state) {
    TZvXMLEngine e;
    e.SetOnTag([&](TZvXMLEngine*, TZvXMLItem*, std::u16string_view n, std::u16string_view v, std::u16string_view,
                   bool& accept) {
      if (n == u"w:t") {
        chars += v.size();
        accept = false;
      }
    });
    e.SetOnAfterTag([](TZvXMLEngine*, TZvXMLItem*& node, bool&) {
      if (node->TagName == u"w:p") TZvXMLItem::Free(node);
    });
    e.LoadFromBytes(part);
  }
  benchmark::DoNotOptimize(chars);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(part.size()));
}
BENCHMARK(BM_XMLStreamingParagraphs)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// An OpenDocument body, each paragraph's text taken and the paragraph freed when it closes.
void BM_XMLStreamingContent(benchmark::State& state) {
  const std::string part = MakeContentPart(static_cast<size_t>(state.range(0)) << 20);
  size_t chars = 0;
  for (auto _ : state) {
    TZvXMLEngine e;
    e.SetOnAfterTag([&](TZvXMLEngine*, TZvXMLItem*& node, bool&) {
      if (node->TagName != u"text:p") return;
      chars += node->Value ? node->Value->size() : 0;
      TZvXMLItem::Free(node);
    });
    e.LoadFromBytes(part);
  }
  benchmark::DoNotOptimize(chars);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(part.size()));
}
BENCHMARK(BM_XMLStreamingContent)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole tree kept, then its text collected.
void BM_XMLFullTree(benchmark::State& state) {
  const std::string part = MakeBodyPart(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    TZvXMLEngine e;
    e.LoadFromBytes(part);
    benchmark::DoNotOptimize(e.RootItem()->FullText().size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(part.size()));
}
BENCHMARK(BM_XMLFullTree)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeEntities(benchmark::State& state) {
  std::u16string s;
  while (s.size() < (1u << 20)) s += u"Fish &amp; chips &lt;cheap&gt; &#x263A; &nbsp; plain text runs ";
  for (auto _ : state) benchmark::DoNotOptimize(DecodeEntities(s).size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.size() * 2));
}
BENCHMARK(BM_DecodeEntities);

}  // namespace
