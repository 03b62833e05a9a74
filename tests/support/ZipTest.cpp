#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

#include "builders/Corpus.h"
#include "builders/ZipBuilder.h"
#include "support/ZvWZipFile.h"

using namespace zvword;
using zvword::test::ZipBuilder;

namespace {

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ZipArchive, LoadsEntriesInCentralDirectoryOrder) {
  TZipArchive zip;
  zip.LoadFromBytes(ZipBuilder()
                        .Add("word/document.xml", "<doc>deflated text, deflated text</doc>")
                        .Add("stored.txt", "plain", false)
                        .Add("empty.txt", "", false)
                        .Build());
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Files.Items(0).FileName, "word/document.xml");
  EXPECT_EQ(zip.GetUncompressed(0), "<doc>deflated text, deflated text</doc>");
  EXPECT_EQ(zip.DecompressFileName("stored.txt"), "plain");
  EXPECT_EQ(zip.DecompressFileName("empty.txt"), "");
  EXPECT_EQ(zip.DecompressFileName("missing.txt"), "");
  TWideStrings names;
  zip.GetFileNames(names);
  EXPECT_EQ(names.Count(), 3);
}

TEST(ZipArchive, NameLookupIgnoresAsciiCaseButNotSeparators) {
  TZipArchive zip;
  zip.LoadFromBytes(ZipBuilder().Add("word/document.xml", "x").Build());
  EXPECT_EQ(zip.GetIndexByFileName(std::string_view("WORD/DOCUMENT.XML")), 0);
  EXPECT_EQ(zip.GetIndexByFileName(std::string_view("word\\document.xml")), -1);
}

TEST(ZipArchive, ArchiveCommentDoesNotHideTheEntries) {
  for (std::string comment : {std::string("c"), std::string(65535, 'k'), std::string("PK\x05\x06 fake", 9)}) {
    TZipArchive zip;
    zip.LoadFromBytes(ZipBuilder().Add("a.txt", "alpha").Comment(comment).Build());
    ASSERT_EQ(zip.Count(), 1) << comment.size();
    EXPECT_EQ(zip.DecompressFileName("a.txt"), "alpha");
  }
}

TEST(ZipArchive, DataDescriptorEntriesUseTheCentralSizes) {
  TZipArchive zip;
  zip.LoadFromBytes(ZipBuilder().Add("d.xml", std::string(5000, 'z'), true, true).Add("s", "st", false, true).Build());
  // The header record is packed: copy the field before the macro binds a reference to it.
  const uint32_t localCompressedSize = zip.Files.Items(0).CommonFileHeader.CompressedSize;
  EXPECT_EQ(localCompressedSize, 0u);
  EXPECT_EQ(zip.DecompressFileName("d.xml"), std::string(5000, 'z'));
  EXPECT_EQ(zip.DecompressFileName("s"), "st");
}

TEST(ZipArchive, StubInFrontOfTheArchiveIsSkipped) {
  TZipArchive zip;
  zip.LoadFromBytes(ZipBuilder().Prefix(std::string(100, 'M')).Add("a", "after the stub").Build());
  EXPECT_EQ(zip.DecompressFileName("a"), "after the stub");
}

TEST(ZipArchive, NotAnArchiveIsEmpty) {
  for (std::string bytes : {std::string(), std::string("PK"), std::string(21, 'x'), std::string(4000, 'q')}) {
    TZipArchive zip;
    zip.LoadFromBytes(bytes);
    EXPECT_EQ(zip.Count(), 0);
  }
}

TEST(ZipArchive, BadEntriesFailWithClearMessages) {
  const std::string text = "some text that is long enough to be compressed, compressed, compressed";
  const std::string deflated = test::RawDeflate(text);
  auto raw = [&](auto change) {
    ZipBuilder::Entry e;
    e.name = "part.xml";
    e.data = deflated;
    e.method = 8;
    e.crc = test::Crc32Of(text);
    e.compressedSize = deflated.size();
    e.uncompressedSize = text.size();
    change(e);
    TZipArchive zip;
    zip.LoadFromBytes(ZipBuilder().AddRaw(e).Build());
    return Message([&] { zip.GetUncompressed(0); });
  };
  struct Case {
    const char* what;
    std::function<void(ZipBuilder::Entry&)> change;
    const char* message;
  } cases[] = {
      {"sound", [](ZipBuilder::Entry&) {}, "(no error)"},
      {"crc", [](ZipBuilder::Entry& e) { e.crc ^= 1; }, "CRC Error in \"part.xml\"."},
      {"stored crc", [&](ZipBuilder::Entry& e) { e.method = 0; e.data = text; e.compressedSize = text.size(); e.crc ^= 1; },
       "CRC Error in \"part.xml\"."},
      {"sizes equal but deflated", [&](ZipBuilder::Entry& e) { e.uncompressedSize = e.compressedSize; },
       "Entry \"part.xml\" inflates past its declared size"},
      {"method", [](ZipBuilder::Entry& e) { e.method = 14; }, "Entry \"part.xml\" uses compression method 14, which is not supported"},
      {"encrypted", [](ZipBuilder::Entry& e) { e.flags |= 1; }, "Entry \"part.xml\" is encrypted"},
      {"short output", [](ZipBuilder::Entry& e) { e.uncompressedSize += 10; }, "Entry \"part.xml\" holds"},
      {"longer output", [](ZipBuilder::Entry& e) { e.uncompressedSize -= 10; }, "Entry \"part.xml\" inflates past"},
      {"cut data", [](ZipBuilder::Entry& e) { e.data.resize(e.data.size() / 2); e.compressedSize = e.data.size(); },
       "Entry \"part.xml\" is truncated"},
      {"garbage", [](ZipBuilder::Entry& e) { e.data = std::string(e.data.size(), '\xFF'); }, "Entry \"part.xml\" is damaged"},
      {"too large", [](ZipBuilder::Entry& e) { e.uncompressedSize = (uint64_t(1) << 30) + 1; },
       "Entry \"part.xml\" declares 1073741825 bytes, more than the limit"},
      {"ratio", [](ZipBuilder::Entry& e) { e.uncompressedSize = e.compressedSize * 5000; },
       "Entry \"part.xml\" declares an expansion of"},
  };
  for (const auto& c : cases) {
    std::string msg = raw(c.change);
    EXPECT_EQ(msg.rfind(c.message, 0), 0u) << c.what << ": " << msg;
  }
}

TEST(ZipArchive, ArchiveEndingInsideAnEntryFails) {
  std::string zip = ZipBuilder().Add("a", std::string(3000, 'a') + "bcdefghij", false).Build();
  // Keep the central directory but claim the data run past the end of the file.
  TZipArchive a;
  ZipBuilder::Entry e;
  e.name = "big";
  e.data = "short";
  e.compressedSize = 100000;
  e.uncompressedSize = 100000;
  a.LoadFromBytes(ZipBuilder().AddRaw(e).Build());
  EXPECT_NE(Message([&] { a.GetUncompressed(0); }).find("is truncated"), std::string::npos);
  EXPECT_EQ(Message([&] { a.GetUncompressed(5); }), "Index out of range.");
}

TEST(ZipArchive, Zip64SizesAreRead) {
  ZipBuilder::Entry e;
  e.name = "huge";
  e.data = test::ZeroBombDeflate(1);
  e.method = 8;
  e.compressedSize = e.data.size();
  e.uncompressedSize = uint64_t(5) << 30;  // only reachable through the ZIP64 extra field
  TZipArchive zip;
  zip.LoadFromBytes(ZipBuilder().AddRaw(e).Build());
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Files.Items(0).UncompressedSize, uint64_t(5) << 30);
}

// A ZIP64 end record whose central directory offset is 2^64-2: every "offset + n > size" test wraps.
std::string WrappingZip64() {
  std::string z(8, '\0');
  auto put = [&](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) z += static_cast<char>(v >> (8 * i));
  };
  put(0x06064B50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4), put(1, 8), put(1, 8);
  put(46, 8), put(UINT64_MAX - 1, 8);                         // the ZIP64 end record at 8
  put(0x07064B50, 4), put(0, 4), put(8, 8), put(1, 4);        // its locator
  put(0x06054B50, 4), put(0, 4), put(0xFFFF, 2), put(0xFFFF, 2), put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(0, 2);
  return z;
}

TEST(ZipArchive, DamagedDirectoriesAreRecoveredFromLocalHeaders) {
  const std::string big = "<d>" + std::string(5000, 'd') + "</d>";
  const std::string sound = ZipBuilder()
                                .Add("a.xml", "<a>alpha</a>")
                                .Add("s.txt", "stored", false)
                                .Add("d.xml", big, true, true)
                                .Add("ds.txt", "stored, then a descriptor", false, true)
                                .Build();
  const size_t central = sound.find("PK\x01\x02");
  std::string lyingCount = sound;
  lyingCount[sound.size() - 12] = 9;  // the end record counts nine entries
  struct Row {
    const char* what;
    std::string bytes;
    int count;
    bool recovered;
  } rows[] = {
      {"sound", sound, 4, false},
      {"end record cut", sound.substr(0, sound.size() - 30), 4, true},
      {"no central directory", sound.substr(0, central), 4, true},
      {"count beyond the directory", lyingCount, 4, true},
      {"ZIP64 offset that wraps", WrappingZip64(), 0, false},
  };
  const std::pair<const char*, std::string> contents[] = {
      {"a.xml", "<a>alpha</a>"}, {"s.txt", "stored"}, {"d.xml", big}, {"ds.txt", "stored, then a descriptor"}};
  for (const Row& r : rows) {
    TZipArchive zip;
    zip.LoadFromBytes(r.bytes);
    EXPECT_EQ(zip.Count(), r.count) << r.what;
    EXPECT_EQ(zip.Recovered(), r.recovered) << r.what;
    // Twice: what recovery inflated is handed out once, then inflated again.
    for (int i = 0; i < std::min(r.count, zip.Count()) * 2; ++i)
      EXPECT_EQ(zip.DecompressFileName(contents[i / 2].first), contents[i / 2].second) << r.what << " " << i;
  }
  // An entry whose end cannot be found is listed but cannot be read.
  TZipArchive cut;
  cut.LoadFromBytes(sound.substr(0, sound.find("ds.txt") + 10));
  ASSERT_EQ(cut.Count(), 4);
  EXPECT_EQ(Message([&] { cut.GetUncompressed(3); }).rfind("Entry \"ds.txt\" is truncated", 0), 0u);
}

// Each entry's central header record against the bytes and the data it describes.
TEST(ZipArchive, FileHeadersDescribeTheirEntries) {
  ZVWORD_REQUIRE_CORPUS(corpus::CorpusDir() / "generated");
  const std::string text = "<doc>" + std::string(300, 'x') + "</doc>";
  const std::pair<std::string, std::string> archives[] = {
      {"built", ZipBuilder().Add("word/document.xml", text).Add("stored.txt", "plain", false).Add("d", text, true, true).Build()},
      {"long.lo.docx", corpus::ReadFile(corpus::CorpusDir() / "generated" / "long.lo.docx")},
  };
  auto v = [](auto field) { return uint64_t{field}; };  // packed fields cannot bind to references
  for (const auto& [what, bytes] : archives) {
    TZipArchive zip;
    zip.LoadFromBytes(bytes);
    ASSERT_GT(zip.Count(), 2) << what;
    uint64_t directory = 0;
    for (int i = 0; i < zip.Count(); ++i) {
      const TLocalFile& f = zip.Files.Items(i);
      const TFileHeader h = f.FileHeader();
      const TCommonFileHeader c = h.CommonFileHeader;
      const std::string data = zip.GetUncompressed(i);
      EXPECT_EQ(v(h.CentralFileHeaderSignature), 0x02014B50u) << what << i;
      EXPECT_EQ(v(c.Crc32), test::Crc32Of(data)) << what << i;
      EXPECT_EQ(v(c.UncompressedSize), data.size()) << what << i;
      EXPECT_EQ(v(c.CompressedSize), f.CompressedData().size()) << what << i;
      EXPECT_EQ(v(c.CompressionMethod), f.CompressedData() == data ? 0u : 8u) << what << i;
      EXPECT_EQ(v(c.FilenameLength), f.Name().size()) << what << i;
      EXPECT_EQ(bytes.substr(v(h.RelativeOffsetOfLocalHeader), 4), "PK\x03\x04") << what << i;
      EXPECT_EQ(bytes.substr(v(h.RelativeOffsetOfLocalHeader) + 30, c.FilenameLength), f.Name()) << what << i;
      directory += 46 + v(c.FilenameLength) + v(c.ExtraFieldLength) + v(h.FileCommentLength);
    }
    EXPECT_EQ(directory, v(zip.EndOfCentralDirectory.SizeOfTheCentralDirectory)) << what;
  }
}

TEST(ZipArchive, InflationIsChargedToTheBudget) {
  TResourceBudget budget;
  TResourceLimits limits;
  limits.MaxDecodedBytes = 4000;
  budget.SetLimits(limits);
  for (bool descriptors : {false, true}) {
    budget.Reset();
    const std::string bytes = ZipBuilder().Add("a", std::string(3000, 'a'), true, descriptors).Add("b", std::string(3000, 'b')).Build();
    TZipArchive zip;
    zip.SetBudget(&budget);
    // Without a directory, finding where each entry ends inflates it too.
    const std::string msg = Message([&] {
      zip.LoadFromBytes(descriptors ? bytes.substr(0, bytes.find("PK\x01\x02")) : bytes);
      zip.GetUncompressed(0);
      zip.GetUncompressed(1);
    });
    EXPECT_EQ(msg, "Document exceeds the limit of 4000 bytes of decoded data") << descriptors;
  }
}

long PeakRssMiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

// A 10 GiB bomb: ten thousand copies of a flushed deflate block of 1 MiB of zeros.
TEST(ZipArchive, TenGigabyteBombFailsFastInSmallMemory) {
  const std::string bomb = test::ZeroBombDeflate(10 * 1024);
  ASSERT_LT(bomb.size(), 64u << 20);
  for (uint64_t declared : {uint64_t(10) << 30, uint64_t(1) << 20}) {
    ZipBuilder::Entry e;
    e.name = "word/document.xml";
    e.data = bomb;
    e.method = 8;
    e.compressedSize = bomb.size();
    e.uncompressedSize = declared;  // the honest size, then a lie that hides the bomb
    TZipArchive zip;
    zip.LoadFromBytes(ZipBuilder().AddRaw(e).Build());
    const auto start = std::chrono::steady_clock::now();
    const std::string msg = Message([&] { zip.GetUncompressed(0); });
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(msg.rfind("Entry \"word/document.xml\" ", 0), 0u) << msg;
    EXPECT_TRUE(msg.find("more than the limit") != std::string::npos ||
                msg.find("inflates past") != std::string::npos) << msg;
    EXPECT_LT(seconds, 5.0);
  }
  EXPECT_LT(PeakRssMiB(), 512);
}

}  // namespace
