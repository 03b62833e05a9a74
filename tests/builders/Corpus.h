// What the corpus tests share: where the corpus is, reading its files, and bag-of-words recall.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zvword {
class TMSWBaseDocument;
}

namespace zvword::corpus {

// $ZVWORD_CORPUS_DIR, else shared/corpus beside the checkout or beside any folder above it (a
// worktree sits deeper than the main checkout). The build's default when none exists.
std::filesystem::path CorpusDir();
// True when ZVWORD_CORPUS_DIR is "skip": the run is meant to go without the corpus.
bool SkipWithoutCorpus();

// The file's bytes; with dropBom a UTF-8 byte-order mark is left out (the peers' texts have one).
std::string ReadFile(const std::filesystem::path& p, bool dropBom = false);

// The files of dir (and of its sub-folders when Recursive) with one of the extensions, sorted.
std::vector<std::filesystem::path> FilesWithExtensions(const std::filesystem::path& Dir,
                                                       std::initializer_list<std::string_view> Extensions,
                                                       bool Recursive = false);
// What a reader made of a file: the error message ("" for none) and the text of the body and of
// every list, as "--list all" prints them.
struct TReadResult {
  std::string error;
  std::u16string text;
};
TReadResult ReadWith(TMSWBaseDocument& Doc, const std::filesystem::path& File);
// The text of a real file as the first of the peers that wrote one has it (reference/PEER/real/
// FOLDER/NAME.txt), empty when none did.
std::u16string PeerText(std::initializer_list<const char*> Peers, const std::filesystem::path& File);
// A generated file's ground truth (NAME.truth.txt beside it).
std::u16string TruthText(const std::filesystem::path& File);

// Bag of words: runs of letters and digits, ASCII, Latin-1 and Cyrillic letters lower-cased; each
// CJK character is a word of its own.
std::map<std::u16string, int> Words(const std::u16string& text);
// The share of the reference's words that the output has; 1 when the reference has none.
double Recall(const std::u16string& reference, const std::u16string& output);
double Median(std::vector<double> v);  // 1 for none
double Mean(const std::vector<double>& v);  // 0 for none

}  // namespace zvword::corpus

// Fails the test when the folder is missing: a run that cannot see the corpus must not pass as if
// it had read it. ZVWORD_CORPUS_DIR=skip skips the corpus tests on purpose.
#define ZVWORD_REQUIRE_CORPUS(folder)                                                                \
  do {                                                                                               \
    const std::filesystem::path zvCorpusFolder_ = (folder);                                          \
    if (::zvword::corpus::SkipWithoutCorpus()) GTEST_SKIP() << "corpus skipped (ZVWORD_CORPUS_DIR=skip)"; \
    if (std::filesystem::is_directory(zvCorpusFolder_)) break;                                       \
    FAIL() << "no corpus at " << zvCorpusFolder_                                                     \
           << ": set ZVWORD_CORPUS_DIR to the corpus folder, or to \"skip\" to run without it";     \
  } while (0)
