// Every Word 2007+ document of the shared corpus: no crash, encrypted packages refused clearly, and
// text recall (body plus every list) against LibreOffice's text (real files) or the ground truth
// (generated files).
#include <gtest/gtest.h>

#include <algorithm>

#include "builders/Corpus.h"
#include "packages/MSWordX.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

using namespace corpus;

// Body and every list, as the command line's "--list all" prints them.
std::u16string AllText(const TMSWordXDocument& d) {
  std::u16string out;
  for (const TWideStrings* l : {d.Text(), d.FootNoteText(), d.HeaderText(), d.FooterText(), d.AnnotationText(),
                                d.EndNoteText(), d.TextBoxText()})
    out += l->GetText();
  return out;
}

struct Result {
  std::string error;
  std::u16string text;
};

Result Read(const fs::path& p) {
  Result r;
  TMSWordXDocument doc;
  const std::string bytes = ReadFile(p);
  TBytesView stream(bytes);
  try {
    doc.LoadFromStream(stream);
  } catch (const Exception& e) {
    r.error = e.what();
  }
  r.text = AllText(doc);
  return r;
}

std::vector<fs::path> Documents(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".docx" || ext == ".docm" || ext == ".dotx" || ext == ".dotm") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
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
    Result r = Read(f);
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
    std::u16string ref;
    for (const char* peer : {"libreoffice", "docx2txt"}) {
      const fs::path p = CorpusDir() / "reference" / peer / "real" / "docx" / (f.filename().string() + ".txt");
      if (fs::exists(p)) {
        ref = Utf8ToWide(ReadFile(p, true));
        break;
      }
    }
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
    const Result r = Read(CorpusDir() / "real" / row.file);
    EXPECT_EQ(r.error, "") << row.file;
    if (*row.needle) {
      EXPECT_NE(WideToUtf8(r.text).find(row.needle), std::string::npos) << row.file;
      continue;
    }
    const std::u16string ref =
        Utf8ToWide(ReadFile(CorpusDir() / "reference" / "libreoffice" / "real" / (std::string(row.file) + ".txt"), true));
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
    Result r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    const double recall = Recall(Utf8ToWide(ReadFile(f.string() + ".truth.txt", true)), r.text);
    EXPECT_GE(recall, 0.98) << f;
    sum += recall;
  }
  EXPECT_GE(sum / static_cast<double>(files.size()), 0.99);
}

}  // namespace
}  // namespace zvword
