// Runs the built zvword binary (path in ZVWORD_CLI) the way users do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "builders/DocxBuilder.h"
#include "builders/CompoundFileBuilder.h"
#include "builders/PalmDocBuilder.h"
#include "builders/PdfBuilder.h"
#include "builders/PdfEncryptBuilder.h"
#include "builders/PropertySetBuilder.h"
#include "builders/WordDocBuilder.h"

namespace {

namespace fs = std::filesystem;
using zvword::test::CompoundFileBuilder;
using zvword::test::PalmDocBuilder;
using zvword::test::PropertySetBuilder;
using zvword::test::WordDocBuilder;
using zvword::test::WordStory;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("ZVWORD_CLI");
    if (!cli || !fs::exists(cli)) GTEST_SKIP() << "ZVWORD_CLI is not set";
    cli_ = cli;
    dir_ = fs::temp_directory_path() / ("zvword-cli-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  Outcome Exec(const std::string& args, const std::string& stdinFile = "", const std::string& env = "") const {
    const std::string out = Path("stdout"), err = Path("stderr");
    std::string cmd = env + " '" + cli_ + "' " + args + " >'" + out + "' 2>'" + err + "'";
    if (!stdinFile.empty()) cmd += " <'" + stdinFile + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(out), ReadFile(err)};
  }

  std::string cli_;
  fs::path dir_;
};

std::string Sample(const std::string& name) { return std::string(ZVWORD_SOURCE_DIR) + "/samples/" + name; }

// Drops the empty lines the plain prologue and epilogue leave at both ends.
std::string Trim(std::string s) {
  while (!s.empty() && s.front() == '\n') s.erase(0, 1);
  while (s.size() > 1 && s[s.size() - 1] == '\n' && s[s.size() - 2] == '\n') s.pop_back();
  return s;
}

TEST_F(Cli, SamplesGiveTheirSourceText) {
  const std::string truth = ReadFile(Sample("harbour.txt"));
  for (const char* name : {"harbour.pdb", "harbour-stored.pdb", "harbour-peanut.pdb", "harbour-peanut-stored.pdb"}) {
    const Outcome r = Exec("'" + Sample(name) + "'");
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(Trim(r.out), truth) << name;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(Cli, NotAPalmDatabase) {
  const std::string text(200, 'x');
  WriteFile(Path("book.pdb"), text);
  Outcome r = Exec("'" + Path("book.pdb") + "'");  // chosen by its extension
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("book.pdb") + ": Not valid PalmDoc text file.\n");
  EXPECT_EQ(r.out, "");
  WriteFile(Path("book.bin"), text);
  r = Exec("-r pdb '" + Path("book.bin") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("book.bin") + ": not a pdb document (Not valid PalmDoc text file.)\n");
  r = Exec("'" + Path("book.bin") + "'");  // nothing claims it
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(Path("book.bin") + ": "), std::string::npos);
}

TEST_F(Cli, DetectsByContentWhateverTheName) {
  WriteFile(Path("renamed.txt"), ReadFile(Sample("harbour.pdb")));
  const Outcome r = Exec("'" + Path("renamed.txt") + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Harbour Notes"), std::string::npos);
}

TEST_F(Cli, SomeFailedGivesStatusOneAndKeepsTheOthers) {
  const Outcome r = Exec("'" + Sample("harbour.pdb") + "' '" + Path("missing.pdb") + "' '" + Sample("harbour-stored.pdb") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("missing.pdb") + ": File " + Path("missing.pdb") + " is not found.\n");
  const std::string one = ReadFile(Sample("harbour.txt"));
  EXPECT_EQ(r.out.size(), 2 * (one.size() + 1));  // each book followed by its empty last line
}

TEST_F(Cli, UsageErrors) {
  for (const char* args : {"", "--bogus x.pdb", "-f pdf x.pdb", "-r nosuch x.pdb", "--max-length -3 x.pdb",
                           "--codepage 4242 x.pdb", "-j 0 x.pdb", "-l body,nonsense x.pdb", "--json=1 x.pdb", "-o",
                           "--timeout 0 x.pdb", "--timeout 1s x.pdb", "--max-memory 0 x.pdb"}) {
    const Outcome r = Exec(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err, "") << args;
    EXPECT_EQ(r.out, "") << args;
  }
  EXPECT_EQ(Exec("--help").status, 0);
  EXPECT_EQ(Exec("--version").out, "zvword 1.47\n");
}

TEST_F(Cli, Formats) {
  PalmDocBuilder b;
  b.Record("a<b> & {c}\n\xE9t\xE9\n");
  WriteFile(Path("x.pdb"), b.Build());
  Outcome r = Exec("-f html '" + Path("x.pdb") + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("<body bgcolor=\"#FFFFFF\">\n\na&lt;b&gt; &amp; {c}<br>\n\u00E9t\u00E9<br>\n\n</body>\n</html>\n"),
            std::string::npos)
      << r.out;
  r = Exec("--format=rtf '" + Path("x.pdb") + "'");
  EXPECT_EQ(r.out.rfind("{\\rtf1\\ansi\\ansicpg1252\\uc1\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("a<b> & \\{c\\}\\par \n\\u233\\'e9t\\u233\\'e9\\par \n\n}\n"), std::string::npos) << r.out;
  r = Exec("--codepage 1251 '" + Path("x.pdb") + "'");
  EXPECT_EQ(r.out, "a<b> & {c}\n\u0439t\u0439\n\n");
  r = Exec("--utf16 '" + Path("x.pdb") + "'");
  EXPECT_EQ(r.out.substr(0, 6), std::string("\xFF\xFE" "a\0<\0", 6));
  EXPECT_EQ(r.out.size() % 2, 0u);
}

TEST_F(Cli, JsonLinesInInputOrder) {
  const Outcome r = Exec("--json -j 2 '" + Sample("harbour.pdb") + "' '" + Path("nope.pdb") + "' '" + Sample("harbour-peanut.pdb") + "'");
  EXPECT_EQ(r.status, 1);
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].rfind("{\"file\":\"" + Sample("harbour.pdb") + "\",\"reader\":\"pdb\",\"text\":\"Harbour Notes\\n", 0), 0u);
  EXPECT_NE(all[0].find("\"summary\":{},\"lists\":{},\"error\":null}"), std::string::npos);
  EXPECT_NE(all[1].find("\"reader\":null"), std::string::npos);
  EXPECT_NE(all[1].find("\"error\":\"File " + Path("nope.pdb") + " is not found.\",\"partial\":false}"), std::string::npos);
  EXPECT_NE(all[2].find("harbour-peanut.pdb\",\"reader\":\"pdb\""), std::string::npos);
  // The text of one document is escaped: quotes, backslashes and tabs stay inside the string.
  EXPECT_NE(all[0].find("back-slash \\\\ of luck"), std::string::npos);
}

TEST_F(Cli, ListsAndSummary) {
  const std::string f = "'" + Sample("harbour.pdb") + "'";
  const std::string body = Exec(f).out;
  EXPECT_EQ(Exec("--list body " + f).out, body);
  EXPECT_EQ(Exec("--list all " + f).out, body);  // a PalmDoc book has nothing but its body
  EXPECT_EQ(Exec("--list footnotes " + f).out, "");
  EXPECT_EQ(Exec("--summary " + f).out, "");  // and no properties
  EXPECT_EQ(Exec("--summary -l body " + f).out, body);
  EXPECT_EQ(Exec("-l footnotes,body " + f).out, body);
}

TEST_F(Cli, MaxLengthStandardInputAndOutputFiles) {
  const std::string f = "'" + Sample("harbour.pdb") + "'";
  Outcome r = Exec("--max-length 30 " + f);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Harbour Notes\nA small book abo\n");
  r = Exec("-r pdb -", Sample("harbour-peanut.pdb"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Trim(r.out), ReadFile(Sample("harbour.txt")));
  r = Exec("-o '" + Path("one.txt") + "' " + f);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Trim(ReadFile(Path("one.txt"))), ReadFile(Sample("harbour.txt")));
  r = Exec("-j 3 -f html -o '" + Path("outdir") + "' " + f + " '" + Sample("harbour-stored.pdb") + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(Path("outdir/harbour.pdb.html")), ReadFile(Path("outdir/harbour-stored.pdb.html")));
  EXPECT_NE(ReadFile(Path("outdir/harbour.pdb.html")).find("</html>"), std::string::npos);
}

TEST_F(Cli, ManyDocumentsInParallelMatchOneByOne) {
  // More documents than the read-ahead window of any job count below, failures among them.
  std::string args;
  for (int i = 0; i < 24; ++i)
    args += " '" + (i % 7 == 3 ? Path("missing" + std::to_string(i) + ".pdb")
                               : Sample(i % 2 ? "harbour-peanut.pdb" : "harbour-stored.pdb")) + "'";
  const Outcome one = Exec("-j 1" + args);
  EXPECT_EQ(one.status, 1);
  for (const char* jobs : {"-j 2", "-j 4", "--jobs=64"}) {
    const Outcome many = Exec(std::string(jobs) + args);
    EXPECT_EQ(many.out, one.out) << jobs;
    EXPECT_EQ(many.err, one.err) << jobs;
    EXPECT_EQ(many.status, one.status) << jobs;
  }
}

// Every occurrence of `from` in s replaced.
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// Expected text: exact, "~part" for a part of it, "!" for a file that must not exist, "*" for anything.
void ExpectText(const std::string& actual, const std::string& expected, bool exists, const std::string& what) {
  if (expected == "*") return;
  if (expected == "!") {
    EXPECT_FALSE(exists) << what;
    return;
  }
  EXPECT_TRUE(exists) << what;
  if (!expected.empty() && expected[0] == '~')
    EXPECT_NE(actual.find(expected.substr(1)), std::string::npos) << what << "\n" << actual;
  else
    EXPECT_EQ(actual, expected) << what;
}

struct Row {
  std::string args;  // {d} the scratch directory, {s} the samples
  int status;
  std::string out, err;
  std::vector<std::pair<std::string, std::string>> files = {};  // under {d}
  std::string env = "";
};

TEST_F(Cli, Rows) {
  PalmDocBuilder book;
  book.Record("a<b> & {c}\n\xE9t\xE9\n");
  const std::string x = book.Build();
  WriteFile(Path("x.pdb"), x);
  WriteFile(Path("bad\xFF.pdb"), x);
  fs::create_directories(Path("t/b"));
  fs::create_directories(Path("t/a"));
  fs::create_directories(Path("dir"));
  WriteFile(Path("t/b/x.pdb"), x);
  WriteFile(Path("t/a/x.pdb"), ReadFile(Sample("harbour.pdb")));
  WriteFile(Path("list"), Path("x.pdb") + "\n\n" + Path("t/a/x.pdb") + "\r\n");
  WriteFile(Path("list0"), Path("x.pdb") + std::string(1, '\0') + Path("t/a/x.pdb"));
  WriteFile(Path("pw"), "s3cret\n");
  zvword::testing::PdfEncryptOptions locked;
  locked.UserPassword = "s3cret";
  WriteFile(Path("locked.pdf"), zvword::testing::MakeEncryptedPdf(locked));
  std::vector<std::string> pages;
  for (const char* p : {"One", "Two", "Three"}) pages.push_back(std::string("BT /F1 12 Tf 72 700 Td (") + p + ") Tj ET");
  WriteFile(Path("three.pdf"), zvword::testing::MakeTextPdf(pages));
  WordDocBuilder w;
  w.Piece(u"Body text\r").Story(WordStory::Footnotes, u"A note\r");
  CompoundFileBuilder cfb;
  constexpr uint64_t kJan31Noon = (1706702400ull + 11644473600ull) * 10000000ull;  // 2024-01-31T12:00:00Z
  cfb.Stream("\x05SummaryInformation",
             PropertySetBuilder().I2(1, 1252).Str(2, "Line one\nLine two").FileTime(12, kJan31Noon).Int(14, 3).Build());
  cfb.Stream("WordDocument", w.WordDocument()).Stream("1Table", w.Table());
  WriteFile(Path("notes.doc"), cfb.Build());
  const std::string docx = zvword::test::DocxBuilder().Body(zvword::test::DocxBuilder::P("kept")).Build();
  WriteFile(Path("cut.docx"), docx.substr(0, docx.size() - 30));
  const std::string progressClear = "1/3\r" + std::string(36, ' ') + "\r{d}/missing.pdb: File";

  const std::vector<Row> rows = {
      // HTML declares the encoding it is written in.
      {"-f html {d}/x.pdb", 0, "~content=\"text/html; charset=utf-8\">", ""},
      {"-f html --utf16 {d}/x.pdb", 0, "~" + Utf16("charset=utf-16\""), ""},
      // The wrong reader is an error, named.
      {"-r docx {s}/harbour.pdf", 1, "", "~{s}/harbour.pdf: not a docx document"},
      {"-r pdf {d}/x.pdb", 1, "", "~{d}/x.pdb: not a pdf document"},
      {"-r pdb {d}/notes.doc", 1, "", "~{d}/notes.doc: not a pdb document"},
      // A package rebuilt from what is intact gives its text, says so, and counts as read.
      {"{d}/cut.docx", 0, "kept\n", "~{d}/cut.docx: warning: The package is damaged"},
      {"--json {d}/cut.docx", 0, "~\"warnings\":[\"The package is damaged", "~warning: The package is damaged"},
      // Word's messages name the file.
      {"-r doc {s}/harbour.pdf", 1, "", "~File {s}/harbour.pdf is not valid MS Word document"},
      // -o: a directory by its slash, created; JSON lines into one file; names that stay apart;
      // nothing for a failed document; never over an input.
      {"-f html -o {d}/out/ {d}/x.pdb", 0, "", "", {{"out/x.pdb.html", "~</html>"}}},
      {"--json -o {d}/index.jsonl {d}/x.pdb {d}/nope.pdb", 1, "", "~nope.pdb: File",
       {{"index.jsonl", "~\"file\":\"{d}/nope.pdb\""}}},
      {"-o {d}/o2 {d}/t/a/x.pdb {d}/t/b/x.pdb {d}/notes.doc", 0, "", "",
       {{"o2/a/x.pdb.txt", "~Harbour Notes"}, {"o2/b/x.pdb.txt", "~a<b>"}, {"o2/notes.doc.txt", "Body text\n\n\n"}}},
      {"-o {d}/failed.txt {d}/nope.pdb", 1, "", "~nope.pdb", {{"failed.txt", "!"}}},
      {"-o {d}/x.pdb {d}/x.pdb", 2, "", "~the output {d}/x.pdb is also an input", {{"x.pdb", x}}},
      {"-o {d}/o3/ {d}/x.pdb {d}/x.pdb", 1, "", "~{d}/x.pdb: its output would overwrite",
       {{"o3/x.pdb.txt", "~a<b>"}}},
      // A name that is not UTF-8 opens, and its JSON line stays valid.
      {"{d}/bad\xFF.pdb", 0, "~a<b>", ""},
      {"--json {d}/bad\xFF.pdb", 0, "~\"file\":\"{d}/bad\\u00ff.pdb\"", ""},
      // RTF fallbacks that pandoc and unrtf read without losing the next character.
      {"-f rtf {d}/x.pdb", 0, "~\\u233\\'e9t\\u233\\'e9\\par", ""},
      {"-f rtf --codepage 1251 {d}/x.pdb", 0, "~\\u1081\\'e9t", ""},
      // Dates in UTC whatever the zone; one line per property; numbers as numbers.
      {"--summary {d}/notes.doc", 0, "~Title: Line one\\nLine two\nCreated: 2024-01-31T12:00:00Z\n", "", {}, "TZ=Asia/Tokyo"},
      {"--json {d}/notes.doc", 0, "~\"Created\":\"2024-01-31T12:00:00Z\",\"PageCount\":3}", "", {}, "TZ=America/New_York"},
      // Plain text starts with its text; no bare CR from a cut; one kind of line end.
      {"--max-length 1 {d}/x.pdb", 0, "a\n", ""},
      {"--crlf {d}/x.pdb", 0, "a<b> & {c}\r\n\xC3\xA9t\xC3\xA9\r\n\r\n", ""},
      {"--list all {d}/notes.doc", 0, "Body text\n\n\n--- footnotes ---\nA note\n\n", ""},
      {"--progress {d}/x.pdb {d}/missing.pdb {d}/x.pdb", 1, "*", "~" + progressClear},
      {"-o /dev/full {d}/x.pdb", 1, "", "zvword: write error: /dev/full: No space left on device\n"},
      {"{d}/dir", 1, "", "{d}/dir: is a directory (read the files under it with -R)\n"},
      // Inputs from a tree, a list, a NUL-separated list; the password from a file.
      {"-R -o {d}/r/ {d}/t", 0, "", "", {{"r/a/x.pdb.txt", "~Harbour Notes"}, {"r/b/x.pdb.txt", "~a<b>"}}},
      {"--json -R {d}/t", 0, "~t/a/x.pdb\"", ""},
      {"--files-from {d}/list", 0, "~a<b> & {c}\n\xC3\xA9t\xC3\xA9\n\nHarbour Notes\n", ""},
      {"-0 --files-from {d}/list0", 0, "~a<b> & {c}\n\xC3\xA9t\xC3\xA9\n\nHarbour Notes\n", ""},
      {"--files-from {d}/nolist", 2, "", "~cannot read {d}/nolist"},
      {"--password-file {d}/pw {d}/locked.pdf", 0, "~Hello encrypted world", ""},
      {"{d}/locked.pdf", 1, "*", "~{d}/locked.pdf: "},
      // PDF page ranges and breaks, as pdftotext users know them.
      {"--first-page 2 {d}/three.pdf", 0, "Two\nThree\n\n", ""},
      {"--first-page 2 --last-page 2 {d}/three.pdf", 0, "Two\n\n", ""},
      {"--first-page 9 {d}/three.pdf", 0, "\n", ""},
      {"--page-breaks --last-page 2 {d}/three.pdf", 0, "One\n\fTwo\n\n", ""},
      {"-f html --page-breaks {d}/three.pdf", 0, "~One<br>\n<hr>\nTwo<br>", ""},
      {"--first-page 3 --last-page 2 {d}/three.pdf", 2, "", "~--last-page is before --first-page"},
      // A worker that hangs, crashes or runs out of memory fails its document; the batch goes on.
      {"--json --timeout 1 -j 2 {d}/x.pdb {d}/hang.pdb {d}/notes.doc", 1,
       "~\"error\":\"timed out after 1 s (--timeout)\",\"partial\":false}\n{\"file\":\"{d}/notes.doc\",\"reader\":\"doc\"",
       "{d}/hang.pdb: timed out after 1 s (--timeout)\n", {}, "ZVWORD_TEST_WORKER=hang:hang.pdb"},
      {"--isolate {d}/crash.pdb {d}/x.pdb", 1, "a<b> & {c}\n\xC3\xA9t\xC3\xA9\n\n",
       "{d}/crash.pdb: the reader crashed (signal 11, Segmentation fault)\n", {}, "ZVWORD_TEST_WORKER=crash:crash.pdb"},
      {"--max-memory 256 --json {d}/hog.pdb {d}/x.pdb", 1, "~Out of memory (over --max-memory 256 MB)\",\"partial\":false}\n{",
       "*", {}, "ZVWORD_TEST_WORKER=hog:hog.pdb"},
  };
  for (const Row& row : rows) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer turns a crash into exit status 1 and cannot run under an address-space limit.
    if (row.env.find("crash:") != std::string::npos || row.env.find("hog:") != std::string::npos) continue;
#endif
    auto fill = [&](const std::string& t) { return Replace(Replace(t, "{d}", dir_.string()), "{s}", Sample("").substr(0, Sample("").size() - 1)); };
    std::string args;
    std::istringstream words(fill(row.args));
    for (std::string word; words >> word;) args += "'" + word + "' ";
    const Outcome r = Exec(args, "", row.env);
    EXPECT_EQ(r.status, row.status) << row.args << "\n" << r.err;
    ExpectText(r.out, fill(row.out), true, row.args + " (stdout)");
    ExpectText(r.err, fill(row.err), true, row.args + " (stderr)");
    if (row.args.find("--json") != std::string::npos) EXPECT_TRUE(ValidUtf8(r.out)) << row.args;
    for (const auto& [name, content] : row.files) {
      const std::string path = Path(name);
      ExpectText(ReadFile(path), fill(content), fs::exists(path), row.args + " -> " + name);
    }
  }
}

// --help, the man page, the completion and the README come from one table: none may miss an option.
TEST_F(Cli, HelpManCompletionAndReadmeAgree) {
  const std::string help = Exec("--help").out;
  const std::string man = Exec("--man").out, completion = Exec("--completion").out;
  EXPECT_EQ(man.rfind(".TH ZVWORD 1", 0), 0u);
  size_t options = 0;
  const std::regex option("^  (?:-., |    )(--[a-z0-9-]+)");
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, option)) continue;
    const std::string name = m[1];
    EXPECT_NE(man.find("\\fB" + Replace(name, "-", "\\-") + "\\fR"), std::string::npos) << name;
    EXPECT_NE(completion.find(name), std::string::npos) << name;
    ++options;
  }
  EXPECT_GT(options, 20u);
  const std::string readme = ReadFile(std::string(ZVWORD_SOURCE_DIR) + "/README.md");
  const size_t from = readme.find("```\nusage: zvword");
  ASSERT_NE(from, std::string::npos) << "README has no --help block";
  EXPECT_EQ(readme.substr(from + 4, readme.find("```", from + 4) - from - 4), help);
}

}  // namespace

namespace {

// With one CPU allowed the tool reads one document at a time: three workers that hang until the
// timeout take three timeouts, not one.
TEST_F(Cli, DefaultJobsFollowTheAffinityMask) {
  if (std::system("taskset -c 0 true >/dev/null 2>&1") != 0) GTEST_SKIP() << "taskset cannot pin this process";
  const auto start = std::chrono::steady_clock::now();
  const Outcome r = Exec("--timeout 0.3 a.pdb b.pdb c.pdb", "", "ZVWORD_TEST_WORKER=hang:.pdb taskset -c 0");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(seconds, 0.9);
}

}  // namespace
