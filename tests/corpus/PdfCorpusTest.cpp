// Every PDF of the shared corpus: text or a clear error, never a crash; word recall against the
// ground truth of the generated files and against pdftotext on the real ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "pdf/ZvWPDF.h"

namespace zvword::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Bag of words: runs of letters and digits, ASCII letters folded.
std::map<std::u16string, int> Words(const std::u16string& s) {
  std::map<std::u16string, int> m;
  std::u16string w;
  auto word = [](char16_t c) {
    if (c < 128) return std::isalnum(c) != 0;
    return c >= 0xC0 && !(c >= 0x2000 && c <= 0x2BFF) && !(c >= 0x3000 && c <= 0x303F) && c != 0xD7 && c != 0xF7;
  };
  for (char16_t c : s + u" ") {
    if (word(c)) {
      w += c < 128 ? static_cast<char16_t>(std::tolower(c)) : c;
    } else if (!w.empty()) {
      ++m[w];
      w.clear();
    }
  }
  return m;
}

double Recall(const std::u16string& got, const std::u16string& ref) {
  auto g = Words(got), r = Words(ref);
  int total = 0, hit = 0;
  for (auto& [w, n] : r) {
    total += n;
    auto it = g.find(w);
    hit += std::min(n, it == g.end() ? 0 : it->second);
  }
  return total == 0 ? 1.0 : static_cast<double>(hit) / total;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

TEST(PdfCorpus, EveryFileGivesTextOrAClearErrorAndRecallMeetsTheBars) {
  fs::path corpus = ZVWORD_CORPUS_DIR;
  if (!fs::exists(corpus / "real" / "pdf")) GTEST_SKIP() << "no corpus at " << corpus;
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
    if (fs::exists(ref)) out.push_back(Recall(text, Utf8ToWide(ReadFile(ref))));
  };
  for (auto& e : fs::directory_iterator(corpus / "real" / "pdf"))
    if (e.path().extension() == ".pdf")
      run(e.path(), corpus / "reference" / "pdftotext" / "real" / "pdf" / (e.path().filename().string() + ".txt"), realRecall);
  for (auto& e : fs::directory_iterator(corpus / "generated"))
    if (e.path().extension() == ".pdf") run(e.path(), fs::path(e.path().string() + ".truth.txt"), genRecall);
  double mean = 0;
  for (double d : realRecall) mean += d;
  mean /= std::max<size_t>(1, realRecall.size());
  EXPECT_GE(Median(realRecall), 0.95);
  EXPECT_GE(mean, 0.93);
  EXPECT_GE(Median(genRecall), 0.98);
  EXPECT_LE(errors, 20);  // damaged files beyond repair, each with its message
}

}  // namespace
}  // namespace zvword::testing
