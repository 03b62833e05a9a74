// Every OpenDocument file of the shared corpus: no crash, encrypted and broken packages refused
// clearly, and text recall (body plus every list) against LibreOffice's or odt2txt's text (real
// files) or the ground truth (generated files).
#include <gtest/gtest.h>

#include <algorithm>

#include "builders/Corpus.h"
#include "packages/MSWOO.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

using namespace corpus;

struct Result {
  std::string error;
  std::u16string text;
};

Result Read(const fs::path& p) {
  const std::string ext = p.extension().string();
  std::unique_ptr<TCustomOpenOfficeDocument> doc;
  if (ext == ".ods") doc = std::make_unique<TOpenOfficeSpreadsheet>();
  else if (ext == ".odp") doc = std::make_unique<TOpenOfficePresentation>();
  else doc = std::make_unique<TOpenOfficeTextDocument>();
  Result r;
  const std::string bytes = ReadFile(p);
  TBytesView stream(bytes);
  try {
    doc->LoadFromStream(stream);
  } catch (const Exception& e) {
    r.error = e.what();
  }
  r.text = doc->Text()->GetText();
  for (const auto& [name, list] : doc->Lists()) r.text += list->GetText();
  return r;
}

std::vector<fs::path> Documents(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".odt" || ext == ".ods" || ext == ".odp") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(OdfCorpus, RealDocumentsReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "odf");
  const auto files = Documents(CorpusDir() / "real" / "odf");
  std::vector<double> recalls;
  int refused = 0;
  for (const auto& f : files) {
    Result r = Read(f);
    // A package whose content is encrypted, or a file that is no package, is refused by name.
    if (r.error.find("encrypted") != std::string::npos || r.error.find("not an OpenDocument package") != std::string::npos) {
      ++refused;
      continue;
    }
    EXPECT_EQ(r.error, "") << f;
    std::u16string ref;
    for (const char* peer : {"libreoffice", "odt2txt"}) {
      const fs::path p = CorpusDir() / "reference" / peer / "real" / "odf" / (f.filename().string() + ".txt");
      if (fs::exists(p)) {
        ref = Utf8ToWide(ReadFile(p, true));
        break;
      }
    }
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
    Result r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    EXPECT_GE(Recall(Utf8ToWide(ReadFile(f.string() + ".truth.txt", true)), r.text), 0.99) << f;
  }
}

}  // namespace
}  // namespace zvword
