// Every EPUB and FictionBook book of the shared corpus: no error, and text recall against the
// ground truth (generated books) or pandoc's text (real ones).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "builders/Corpus.h"
#include "packages/MSWEPub.h"
#include "packages/MSWFB2.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;
using namespace corpus;

struct Result {
  std::string error;
  std::u16string text;
};

Result Read(const fs::path& p) {
  Result r;
  std::unique_ptr<TMSWBaseDocument> doc;
  if (p.extension() == ".epub") doc = std::make_unique<TZvWEPub>();
  else doc = std::make_unique<TFictionBook>();
  const std::string bytes = ReadFile(p);
  TBytesView stream(bytes);
  try {
    doc->LoadFromStream(stream);
  } catch (const Exception& e) {
    r.error = e.what();
  }
  r.text = doc->Text()->GetText();
  return r;
}

std::vector<fs::path> Books(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".epub" || ext == ".fb2") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(EBookCorpus, GeneratedBooksMatchTheirTruth) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "generated");
  const auto files = Books(CorpusDir() / "generated");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    const Result r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    EXPECT_GE(Recall(Utf8ToWide(ReadFile(f.string() + ".truth.txt", true)), r.text), 0.99) << f;
  }
}

TEST(EBookCorpus, RealBooksReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "epub");
  std::vector<double> recalls;
  for (const char* folder : {"epub", "fb2"})
    for (const auto& f : Books(CorpusDir() / "real" / folder)) {
      const Result r = Read(f);
      EXPECT_EQ(r.error, "") << f;
      const fs::path ref = CorpusDir() / "reference" / "pandoc" / "real" / folder / (f.filename().string() + ".txt");
      if (!fs::exists(ref)) continue;
      recalls.push_back(Recall(Utf8ToWide(ReadFile(ref, true)), r.text));
      EXPECT_GE(recalls.back(), 0.95) << f;
    }
  ASSERT_GE(recalls.size(), 5u);
  EXPECT_GE(Mean(recalls), 0.98);
}

}  // namespace
}  // namespace zvword
