// Every real Word document of the shared corpus: no crash, the expected errors, and text recall
// against what LibreOffice (or, failing that, catdoc or antiword) extracted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>

#include "word/MSWord.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

// The build's corpus folder, or the one the environment names (worktrees sit elsewhere).
const fs::path kCorpus = std::getenv("ZVWORD_CORPUS_DIR") ? fs::path(std::getenv("ZVWORD_CORPUS_DIR")) : fs::path(ZVWORD_CORPUS_DIR);

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Bag of words: runs of letters and digits, lower-cased; each CJK character is a word.
std::map<std::u16string, int> Words(const std::u16string& text) {
  std::map<std::u16string, int> bag;
  std::u16string w;
  auto flush = [&] {
    if (!w.empty()) ++bag[w];
    w.clear();
  };
  for (char16_t c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    else if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) c = static_cast<char16_t>(c + 32);
    const bool cjk = (c >= 0x3040 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF);
    const bool punct = c < 0x80 ? !((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
                                : (c <= 0xBF || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x2BFF) ||
                                   (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF20) || c >= 0xFFF0);
    if (cjk) {
      flush();
      w = c;
      flush();
    } else if (punct) {
      flush();
    } else {
      w += c;
    }
  }
  flush();
  return bag;
}

double Recall(const std::u16string& reference, const std::u16string& output) {
  const auto ref = Words(reference), out = Words(output);
  int total = 0, found = 0;
  for (const auto& [word, n] : ref) {
    total += n;
    auto it = out.find(word);
    if (it != out.end()) found += std::min(n, it->second);
  }
  return total == 0 ? 1.0 : static_cast<double>(found) / total;
}

std::u16string Reference(const std::string& name) {
  for (const char* peer : {"libreoffice", "catdoc", "antiword"}) {
    const fs::path p = kCorpus / "reference" / peer / "real" / "doc" / (name + ".txt");
    if (fs::exists(p)) {
      std::string s = ReadFile(p);
      if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
      return Utf8ToWide(s);
    }
  }
  return {};
}

const std::map<std::string, std::u16string> kExpectedErrors = {
    {"PasswordProtected.doc", u"Could not read the password protected file"},
    {"password_password_cryptoapi.doc", u"Could not read the password protected file"},
    {"password_tika_binaryrc4.doc", u"Could not read the password protected file"},
    {"testWORD_protected_passtika.doc", u"Could not read the password protected file"},
};

TEST(WordCorpus, RealDocumentsReadWithGoodRecall) {
  const fs::path dir = kCorpus / "real" / "doc";
  if (!fs::exists(dir)) GTEST_SKIP() << "corpus not present";
  std::vector<double> recalls;
  int notWord = 0;
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
      const std::string head = ReadFile(entry.path()).substr(0, 8);
      EXPECT_FALSE(TMSWordDocument::IsWordData(ReadFile(entry.path()))) << name;
      ++notWord;
      continue;
    }
    EXPECT_TRUE(error.empty()) << name << ": " << WideToUtf8(error);
    const std::u16string reference = Reference(name);
    if (reference.empty()) continue;
    recalls.push_back(Recall(reference, doc.Text()->Text()));
  }
  ASSERT_GT(recalls.size(), 150u);
  EXPECT_LT(notWord, 15);
  std::sort(recalls.begin(), recalls.end());
  const double median = recalls[recalls.size() / 2];
  const double mean = std::accumulate(recalls.begin(), recalls.end(), 0.0) / static_cast<double>(recalls.size());
  EXPECT_GE(median, 0.97);
  EXPECT_GE(mean, 0.90);
}

TEST(WordCorpus, GeneratedDocumentsMatchTheirTruth) {
  const fs::path dir = kCorpus / "generated";
  if (!fs::exists(dir)) GTEST_SKIP() << "corpus not present";
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

}  // namespace
}  // namespace zvword
