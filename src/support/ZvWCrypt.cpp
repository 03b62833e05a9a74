#include "support/ZvWCrypt.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zvword {

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

struct MD5Tables {
  uint32_t T[64];
  MD5Tables() {
    // The sine table: the integer part of 2^32 * |sin(i)|, i in radians.
    for (int i = 0; i < 64; ++i) T[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
  }
};

const MD5Tables& Md5T() {
  static const MD5Tables tables;
  return tables;
}

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void MD5Transform(uint32_t state[4], const uint8_t block[64]) {
  const uint32_t* T = Md5T().T;
  MD5Block X;
  for (int i = 0; i < 16; ++i)
    X[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 | uint32_t(block[i * 4 + 2]) << 16 |
           uint32_t(block[i * 4 + 3]) << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int k;
    int round = i >> 4;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) & 15; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) & 15; break;
      default: f = c ^ (b | ~d); k = (7 * i) & 15; break;
    }
    uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + X[k] + T[i], kShift[round][i & 3]);
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

void MD5Init(MD5Context& ctx) {
  ctx.State[0] = 0x67452301u;
  ctx.State[1] = 0xefcdab89u;
  ctx.State[2] = 0x98badcfeu;
  ctx.State[3] = 0x10325476u;
  ctx.Count[0] = ctx.Count[1] = 0;
  std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
}

void MD5Update(MD5Context& ctx, const void* input, uint32_t length) {
  const uint8_t* in = static_cast<const uint8_t*>(input);
  uint32_t used = (ctx.Count[0] >> 3) & 63;
  uint32_t bitsLo = length << 3;
  ctx.Count[0] += bitsLo;
  if (ctx.Count[0] < bitsLo) ++ctx.Count[1];
  ctx.Count[1] += length >> 29;
  if (used != 0) {
    uint32_t take = 64 - used;
    if (length < take) {
      std::memcpy(ctx.Buffer + used, in, length);
      return;
    }
    std::memcpy(ctx.Buffer + used, in, take);
    MD5Transform(ctx.State, ctx.Buffer);
    in += take;
    length -= take;
  }
  while (length >= 64) {
    MD5Transform(ctx.State, in);
    in += 64;
    length -= 64;
  }
  if (length != 0) std::memcpy(ctx.Buffer, in, length);
}

void MD5Final(MD5Context& ctx, MD5Digest& digest) {
  MD5CBits bits;
  for (int i = 0; i < 4; ++i) {
    bits[i] = uint8_t(ctx.Count[0] >> (8 * i));
    bits[i + 4] = uint8_t(ctx.Count[1] >> (8 * i));
  }
  uint32_t used = (ctx.Count[0] >> 3) & 63;
  static const uint8_t kPad[64] = {0x80};
  MD5Update(ctx, kPad, used < 56 ? 56 - used : 120 - used);
  MD5Update(ctx, bits, 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[i * 4 + j] = uint8_t(ctx.State[i] >> (8 * j));
  std::memset(&ctx, 0, sizeof ctx);
}

bool MD5Match(const MD5Digest& a, const MD5Digest& b) { return a == b; }

void RC4Init(TRC4Context& ctx, const uint8_t* key, uint32_t keyLength) {
  for (int i = 0; i < 256; ++i) ctx.State[i] = uint8_t(i);
  ctx.x = ctx.y = 0;
  if (keyLength == 0 || key == nullptr) return;
  uint8_t j = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    j = uint8_t(j + ctx.State[i] + key[i % keyLength]);
    std::swap(ctx.State[i], ctx.State[j]);
  }
}

void RC4Crypt(TRC4Context& ctx, const uint8_t* input, uint8_t* output, int length) {
  uint8_t x = ctx.x, y = ctx.y;
  uint8_t* s = ctx.State;
  for (int i = 0; i < length; ++i) {
    x = uint8_t(x + 1);
    y = uint8_t(y + s[x]);
    uint8_t t = s[x];
    s[x] = s[y];
    s[y] = t;
    output[i] = input[i] ^ s[uint8_t(s[x] + s[y])];
  }
  ctx.x = x;
  ctx.y = y;
}

void RC4Crypt2(TRC4Context& ctx, const RawByteString& input, RawByteString& output, int length) {
  if (length <= 0) return;
  size_t n = std::min({size_t(length), input.size(), output.size()});
  // Input and output may be one string: read each byte before writing it.
  const uint8_t* in = reinterpret_cast<const uint8_t*>(input.data());
  uint8_t* out = reinterpret_cast<uint8_t*>(output.data());
  RC4Crypt(ctx, in, out, int(n));
}

void RC4Crypt3(TRC4Context& ctx, const uint8_t* input, RawByteString& output, int length) {
  if (length <= 0) {
    output.clear();
    return;
  }
  output.assign(reinterpret_cast<const char*>(input), size_t(length));
  RC4Crypt2(ctx, output, output, length);
}

void RC4Done(TRC4Context& ctx) { std::memset(&ctx, 0, sizeof ctx); }

RawByteString PASSWORD_PADDING() {
  static const char kBytes[33] =
      "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
      "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A";
  return RawByteString(kBytes, 32);
}

RawByteString MD5Of(std::string_view data) {
  MD5Context ctx;
  MD5Init(ctx);
  // Feed in pieces so lengths beyond 32 bits stay correct.
  while (data.size() > 0x40000000u) {
    MD5Update(ctx, data.data(), 0x40000000u);
    data.remove_prefix(0x40000000u);
  }
  MD5Update(ctx, data.data(), uint32_t(data.size()));
  MD5Digest d;
  MD5Final(ctx, d);
  return RawByteString(reinterpret_cast<const char*>(d.data()), d.size());
}

}  // namespace zvword
