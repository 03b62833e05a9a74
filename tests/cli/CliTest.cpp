// Runs the built zvword binary (path in ZVWORD_CLI) the way users do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "builders/PalmDocBuilder.h"

namespace {

namespace fs = std::filesystem;
using zvword::test::PalmDocBuilder;

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
  Outcome Exec(const std::string& args, const std::string& stdinFile = "") const {
    const std::string out = Path("stdout"), err = Path("stderr");
    std::string cmd = "'" + cli_ + "' " + args + " >'" + out + "' 2>'" + err + "'";
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
  EXPECT_EQ(r.err, Path("book.pdb") + ": not a pdb document (Not valid PalmDoc text file.)\n");
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
                           "--codepage 4242 x.pdb", "-j 0 x.pdb", "-l body,nonsense x.pdb", "--json=1 x.pdb", "-o"}) {
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
  EXPECT_NE(all[1].find("\"error\":\"File " + Path("nope.pdb") + " is not found.\"}"), std::string::npos);
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
  EXPECT_EQ(r.out, "Harbour Notes\nA small book a\n");
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

}  // namespace
