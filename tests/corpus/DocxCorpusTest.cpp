// Every Word 2007+ document of the shared corpus: no crash, encrypted packages refused clearly, and
// text recall (body plus every list) against LibreOffice's text (real files) or the ground truth
// (generated files).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>

#include "packages/MSWordX.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus =
    std::getenv("ZVWORD_CORPUS_DIR") ? fs::path(std::getenv("ZVWORD_CORPUS_DIR")) : fs::path(ZVWORD_CORPUS_DIR);

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  std::string out = s.str();
  if (out.rfind("\xEF\xBB\xBF", 0) == 0) out.erase(0, 3);
  return out;
}

// Bag of words: runs of letters and digits, ASCII and Latin-1 letters lower-cased; CJK characters
// are words of their own.
std::map<std::u16string, int> Bag(const std::u16string& text) {
  std::map<std::u16string, int> bag;
  std::u16string w;
  auto flush = [&] {
    if (!w.empty()) ++bag[w];
    w.clear();
  };
  for (char16_t c : text) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
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

double RecallOf(const std::u16string& reference, const std::u16string& output) {
  const auto ref = Bag(reference), out = Bag(output);
  int total = 0, found = 0;
  for (const auto& [word, n] : ref) {
    total += n;
    auto it = out.find(word);
    if (it != out.end()) found += std::min(n, it->second);
  }
  return total == 0 ? 1.0 : static_cast<double>(found) / total;
}

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
  const std::string bytes = Slurp(p);
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
  const auto files = Documents(kCorpus / "real" / "docx");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  std::vector<double> recalls;
  int encrypted = 0, damaged = 0;
  for (const auto& f : files) {
    const std::string bytes = Slurp(f);
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
      const fs::path p = kCorpus / "reference" / peer / "real" / "docx" / (f.filename().string() + ".txt");
      if (fs::exists(p)) {
        ref = Utf8ToWide(Slurp(p));
        break;
      }
    }
    if (Bag(ref).empty()) continue;
    recalls.push_back(RecallOf(ref, r.text));
  }
  EXPECT_GE(encrypted, 1);
  ASSERT_FALSE(recalls.empty());
  std::sort(recalls.begin(), recalls.end());
  const double median = recalls[recalls.size() / 2];
  const double mean = std::accumulate(recalls.begin(), recalls.end(), 0.0) / static_cast<double>(recalls.size());
  EXPECT_GE(median, 0.98);
  EXPECT_GE(mean, 0.96);
  EXPECT_LT(damaged, static_cast<int>(files.size()) / 4);
  std::printf("real Word 2007+ documents: %zu scored, %d damaged, median recall %.3f, mean %.3f\n", recalls.size(),
              damaged, median, mean);
}

TEST(DocxCorpus, GeneratedDocumentsMatchTheirTruth) {
  const auto files = Documents(kCorpus / "generated");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  double sum = 0;
  for (const auto& f : files) {
    Result r = Read(f);
    EXPECT_EQ(r.error, "") << f;
    const double recall = RecallOf(Utf8ToWide(Slurp(f.string() + ".truth.txt")), r.text);
    EXPECT_GE(recall, 0.98) << f;
    sum += recall;
  }
  EXPECT_GE(sum / static_cast<double>(files.size()), 0.99);
}

}  // namespace
}  // namespace zvword
