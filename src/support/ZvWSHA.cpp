// SHA-256, SHA-384 and SHA-512.
#include <algorithm>
#include <cstring>

#include "support/ZvWCrypt.h"

namespace zvword {

namespace {

// Round constants and initial values: the leading bits of the fractional parts of the
// cube and square roots of the first primes.
constexpr uint32_t kSHA256K[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u,
    0x3956c25bu, 0x59f111f1u, 0x923f82a4u, 0xab1c5ed5u,
    0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u,
    0x72be5d74u, 0x80deb1feu, 0x9bdc06a7u, 0xc19bf174u,
    0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu,
    0x2de92c6fu, 0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau,
    0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u,
    0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u,
    0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu, 0x53380d13u,
    0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u,
    0xa2bfe8a1u, 0xa81a664bu, 0xc24b8b70u, 0xc76c51a3u,
    0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u,
    0x19a4c116u, 0x1e376c08u, 0x2748774cu, 0x34b0bcb5u,
    0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u,
    0x90befffau, 0xa4506cebu, 0xbef9a3f7u, 0xc67178f2u,
};
constexpr uint32_t kSHA256H[8] = {
    0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
    0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u,
};
constexpr uint64_t kSHA512K[80] = {
    0x428a2f98d728ae22ULL, 0x7137449123ef65cdULL, 0xb5c0fbcfec4d3b2fULL, 0xe9b5dba58189dbbcULL,
    0x3956c25bf348b538ULL, 0x59f111f1b605d019ULL, 0x923f82a4af194f9bULL, 0xab1c5ed5da6d8118ULL,
    0xd807aa98a3030242ULL, 0x12835b0145706fbeULL, 0x243185be4ee4b28cULL, 0x550c7dc3d5ffb4e2ULL,
    0x72be5d74f27b896fULL, 0x80deb1fe3b1696b1ULL, 0x9bdc06a725c71235ULL, 0xc19bf174cf692694ULL,
    0xe49b69c19ef14ad2ULL, 0xefbe4786384f25e3ULL, 0x0fc19dc68b8cd5b5ULL, 0x240ca1cc77ac9c65ULL,
    0x2de92c6f592b0275ULL, 0x4a7484aa6ea6e483ULL, 0x5cb0a9dcbd41fbd4ULL, 0x76f988da831153b5ULL,
    0x983e5152ee66dfabULL, 0xa831c66d2db43210ULL, 0xb00327c898fb213fULL, 0xbf597fc7beef0ee4ULL,
    0xc6e00bf33da88fc2ULL, 0xd5a79147930aa725ULL, 0x06ca6351e003826fULL, 0x142929670a0e6e70ULL,
    0x27b70a8546d22ffcULL, 0x2e1b21385c26c926ULL, 0x4d2c6dfc5ac42aedULL, 0x53380d139d95b3dfULL,
    0x650a73548baf63deULL, 0x766a0abb3c77b2a8ULL, 0x81c2c92e47edaee6ULL, 0x92722c851482353bULL,
    0xa2bfe8a14cf10364ULL, 0xa81a664bbc423001ULL, 0xc24b8b70d0f89791ULL, 0xc76c51a30654be30ULL,
    0xd192e819d6ef5218ULL, 0xd69906245565a910ULL, 0xf40e35855771202aULL, 0x106aa07032bbd1b8ULL,
    0x19a4c116b8d2d0c8ULL, 0x1e376c085141ab53ULL, 0x2748774cdf8eeb99ULL, 0x34b0bcb5e19b48a8ULL,
    0x391c0cb3c5c95a63ULL, 0x4ed8aa4ae3418acbULL, 0x5b9cca4f7763e373ULL, 0x682e6ff3d6b2b8a3ULL,
    0x748f82ee5defb2fcULL, 0x78a5636f43172f60ULL, 0x84c87814a1f0ab72ULL, 0x8cc702081a6439ecULL,
    0x90befffa23631e28ULL, 0xa4506cebde82bde9ULL, 0xbef9a3f7b2c67915ULL, 0xc67178f2e372532bULL,
    0xca273eceea26619cULL, 0xd186b8c721c0c207ULL, 0xeada7dd6cde0eb1eULL, 0xf57d4f7fee6ed178ULL,
    0x06f067aa72176fbaULL, 0x0a637dc5a2c898a6ULL, 0x113f9804bef90daeULL, 0x1b710b35131c471bULL,
    0x28db77f523047d84ULL, 0x32caab7b40c72493ULL, 0x3c9ebe0a15c9bebcULL, 0x431d67c49c100d4cULL,
    0x4cc5d4becb3e42b6ULL, 0x597f299cfc657e2aULL, 0x5fcb6fab3ad6faecULL, 0x6c44198c4a475817ULL,
};
constexpr uint64_t kSHA512H[8] = {
    0x6a09e667f3bcc908ULL, 0xbb67ae8584caa73bULL, 0x3c6ef372fe94f82bULL, 0xa54ff53a5f1d36f1ULL,
    0x510e527fade682d1ULL, 0x9b05688c2b3e6c1fULL, 0x1f83d9abfb41bd6bULL, 0x5be0cd19137e2179ULL,
};
constexpr uint64_t kSHA384H[8] = {
    0xcbbb9d5dc1059ed8ULL, 0x629a292a367cd507ULL, 0x9159015a3070dd17ULL, 0x152fecd8f70e5939ULL,
    0x67332667ffc00b31ULL, 0x8eb44a8768581511ULL, 0xdb0c2e0d64f98fa7ULL, 0x47b5481dbefa4fa4ULL,
};

inline uint32_t Rotr32(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint64_t Rotr64(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

void SHA256Compress(uint32_t hash[8], const uint8_t block[64]) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 | uint32_t(block[4 * i + 2]) << 8 |
           uint32_t(block[4 * i + 3]);
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = Rotr32(w[i - 15], 7) ^ Rotr32(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t s1 = Rotr32(w[i - 2], 17) ^ Rotr32(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3], e = hash[4], f = hash[5], g = hash[6], h = hash[7];
  for (int i = 0; i < 64; ++i) {
    uint32_t t1 = h + (Rotr32(e, 6) ^ Rotr32(e, 11) ^ Rotr32(e, 25)) + ((e & f) ^ (~e & g)) + kSHA256K[i] + w[i];
    uint32_t t2 = (Rotr32(a, 2) ^ Rotr32(a, 13) ^ Rotr32(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  hash[0] += a;
  hash[1] += b;
  hash[2] += c;
  hash[3] += d;
  hash[4] += e;
  hash[5] += f;
  hash[6] += g;
  hash[7] += h;
  std::memset(w, 0, sizeof w);
}

void SHA512Compress(uint64_t hash[8], const uint8_t block[128]) {
  uint64_t w[80];
  for (int i = 0; i < 16; ++i) {
    uint64_t v = 0;
    for (int j = 0; j < 8; ++j) v = v << 8 | block[8 * i + j];
    w[i] = v;
  }
  for (int i = 16; i < 80; ++i) {
    uint64_t s0 = Rotr64(w[i - 15], 1) ^ Rotr64(w[i - 15], 8) ^ (w[i - 15] >> 7);
    uint64_t s1 = Rotr64(w[i - 2], 19) ^ Rotr64(w[i - 2], 61) ^ (w[i - 2] >> 6);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint64_t a = hash[0], b = hash[1], c = hash[2], d = hash[3], e = hash[4], f = hash[5], g = hash[6], h = hash[7];
  for (int i = 0; i < 80; ++i) {
    uint64_t t1 = h + (Rotr64(e, 14) ^ Rotr64(e, 18) ^ Rotr64(e, 41)) + ((e & f) ^ (~e & g)) + kSHA512K[i] + w[i];
    uint64_t t2 = (Rotr64(a, 28) ^ Rotr64(a, 34) ^ Rotr64(a, 39)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  hash[0] += a;
  hash[1] += b;
  hash[2] += c;
  hash[3] += d;
  hash[4] += e;
  hash[5] += f;
  hash[6] += g;
  hash[7] += h;
}

}  // namespace

void SHA256Init(SHA256Context& ctx) {
  ctx.LenHi = ctx.LenLo = ctx.Index = 0;
  std::memcpy(ctx.Hash, kSHA256H, sizeof ctx.Hash);
  std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
}

void SHA256Update(SHA256Context& ctx, const void* input, uint32_t length) {
  const uint8_t* in = static_cast<const uint8_t*>(input);
  uint64_t bits = (uint64_t(ctx.LenHi) << 32 | ctx.LenLo) + uint64_t(length) * 8;
  ctx.LenHi = uint32_t(bits >> 32);
  ctx.LenLo = uint32_t(bits);
  while (length > 0) {
    uint32_t take = std::min<uint32_t>(64 - ctx.Index, length);
    std::memcpy(ctx.Buffer + ctx.Index, in, take);
    ctx.Index += take;
    in += take;
    length -= take;
    if (ctx.Index == 64) {
      SHA256Compress(ctx.Hash, ctx.Buffer);
      ctx.Index = 0;
      std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
    }
  }
}

void SHA256Final(SHA256Context& ctx, SHA256Digest& digest) {
  ctx.Buffer[ctx.Index] = 0x80;
  std::memset(ctx.Buffer + ctx.Index + 1, 0, 63 - ctx.Index);
  if (ctx.Index >= 56) {
    SHA256Compress(ctx.Hash, ctx.Buffer);
    std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
  }
  for (int i = 0; i < 4; ++i) {
    ctx.Buffer[56 + i] = uint8_t(ctx.LenHi >> (24 - 8 * i));
    ctx.Buffer[60 + i] = uint8_t(ctx.LenLo >> (24 - 8 * i));
  }
  SHA256Compress(ctx.Hash, ctx.Buffer);
  ctx.Index = 0;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = uint8_t(ctx.Hash[i] >> (24 - 8 * j));
}

void SHA512Init(SHA512Context& ctx) {
  ctx.LenHi = ctx.LenLo = 0;
  ctx.Index = 0;
  ctx.DigestSize = 64;
  std::memcpy(ctx.Hash, kSHA512H, sizeof ctx.Hash);
  std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
}

void SHA384Init(SHA512Context& ctx) {
  SHA512Init(ctx);
  ctx.DigestSize = 48;
  std::memcpy(ctx.Hash, kSHA384H, sizeof ctx.Hash);
}

void SHA512Update(SHA512Context& ctx, const void* input, size_t length) {
  const uint8_t* in = static_cast<const uint8_t*>(input);
  uint64_t add = uint64_t(length) << 3;
  ctx.LenLo += add;
  if (ctx.LenLo < add) ++ctx.LenHi;
  ctx.LenHi += uint64_t(length) >> 61;
  while (length > 0) {
    size_t take = std::min<size_t>(128 - ctx.Index, length);
    std::memcpy(ctx.Buffer + ctx.Index, in, take);
    ctx.Index += uint32_t(take);
    in += take;
    length -= take;
    if (ctx.Index == 128) {
      SHA512Compress(ctx.Hash, ctx.Buffer);
      ctx.Index = 0;
    }
  }
}

namespace {

void SHA512Finish(SHA512Context& ctx, uint8_t* digest, size_t size) {
  ctx.Buffer[ctx.Index] = 0x80;
  std::memset(ctx.Buffer + ctx.Index + 1, 0, 127 - ctx.Index);
  if (ctx.Index >= 112) {
    SHA512Compress(ctx.Hash, ctx.Buffer);
    std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
  }
  for (int i = 0; i < 8; ++i) {
    ctx.Buffer[112 + i] = uint8_t(ctx.LenHi >> (56 - 8 * i));
    ctx.Buffer[120 + i] = uint8_t(ctx.LenLo >> (56 - 8 * i));
  }
  SHA512Compress(ctx.Hash, ctx.Buffer);
  ctx.Index = 0;
  for (size_t i = 0; i < size; ++i) digest[i] = uint8_t(ctx.Hash[i / 8] >> (56 - 8 * (i % 8)));
}

}  // namespace

void SHA384Final(SHA512Context& ctx, SHA384Digest& digest) { SHA512Finish(ctx, digest.data(), digest.size()); }
void SHA512Final(SHA512Context& ctx, SHA512Digest& digest) { SHA512Finish(ctx, digest.data(), digest.size()); }

RawByteString SHA256Of(std::string_view data) {
  SHA256Context ctx;
  SHA256Init(ctx);
  while (data.size() > 0x10000000u) {
    SHA256Update(ctx, data.data(), 0x10000000u);
    data.remove_prefix(0x10000000u);
  }
  SHA256Update(ctx, data.data(), uint32_t(data.size()));
  SHA256Digest d;
  SHA256Final(ctx, d);
  return RawByteString(reinterpret_cast<const char*>(d.data()), d.size());
}

RawByteString SHA384Of(std::string_view data) {
  SHA512Context ctx;
  SHA384Init(ctx);
  SHA512Update(ctx, data.data(), data.size());
  SHA384Digest d;
  SHA384Final(ctx, d);
  return RawByteString(reinterpret_cast<const char*>(d.data()), d.size());
}

RawByteString SHA512Of(std::string_view data) {
  SHA512Context ctx;
  SHA512Init(ctx);
  SHA512Update(ctx, data.data(), data.size());
  SHA512Digest d;
  SHA512Final(ctx, d);
  return RawByteString(reinterpret_cast<const char*>(d.data()), d.size());
}

}  // namespace zvword
