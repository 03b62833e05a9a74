#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/ZvWCrypt.h"

using namespace zvword;

namespace {

std::string Hex(std::string_view bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::string Unhex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& d) {
  return Hex(std::string_view(reinterpret_cast<const char*>(d.data()), N));
}

bool AllZero(const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

struct DigestCase {
  std::string input;
  const char* md5;
};

class MD5Vectors : public ::testing::TestWithParam<DigestCase> {};

TEST_P(MD5Vectors, WholeAndInPieces) {
  const auto& c = GetParam();
  EXPECT_EQ(Hex(MD5Of(c.input)), c.md5);
  for (size_t piece : {1u, 63u, 64u, 65u}) {
    MD5Context ctx;
    MD5Init(ctx);
    for (size_t i = 0; i < c.input.size(); i += piece)
      MD5Update(ctx, c.input.data() + i, uint32_t(std::min(piece, c.input.size() - i)));
    MD5Digest d;
    MD5Final(ctx, d);
    EXPECT_EQ(Hex(d), c.md5) << "piece " << piece;
  }
}

// The test suite of RFC 1321.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321, MD5Vectors,
    ::testing::Values(
        DigestCase{"", "d41d8cd98f00b204e9800998ecf8427e"}, DigestCase{"a", "0cc175b9c0f1b6a831c399e269772661"},
        DigestCase{"abc", "900150983cd24fb0d6963f7d28e17f72"},
        DigestCase{"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        DigestCase{"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        DigestCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                   "d174ab98d277d9f5a5611c2c9f419d9f"},
        DigestCase{"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
                   "57edf4a22be3c955ac49da2e2107b67a"}));

TEST(MD5, PaddingBoundariesAgreeWithPiecewiseFeeding) {
  // 55 bytes fit one block with the length, 56 and 64 need a second; each must
  // equal the digest of the same bytes fed one at a time, and differ from each other.
  std::string prev;
  for (size_t n : {55u, 56u, 63u, 64u, 65u, 119u, 120u}) {
    std::string s(n, 'x');
    MD5Context ctx;
    MD5Init(ctx);
    for (char ch : s) MD5Update(ctx, &ch, 1);
    MD5Digest d;
    MD5Final(ctx, d);
    EXPECT_EQ(Hex(d), Hex(MD5Of(s))) << n;
    EXPECT_NE(Hex(d), prev);
    prev = Hex(d);
  }
}

TEST(MD5, MillionA) { EXPECT_EQ(Hex(MD5Of(std::string(1000000, 'a'))), "7707d6ae4e027c70eea2a935c2296f21"); }

TEST(MD5, FinalWipesContextAndMatchCompares) {
  MD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, "abc", 3);
  MD5Digest a, b;
  MD5Final(ctx, a);
  EXPECT_TRUE(AllZero(&ctx, sizeof ctx));
  EXPECT_EQ(sizeof(MD5Context), 88u);
  MD5Init(ctx);
  MD5Update(ctx, "abc", 3);
  MD5Final(ctx, b);
  EXPECT_TRUE(MD5Match(a, b));
  b[15] ^= 1;
  EXPECT_FALSE(MD5Match(a, b));
}

struct RC4Case {
  const char* key;
  const char* plain;
  const char* cipherHex;
};

class RC4Vectors : public ::testing::TestWithParam<RC4Case> {};

TEST_P(RC4Vectors, EncryptsAndDecrypts) {
  const auto& c = GetParam();
  std::string key = c.key, plain = c.plain;
  TRC4Context ctx;
  RC4Init(ctx, reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size()));
  std::string out;
  RC4Crypt3(ctx, reinterpret_cast<const uint8_t*>(plain.data()), out, int(plain.size()));
  EXPECT_EQ(Hex(out), c.cipherHex);
  RC4Init(ctx, reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size()));
  RC4Crypt2(ctx, out, out, int(out.size()));  // in place
  EXPECT_EQ(out, plain);
}

INSTANTIATE_TEST_SUITE_P(Published, RC4Vectors,
                         ::testing::Values(RC4Case{"Key", "Plaintext", "bbf316e8d940af0ad3"},
                                           RC4Case{"Wiki", "pedia", "1021bf0420"},
                                           RC4Case{"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"}));

TEST(RC4, KeystreamOf40BitKey) {
  // Key 01 02 03 04 05: the first 16 key-stream bytes.
  const uint8_t key[] = {1, 2, 3, 4, 5};
  TRC4Context ctx;
  RC4Init(ctx, key, 5);
  uint8_t zero[16] = {0}, out[16];
  RC4Crypt(ctx, zero, out, 8);
  RC4Crypt(ctx, zero + 8, out + 8, 8);  // the context carries on between calls
  EXPECT_EQ(Hex(std::string_view(reinterpret_cast<char*>(out), 16)), "b2396305f03dc027ccc3524a0a1118a8");
}

TEST(RC4, OnlyFirst256KeyBytesCountAndDoneWipes) {
  std::string k1(300, 'k'), k2(256, 'k');
  k1[280] = 'z';
  TRC4Context a, b;
  RC4Init(a, reinterpret_cast<const uint8_t*>(k1.data()), 256);
  RC4Init(b, reinterpret_cast<const uint8_t*>(k2.data()), 256);
  EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
  RC4Done(a);
  EXPECT_TRUE(AllZero(&a, sizeof a));
  EXPECT_EQ(sizeof(TRC4Context), 258u);
}

TEST(RC4, NonPositiveLengthDoesNothing) {
  TRC4Context ctx;
  const uint8_t key[] = {7};
  RC4Init(ctx, key, 1);
  std::string out = "keep";
  RC4Crypt2(ctx, out, out, 0);
  EXPECT_EQ(out, "keep");
  RC4Crypt3(ctx, key, out, -1);
  EXPECT_EQ(out, "");
}

struct ShaCase {
  std::string input;
  const char* sha256;
  const char* sha384;
  const char* sha512;
};

class SHAVectors : public ::testing::TestWithParam<ShaCase> {};

TEST_P(SHAVectors, Digests) {
  const auto& c = GetParam();
  if (*c.sha256) {
    EXPECT_EQ(Hex(SHA256Of(c.input)), c.sha256);
  }
  if (*c.sha384) {
    EXPECT_EQ(Hex(SHA384Of(c.input)), c.sha384);
  }
  if (*c.sha512) {
    EXPECT_EQ(Hex(SHA512Of(c.input)), c.sha512);
  }
}

// FIPS 180-4 examples.
INSTANTIATE_TEST_SUITE_P(
    Fips180, SHAVectors,
    ::testing::Values(
        ShaCase{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
                "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
                "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd45"
                "4d4423643ce80e2a9ac94fa54ca49f"},
        ShaCase{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
                "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
                "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63"
                "b931bd47417a81a538327af927da3e"},
        // 56 bytes: the padding needs a second block.
        ShaCase{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1", "", ""},
        ShaCase{"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsm"
                "nopqrstnopqrstu",
                "",
                "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039",
                "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7"
                "d329eeb6dd26545e96e55b874be909"}));

TEST(SHA256, MillionAInPiecesAndBoundaries) {
  SHA256Context ctx;
  SHA256Init(ctx);
  std::string chunk(1000, 'a');
  for (int i = 0; i < 1000; ++i) SHA256Update(ctx, chunk.data(), 1000);
  SHA256Digest d;
  SHA256Final(ctx, d);
  EXPECT_EQ(Hex(d), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // The context keeps the final chaining value: its words, big-endian, are the digest.
  std::string words;
  for (uint32_t w : ctx.Hash)
    for (int s = 24; s >= 0; s -= 8) words += char(w >> s);
  EXPECT_EQ(Hex(words), Hex(d));
  for (size_t n : {55u, 56u, 63u, 64u, 65u}) {
    std::string s(n, 'q');
    SHA256Init(ctx);
    for (char ch : s) SHA256Update(ctx, &ch, 1);
    EXPECT_EQ(ctx.Index, n % 64);
    SHA256Final(ctx, d);
    EXPECT_EQ(Hex(d), Hex(SHA256Of(s))) << n;
  }
}

TEST(SHA512, PiecesEqualWhole) {
  for (size_t n : {111u, 112u, 127u, 128u, 129u, 300u}) {
    std::string s(n, 'z');
    SHA512Context ctx;
    SHA512Init(ctx);
    for (char ch : s) SHA512Update(ctx, &ch, 1);
    SHA512Digest d;
    SHA512Final(ctx, d);
    EXPECT_EQ(Hex(d), Hex(SHA512Of(s))) << n;
  }
}

struct AESCase {
  const char* key;
  const char* plain;
  const char* cipher;
};

class AESVectors : public ::testing::TestWithParam<AESCase> {};

TEST_P(AESVectors, EncryptAndDecryptBlock) {
  const auto& c = GetParam();
  std::string key = Unhex(c.key), plain = Unhex(c.plain);
  AESContext enc, dec;
  ASSERT_TRUE(AES_SetKey_Enc(enc, reinterpret_cast<const uint8_t*>(key.data()), int(key.size() * 8)));
  ASSERT_TRUE(AES_SetKey_Dec(dec, reinterpret_cast<const uint8_t*>(key.data()), int(key.size() * 8)));
  EXPECT_EQ(dec.nr, int(key.size() / 4 + 6));
  uint8_t out[16], back[16];
  AES_EncryptBlock(enc, reinterpret_cast<const uint8_t*>(plain.data()), out);
  EXPECT_EQ(Hex(std::string_view(reinterpret_cast<char*>(out), 16)), c.cipher);
  AES_DecryptBlock(dec, out, back);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 16), plain);
}

// FIPS 197 appendix C.
INSTANTIATE_TEST_SUITE_P(
    Fips197, AESVectors,
    ::testing::Values(AESCase{"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
                              "69c4e0d86a7b0430d8cdb78070b4c55a"},
                      AESCase{"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
                              "dda97ca4864cdfe06eaf70a0ec0d7191"},
                      AESCase{"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                              "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"}));

TEST(AES, CbcFirstBlocksOfPublishedExamples) {
  struct {
    const char* key;
    const char* cipher;
  } cases[] = {{"2b7e151628aed2a6abf7158809cf4f3c", "7649abac8119b246cee98e9b12e9197d"},
               {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "f58c4c04d6e5f1ba779eabfb5f7bfbd6"}};
  for (const auto& c : cases) {
    std::string key = Unhex(c.key), ct = Unhex(c.cipher);
    AESContext ctx;
    ASSERT_TRUE(AES_SetKey_Dec(ctx, reinterpret_cast<const uint8_t*>(key.data()), int(key.size() * 8)));
    uint8_t iv[16];
    for (int i = 0; i < 16; ++i) iv[i] = uint8_t(i);
    uint8_t out[16];
    AES_CBC_Decrypt(ctx, iv, reinterpret_cast<const uint8_t*>(ct.data()), out, 1);
    EXPECT_EQ(Hex(std::string_view(reinterpret_cast<char*>(out), 16)), "6bc1bee22e409f96e93d7e117393172a");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(iv), 16), ct);  // chaining value carried on
  }
}

TEST(AES, CbcRoundTripInPlace) {
  std::string key(32, '\x5a'), data;
  for (int i = 0; i < 160; ++i) data += char(i * 7);
  AESContext enc, dec;
  AES_SetKey_Enc(enc, reinterpret_cast<const uint8_t*>(key.data()), 256);
  AES_SetKey_Dec(dec, reinterpret_cast<const uint8_t*>(key.data()), 256);
  std::string buf = data;
  uint8_t iv[16] = {1}, iv2[16] = {1};
  AES_CBC_Encrypt(enc, iv, reinterpret_cast<uint8_t*>(buf.data()), reinterpret_cast<uint8_t*>(buf.data()), 10);
  EXPECT_NE(buf, data);
  AES_CBC_Decrypt(dec, iv2, reinterpret_cast<uint8_t*>(buf.data()), reinterpret_cast<uint8_t*>(buf.data()), 10);
  EXPECT_EQ(buf, data);
}

TEST(AES, UnsupportedKeySizeLeavesContext) {
  AESContext ctx;
  std::memset(&ctx, 0, sizeof ctx);
  ctx.nr = 42;
  uint8_t key[32] = {0};
  EXPECT_FALSE(AES_SetKey_Dec(ctx, key, 100));
  EXPECT_EQ(ctx.nr, 42);
  EXPECT_TRUE(AllZero(ctx.buf, sizeof ctx.buf));
  EXPECT_TRUE(AES_SetKey_Dec(ctx, key, 192));
  EXPECT_EQ(ctx.nr, 12);
}

}  // namespace
