// Every EPUB and FictionBook book of the shared corpus: no error, and text recall against the
// ground truth (generated books) or pandoc's text (real ones).
#include <gtest/gtest.h>

#include <memory>

#include "builders/Corpus.h"
#include "packages/MSWEPub.h"
#include "packages/MSWFB2.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;
using namespace corpus;

TReadResult Read(const fs::path& p) {
  std::unique_ptr<TMSWBaseDocument> doc;
  if (p.extension() == ".epub") doc = std::make_unique<TZvWEPub>();
  else doc = std::make_unique<TFictionBook>();
  return ReadWith(*doc, p);
}

std::vector<fs::path> Books(const fs::path& dir) { return FilesWithExtensions(dir, {".epub", ".fb2"}, true); }

TEST(EBookCorpus, GeneratedBooksMatchTheirTruth) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "generated");
  const auto files = Books(CorpusDir() / "generated");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    const TReadResult r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    EXPECT_GE(Recall(TruthText(f), r.text), 0.99) << f;
  }
}

TEST(EBookCorpus, RealBooksReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "epub");
  std::vector<double> recalls;
  for (const char* folder : {"epub", "fb2"})
    for (const auto& f : Books(CorpusDir() / "real" / folder)) {
      const TReadResult r = Read(f);
      EXPECT_EQ(r.error, "") << f;
      const std::u16string ref = PeerText({"pandoc"}, f);
      if (ref.empty()) continue;
      recalls.push_back(Recall(ref, r.text));
      EXPECT_GE(recalls.back(), 0.95) << f;
    }
  ASSERT_GE(recalls.size(), 5u);
  EXPECT_GE(Mean(recalls), 0.98);
}

}  // namespace
}  // namespace zvword
