// The checked byte reader: reads in both byte orders, sub-ranges, and bounds that cannot wrap.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/ByteReader.h"

namespace zvword {
namespace {

const std::string kBytes("\x01\x02\x03\x04\x05\x06\x07\x08\xFF\xFE", 10);

TEST(ByteReader, ReadsAndBoundsTable) {
  struct Row {
    const char* what;
    std::function<uint64_t(TByteReader&)> read;
    uint64_t value;       // when it reads
    const char* message;  // when it raises
  } rows[] = {
      {"u8, u16 and u32 in sequence", [](TByteReader& r) { return r.U8() + r.U16LE() + uint64_t{r.U32LE()}; },
       0x01 + 0x0302 + 0x07060504, nullptr},
      {"u64 little-endian", [](TByteReader& r) { return r.U64LE(); }, 0x0807060504030201, nullptr},
      {"big-endian at an offset", [](TByteReader& r) { return r.U32BEAt(6); }, 0x0708FFFE, nullptr},
      {"signed", [](TByteReader& r) { return static_cast<uint64_t>(r.I16LEAt(8)); }, static_cast<uint64_t>(-257), nullptr},
      {"width 3 big-endian", [](TByteReader& r) { return r.UBE(3); }, 0x010203, nullptr},
      {"last byte", [](TByteReader& r) { return r.U8At(9); }, 0xFE, nullptr},
      {"sub-range reads from its own start", [](TByteReader& r) { return r.Sub(4, 4).U32LE(); }, 0x08070605, nullptr},
      {"sub-range cut at the end", [](TByteReader& r) { return r.SubUpTo(8, 100).Size(); }, 2, nullptr},
      {"sub-range past the end is empty", [](TByteReader& r) { return r.SubUpTo(UINT64_MAX - 1, 4).Size(); }, 0, nullptr},
      {"take moves past", [](TByteReader& r) { return r.Take(3).Size() + r.Position(); }, 6, nullptr},
      {"rest after a skip", [](TByteReader& r) { r.Skip(7); return r.Rest().size(); }, 3, nullptr},
      {"read past the end", [](TByteReader& r) { r.Skip(8); return r.U32LE(); }, 0, "Unexpected end of data in test record"},
      {"offset 2^64-2 wraps nothing", [](TByteReader& r) { return r.U16LEAt(UINT64_MAX - 1); }, 0,
       "Unexpected end of data in test record"},
      {"length 2^64-2", [](TByteReader& r) { return r.Sub(2, UINT64_MAX - 1).Size(); }, 0,
       "Unexpected end of data in test record"},
      {"skip that would wrap the position", [](TByteReader& r) { r.Skip(1); r.Skip(UINT64_MAX); return 0; }, 0,
       "Unexpected end of data in test record"},
      {"seek past the end", [](TByteReader& r) { r.Seek(11); return 0; }, 0, "Unexpected end of data in test record"},
      {"sub-range names its record", [](TByteReader& r) { return r.Sub(8, 2, "inner").U32LE(); }, 0,
       "Unexpected end of data in inner"},
      {"width over 8", [](TByteReader& r) { return r.UBE(9); }, 0, "Unexpected end of data in test record"},
  };
  for (const Row& row : rows) {
    TByteReader r(kBytes, "test record");
    try {
      const uint64_t v = row.read(r);
      EXPECT_EQ(row.message, nullptr) << row.what;
      EXPECT_EQ(v, row.value) << row.what;
    } catch (const EReadError& e) {
      ASSERT_NE(row.message, nullptr) << row.what << ": " << e.what();
      EXPECT_STREQ(e.what(), row.message) << row.what;
    }
  }
}

TEST(ByteReader, CheckedArithmetic) {
  uint64_t out = 0;
  EXPECT_TRUE(RangeFits(8, 2, 10));
  EXPECT_FALSE(RangeFits(UINT64_MAX - 1, 4, 10));
  EXPECT_FALSE(CheckedAdd(UINT64_MAX - 1, 4, out));
  EXPECT_TRUE(CheckedAdd(UINT64_MAX - 4, 4, out) && out == UINT64_MAX);
  EXPECT_FALSE(CheckedMul(uint64_t{1} << 32, uint64_t{1} << 32, out));
  EXPECT_TRUE(CheckedMul(uint64_t{1} << 31, uint64_t{1} << 32, out) && out == uint64_t{1} << 63);
}

}  // namespace
}  // namespace zvword
