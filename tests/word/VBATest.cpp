#include "builders/Corpus.h"
#include "word/MSWordVBA.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "builders/CompoundFileBuilder.h"
#include "builders/VBAProjectBuilder.h"

namespace zvword {
namespace {

using test::CompoundFileBuilder;
using test::VBAProjectBuilder;
using Module = VBAProjectBuilder::Module;

std::string Source(size_t n, int seed) {
  // Source-like text: repetitive lines with a counter, so both literals and copies occur.
  std::string s;
  for (int i = 0; s.size() < n; ++i)
    s += "    x" + std::to_string(i * seed % 97) + " = x" + std::to_string(i) + " + " + std::to_string(seed) + "\r\n";
  s.resize(n);
  return s;
}

// ---- the compressed container ----

TEST(VBADecompress, PublishedExample) {
  // The worked example of the VBA format's documentation: literals, copies and the container framing.
  const std::string compressed(
      "\x01\x2F\xB0\x00\x23\x61\x61\x61\x62\x63\x64\x65\x82\x66\x00\x70\x61\x67\x68\x69\x6A\x01\x38\x08\x61\x6B\x6C"
      "\x00\x30\x6D\x6E\x6F\x70\x06\x71\x02\x70\x04\x10\x72\x73\x74\x75\x76\x10\x77\x78\x79\x7A\x00\x3C",
      51);
  EXPECT_EQ(DecompressMacros(compressed), "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa");
}

struct RoundTripCase {
  size_t size;
  bool stored;
};

class VBARoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(VBARoundTrip, DecodesWhatWasEncoded) {
  const std::string src = Source(GetParam().size, static_cast<int>(GetParam().size % 13) + 1);
  const std::string packed = VBAProjectBuilder::Compress(src, GetParam().stored);
  RawByteString out;
  ASSERT_TRUE(DecompressVBAContainer(packed, out));
  EXPECT_EQ(out, src);
}

INSTANTIATE_TEST_SUITE_P(Sizes, VBARoundTrip,
                         ::testing::Values(RoundTripCase{0, false}, RoundTripCase{1, false}, RoundTripCase{17, false},
                                           RoundTripCase{4095, false}, RoundTripCase{4096, false},
                                           RoundTripCase{4097, false}, RoundTripCase{20000, false},
                                           RoundTripCase{4096, true}, RoundTripCase{12288, true},
                                           RoundTripCase{10000, true}));

TEST(VBADecompress, RepeatedByteRunsAcrossTheLengthBitBoundaries) {
  // Long runs exercise copies at every split of the token between distance and length.
  std::string src;
  for (int i = 0; i < 3000; ++i) src += static_cast<char>('a' + (i / 300) % 26);
  src += std::string(5000, 'z');
  EXPECT_EQ(DecompressMacros(VBAProjectBuilder::Compress(src)), src);
}

struct BadCase {
  const char* what;
  std::string data;
  bool container;
  std::string expect;
};

TEST(VBADecompress, DamagedDataStopsSafely) {
  const std::string abc = VBAProjectBuilder::Compress("abcabcabcabc");
  const BadCase cases[] = {
      {"empty", "", false, ""},
      {"not a container", "\x02\xB0\x00" "abc", false, ""},
      {"header only", "\x01", true, ""},
      {"copy reaching before the chunk", std::string("\x01\x03\xB0\x01\x00\x10", 6), true, ""},
      {"literal then copy too far back", std::string("\x01\x04\xB0\x02" "a" "\x00\x10", 7), true, "a"},
      {"token cut by the end", std::string("\x01\x03\xB0\x02" "a" "\x00", 6), true, "a"},
      {"chunk size past the data", std::string("\x01\xFF\xBF\x00" "abc", 7), true, "abc"},
      {"stored chunk cut short", std::string("\x01\xFF\x3F" "short", 8), true, "short"},
      {"trailing byte after a chunk", abc + "\x01", true, "abcabcabcabc"},
      {"zero padding after the last chunk", abc + std::string(600, '\0'), true, "abcabcabcabc"},
      {"chunk without its signature", std::string("\x01\x03\x80\x00" "abc", 7), true, ""},
  };
  for (const auto& c : cases) {
    RawByteString out = "junk";
    EXPECT_EQ(DecompressVBAContainer(c.data, out), c.container) << c.what;
    EXPECT_EQ(out, c.expect) << c.what;
  }
}

TEST(VBADecompress, ExpansionIsBounded) {
  // Each 6-byte chunk claims 4095 bytes: a literal and one long copy.
  std::string bomb(1, '\x01');
  const std::string chunk("\x03\xB0\x02" "a" "\xFB\x0F", 6);
  for (size_t i = 0; i < kMaxMacroSourceSize / 4096 + 100; ++i) bomb += chunk;
  RawByteString out;
  ASSERT_TRUE(DecompressVBAContainer(bomb, out));
  EXPECT_EQ(out.size(), kMaxMacroSourceSize);
  EXPECT_EQ(out.substr(0, 5000), std::string(5000, 'a'));
}

// ---- the project walk ----

struct Project {
  TVBAProjectItems items;
  WideString projectText;
  int codePage = 0;
  TWideStrings text;
};

void ReadProject(const VBAProjectBuilder& vba, Project& p, uint32_t sectorSize = 512) {
  CompoundFileBuilder b(sectorSize);
  b.Stream("WordDocument", "x");
  vba.AddTo(b);
  auto root = OpenStorageOnBytes(b.Build());
  ASSERT_TRUE(root);
  auto macros = root->OpenStorage(u"Macros");
  ASSERT_TRUE(macros);
  p.codePage = ReadVBAProject(*macros, p.items, p.projectText);
  AddMacroText(p.items, p.codePage, p.text);
}

std::vector<std::string> Lines(const TWideStrings& t) {
  std::vector<std::string> out;
  for (int i = 0; i < t.Count(); ++i) out.push_back(WideToUtf8(t.Strings(i)));
  return out;
}

std::vector<std::string> Listing(std::initializer_list<std::pair<const char*, std::string>> modules) {
  std::vector<std::string> out;
  for (const auto& [name, source] : modules) {
    out.push_back("'===================================");
    out.push_back(std::string("'  Macro(s) from ") + name);
    out.push_back("'===================================");
    out.push_back(source + "\r\n");
  }
  return out;
}

const std::string kSub = "Attribute VB_Name = \"Module1\"\r\nSub Hello()\r\n    MsgBox \"Hi\"\r\nEnd Sub\r\n";

TEST(VBAProject, ModulesFromTheCacheRecords) {
  VBAProjectBuilder vba;
  vba.Reference(u"*\\G{000204EF-0000-0000-C000-000000000046}#4.0#9#VBE6.DLL#Visual Basic For Applications")
      .Reference(u"*\\G{00020905-0000-0000-C000-000000000046}#8.4#0#MSWORD.OLB#Word")
      .Add({.name = "ThisDocument", .source = "Attribute VB_Name = \"ThisDocument\"\r\n"})
      .Add({.name = "Module1", .source = kSub, .pcodeSize = 700});
  Project p;
  ReadProject(vba, p);
  EXPECT_EQ(p.codePage, 1252);
  ASSERT_EQ(p.items.Count(), 2);
  EXPECT_EQ(WideToUtf8(p.items.Items(0).Entry).substr(0, 3), "*\\G");
  EXPECT_EQ(WideToUtf8(p.items.Items(1).ModuleName), "Module1");
  EXPECT_EQ(p.items.Items(1).Offset, 700u);
  EXPECT_EQ(Lines(p.text), Listing({{"ThisDocument", "Attribute VB_Name = \"ThisDocument\"\r\n"}, {"Module1", kSub}}));
  EXPECT_NE(WideToUtf8(p.projectText).find("Module=Module1"), std::string::npos);
}

TEST(VBAProject, ReferencesOfBothKindsAndMoreItemsThanModules) {
  VBAProjectBuilder vba;
  vba.Reference(u"*\\CNormal").Reference(u"*\\CNormal").Reference(u"*\\G{0}#2.0#0#stdole2.tlb#OLE Automation")
      .Reference(u"*\\Hsomething").Add({.name = "Module1", .source = kSub});
  Project p;
  ReadProject(vba, p);
  ASSERT_EQ(p.items.Count(), 4);
  EXPECT_EQ(WideToUtf8(p.items.Items(0).ModuleName), "Module1");
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(p.items.Items(i).ModuleName.empty());
  EXPECT_EQ(Lines(p.text), Listing({{"Module1", kSub}}));
}

TEST(VBAProject, DirectoryOffsetsWhenTheCacheHasNoModuleRecords) {
  VBAProjectBuilder vba;
  vba.Reference(u"*\\G{000204EF}#4.0#9#VBE7.DLL#VBA").NoCacheModules()
      .Add({.name = "ThisDocument", .source = "Attribute VB_Name = \"ThisDocument\"\r\n", .pcodeSize = 1000})
      .Add({.name = "NewMacros", .source = kSub, .pcodeSize = 333});
  Project p;
  ReadProject(vba, p);
  EXPECT_EQ(Lines(p.text),
            Listing({{"ThisDocument", "Attribute VB_Name = \"ThisDocument\"\r\n"}, {"NewMacros", kSub}}));
}

TEST(VBAProject, DirectoryOffsetWhenTheCacheOffsetLeadsNowhere) {
  VBAProjectBuilder vba;
  vba.Add({.name = "Module1", .source = kSub, .pcodeSize = 500, .cacheOffset = 12});
  Project p;
  ReadProject(vba, p);
  EXPECT_EQ(Lines(p.text), Listing({{"Module1", kSub}}));
}

TEST(VBAProject, UndecodableModuleIsSkipped) {
  VBAProjectBuilder vba;
  vba.NoDir()
      .Add({.name = "Broken", .source = "Sub B()\r\nEnd Sub\r\n", .pcodeSize = 500, .cacheOffset = 10})
      .Add({.name = "Past", .source = "Sub P()\r\nEnd Sub\r\n", .cacheOffset = 99999})  // past the stream's end
      .Add({.name = "Fine", .source = "Sub A()\r\nEnd Sub\r\n"});
  Project p;
  ReadProject(vba, p);
  EXPECT_EQ(Lines(p.text), Listing({{"Fine", "Sub A()\r\nEnd Sub\r\n"}}));
}

TEST(VBAProject, SourceFoundAfterTheCompiledCodeWhenBothOffsetsAreStale) {
  const std::string other = "Sub NoAttributes()\r\nEnd Sub\r\n";
  VBAProjectBuilder vba;
  vba.Add({.name = "Module1", .source = kSub, .pcodeSize = 900, .cacheOffset = 5, .dirOffset = 7})
      .Add({.name = "Module2", .source = other, .pcodeSize = 900, .cacheOffset = 5, .dirOffset = 7});
  Project p;
  ReadProject(vba, p);
  // Only text that starts as module source does is taken for it.
  EXPECT_EQ(Lines(p.text), Listing({{"Module1", kSub}}));
}

TEST(VBAProject, StreamNamesMatchIgnoringCaseAndLongSources) {
  const std::string exact = Source(4096, 3), longer = Source(9000, 5);
  VBAProjectBuilder vba;
  vba.Add({.name = "Module1", .source = exact, .streamName = "MODULE1"})
      .Add({.name = "Module2", .source = longer, .storedChunks = true});
  Project p;
  ReadProject(vba, p, 4096);
  EXPECT_EQ(Lines(p.text), Listing({{"Module1", exact}, {"Module2", longer}}));
}

TEST(VBAProject, SourceDecodesWithTheProjectCodePage) {
  VBAProjectBuilder vba;
  vba.CodePage(1252).Add({.name = "Module1", .source = "' \x93quoted\x94 \x80\r\n"});
  Project p;
  ReadProject(vba, p);
  ASSERT_EQ(p.text.Count(), 4);
  EXPECT_EQ(p.text.Strings(3), u"' \u201Cquoted\u201D \u20AC\r\n\r\n");
}

TEST(VBAProject, DamagedCacheStreamFallsBackOrYieldsNothing) {
  for (size_t cut : {0u, 10u, 40u, 180u, 200u}) {
    VBAProjectBuilder vba;
    vba.Reference(u"*\\G{000204EF}#4.0#9#VBE7.DLL#VBA").Add({.name = "Module1", .source = kSub});
    CompoundFileBuilder b;
    vba.AddTo(b);
    b.Stream("Macros/VBA/_VBA_PROJECT", vba.CacheStream().substr(0, cut));
    auto root = OpenStorageOnBytes(b.Build());
    auto macros = root->OpenStorage(u"Macros");
    Project p;
    p.codePage = ReadVBAProject(*macros, p.items, p.projectText);
    AddMacroText(p.items, p.codePage, p.text);
    // The directory still names the module and its offset.
    EXPECT_EQ(Lines(p.text), Listing({{"Module1", kSub}})) << "cache cut at " << cut;
  }
}

// ---- real documents ----

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(VBACorpus, MacroDocumentsListReadableSource) {
  const std::filesystem::path dir = corpus::CorpusDir() / "real" / "doc";
  ZVWORD_REQUIRE_CORPUS(dir);
  struct Expect {
    const char* file;
    std::vector<std::string> words;
  };
  const Expect cases[] = {
      {"SimpleMacro.doc", {"Macro(s) from Module1", "Sub TestMacro()", "End Sub", "ActiveDocument.Paragraphs(1)"}},
      {"testWORD_macros.doc", {"Macro(s) from NewMacros", "Sub Embolden()", "Sub Italicize()", "End Sub"}},
      {"Bug50936_3.doc", {"Macro(s) from ThisDocument", "Attribute VB_Name = \"ThisDocument\""}},
      {"testWORD_no_format.doc", {"Macro(s) from ThisDocument", "Attribute VB_Name = \"ThisDocument\""}},
      // Its module offsets point into zeros; the source sits right after the compiled code.
      {"60279.doc", {"Macro(s) from ThisDocument", "Attribute VB_Name = \"ThisDocument\""}},
  };
  for (const auto& c : cases) {
    const auto path = dir / c.file;
    if (!std::filesystem::exists(path)) continue;
    auto root = OpenStorageOnBytes(Slurp(path));
    ASSERT_TRUE(root) << c.file;
    auto macros = root->OpenStorage(u"Macros");
    ASSERT_TRUE(macros) << c.file;
    Project p;
    p.codePage = ReadVBAProject(*macros, p.items, p.projectText);
    AddMacroText(p.items, p.codePage, p.text);
    std::string all;
    for (const auto& l : Lines(p.text)) all += l + "\n";
    for (const auto& w : c.words) EXPECT_NE(all.find(w), std::string::npos) << c.file << ": " << w;
    EXPECT_EQ(p.codePage, 1252) << c.file;
  }
}

}  // namespace
}  // namespace zvword
