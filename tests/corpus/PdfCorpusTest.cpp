// Every PDF of the shared corpus: text or a clear error, never a crash; word recall against the
// ground truth of the generated files and against pdftotext on the real ones.
#include <gtest/gtest.h>

#include <cstdio>

#include "builders/Corpus.h"
#include "pdf/ZvWPDF.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;
using namespace corpus;

TEST(PdfCorpus, EveryFileGivesTextOrAClearErrorAndRecallMeetsTheBars) {
  const fs::path dir = CorpusDir();
  ZVWORD_REQUIRE_CORPUS(dir / "real" / "pdf");
  std::vector<double> realRecall, genRecall;
  int errors = 0;
  auto run = [&](const fs::path& file, const fs::path& ref, std::vector<double>& out) {
    std::string bytes = ReadFile(file);
    if (bytes.find("/Encrypt") != std::string::npos) return;  // the security handler's tests cover these
    TZvPDFReader r;
    TBytesView v(bytes);
    std::u16string text;
    try {
      r.LoadFromStream(v);
      for (int i = 0; i < r.Text()->Count(); ++i) text += r.Text()->Get(i) + u"\n";
    } catch (const Exception& e) {
      ++errors;
      EXPECT_FALSE(std::string(e.what()).empty()) << file;
    }
    if (fs::exists(ref)) out.push_back(Recall(Utf8ToWide(ReadFile(ref)), text));
  };
  for (auto& e : fs::directory_iterator(dir / "real" / "pdf"))
    if (e.path().extension() == ".pdf")
      run(e.path(), dir / "reference" / "pdftotext" / "real" / "pdf" / (e.path().filename().string() + ".txt"), realRecall);
  for (auto& e : fs::directory_iterator(dir / "generated"))
    if (e.path().extension() == ".pdf") run(e.path(), fs::path(e.path().string() + ".truth.txt"), genRecall);
  ASSERT_GT(realRecall.size(), 50u);
  ASSERT_FALSE(genRecall.empty());
  EXPECT_GE(Median(realRecall), 0.95);
  EXPECT_GE(Mean(realRecall), 0.93);
  EXPECT_GE(Median(genRecall), 0.98);
  EXPECT_LE(errors, 20);  // damaged files beyond repair, each with its message
  std::printf("real PDF documents: %zu scored, median recall %.3f, mean %.3f; generated median %.3f\n",
              realRecall.size(), Median(realRecall), Mean(realRecall), Median(genRecall));
}

// Documents whose text hangs on one reading path: fonts read through their built-in sets or
// embedded programs, streams refused by zlib at their start, text on turned baselines (scored
// against pdftotext's raw order, which follows the drawing as this reader does).
TEST(PdfCorpus, DocumentsOfParticularPathsMeetTheirBars) {
  const fs::path dir = CorpusDir();
  ZVWORD_REQUIRE_CORPUS(dir / "real" / "pdf");
  const struct {
    const char* file;
    const char* peer;
    double bar;
  } rows[] = {{"govdocs_492484.pdf", "pdftotext", 0.97},  // Symbol without an encoding
              {"govdocs_498264.pdf", "pdftotext", 0.65},  // every stream refused at its start
              {"testPDF_angles.pdf", "pdftotext-raw", 0.99}};
  for (const auto& r : rows) {
    std::string bytes = ReadFile(dir / "real" / "pdf" / r.file);
    TZvPDFReader reader;
    TBytesView v(bytes);
    reader.LoadFromStream(v);
    std::u16string text;
    for (int i = 0; i < reader.Text()->Count(); ++i) text += reader.Text()->Get(i) + u"\n";
    EXPECT_GE(Recall(Utf8ToWide(ReadFile(dir / "reference" / r.peer / "real" / "pdf" / (std::string(r.file) + ".txt"))), text), r.bar)
        << r.file;
  }
}

}  // namespace
}  // namespace zvword
