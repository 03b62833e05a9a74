#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "builders/Corpus.h"
#include "builders/PalmDocBuilder.h"
#include "legacy/MSPalmDoc.h"
#include "platform/CodePages.h"

namespace zvword {
namespace {

using test::PalmDocBuilder;

std::vector<WideString> Items(const TWideStrings& list) {
  std::vector<WideString> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list.Get(i));
  return v;
}

std::vector<WideString> Load(const std::string& bytes, TMSTextFormating mode = tfPlainText) {
  TPalmDocFile doc;
  doc.SetTextFormating(mode);
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  return Items(*doc.Text());
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int x : b) s += static_cast<char>(x);
  return s;
}

// ---- the record decompressor ----

struct DecompressCase {
  const char* what;
  std::string input;
  std::string expected;
};

class Decompress : public ::testing::TestWithParam<DecompressCase> {};

TEST_P(Decompress, Decodes) {
  const auto& c = GetParam();
  EXPECT_EQ(TPalmDocFile::DecompressText(c.input, 4096), c.expected) << c.what;
  EXPECT_EQ(TPalmDocFile::DecompressText(c.input, 0), c.expected) << c.what << " (no initial capacity)";
  WideString wide;
  const size_t n = TPalmDocFile::DecompressInto(reinterpret_cast<const uint8_t*>(c.input.data()), c.input.size(), wide,
                                                AsciiSingleByteTable(1252));
  EXPECT_EQ(wide.substr(0, n), CodePageToWide(c.expected, 1252)) << c.what << " (into characters)";
}

// Commands followed by more than 16 bytes of the record take the decoder's unchecked path.
const std::string kTail(20, 'z');

INSTANTIATE_TEST_SUITE_P(
    PalmDoc, Decompress,
    ::testing::Values(
        DecompressCase{"literal then distance 1 length 3", Bytes({0x41, 0x80, 0x08}), "AAAA"},
        DecompressCase{"zero command is a space", Bytes({0x41, 0x00, 0x42}), "A B"},
        DecompressCase{"space pair", Bytes({0x41, 0xC2}), "A B"},
        DecompressCase{"literal run keeps command bytes", Bytes({0x03, 0x00, 0x85, 0xC0}), Bytes({0x00, 0x85, 0xC0})},
        DecompressCase{"plain bytes 09 to 7F", "Hello\tWorld\n", "Hello\tWorld\n"},
        DecompressCase{"overlapping copy of 10", Bytes({0x61, 0x62, 0x80, 0x17}), "abababababab"},
        DecompressCase{"overlapping copy of 10 at distance 8", Bytes({0x08, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x80, 0x47}),
                       "abcdefghabcdefghab"},
        DecompressCase{"short copy at distance 9, then text", Bytes({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0x80, 0x48, 'Z'}),
                       "abcdefghiabcZ"},
        DecompressCase{"run ending the record", Bytes({0x41, 0x02, 0x78, 0x79}), "Axy"},
        DecompressCase{"back-reference before the output stops the record", Bytes({0x41, 0x42, 0x80, 0x18, 0x43}), "AB"},
        DecompressCase{"distance zero stops the record", Bytes({0x41, 0x80, 0x00, 0x43}), "A"},
        DecompressCase{"run cut off by the record end", Bytes({0x41, 0x05, 0x42, 0x43}), "A"},
        DecompressCase{"pair cut off by the record end", Bytes({0x41, 0x42, 0x80}), "AB"},
        DecompressCase{"empty record", "", ""},
        DecompressCase{"every command before a long tail",
                       "Hello" + Bytes({0x03, 0xE9, 0x41, 0xA3, 0x00, 0xC2, 0x80, 0x5A}) + kTail,
                       "Hello\xE9" "A\xA3  BHello" + kTail},
        DecompressCase{"copy as long as its distance before a long tail", "abc" + Bytes({0x80, 0x18}) + kTail, "abcabc" + kTail},
        DecompressCase{"copy one longer than its distance before a long tail", "abc" + Bytes({0x80, 0x19}) + kTail,
                       "abcabca" + kTail},
        DecompressCase{"overlapping copy of 10 before a long tail", "ab" + Bytes({0x80, 0x17}) + kTail, "abababababab" + kTail},
        DecompressCase{"back-reference before the output stops a long record", "AB" + Bytes({0x80, 0x18}) + kTail, "AB"},
        DecompressCase{"distance zero stops a long record", "A" + Bytes({0x80, 0x00}) + kTail, "A"}));

TEST(PalmDoc, CompressedRecordsRoundTripThroughTheBuilder) {
  std::mt19937 rng(11);
  const std::string words[] = {"harbour ", "net ", "tide\n", "rope, ", "caf\xE9 ", "\x01\x02", "\xA3", "  "};
  for (int round = 0; round < 50; ++round) {
    std::string text;
    while (text.size() < 4096) text += words[rng() % 8];
    text.resize(4096);
    EXPECT_EQ(TPalmDocFile::DecompressText(PalmDocBuilder::Compress(text), 4096), text);
  }
}

TEST(PalmDoc, GrowsPastTheAnnouncedCapacity) {
  const std::string text(20000, 'x');
  EXPECT_EQ(TPalmDocFile::DecompressText(PalmDocBuilder::Compress(text), 16), text);
}

// ---- loading ----

TEST(PalmDoc, PlainTextIsPrologueRecordsEpilogue) {
  const auto bytes = PalmDocBuilder().Record("one\r\n").Record("two\n").Build();
  EXPECT_EQ(Load(bytes), (std::vector<WideString>{u"", u"one", u"two", u""}));
}

TEST(PalmDoc, LinesCutByRecordsStayWhole) {
  // A record ends after a fixed number of bytes, often inside a word.
  const auto bytes = PalmDocBuilder().Compression(2).Record("first line\nsec").Record("ond line\nthi").Record("rd").Build();
  EXPECT_EQ(Load(bytes), (std::vector<WideString>{u"", u"first line", u"second line", u"third", u""}));
}

TEST(PalmDoc, CrLfSplitBetweenRecordsIsOneLineEnd) {
  const auto bytes = PalmDocBuilder().Record("a\r").Record("\nb\n").Build();
  EXPECT_EQ(Load(bytes), (std::vector<WideString>{u"", u"a", u"b", u""}));
}

TEST(PalmDoc, OneRecordGivesOnlyPrologueAndEpilogue) {
  const auto bytes = PalmDocBuilder().Build();
  EXPECT_EQ(Load(bytes), (std::vector<WideString>{u"", u""}));
  EXPECT_EQ(Load(bytes, tfHTML).size(), 2u);
}

TEST(PalmDoc, StoredRecordsPassThroughWhateverTheCompressionValue) {
  for (uint16_t compression : {0, 1, 3, 0xFFFF}) {
    const auto bytes = PalmDocBuilder().Compression(compression).RawRecord(Bytes({0x41, 0x80, 0x08, 0x0A})).Build();
    EXPECT_EQ(Load(bytes)[1], u"A\u20AC\b") << compression;  // 0x80 is the euro sign in 1252
  }
}

TEST(PalmDoc, RecordsLargerThanTheAnnouncedSizeDecodeWhole) {
  // Record 0 may understate the record size; the decoder's buffer then grows mid-record.
  std::string text;
  for (int i = 0; i < 300; ++i) text += "word" + std::to_string(i) + " ";
  const auto bytes = PalmDocBuilder().Compression(2).RecSize(16).Record(text + "\n").Record(text).Build();
  const auto items = Load(bytes);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1], Utf8ToWide(text));
  EXPECT_EQ(items[2], Utf8ToWide(text));
}

TEST(PalmDoc, CompressedAndPeanutFormsReadTheSame) {
  const std::string text = "Call me Ishmael.\nSome years ago \xE9t\xE9, never mind how long precisely\n";
  for (bool peanut : {false, true})
    for (uint16_t compression : {1, 2}) {
      const auto bytes = PalmDocBuilder().Peanut(peanut).Compression(compression).Text(text, 20).Build();
      const auto items = Load(bytes);
      ASSERT_EQ(items.size(), 4u) << peanut << compression;
      EXPECT_EQ(items[1], u"Call me Ishmael.");
      EXPECT_EQ(items[2], u"Some years ago \u00E9t\u00E9, never mind how long precisely");
    }
}

TEST(PalmDoc, PeanutCountComesFromItsRecordZero) {
  // The Peanut header counts fewer records than the database: the last one runs to the end.
  const auto bytes = PalmDocBuilder().Peanut().Record("a\n").Record("b\n").PeanutNumRecords(2).Build();
  const auto items = Load(bytes);
  EXPECT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].substr(0, 3), u"a\nb");
}

TEST(PalmDoc, PeanutCountBeyondTheRecordListIsCapped) {
  const auto bytes = PalmDocBuilder().Peanut().Record("a\n").PeanutNumRecords(5000).Build();
  EXPECT_EQ(Load(bytes), (std::vector<WideString>{u"", u"a", u""}));
}

TEST(PalmDoc, PeanutNeedsBothTypeAndCreator) {
  for (const char* tc : {"PNRDREAd", "TEXtPPRS", "textREAd", "TEXtREAD"}) {
    const auto bytes = PalmDocBuilder().TypeCreator(tc).Record("x").Build();
    try {
      Load(bytes);
      ADD_FAILURE() << tc;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), u"Not valid PalmDoc text file.") << tc;
    }
  }
}

TEST(PalmDoc, WithoutTextItemTheListStaysEmptyButTheHeaderIsChecked) {
  TPalmDocFile doc;
  doc.SetParseItems(TZvWParseItems{wpiSummaryInformation});
  const auto good = PalmDocBuilder().Record("x").Build();
  TBytesView s1(good);
  doc.LoadFromStream(s1);
  EXPECT_EQ(doc.Text()->Count(), 0);
  const auto bad = PalmDocBuilder().TypeCreator("BOOKMOBI").Record("x").Build();
  TBytesView s2(bad);
  EXPECT_THROW(doc.LoadFromStream(s2), Exception);
}

TEST(PalmDoc, ShortHeaderAndRecordListRaiseReadErrors) {
  const auto bytes = PalmDocBuilder().Record("x").Record("y").Build();
  for (size_t cut : {0, 10, 77, 78, 85, 93}) {
    EXPECT_THROW(Load(bytes.substr(0, cut)), EReadError) << cut;
  }
  // A list that claims many more records than the file holds.
  EXPECT_THROW(Load(PalmDocBuilder().Record("x").NumRecords(60000).Build()), EReadError);
}

TEST(PalmDoc, BrokenRecordOffsetsYieldWhatCanBeReadAndNeverReplayBytes) {
  const auto three = [] { return PalmDocBuilder().Record("one\n").Record("two\n").Record("three\n"); };
  const auto base = three().Build();
  const auto offset = [](const std::string& book, size_t i) {
    const auto* p = reinterpret_cast<const uint8_t*>(book.data()) + 78 + 8 * i;
    return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
  };
  // Every other record starts where record 1 does and runs to the end of the file.
  PalmDocBuilder replay = PalmDocBuilder().Record("first\n");
  for (int i = 0; i < 200; ++i) replay.Record("x");
  const uint32_t first = offset(replay.Build(), 1);
  for (size_t i = 2; i <= 200; i += 2) replay.Offset(i, first).Offset(i + 1, 0xFFFFFF00);
  struct Row {
    const char* what;
    std::string bytes;
    std::vector<WideString> items;  // what was read; a message when the book is refused
    std::string message;
  } rows[] = {
      // Record 1 starts beyond record 2, record 2 beyond the file, record 3 runs past the end.
      {"offsets beyond the file", three().Offset(1, 0xFFFFFF00).Offset(2, 0xFFFFFFF0).Build(), {u"", u"three", u""}, ""},
      {"file cut short", base.substr(0, base.size() - 3), {u"", u"one", u"two", u"thr", u""}, ""},
      {"record back at an earlier one", three().Offset(3, offset(base, 1)).Build(), {u"", u"one"},
       "PalmDoc record 3 overlaps the records before it"},
      {"records that replay the file", replay.Build(), {u"", u"first", std::u16string(200, u'x')},
       "PalmDoc record 4 overlaps the records before it"},
  };
  for (const Row& r : rows) {
    TPalmDocFile doc;
    TBytesView stream(r.bytes);
    std::string message;
    try {
      doc.LoadFromStream(stream);
    } catch (const Exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message, r.message) << r.what;
    EXPECT_EQ(Items(*doc.Text()), r.items) << r.what;
  }
}

TEST(PalmDoc, HtmlAndRtfEscapeTheTextAndMarkLineEnds) {
  const auto bytes = PalmDocBuilder().Record("a<b & \"c\"\r\nd\n").Record("{x}\\ \xE9").Build();
  // Every line between prologue and epilogue, joined as the list joins them.
  auto body = [](const std::vector<WideString>& items) {
    WideString s;
    for (size_t i = 1; i + 1 < items.size(); ++i) s += items[i] + u"\r\n";
    return s;
  };
  EXPECT_EQ(body(Load(bytes, tfHTML)), u"a&lt;b &amp; &quot;c&quot;<br>\r\nd<br>\r\n{x}\\ \u00E9\r\n");
  EXPECT_EQ(body(Load(bytes, tfRTF)), u"a<b & \"c\"\\par \r\nd\\par \r\n\\{x\\}\\\\ \\u233\\'e9\r\n");
  // Plain text is never touched.
  EXPECT_EQ(body(Load(bytes)), u"a<b & \"c\"\r\nd\r\n{x}\\ \u00E9\r\n");
}

class CancellingPalmDoc : public TPalmDocFile {
 public:
  int records = 0;
  void AddText(const WideString& text, TWideStrings* strings) override {
    TPalmDocFile::AddText(text, strings);
    if (strings->Count() == 2) IsCancelExtract = true;  // after the first record
  }
};

TEST(PalmDoc, CancelStopsBeforeTheNextRecordAndKeepsTheEpilogue) {
  CancellingPalmDoc doc;
  doc.SetTextFormating(tfHTML);
  const auto bytes = PalmDocBuilder().Record("one\n").Record("two\n").Record("three\n").Build();
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  ASSERT_EQ(doc.Text()->Count(), 3);
  EXPECT_EQ(doc.Text()->Get(1), u"one<br>");
  EXPECT_EQ(doc.Text()->Get(2), u"\r\n</body>\r\n</html>");
}

TEST(PalmDoc, MaxTextLengthBoundsTheList) {
  TPalmDocFile doc;
  doc.SetMaxTextLength(25);
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\n";
  const auto bytes = PalmDocBuilder().Compression(2).Text(text, 50).Build();
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  EXPECT_TRUE(doc.IsCancelExtract);
  EXPECT_EQ(doc.Text()->WideText(), u"\r\nline 0\nline 1\nline 2\nli\r\n");
}

TEST(PalmDoc, TextFollowsTheSystemCodePage) {
  struct Row {
    int codePage;
    uint16_t compression;
    std::string text;
    WideString expected;
  };
  const Row rows[] = {
      {1251, 1, "\xC0\xE1\n", u"\u0410\u0431"},
      {1251, 2, "\xC0\xE1 and more text than a short record holds\n", u"\u0410\u0431 and more text than a short record holds"},
      {932, 2, "\x82\xA0 and more text than a short record holds\n", u"\u3042 and more text than a short record holds"},
      {65001, 2, "caf\xC3\xA9 and more text than a short record holds\n", u"caf\u00E9 and more text than a short record holds"},
  };
  for (const Row& r : rows) {
    const auto bytes = PalmDocBuilder().Compression(r.compression).Record(r.text).Build();
    SetSystemCodePage(r.codePage);
    const auto items = Load(bytes);
    SetSystemCodePage(1252);
    ASSERT_EQ(items.size(), 3u) << r.codePage;
    EXPECT_EQ(items[1], r.expected) << r.codePage << " " << r.compression;
  }
}

TEST(PalmDoc, LoadFromFileAndExecute) {
  const std::string path = ::testing::TempDir() + "zvword_palmdoc_test.pdb";
  {
    std::ofstream f(path, std::ios::binary);
    f << PalmDocBuilder().Compression(2).Record("from a file\n").Build();
  }
  TPalmDocFile doc;
  int before = 0, after = 0;
  doc.SetOnBeforeExecute([&](TMSWBaseDocument*) { ++before; });
  doc.SetOnAfterExecute([&](TMSWBaseDocument*) { ++after; });
  doc.SetFileName(Utf8ToWide(path));
  doc.Execute();
  EXPECT_EQ(Items(*doc.Text()), (std::vector<WideString>{u"", u"from a file", u""}));
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  doc.LoadFromFile(Utf8ToWide(path));
  EXPECT_EQ(doc.Text()->Count(), 3);
  std::remove(path.c_str());
  try {
    doc.Execute();
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"File " + Utf8ToWide(path) + u" is not found.");
  }
  EXPECT_EQ(after, 1);
}

TEST(PalmDoc, ReusedReaderStartsEmpty) {
  TPalmDocFile doc;
  const auto a = PalmDocBuilder().Record("first\n").Build();
  const auto b = PalmDocBuilder().Record("second\n").Build();
  TBytesView sa(a), sb(b);
  doc.LoadFromStream(sa);
  doc.LoadFromStream(sb);
  EXPECT_EQ(Items(*doc.Text()), (std::vector<WideString>{u"", u"second", u""}));
}

// ---- the bundled samples and the corpus books ----

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The list's text with line ends unified and the empty prologue and epilogue lines dropped.
std::string PlainText(const std::string& bytes) {
  TPalmDocFile doc;
  TBytesView stream(bytes);
  doc.LoadFromStream(stream);
  std::string out;
  for (int i = 1; i + 1 < doc.Text()->Count(); ++i) out += WideToUtf8(doc.Text()->Get(i)) + "\n";
  std::string unified;
  for (size_t i = 0; i < out.size(); ++i)
    if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) unified += out[i] == '\r' ? '\n' : out[i];
  return unified;
}

TEST(PalmDoc, SamplesGiveTheirSourceText) {
  const std::string dir = std::string(ZVWORD_SOURCE_DIR) + "/samples/";
  const std::string truth = ReadFile(dir + "harbour.txt");
  ASSERT_FALSE(truth.empty());
  for (const char* name : {"harbour.pdb", "harbour-stored.pdb", "harbour-peanut.pdb", "harbour-peanut-stored.pdb"})
    EXPECT_EQ(PlainText(ReadFile(dir + name)), truth) << name;
}

TEST(PalmDoc, CorpusBooksGiveTheirTruth) {
  const std::string dir = (corpus::CorpusDir() / "generated").string() + "/";
  ZVWORD_REQUIRE_CORPUS(dir);
  for (const char* name : {"plain.txt2pdbdoc.pdb", "plain.txt2pdbdoc-nocomp.pdb", "plain.abiword.pdb",
                           "basic.txt2pdbdoc.pdb", "licence.txt2pdbdoc.pdb", "licence.txt2pdbdoc-nocomp.pdb"}) {
    std::string truth = ReadFile(dir + name + ".truth.txt");
    std::string got = PlainText(ReadFile(dir + name));
    while (!truth.empty() && truth.back() == '\n') truth.pop_back();
    while (!got.empty() && got.back() == '\n') got.pop_back();
    EXPECT_EQ(got, truth) << name;
  }
}

}  // namespace
}  // namespace zvword
