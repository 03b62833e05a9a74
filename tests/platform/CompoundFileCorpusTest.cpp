// Real compound files from the corpus: every one opens or fails with a message, and every stream
// found reads back whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <iostream>

#include "builders/Corpus.h"
#include "platform/CompoundFile.h"
#include "platform/Exception.h"

namespace zvword {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Walks every storage; returns the number of streams and checks each reads back its size.
size_t Walk(IStorage& storage, size_t fileSize, int depth = 0) {
  size_t streams = 0;
  auto e = storage.EnumElements();
  TStatStg st;
  while (e->Next(st) == 0) {
    if (st.Type == STGTY_STORAGE) {
      auto sub = storage.OpenStorage(st.Name);
      EXPECT_TRUE(sub) << WideToUtf8(st.Name);
      EXPECT_LE(depth, kMaxStorageDepth);
      if (sub) streams += Walk(*sub, fileSize, depth + 1);
    } else if (st.Type == STGTY_STREAM) {
      auto s = storage.OpenStream(st.Name);
      EXPECT_TRUE(s) << WideToUtf8(st.Name);
      if (!s) continue;
      EXPECT_LE(static_cast<size_t>(s->Size()), fileSize);
      EXPECT_EQ(s->ReadAll().size(), static_cast<size_t>(s->Size()));
      ++streams;
    }
  }
  return streams;
}

TEST(CompoundFileCorpus, RealDocumentsOpenAndReadWhole) {
  const fs::path dir = corpus::CorpusDir() / "real" / "doc";
  ZVWORD_REQUIRE_CORPUS(dir);
  // The stream name as it sits in a directory entry, found without parsing the file.
  const std::string wordDocName("W\0o\0r\0d\0D\0o\0c\0u\0m\0e\0n\0t\0\0\0", 26);
  size_t compound = 0, withName = 0, found = 0, known = 0, failed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string bytes = Slurp(entry.path());
    if (!IsCompoundFileSignature(bytes)) continue;
    ++compound;
    const bool hasName = bytes.find(wordDocName) != std::string::npos;
    withName += hasName;
    SCOPED_TRACE(entry.path().filename().string());
    try {
      auto root = OpenStorageOnBytes(bytes);
      ASSERT_TRUE(root);
      EXPECT_GT(Walk(*root, bytes.size()), 0u);
      auto doc = root->OpenStream(u"WordDocument");
      if (doc) {
        ++found;
        const std::string head = doc->ReadBytes(2);
        ASSERT_EQ(head.size(), 2u);
        const unsigned ident = static_cast<uint8_t>(head[0]) | static_cast<uint8_t>(head[1]) << 8;
        known += ident == 0xA5EC || ident == 0xA5DC;
      }
    } catch (const Exception& e) {
      ++failed;
      EXPECT_FALSE(std::string(e.what()).empty());
    }
  }
  std::cout << compound << " compound files, " << withName << " name a WordDocument stream, " << found
            << " opened (" << known << " with a Word identifier), " << failed << " damaged\n";
  EXPECT_GT(compound, 100u);
  // Every file whose directory names the stream yields it, bar the damaged few.
  EXPECT_GE(found + failed, withName);
  EXPECT_LE(failed, compound / 20);
  // The stream found begins with a Word file identifier, bar the few fuzzed files.
  EXPECT_GE(known + 5, found);
}

}  // namespace
}  // namespace zvword
