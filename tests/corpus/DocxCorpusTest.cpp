// Every Word 2007+ document of the shared corpus: no crash, encrypted packages refused clearly, and
// text recall (body plus every list) against LibreOffice's text (real files) or the ground truth
// (generated files).
#include <gtest/gtest.h>

#include "builders/Corpus.h"
#include "packages/MSWordX.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

using namespace corpus;

TReadResult Read(const fs::path& p) {
  TMSWordXDocument doc;
  return ReadWith(doc, p);
}

std::vector<fs::path> Documents(const fs::path& dir) {
  return FilesWithExtensions(dir, {".docx", ".docm", ".dotx", ".dotm"});
}

TEST(DocxCorpus, RealDocumentsReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "docx");
  const auto files = Documents(CorpusDir() / "real" / "docx");
  std::vector<double> recalls;
  int encrypted = 0, damaged = 0;
  for (const auto& f : files) {
    const std::string bytes = ReadFile(f);
    // A binary Word document that only carries a package extension belongs to the other reader.
    if (IsCompoundBytes(bytes) && !TMSWordXDocument::IsEncryptedPackage(bytes) &&
        bytes.find(std::string("P\0a\0c\0k\0a\0g\0e\0", 14)) == std::string::npos)
      continue;
    const TReadResult r = Read(f);
    if (TMSWordXDocument::IsEncryptedPackage(bytes)) {
      ++encrypted;
      EXPECT_NE(r.error.find("encrypted"), std::string::npos) << f << ": " << r.error;
      continue;
    }
    // Archives whose entries are damaged (fuzzed, cut short) are refused, as the peer tools refuse them.
    if (r.error.rfind("CRC Error in", 0) == 0 || r.error.rfind("The package has no main document part", 0) == 0) {
      ++damaged;
      continue;
    }
    EXPECT_EQ(r.error, "") << f;
    const std::u16string ref = PeerText({"libreoffice", "docx2txt"}, f);
    if (Words(ref).empty()) continue;
    recalls.push_back(Recall(ref, r.text));
  }
  EXPECT_GE(encrypted, 1);
  ASSERT_FALSE(recalls.empty());
  const double median = Median(recalls), mean = Mean(recalls);
  EXPECT_GE(median, 0.98);
  EXPECT_GE(mean, 0.96);
  EXPECT_LT(damaged, static_cast<int>(files.size()) / 4);
  std::printf("real Word 2007+ documents: %zu scored, %d damaged, median recall %.3f, mean %.3f\n", recalls.size(),
              damaged, median, mean);
}

// Note marks, charts, diagrams, phonetic guides and Word 2003 XML: each read in full, against
// LibreOffice where it prints the part, else for a text the document's own parts hold.
TEST(DocxCorpus, MarksGraphicsReadingsAndXmlForms) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "docx");
  const struct {
    const char* file;
    const char* needle;  // "" to score against LibreOffice's text
  } rows[] = {
      {"docx/footnotes.docx", ""},
      {"docx/table_footnotes.docx", ""},
      {"doc/testWORDML_tableInsideParagraph.doc", ""},
      {"docx/testWORD_charts.docx", "wants a peach\r\nNUMBER\r\nJanuary"},
      {"docx/testWORD_diagramData.docx", "From here\r\nTo here\r\nAnd then here."},
      {"docx/testWORD_phonetic.docx", "\xE6\x9D\xB1\xE4\xBA\xAC (\xE3\x81\xA8\xE3\x81\x86\xE3\x81\x8D\xE3\x82\x87\xE3\x81\x86)"},
  };
  for (const auto& row : rows) {
    const TReadResult r = Read(CorpusDir() / "real" / row.file);
    EXPECT_EQ(r.error, "") << row.file;
    if (*row.needle) {
      EXPECT_NE(WideToUtf8(r.text).find(row.needle), std::string::npos) << row.file;
      continue;
    }
    const std::u16string ref = PeerText({"libreoffice"}, CorpusDir() / "real" / row.file);
    ASSERT_FALSE(Words(ref).empty()) << row.file;
    EXPECT_DOUBLE_EQ(Recall(ref, r.text), 1.0) << row.file;
  }
}

TEST(DocxCorpus, GeneratedDocumentsMatchTheirTruth) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "generated");
  const auto files = Documents(CorpusDir() / "generated");
  ASSERT_FALSE(files.empty());
  double sum = 0;
  for (const auto& f : files) {
    const TReadResult r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    const double recall = Recall(TruthText(f), r.text);
    EXPECT_GE(recall, 0.98) << f;
    sum += recall;
  }
  EXPECT_GE(sum / static_cast<double>(files.size()), 0.99);
}

}  // namespace
}  // namespace zvword
