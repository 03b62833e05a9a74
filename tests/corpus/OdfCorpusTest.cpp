// Every OpenDocument file of the shared corpus: no crash, encrypted and broken packages refused
// clearly, and text recall (body plus every list) against LibreOffice's or odt2txt's text (real
// files) or the ground truth (generated files).
#include <gtest/gtest.h>

#include <memory>

#include "builders/Corpus.h"
#include "packages/MSWOO.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

using namespace corpus;

TReadResult Read(const fs::path& p) {
  const std::string ext = p.extension().string();
  std::unique_ptr<TCustomOpenOfficeDocument> doc;
  if (ext == ".ods") doc = std::make_unique<TOpenOfficeSpreadsheet>();
  else if (ext == ".odp") doc = std::make_unique<TOpenOfficePresentation>();
  else doc = std::make_unique<TOpenOfficeTextDocument>();
  return ReadWith(*doc, p);
}

std::vector<fs::path> Documents(const fs::path& dir) { return FilesWithExtensions(dir, {".odt", ".ods", ".odp"}); }

TEST(OdfCorpus, RealDocumentsReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "odf");
  const auto files = Documents(CorpusDir() / "real" / "odf");
  std::vector<double> recalls;
  int refused = 0;
  for (const auto& f : files) {
    const TReadResult r = Read(f);
    // A package whose content is encrypted, or a file that is no package, is refused by name.
    if (r.error.find("encrypted") != std::string::npos || r.error.find("not an OpenDocument package") != std::string::npos) {
      ++refused;
      continue;
    }
    EXPECT_EQ(r.error, "") << f;
    const std::u16string ref = PeerText({"libreoffice", "odt2txt"}, f);
    if (Words(ref).empty()) continue;
    recalls.push_back(Recall(ref, r.text));
  }
  ASSERT_FALSE(recalls.empty());
  EXPECT_LE(refused, 2);
  const double median = Median(recalls), mean = Mean(recalls);
  EXPECT_GE(median, 0.99);
  EXPECT_GE(mean, 0.95);
  std::printf("real OpenDocument files: %zu scored, %d refused, median recall %.3f, mean %.3f\n", recalls.size(),
              refused, median, mean);
}

TEST(OdfCorpus, GeneratedDocumentsMatchTheirTruth) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "generated");
  const auto files = Documents(CorpusDir() / "generated");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    const TReadResult r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    EXPECT_GE(Recall(TruthText(f), r.text), 0.99) << f;
  }
}

}  // namespace
}  // namespace zvword
