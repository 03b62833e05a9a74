// Every real Word document of the shared corpus: no crash, the expected errors, and text recall
// against what LibreOffice (or, failing that, catdoc or antiword) extracted.
#include <gtest/gtest.h>

#include <map>

#include "builders/Corpus.h"
#include "platform/CompoundFile.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;
using namespace corpus;

std::u16string Reference(const fs::path& file) { return PeerText({"libreoffice", "catdoc", "antiword"}, file); }

const std::map<std::string, std::u16string> kExpectedErrors = {
    {"PasswordProtected.doc", u"Could not read the password protected file"},
    {"password_password_cryptoapi.doc", u"Could not read the password protected file"},
    {"password_tika_binaryrc4.doc", u"Could not read the password protected file"},
    {"testWORD_protected_passtika.doc", u"Could not read the password protected file"},
};

TEST(WordCorpus, RealDocumentsReadWithGoodRecall) {
  const fs::path dir = CorpusDir() / "real" / "doc";
  ZVWORD_REQUIRE_CORPUS(dir);
  std::vector<double> recalls;
  int notWord = 0, fib97 = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    TMSWordDocument doc;
    std::u16string error;
    try {
      doc.LoadFromFile(Utf8ToWide(entry.path().string()));
    } catch (const Exception& e) {
      error = e.Message();
    }
    if (auto it = kExpectedErrors.find(name); it != kExpectedErrors.end()) {
      EXPECT_EQ(error, it->second) << name;
      continue;
    }
    if (error.find(u"is not valid MS Word document") != std::u16string::npos) {
      // Other programs' files carried under a .doc name: their first bytes say they are not Word.
      EXPECT_FALSE(TMSWordDocument::IsWordData(ReadFile(entry.path()))) << name;
      ++notWord;
      continue;
    }
    EXPECT_TRUE(error.empty()) << name << ": " << WideToUtf8(error);
    if (error.empty() && doc.DocVersion() == 8 && doc.FIB().Version >= 193 && name.rfind("clusterfuzz", 0) != 0) {
      // Word 97 and later write counted arrays of fixed sizes and a stylesheet both pairs name
      // (two files of other writers name it once).
      const TFIB& f = doc.FIB();
      EXPECT_EQ(f.csw, 14) << name;
      EXPECT_EQ(f.clw, 22) << name;
      EXPECT_TRUE(f.nFIBBack == 0xBF || f.nFIBBack == 0xC1) << name << ": " << f.nFIBBack;
      EXPECT_GE(f.cfclcb, 0x5D) << name;
      EXPECT_EQ(f.fcStshfOrig == f.fcStshf, name != "Bug48075.doc" && name != "Bug33519.doc") << name;
      ++fib97;
    }
    const std::u16string reference = Reference(entry.path());
    if (reference.empty()) continue;
    recalls.push_back(Recall(reference, doc.Text()->Text()));
  }
  ASSERT_GT(recalls.size(), 150u);
  EXPECT_GT(fib97, 100);
  EXPECT_LT(notWord, 15);
  EXPECT_GE(Median(recalls), 0.97);
  EXPECT_GE(Mean(recalls), 0.90);
}

// Every table the FIB's fc/lcb pairs name lies inside the table stream: a pair read from the
// wrong place would point anywhere.
TEST(WordCorpus, FibPairsNameTablesInsideTheTableStream) {
  const fs::path dir = CorpusDir() / "real" / "doc";
  ZVWORD_REQUIRE_CORPUS(dir);
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const WideString path = Utf8ToWide(entry.path().string());
    if (name.rfind("clusterfuzz", 0) == 0 || StgIsStorageFile(path) != 0) continue;
    TMSWordDocument doc;
    try {
      doc.LoadFromFile(path);
    } catch (const Exception&) {
      continue;
    }
    if (doc.DocVersion() != 8 || !doc.IsUseTableStream()) continue;
    std::unique_ptr<IStream> table = StgOpenStorage(path)->OpenStream(u"1Table");
    if (!table) continue;
    const TFIB& f = doc.FIB();
    // The pairs follow each other in the record, fcStshfOrig to lcbSttbFnm.
    const uint32_t* pair = &f.fcStshfOrig;
    const int count = std::min<int>(f.cfclcb, static_cast<int>((&f.lcbSttbFnm - pair + 1) / 2));
    ASSERT_EQ(&f.lcbSttbFnm - pair, 2 * 73 - 1);
    for (int i = 0; i < count; ++i) {
      if (pair[2 * i + 1] > 0) {
        EXPECT_LE(uint64_t{pair[2 * i]} + pair[2 * i + 1], uint64_t(table->Size())) << name << " pair " << i;
      }
    }
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

TEST(WordCorpus, GeneratedDocumentsMatchTheirTruth) {
  const fs::path dir = CorpusDir() / "generated";
  ZVWORD_REQUIRE_CORPUS(dir);
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".doc") continue;
    const fs::path truth = entry.path().string() + ".truth.txt";
    if (!fs::exists(truth)) continue;
    TMSWordDocument doc;
    doc.LoadFromFile(Utf8ToWide(entry.path().string()));
    std::u16string all = doc.Text()->Text();
    for (const TWideStrings* l : {doc.FootNoteText(), doc.EndNoteText(), doc.HeaderText(), doc.AnnotationText(), doc.TextBoxText()})
      all += l->Text();
    EXPECT_GE(Recall(Utf8ToWide(ReadFile(truth)), all), 0.97) << entry.path().filename();
    ++seen;
  }
  EXPECT_GT(seen, 0);
}

// LibreOffice indents a list paragraph and prints its label first; headings start with theirs.
std::map<std::u16string, int> PeerLabels(const std::u16string& text) {
  std::map<std::u16string, int> labels;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(u'\n', at);
    if (end == std::u16string::npos) end = text.size();
    const std::u16string line = text.substr(at, end - at);
    at = end + 1;
    const size_t from = line.find_first_not_of(u' ');
    const size_t to = line.find(u' ', from == std::u16string::npos ? line.size() : from);
    if (from == std::u16string::npos || to == std::u16string::npos) continue;
    const std::u16string first = line.substr(from, to - from);
    if (from > 0 || first.find_first_not_of(u"0123456789.") == std::u16string::npos) ++labels[first];
  }
  return labels;
}

TEST(WordCorpus, ListLabelsAsLibreOfficePrintsThem) {
  const fs::path dir = CorpusDir() / "real" / "doc";
  ZVWORD_REQUIRE_CORPUS(dir);
  // Where LibreOffice and Word disagree (the document's own text says which label Word shows),
  // this reader follows Word: those labels are the ones allowed to be missing.
  for (const auto& [name, allowedMissing] : std::initializer_list<std::pair<const char*, int>>{
           {"testWORD_numbered_list.doc", 0}, {"Bug52311.doc", 0}, {"testWORD_override_list_numbering.doc", 7}}) {
    TMSWordDocument doc;
    doc.LoadFromFile(Utf8ToWide((dir / name).string()));
    std::map<std::u16string, int> ours;
    const std::u16string text = doc.Text()->Text();
    for (size_t at = 0; at < text.size();) {
      const size_t from = text.find_first_not_of(u" \t\r\n", at);
      if (from == std::u16string::npos) break;
      const size_t to = std::min(text.find_first_of(u" \t\r\n", from), text.size());
      ++ours[text.substr(from, to - from)];
      at = to;
    }
    int total = 0, missing = 0;
    for (const auto& [label, count] : PeerLabels(Reference(dir / name))) {
      total += count;
      missing += std::max(0, count - ours[label]);
    }
    EXPECT_GT(total, 12) << name;
    EXPECT_LE(missing, allowedMissing) << name << ": " << missing << " of " << total << " labels missing";
  }
}

TEST(WordCorpus, Word6CyrillicFromTheFont) {
  const fs::path file = CorpusDir() / "real" / "doc" / "Bug60942b.doc";
  ZVWORD_REQUIRE_CORPUS(file.parent_path());
  TMSWordDocument doc;
  doc.LoadFromFile(Utf8ToWide(file.string()));
  EXPECT_GE(Recall(Reference(file), doc.Text()->Text()), 0.95);
}

}  // namespace
}  // namespace zvword
