// Stream decoders: Flate with predictors, ASCIIHex, ASCII85, LZW, run length.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>

#include "builders/PdfBuilder.h"
#include "pdf/ZvWPDFFilters.h"

namespace zvword::testing {
namespace {

using namespace zvword::pdffilters;

struct TextCase {
  const char* in;
  std::string out;
};

TEST(PdfFilters, ASCIIHexSkipsWhiteSpaceAndStopsAtTheEnd) {
  const TextCase cases[] = {
      {"48656C6C6F>", "Hello"},
      {"48 65\n6c\t6C 6f>", "Hello"},
      {"48656C6C6F", "Hello"},
      {"4865>6C6C", "He"},
      {"486>", std::string("H`")},  // a lone last digit counts as its high nibble
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ASCIIHexDecode(c.in), c.out) << c.in;
}

TEST(PdfFilters, ASCII85HandlesZWhiteSpacePartialGroupsAndTheEndMark) {
  const TextCase cases[] = {
      {"87cURD]i,\"Ebo80~>", "Hello World!"},
      {"87cUR D]i,\n\"Ebo80~>", "Hello World!"},
      {"z~>", std::string(4, '\0')},
      {"<~87cURD]i,\"Ebo80~>", "Hello World!"},
      {"87cURD]i,\"Ebo80~>junk after the end", "Hello World!"},
      {"87cURD]i,\"Ebo80", "Hello World!"},  // no end mark: the data's end ends it
      {"9jqo^~>", "Man "},
      {"9jqo", "Man"},                       // a final group of four characters gives three bytes
      {"9jqo^z~>", std::string("Man ") + std::string(4, '\0')},
  };
  for (const auto& c : cases) EXPECT_EQ(ASCII85Decode(c.in), c.out) << c.in;
}

TEST(PdfFilters, BuilderEncodingsRoundTrip) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7 % 256);
  EXPECT_EQ(ASCIIHexDecode(PdfBuilder::Encode(data, PdfFilter::ASCIIHex)), data);
  EXPECT_EQ(ASCII85Decode(PdfBuilder::Encode(data, PdfFilter::ASCII85)), data);
  std::string out;
  EXPECT_TRUE(FlateDecode(PdfBuilder::Encode(data, PdfFilter::Flate), out, 1 << 20));
  EXPECT_EQ(out, data);
}

TEST(PdfFilters, FlateKeepsWhatInflatedBeforeACorruptTail) {
  std::string text(5000, 'a');
  uint32_t seed = 12345;
  for (auto& ch : text) {
    seed = seed * 1103515245u + 12345u;
    ch = static_cast<char>('a' + (seed >> 16) % 26);
  }
  std::string z = PdfBuilder::Encode(text, PdfFilter::Flate);
  std::string cut = z.substr(0, z.size() / 2);
  std::string out;
  EXPECT_FALSE(FlateDecode(cut, out, 1 << 20));
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out, text.substr(0, out.size()));
  // The limit stops a bomb.
  std::string zeros(1 << 20, '\0');
  EXPECT_FALSE(FlateDecode(PdfBuilder::Encode(zeros, PdfFilter::Flate), out, 1000));
  EXPECT_EQ(out.size(), 1000u);
  // Raw deflate without the zlib header still inflates.
  std::string raw = z.substr(2, z.size() - 6);
  EXPECT_TRUE(FlateDecode(raw, out, 1 << 20) || out == text);
  EXPECT_EQ(out, text);
  // A wrong Adler-32 (old writers) is reported, and all the data is kept.
  std::string badsum = z;
  badsum.back() = static_cast<char>(badsum.back() ^ 1);
  EXPECT_FALSE(FlateDecode(badsum, out, 1 << 20));
  EXPECT_EQ(out, text);
  // Output far beyond the first size guess, and exactly at the limit, is whole.
  EXPECT_TRUE(FlateDecode(PdfBuilder::Encode(zeros, PdfFilter::Flate), out, 1 << 20));
  EXPECT_EQ(out, zeros);
}

// Copies that reach back before the data (a window the writer thought it shared) give zeros,
// and the rest of the stream still inflates.
TEST(PdfFilters, FlateReadsPastCopiesFromBeforeTheStart) {
  const std::string dict = "Hello world, ", tail = "and the rest of the line";
  const struct {
    int strategy;
    bool header;
  } rows[] = {{Z_FIXED, false}, {Z_DEFAULT_STRATEGY, false}, {Z_DEFAULT_STRATEGY, true}};
  for (const auto& r : rows) {
    z_stream zs{};
    ASSERT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, r.strategy), Z_OK);
    deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(dict.data()), static_cast<uInt>(dict.size()));
    std::string text = dict + tail, z(256, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(text.data());
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(z.data());
    zs.avail_out = static_cast<uInt>(z.size());
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    z.resize(zs.total_out);
    deflateEnd(&zs);
    if (r.header) z = "\x78\x9c" + z + "\0\0\0\0";  // a zlib header that names no dictionary
    std::string out;
    FlateDecode(z, out, 1 << 20);
    // Which bytes the writer copied from its dictionary is its choice: those, and only those, are zeros.
    ASSERT_EQ(out.size(), text.size()) << r.strategy << r.header;
    EXPECT_EQ(out.substr(dict.size()), tail);
    size_t zeros = 0;
    for (size_t i = 0; i < dict.size(); ++i) {
      EXPECT_TRUE(out[i] == dict[i] || out[i] == '\0') << i;
      zeros += out[i] == '\0';
    }
    EXPECT_GT(zeros, 3u);
    FlateDecode(z, out, 20);
    EXPECT_EQ(out.size(), 20u);
  }
}

TEST(PdfFilters, PngPredictorsUndoEachRowType) {
  struct Case {
    const char* what;
    std::string in;
    int colors, bpc, columns;
    std::string out;
  } cases[] = {
      {"up rows of four", std::string("\x02\x01\x02\x03\x04\x02\x01\x01\x01\x01", 10), 1, 8, 4, std::string("\x01\x02\x03\x04\x02\x03\x04\x05", 8)},
      {"sub", std::string("\x01\x05\x01\x01", 4), 1, 8, 3, std::string("\x05\x06\x07", 3)},
      {"sub over three colours", std::string("\x01\x01\x02\x03\x01\x01\x01", 7), 3, 8, 2, std::string("\x01\x02\x03\x02\x03\x04", 6)},
      {"average", std::string("\x00\x0a\x0a\x03\x02\x04", 6), 1, 8, 2, std::string("\x0a\x0a\x07\x0c", 4)},
      {"paeth with left 200", std::string("\x04\xc8\x00\x00", 4), 1, 8, 3, std::string("\xc8\xc8\xc8", 3)},
      {"none", std::string("\x00\x09\x08", 3), 1, 8, 2, std::string("\x09\x08", 2)},
      {"unknown type leaves the row", std::string("\x07\x09\x08", 3), 1, 8, 2, std::string("\x09\x08", 2)},
      {"short last row", std::string("\x02\x01\x02\x03\x02\x01", 6), 1, 8, 3, std::string("\x01\x02\x03\x02", 4)},
      {"16 bits per component", std::string("\x01\x01\x02\x01\x01", 5), 1, 16, 2, std::string("\x01\x02\x02\x03", 4)},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyPredictor(c.in, 12, c.colors, c.bpc, c.columns), c.out) << c.what;
  EXPECT_EQ(ApplyPredictor(std::string("\x01\x01\x01\x02\x02\x02", 6), 2, 1, 8, 3), std::string("\x01\x02\x03\x02\x04\x06", 6));
}

// A small LZW encoder (codes most significant bit first) for round trips.
std::string LzwEncode(const std::string& in, int early, bool msb = true) {
  std::map<std::string, int> dict;
  auto reset = [&] {
    dict.clear();
    for (int i = 0; i < 256; ++i) dict[std::string(1, static_cast<char>(i))] = i;
  };
  reset();
  int next = 258, width = 9;
  uint32_t buf = 0;
  int bits = 0;
  std::string out;
  auto put = [&](int code) {
    if (msb) {
      buf = buf << width | static_cast<uint32_t>(code);
      bits += width;
      while (bits >= 8) {
        out += static_cast<char>(buf >> (bits - 8));
        bits -= 8;
      }
    } else {
      buf |= static_cast<uint32_t>(code) << bits;
      bits += width;
      while (bits >= 8) {
        out += static_cast<char>(buf & 0xFF);
        buf >>= 8;
        bits -= 8;
      }
    }
  };
  put(256);
  std::string w;
  for (char c : in) {
    std::string wc = w + c;
    if (dict.count(wc)) {
      w = wc;
      continue;
    }
    put(dict[w]);
    dict[wc] = next++;
    if (next + early > (1 << width) && width < 12) ++width;
    if (next >= 4094) {
      put(256);
      reset();
      next = 258;
      width = 9;
    }
    w = std::string(1, c);
  }
  if (!w.empty()) put(dict[w]);
  put(257);
  if (bits > 0) out += static_cast<char>(msb ? buf << (8 - bits) : buf);
  return out;
}

TEST(PdfFilters, LzwHonoursEarlyChangeAndTheOutputCapacity) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "the quick brown fox " + std::to_string(i % 97);
  EXPECT_EQ(TZvWLZWDecoder::DecodeTIFF(LzwEncode(text, 1), 1 << 22, 1), text);
  EXPECT_EQ(TZvWLZWDecoder::DecodeTIFF(LzwEncode(text, 0), 1 << 22, 0), text);
  EXPECT_NE(TZvWLZWDecoder::DecodeTIFF(LzwEncode(text, 0), 1 << 22, 1), text);
  EXPECT_EQ(TZvWLZWDecoder::DecodeTIFF(LzwEncode(text, 1), 100, 1), text.substr(0, 100));
  EXPECT_EQ(TZvWLZWDecoder::DecodeGIF(LzwEncode(text, 0, false), 1 << 22), text);
  // The classic sample of the PDF reference: 2D 20 ... decodes to "-----A---B".
  const unsigned char sample[] = {0x80, 0x0B, 0x60, 0x50, 0x22, 0x0C, 0x0C, 0x85, 0x01};
  EXPECT_EQ(TZvWLZWDecoder::DecodeTIFF(std::string(reinterpret_cast<const char*>(sample), sizeof sample), 100, 1), "-----A---B");
}

TEST(PdfFilters, RunLength) {
  EXPECT_EQ(RunLengthDecode(std::string("\x02" "abc" "\xfe" "x" "\x80" "zz", 9), 100), "abcxxx");
  EXPECT_EQ(RunLengthDecode(std::string("\x81" "y", 2), 10), std::string(10, 'y'));
}

}  // namespace
}  // namespace zvword::testing
