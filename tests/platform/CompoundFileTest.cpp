#include "platform/CompoundFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "builders/CompoundFileBuilder.h"
#include "platform/Exception.h"

namespace zvword {
namespace {

using test::CompoundFileBuilder;
using Shape = CompoundFileBuilder::TreeShape;

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed) * 7 + i / 251) & 0xFF);
  return s;
}

std::vector<std::string> Names(IStorage& storage) {
  std::vector<std::string> out;
  auto e = storage.EnumElements();
  TStatStg st;
  while (e->Next(st) == 0) out.push_back(WideToUtf8(st.Name) + (st.Type == STGTY_STORAGE ? "/" : ""));
  return out;
}

std::string ReadStream(IStorage& storage, const char* name) {
  auto s = storage.OpenStream(Utf8ToWide(name));
  if (!s) return "<absent>";
  return s->ReadAll();
}

// ---- well-formed files round-trip ----

struct RoundTripCase {
  const char* what;
  uint32_t sectorSize;
  Shape shape;
  uint32_t headerDifat;
  std::vector<std::pair<std::string, size_t>> streams;  // path, size
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, EveryStreamReadsBackWhole) {
  const auto& c = GetParam();
  CompoundFileBuilder b(c.sectorSize);
  b.Shape(c.shape).HeaderDifatSlots(c.headerDifat);
  int seed = 0;
  for (const auto& [path, size] : c.streams) b.Stream(path, Pattern(size, ++seed));
  auto root = OpenStorageOnBytes(b.Build());
  ASSERT_TRUE(root);
  seed = 0;
  for (const auto& [path, size] : c.streams) {
    ++seed;
    IStorage* at = root.get();
    std::unique_ptr<IStorage> holder;
    std::string rest = path;
    for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest = rest.substr(slash + 1)) {
      holder = at->OpenStorage(Utf8ToWide(rest.substr(0, slash)));
      ASSERT_TRUE(holder) << path;
      at = holder.get();
    }
    auto s = at->OpenStream(Utf8ToWide(rest));
    ASSERT_TRUE(s) << path;
    EXPECT_EQ(s->Size(), static_cast<int64_t>(size)) << path;
    EXPECT_EQ(s->ReadAll(), Pattern(size, seed)) << c.what << ": " << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CompoundFile, RoundTrip,
    ::testing::Values(
        RoundTripCase{"mini streams only", 512, Shape::Balanced, 109, {{"a", 10}, {"b", 64}, {"c", 65}, {"d", 4095}}},
        RoundTripCase{"regular and mini", 512, Shape::Balanced, 109, {{"WordDocument", 20000}, {"1Table", 4096}, {"x", 1}}},
        RoundTripCase{"empty stream", 512, Shape::Balanced, 109, {{"empty", 0}, {"full", 5000}}},
        RoundTripCase{"4096-byte sectors", 4096, Shape::Balanced, 109, {{"big", 100000}, {"small", 300}, {"edge", 4096}}},
        RoundTripCase{"nested storages", 512, Shape::Balanced, 109,
                      {{"Macros/VBA/dir", 700}, {"Macros/VBA/ThisDocument", 9000}, {"Macros/PROJECT", 400}, {"top", 3}}},
        RoundTripCase{"right-leaning tree", 512, Shape::RightChain, 109, {{"e", 1}, {"dd", 2}, {"c", 3}, {"bbb", 4}, {"a", 5000}}},
        RoundTripCase{"left-leaning tree", 4096, Shape::LeftChain, 109, {{"e", 1}, {"dd", 2}, {"c", 3}, {"bbb", 4}, {"a", 5000}}},
        // 200 KB needs 4 FAT sectors; with 1 slot in the header three come from DIFAT sectors.
        RoundTripCase{"FAT listed through DIFAT sectors", 512, Shape::Balanced, 1, {{"big", 200000}, {"s", 10}}},
        RoundTripCase{"many FAT sectors, DIFAT chain of several sectors", 512, Shape::Balanced, 0,
                      {{"huge", 512 * 128 * 130}, {"s", 100}}}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(CompoundFile, EnumeratesInFormatNameOrderWhateverTheTreeShape) {
  for (Shape shape : {Shape::Balanced, Shape::RightChain, Shape::LeftChain}) {
    CompoundFileBuilder b;
    b.Shape(shape);
    for (const char* n : {"WordDocument", "b", "A", "ab", "Zz", "1Table", "\x05SummaryInformation"}) b.Stream(n, "x");
    b.Storage("Macros");
    auto root = OpenStorageOnBytes(b.Build());
    ASSERT_TRUE(root);
    EXPECT_EQ(Names(*root), (std::vector<std::string>{"A", "b", "ab", "Zz", "1Table", "Macros/", "WordDocument",
                                                       "\x05SummaryInformation"}));
    auto e = root->EnumElements();
    TStatStg st;
    while (e->Next(st) == 0) {
    }
    e->Reset();
    ASSERT_EQ(e->Next(st), 0);
    EXPECT_EQ(WideToUtf8(st.Name), "A");
  }
}

TEST(CompoundFile, OpensByNameIgnoringCaseAndOnlyTheRightKind) {
  CompoundFileBuilder b;
  b.Stream("WordDocument", "doc").Stream("Macros/PROJECT", "proj").Stream("\xC4rger", "umlaut");
  auto root = OpenStorageOnBytes(b.Build());
  ASSERT_TRUE(root);
  EXPECT_EQ(ReadStream(*root, "worddocument"), "doc");
  EXPECT_EQ(ReadStream(*root, "\xC3\xA4RGER"), "umlaut");  // beyond ASCII too
  EXPECT_EQ(ReadStream(*root, "Missing"), "<absent>");
  EXPECT_EQ(ReadStream(*root, "Macros"), "<absent>");
  EXPECT_FALSE(root->OpenStorage(u"WordDocument"));
  auto macros = root->OpenStorage(u"MACROS");
  ASSERT_TRUE(macros);
  EXPECT_EQ(ReadStream(*macros, "project"), "proj");
  EXPECT_EQ(Names(*macros), std::vector<std::string>{"PROJECT"});
}

TEST(CompoundFile, SeekAndReadAcrossSectors) {
  const std::string big = Pattern(10000, 3), small = Pattern(1000, 4);
  CompoundFileBuilder b;
  b.Stream("big", big).Stream("small", small);
  auto root = OpenStorageOnBytes(b.Build());
  for (const auto& [name, data] : {std::pair{"big", big}, std::pair{"small", small}}) {
    auto s = root->OpenStream(Utf8ToWide(name));
    ASSERT_TRUE(s);
    for (int64_t at : {int64_t{0}, int64_t{63}, int64_t{64}, int64_t{511}, int64_t{513}, int64_t{999}}) {
      s->Seek(at, TSeekOrigin::soBeginning);
      char buf[300];
      const int64_t got = s->Read(buf, sizeof buf);
      const auto expect = static_cast<int64_t>(std::min<size_t>(sizeof buf, data.size() - static_cast<size_t>(at)));
      ASSERT_EQ(got, expect) << name << " at " << at;
      EXPECT_EQ(std::string(buf, static_cast<size_t>(got)), data.substr(static_cast<size_t>(at), static_cast<size_t>(got)));
    }
    EXPECT_EQ(s->Seek(-10, TSeekOrigin::soEnd), static_cast<int64_t>(data.size()) - 10);
    EXPECT_EQ(s->ReadAll(), data.substr(data.size() - 10));
    char c;
    EXPECT_EQ(s->Read(&c, 1), 0);
    EXPECT_EQ(s->Seek(-5, TSeekOrigin::soBeginning), 0);
    s->Seek(100000, TSeekOrigin::soBeginning);
    EXPECT_EQ(s->Read(&c, 1), 0);
  }
}

TEST(CompoundFile, EnumeratedSizesAreTheStreamSizes) {
  CompoundFileBuilder b;
  b.Stream("a", Pattern(100, 1)).Stream("bb", Pattern(7000, 2)).Storage("S");
  auto root = OpenStorageOnBytes(b.Build());
  auto e = root->EnumElements();
  TStatStg st;
  std::vector<std::pair<std::string, uint64_t>> got;
  while (e->Next(st) == 0) got.emplace_back(WideToUtf8(st.Name), st.Size);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, uint64_t>>{{"a", 100}, {"S", 0}, {"bb", 7000}}));
}

TEST(CompoundFile, NotACompoundFileIsNoStorage) {
  EXPECT_FALSE(OpenStorageOnBytes("plain text, not a compound file at all"));
  EXPECT_FALSE(OpenStorageOnBytes(""));
  EXPECT_FALSE(IsCompoundFileSignature("\xD0\xCF\x11\xE0"));
}

// ---- damaged files ----

// Each case damages a built file; the open must raise with the message, or the result must pass the check.
struct DamageCase {
  const char* what;
  std::function<void(std::string&, const CompoundFileBuilder::Layout&)> damage;
  const char* error;  // substring of the expected message, or nullptr when the open succeeds
  std::function<void(IStorage&)> check;
};

using CFB = CompoundFileBuilder;

uint32_t FatEntryOffset(const CFB::Layout& l, uint32_t sector) {
  const uint32_t per = l.sectorSize / 4;
  return static_cast<uint32_t>(l.SectorOffset(l.fatSectors.at(sector / per)) + (sector % per) * 4);
}

const std::vector<DamageCase>& DamageCases() {
  static const std::vector<DamageCase> cases = {
      {"truncated header", [](std::string& f, const auto&) { f.resize(100); }, "header is truncated", nullptr},
      {"bad byte order", [](std::string& f, const auto&) { CFB::Put16(f, 28, 0xFEFF); }, "byte-order", nullptr},
      {"sector size 1024", [](std::string& f, const auto&) { CFB::Put16(f, 30, 10); }, "unsupported sector size", nullptr},
      {"mini sector size 128", [](std::string& f, const auto&) { CFB::Put16(f, 32, 7); }, "mini sector", nullptr},
      {"header only", [](std::string& f, const auto&) { f.resize(512); }, "no sectors", nullptr},
      {"directory sector out of range", [](std::string& f, const auto&) { CFB::Put32(f, 48, 0x00FFFFFF); },
       "directory is missing", nullptr},
      {"no FAT sectors listed", [](std::string& f, const auto&) {
         for (int k = 0; k < 109; ++k) CFB::Put32(f, 76 + 4 * static_cast<size_t>(k), 0xFFFFFFFF);
       }, "no allocation table", nullptr},
      {"root entry is a stream", [](std::string& f, const auto& l) { f[l.EntryOffset(0) + 66] = 2; },
       "root entry", nullptr},
      {"FAT count far larger than the file",
       [](std::string& f, const auto&) { CFB::Put32(f, 44, 0xFFFFFFFF); }, nullptr,
       [](IStorage& root) { EXPECT_EQ(ReadStream(root, "big").size(), 20000u); }},
      {"regular chain loops back on itself",
       [](std::string& f, const auto& l) {
         const uint32_t s = l.startSector.at("big");
         CFB::Put32(f, FatEntryOffset(l, s + 3), s + 1);
       },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "big"), Pattern(20000, 1).substr(0, 4 * 512)); }},
      {"regular chain points out of the file",
       [](std::string& f, const auto& l) { CFB::Put32(f, FatEntryOffset(l, l.startSector.at("big")), 0x7FFFFFFF); },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "big"), Pattern(20000, 1).substr(0, 512)); }},
      {"stream starts out of range",
       [](std::string& f, const auto& l) { CFB::Put32(f, l.EntryOffset(l.entryIndex.at("big")) + 116, 0xFFFFFF00); },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "big"), ""); }},
      {"stream size far larger than its chain",
       [](std::string& f, const auto& l) { CFB::Put32(f, l.EntryOffset(l.entryIndex.at("big")) + 120, 0xFFFFFFF0); },
       nullptr,
       [](IStorage& root) {
         auto s = root.OpenStream(u"big");
         ASSERT_TRUE(s);
         EXPECT_EQ(s->Size(), 40 * 512);  // the chain's 40 sectors
         EXPECT_EQ(s->ReadAll().substr(0, 20000), Pattern(20000, 1));
       }},
      {"mini stream size far larger than its chain",
       [](std::string& f, const auto& l) { CFB::Put32(f, l.EntryOffset(0) + 120, 0x7FFFFFFF); }, nullptr,
       [](IStorage& root) { EXPECT_EQ(ReadStream(root, "small"), Pattern(300, 2)); }},
      {"mini chain loops",
       [](std::string& f, const auto& l) {
         const size_t at = l.SectorOffset(l.miniFatSectors.at(0)) + 4 * (l.startSector.at("small") + 1);
         CFB::Put32(f, at, l.startSector.at("small"));
       },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "small"), Pattern(300, 2).substr(0, 128)); }},
      {"high half of a 512-sector size is ignored",
       [](std::string& f, const auto& l) { CFB::Put32(f, l.EntryOffset(l.entryIndex.at("small")) + 124, 0x12345678); },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "small"), Pattern(300, 2)); }},
      {"sibling points back to its parent storage",
       [](std::string& f, const auto& l) {
         const size_t child = l.EntryOffset(l.entryIndex.at("S/inner"));
         CFB::Put32(f, child + 68, l.entryIndex.at("S"));
         CFB::Put32(f, child + 72, 0);
       },
       nullptr,
       [](IStorage& root) {
         EXPECT_EQ(Names(root), (std::vector<std::string>{"S/", "big", "small"}));
         auto s = root.OpenStorage(u"S");
         ASSERT_TRUE(s);
         EXPECT_EQ(Names(*s), std::vector<std::string>{"inner"});
       }},
      {"storage's child is the storage itself",
       [](std::string& f, const auto& l) {
         CFB::Put32(f, l.EntryOffset(l.entryIndex.at("S")) + 76, l.entryIndex.at("S"));
       },
       nullptr,
       [](IStorage& root) {
         auto s = root.OpenStorage(u"S");
         ASSERT_TRUE(s);
         EXPECT_TRUE(Names(*s).empty());
       }},
      {"directory chain loops",
       [](std::string& f, const auto& l) {
         const uint32_t d = l.dirSectors.back();
         CFB::Put32(f, FatEntryOffset(l, d), l.dirSectors.front());
       },
       nullptr, [](IStorage& root) { EXPECT_EQ(ReadStream(root, "small"), Pattern(300, 2)); }},
      {"file cut in the middle of a stream",
       [](std::string& f, const auto& l) { f.resize(l.SectorOffset(l.startSector.at("big") + 10) + 100); }, nullptr,
       [](IStorage& root) {
         // The directory and FAT are lost with the tail: either nothing is found or the stream reads
         // zeros past the cut; never more than the file can hold.
         if (auto s = root.OpenStream(u"big")) {
           EXPECT_LE(s->Size(), 20000);
         }
       }},
  };
  return cases;
}

class Damage : public ::testing::TestWithParam<size_t> {};

TEST_P(Damage, ClearErrorOrSafeResult) {
  const DamageCase& c = DamageCases()[GetParam()];
  CompoundFileBuilder b;
  b.Stream("big", Pattern(20000, 1)).Stream("small", Pattern(300, 2)).Stream("S/inner", "in");
  CompoundFileBuilder::Layout layout;
  std::string file = b.Build(&layout);
  c.damage(file, layout);
  if (c.error) {
    try {
      OpenStorageOnBytes(file);
      ADD_FAILURE() << c.what << ": no exception";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.what << ": " << e.what();
    }
    return;
  }
  std::unique_ptr<IStorage> root;
  try {
    root = OpenStorageOnBytes(file);
  } catch (const Exception& e) {
    // Only the truncation case may lose the whole file.
    if (std::string(c.what).find("cut") == std::string::npos) ADD_FAILURE() << c.what << ": " << e.what();
    return;
  }
  ASSERT_TRUE(root) << c.what;
  SCOPED_TRACE(c.what);
  c.check(*root);
}

INSTANTIATE_TEST_SUITE_P(CompoundFile, Damage, ::testing::Range<size_t>(0, DamageCases().size()),
                         [](const auto& info) {
                           std::string n = DamageCases()[info.param].what;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(CompoundFile, DifatChainLoopEndsTheFat) {
  CompoundFileBuilder b;
  b.HeaderDifatSlots(1).Stream("big", Pattern(200000, 1));
  CompoundFileBuilder::Layout l;
  std::string f = b.Build(&l);
  ASSERT_FALSE(l.difatSectors.empty());
  // The last DIFAT sector names itself as the next one.
  CFB::Put32(f, l.SectorOffset(l.difatSectors.back()) + 508, l.difatSectors.back());
  auto root = OpenStorageOnBytes(f);
  ASSERT_TRUE(root);
  EXPECT_EQ(ReadStream(*root, "big"), Pattern(200000, 1));
}

TEST(CompoundFile, StoragesNestedTooDeeplyAreAbsent) {
  std::string path;
  for (int i = 0; i < kMaxStorageDepth + 5; ++i) path += "d" + std::to_string(i) + "/";
  CompoundFileBuilder b;
  b.Stream(path + "leaf", "x");
  auto root = OpenStorageOnBytes(b.Build());
  ASSERT_TRUE(root);
  std::unique_ptr<IStorage> cur = std::move(root);
  int depth = 0;
  while (auto next = cur->OpenStorage(Utf8ToWide("d" + std::to_string(depth)))) {
    cur = std::move(next);
    ++depth;
  }
  EXPECT_EQ(depth, kMaxStorageDepth);
}

// ---- files on disk ----

TEST(CompoundFile, FilesOnDisk) {
  const auto dir = std::filesystem::temp_directory_path();
  const auto cfb = dir / "zvword_cfb_test.cfb", flat = dir / "zvword_cfb_test.txt";
  {
    CompoundFileBuilder b;
    b.Stream("WordDocument", "hello");
    std::ofstream(cfb, std::ios::binary) << b.Build();
    std::ofstream(flat, std::ios::binary) << std::string(2000, 'x');
  }
  EXPECT_EQ(StgIsStorageFile(Utf8ToWide(cfb.string())), 0);
  EXPECT_EQ(StgIsStorageFile(Utf8ToWide(flat.string())), 1);
  EXPECT_EQ(StgIsStorageFile(u"/nonexistent/zvword.doc"), 1);
  auto root = StgOpenStorage(Utf8ToWide(cfb.string()));
  ASSERT_TRUE(root);
  EXPECT_EQ(ReadStream(*root, "WordDocument"), "hello");
  EXPECT_THROW(StgOpenStorage(Utf8ToWide(flat.string())), Exception);
  EXPECT_THROW(StgOpenStorage(u"/nonexistent/zvword.doc"), Exception);
  std::filesystem::remove(cfb);
  std::filesystem::remove(flat);
}

}  // namespace
}  // namespace zvword
