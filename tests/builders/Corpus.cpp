#include "builders/Corpus.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>

#include "framework/MSWBase.h"
#include "platform/Exception.h"
#include "platform/Streams.h"
#include "platform/Unicode.h"

namespace zvword::corpus {

namespace fs = std::filesystem;

std::filesystem::path CorpusDir() {
  const char* env = std::getenv("ZVWORD_CORPUS_DIR");
  if (env && *env && std::string_view(env) != "skip") return env;
  if (fs::is_directory(ZVWORD_CORPUS_DIR)) return ZVWORD_CORPUS_DIR;
  for (fs::path p = fs::path(ZVWORD_SOURCE_DIR).parent_path(); !p.empty(); p = p.parent_path()) {
    if (fs::is_directory(p / "shared" / "corpus")) return p / "shared" / "corpus";
    if (p == p.parent_path()) break;
  }
  return ZVWORD_CORPUS_DIR;
}

bool SkipWithoutCorpus() {
  const char* env = std::getenv("ZVWORD_CORPUS_DIR");
  return env && std::string_view(env) == "skip";
}

std::string ReadFile(const fs::path& p, bool dropBom) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  std::string out = s.str();
  if (dropBom && out.rfind("\xEF\xBB\xBF", 0) == 0) out.erase(0, 3);
  return out;
}

std::vector<fs::path> FilesWithExtensions(const fs::path& Dir, std::initializer_list<std::string_view> Extensions,
                                          bool Recursive) {
  std::vector<fs::path> out;
  if (!fs::is_directory(Dir)) return out;
  auto take = [&](const fs::path& p) {
    if (std::find(Extensions.begin(), Extensions.end(), p.extension().string()) != Extensions.end()) out.push_back(p);
  };
  if (Recursive)
    for (const auto& e : fs::recursive_directory_iterator(Dir)) take(e.path());
  else
    for (const auto& e : fs::directory_iterator(Dir)) take(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

TReadResult ReadWith(TMSWBaseDocument& Doc, const fs::path& File) {
  TReadResult r;
  const std::string bytes = ReadFile(File);
  TBytesView stream(bytes);
  try {
    Doc.LoadFromStream(stream);
  } catch (const Exception& e) {
    r.error = e.what();
  }
  r.text = Doc.Text()->GetText();
  for (const auto& [name, list] : Doc.Lists()) r.text += list->GetText();
  return r;
}

std::u16string PeerText(std::initializer_list<const char*> Peers, const fs::path& File) {
  for (const char* peer : Peers) {
    const fs::path p = CorpusDir() / "reference" / peer / "real" / File.parent_path().filename() / (File.filename().string() + ".txt");
    if (fs::exists(p)) return Utf8ToWide(ReadFile(p, true));
  }
  return {};
}

std::u16string TruthText(const fs::path& File) { return Utf8ToWide(ReadFile(File.string() + ".truth.txt", true)); }

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
  int64_t total = 0, found = 0;
  for (const auto& [word, n] : ref) {
    total += n;
    auto it = out.find(word);
    if (it != out.end()) found += std::min(n, it->second);
  }
  return total == 0 ? 1.0 : static_cast<double>(found) / static_cast<double>(total);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
  return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

}  // namespace zvword::corpus
