// Loads the input as a PDF document in every output mode and walks its pages and items.
//
// Besides libFuzzer's own byte mutations, a structure-aware mutator cuts the input into its
// "N G obj ... endobj" objects, mutates, copies or swaps whole objects, and writes the file again
// with a correct cross-reference table, so mutations reach the object graph instead of ending in
// a rebuilt table. Run with -dict=fuzz/pdf.dict.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFFilters.h"
#include "pdf/ZvWPDFFontProgram.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

struct Obj {
  std::string num, gen, body;
};

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The objects of a file in order; bodies run from after "obj" to before "endobj".
std::vector<Obj> SplitObjects(std::string_view d) {
  std::vector<Obj> out;
  size_t p = 0;
  while ((p = d.find(" obj", p)) != std::string_view::npos && out.size() < 4096) {
    size_t q = p;
    size_t ge = q;
    while (q > 0 && Digit(d[q - 1])) --q;
    if (q == ge || q == 0 || d[q - 1] != ' ') {
      p += 4;
      continue;
    }
    size_t gs = q, ne = --q;
    while (q > 0 && Digit(d[q - 1])) --q;
    if (q == ne) {
      p += 4;
      continue;
    }
    size_t e = d.find("endobj", p + 4);
    if (e == std::string_view::npos) e = d.size();
    out.push_back({std::string(d.substr(q, ne - q)), std::string(d.substr(gs, ge - gs)), std::string(d.substr(p + 4, e - p - 4))});
    p = e;
  }
  return out;
}

std::string Rebuild(const std::vector<Obj>& objs) {
  std::string out = "%PDF-1.7\n";
  std::vector<std::pair<long, size_t>> offsets;  // object number, offset
  long root = -1, maxNum = 0;
  for (const auto& o : objs) {
    long n = std::strtol(o.num.c_str(), nullptr, 10);
    if (n < 0 || n > 100000) continue;
    offsets.emplace_back(n, out.size());
    maxNum = std::max(maxNum, n);
    if (root < 0 && o.body.find("/Catalog") != std::string::npos) root = n;
    out += o.num + " " + o.gen + " obj" + o.body + "endobj\n";
  }
  std::vector<size_t> table(static_cast<size_t>(maxNum) + 1, 0);
  for (auto [n, off] : offsets) table[static_cast<size_t>(n)] = off;
  size_t xref = out.size();
  out += "xref\n0 " + std::to_string(table.size()) + "\n";
  char line[32];
  for (size_t i = 0; i < table.size(); ++i) {
    std::snprintf(line, sizeof line, table[i] ? "%010zu 00000 n \n" : "%010zu 65535 f \n", table[i]);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(table.size()) + " /Root " + std::to_string(root < 0 ? 1 : root) +
         " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  std::minstd_rand rng(seed);
  std::vector<Obj> objs = SplitObjects(std::string_view(reinterpret_cast<const char*>(data), size));
  if (objs.empty() || rng() % 3 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  Obj& o = objs[rng() % objs.size()];
  switch (rng() % 4) {
    case 0:
    case 1: {  // mutate one object's body
      std::string b = o.body;
      b.resize(b.size() * 2 + 64);
      b.resize(LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(b.data()), o.body.size(), b.size()));
      o.body = b;
      break;
    }
    case 2:  // another object's body under this number (shared streams, loops, wrong types)
      o.body = objs[rng() % objs.size()].body;
      break;
    default:  // the object again, as a copy or a later definition
      objs.push_back(objs[rng() % objs.size()]);
      if (rng() % 2) objs.back().num = std::to_string(rng() % (objs.size() + 4));
      break;
  }
  std::string out = Rebuild(objs);
  if (out.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
  std::memcpy(data, out.data(), out.size());
  return out.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    zvword::TZvPDFReader r;
    r.SetTextFormating(size % 3 == 0 ? zvword::tfPlainText : size % 3 == 1 ? zvword::tfRTF : zvword::tfHTML);
    // Limits low enough that a run under the sanitizers hits them well within the fuzzer's timeout.
    zvword::TResourceLimits limits;
    limits.MaxDecodedBytes = 256 << 20;
    limits.MaxOperations = 4'000'000;
    r.SetResourceLimits(limits);
    r.SetMaxPageOperations(1'000'000);
    r.SetKeepPages(size % 2 == 0);  // both the streaming path and the pages kept for a caller
    zvword::TBytesView v(data, static_cast<int64_t>(size));
    r.LoadFromStream(v);
    for (int i = 0; i < r.Pages()->Count(); ++i) {
      zvword::TZvPDFPage* p = r.Pages()->GetPage(i);
      p->Items().SortItems();
      (void)p->GetPlainText();
    }
  } catch (const zvword::Exception&) {
  }
  // The decoders on the raw bytes too.
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)zvword::TZvWLZWDecoder::DecodeTIFF(bytes, 1 << 20, size & 1);
  (void)zvword::TZvWLZWDecoder::DecodeGIF(bytes, 1 << 20, 8);
  (void)zvword::pdffilters::ASCII85Decode(bytes);
  (void)zvword::pdffilters::ApplyPredictor(std::string(bytes.substr(0, 1 << 20)), 10 + static_cast<int>(size % 6),
                                           1 + static_cast<int>(size % 4), 8, 1 + static_cast<int>(size % 7));
  // Embedded font programs sit in compressed streams: their readers get the raw bytes as well.
  for (int cff = 0; cff < 2; ++cff) {
    try {
      zvword::TZvPDFFontProgram program;
      if (cff ? program.ReadCFF(bytes, nullptr) : program.ReadTrueType(bytes, nullptr))
        for (uint32_t g = 0; g < 512; ++g) (void)program.GlyphText(g);
    } catch (const zvword::Exception&) {
    }
  }
  return 0;
}
