// The WordPerfect and Write documents of the shared corpus, also those named .doc: each reads
// without error and with high recall against the peer tools' text.
#include <gtest/gtest.h>

#include <algorithm>

#include "builders/Corpus.h"
#include "legacy/MSWPD.h"
#include "legacy/MSWRI.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;
using namespace corpus;

struct Found {
  fs::path file;
  bool wordPerfect;
};

// Every file of the folders that one of the two readers takes by its content.
std::vector<Found> Documents() {
  std::vector<Found> out;
  for (const char* folder : {"wpd", "wri", "doc"}) {
    const fs::path dir = CorpusDir() / "real" / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir)) {
      const std::string bytes = ReadFile(e.path());
      if (TWordPerfectFile::IsWordPerfectData(bytes)) out.push_back({e.path(), true});
      else if (TWRIFile::IsWriteData(bytes)) out.push_back({e.path(), false});
    }
  }
  std::sort(out.begin(), out.end(), [](const Found& a, const Found& b) { return a.file < b.file; });
  return out;
}

TEST(LegacyCorpus, WordPerfectAndWriteReadWithHighRecall) {
  ZVWORD_REQUIRE_CORPUS(CorpusDir() / "real" / "wpd");
  int wordPerfect = 0, write = 0;
  for (const Found& f : Documents()) {
    std::unique_ptr<TMSWBaseDocument> doc;
    if (f.wordPerfect) {
      doc = std::make_unique<TWordPerfectFile>();
      ++wordPerfect;
    } else {
      doc = std::make_unique<TWRIFile>();
      ++write;
    }
    // The peers print notes with the body: the lists count too.
    const TReadResult r = ReadWith(*doc, f.file);
    EXPECT_EQ(r.error, "") << f.file;
    const std::u16string ref = PeerText({"wpd2text", "libreoffice"}, f.file);
    if (Words(ref).empty()) continue;
    EXPECT_GE(Recall(ref, r.text), 0.99) << f.file;
  }
  // The corpus holds WordPerfect 4.2, 5 and 6 files and Write files; none may go unseen.
  EXPECT_GE(wordPerfect, 9);
  EXPECT_GE(write, 3);
}

}  // namespace
}  // namespace zvword
