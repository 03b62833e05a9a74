// AES block cipher with table-driven rounds.
#include <cstring>

#include "support/ZvWCrypt.h"

namespace zvword {

namespace {

uint8_t XTime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1B : 0)); }

uint8_t GMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

inline uint32_t Ror8(uint32_t x) { return (x >> 8) | (x << 24); }

// S-box, its inverse and the round tables, derived once from the field arithmetic.
struct AESTables {
  uint8_t S[256];
  uint8_t Si[256];
  uint32_t Te[4][256];
  uint32_t Td[4][256];
  AESTables() {
    uint8_t inv[256] = {0};
    for (int a = 1; a < 256; ++a)
      for (int b = 1; b < 256; ++b)
        if (GMul(uint8_t(a), uint8_t(b)) == 1) {
          inv[a] = uint8_t(b);
          break;
        }
    for (int x = 0; x < 256; ++x) {
      uint8_t b = inv[x];
      uint8_t s = b;
      for (int k = 1; k <= 4; ++k) s ^= uint8_t((b << k) | (b >> (8 - k)));
      S[x] = uint8_t(s ^ 0x63);
      Si[S[x]] = uint8_t(x);
    }
    for (int x = 0; x < 256; ++x) {
      uint8_t s = S[x];
      uint32_t e = uint32_t(GMul(s, 2)) << 24 | uint32_t(s) << 16 | uint32_t(s) << 8 | GMul(s, 3);
      uint8_t si = Si[x];
      uint32_t d = uint32_t(GMul(si, 14)) << 24 | uint32_t(GMul(si, 9)) << 16 | uint32_t(GMul(si, 13)) << 8 |
                   GMul(si, 11);
      for (int t = 0; t < 4; ++t) {
        Te[t][x] = e;
        Td[t][x] = d;
        e = Ror8(e);
        d = Ror8(d);
      }
    }
  }
};

const AESTables& Tables() {
  static const AESTables tables;
  return tables;
}

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void Store32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

int RoundsFor(int keyBits) {
  switch (keyBits) {
    case 128: return 10;
    case 192: return 12;
    case 256: return 14;
    default: return 0;
  }
}

// The encryption key schedule: 4 * (nr + 1) words.
void ExpandKey(const uint8_t* key, int nk, int nr, uint32_t* w) {
  const AESTables& T = Tables();
  for (int i = 0; i < nk; ++i) w[i] = Load32(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = nk; i < 4 * (nr + 1); ++i) {
    uint32_t t = w[i - 1];
    if (i % nk == 0) {
      t = (t << 8) | (t >> 24);
      t = uint32_t(T.S[t >> 24]) << 24 | uint32_t(T.S[(t >> 16) & 255]) << 16 | uint32_t(T.S[(t >> 8) & 255]) << 8 |
          T.S[t & 255];
      t ^= uint32_t(rcon) << 24;
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      t = uint32_t(T.S[t >> 24]) << 24 | uint32_t(T.S[(t >> 16) & 255]) << 16 | uint32_t(T.S[(t >> 8) & 255]) << 8 |
          T.S[t & 255];
    }
    w[i] = w[i - nk] ^ t;
  }
}

}  // namespace

bool AES_SetKey_Enc(AESContext& ctx, const uint8_t* key, int keyBits) {
  int nr = RoundsFor(keyBits);
  if (nr == 0) return false;
  ctx.nr = nr;
  ctx.rk = ctx.buf;
  ExpandKey(key, keyBits / 32, nr, ctx.buf);
  return true;
}

bool AES_SetKey_Dec(AESContext& ctx, const uint8_t* key, int keyBits) {
  int nr = RoundsFor(keyBits);
  if (nr == 0) return false;
  const AESTables& T = Tables();
  uint32_t ek[60];
  ExpandKey(key, keyBits / 32, nr, ek);
  // The equivalent inverse cipher: round keys in reverse order, the inner ones
  // passed through the inverse column mixing.
  for (int r = 0; r <= nr; ++r)
    for (int c = 0; c < 4; ++c) {
      uint32_t w = ek[4 * (nr - r) + c];
      if (r > 0 && r < nr)
        w = T.Td[0][T.S[w >> 24]] ^ T.Td[1][T.S[(w >> 16) & 255]] ^ T.Td[2][T.S[(w >> 8) & 255]] ^
            T.Td[3][T.S[w & 255]];
      ctx.buf[4 * r + c] = w;
    }
  std::memset(ek, 0, sizeof ek);
  ctx.nr = nr;
  ctx.rk = ctx.buf;
  return true;
}

void AES_EncryptBlock(const AESContext& ctx, const uint8_t in[16], uint8_t out[16]) {
  const AESTables& T = Tables();
  const uint32_t* rk = ctx.buf;
  uint32_t s0 = Load32(in) ^ rk[0], s1 = Load32(in + 4) ^ rk[1], s2 = Load32(in + 8) ^ rk[2],
           s3 = Load32(in + 12) ^ rk[3];
  for (int r = 1; r < ctx.nr; ++r) {
    rk += 4;
    uint32_t t0 = T.Te[0][s0 >> 24] ^ T.Te[1][(s1 >> 16) & 255] ^ T.Te[2][(s2 >> 8) & 255] ^ T.Te[3][s3 & 255] ^ rk[0];
    uint32_t t1 = T.Te[0][s1 >> 24] ^ T.Te[1][(s2 >> 16) & 255] ^ T.Te[2][(s3 >> 8) & 255] ^ T.Te[3][s0 & 255] ^ rk[1];
    uint32_t t2 = T.Te[0][s2 >> 24] ^ T.Te[1][(s3 >> 16) & 255] ^ T.Te[2][(s0 >> 8) & 255] ^ T.Te[3][s1 & 255] ^ rk[2];
    uint32_t t3 = T.Te[0][s3 >> 24] ^ T.Te[1][(s0 >> 16) & 255] ^ T.Te[2][(s1 >> 8) & 255] ^ T.Te[3][s2 & 255] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return (uint32_t(T.S[a >> 24]) << 24 | uint32_t(T.S[(b >> 16) & 255]) << 16 | uint32_t(T.S[(c >> 8) & 255]) << 8 |
            T.S[d & 255]) ^
           k;
  };
  Store32(out, last(s0, s1, s2, s3, rk[0]));
  Store32(out + 4, last(s1, s2, s3, s0, rk[1]));
  Store32(out + 8, last(s2, s3, s0, s1, rk[2]));
  Store32(out + 12, last(s3, s0, s1, s2, rk[3]));
}

void AES_DecryptBlock(const AESContext& ctx, const uint8_t in[16], uint8_t out[16]) {
  const AESTables& T = Tables();
  const uint32_t* rk = ctx.buf;
  uint32_t s0 = Load32(in) ^ rk[0], s1 = Load32(in + 4) ^ rk[1], s2 = Load32(in + 8) ^ rk[2],
           s3 = Load32(in + 12) ^ rk[3];
  for (int r = 1; r < ctx.nr; ++r) {
    rk += 4;
    uint32_t t0 = T.Td[0][s0 >> 24] ^ T.Td[1][(s3 >> 16) & 255] ^ T.Td[2][(s2 >> 8) & 255] ^ T.Td[3][s1 & 255] ^ rk[0];
    uint32_t t1 = T.Td[0][s1 >> 24] ^ T.Td[1][(s0 >> 16) & 255] ^ T.Td[2][(s3 >> 8) & 255] ^ T.Td[3][s2 & 255] ^ rk[1];
    uint32_t t2 = T.Td[0][s2 >> 24] ^ T.Td[1][(s1 >> 16) & 255] ^ T.Td[2][(s0 >> 8) & 255] ^ T.Td[3][s3 & 255] ^ rk[2];
    uint32_t t3 = T.Td[0][s3 >> 24] ^ T.Td[1][(s2 >> 16) & 255] ^ T.Td[2][(s1 >> 8) & 255] ^ T.Td[3][s0 & 255] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return (uint32_t(T.Si[a >> 24]) << 24 | uint32_t(T.Si[(b >> 16) & 255]) << 16 |
            uint32_t(T.Si[(c >> 8) & 255]) << 8 | T.Si[d & 255]) ^
           k;
  };
  Store32(out, last(s0, s3, s2, s1, rk[0]));
  Store32(out + 4, last(s1, s0, s3, s2, rk[1]));
  Store32(out + 8, last(s2, s1, s0, s3, rk[2]));
  Store32(out + 12, last(s3, s2, s1, s0, rk[3]));
}

void AES_CBC_Decrypt(const AESContext& ctx, uint8_t iv[16], const uint8_t* input, uint8_t* output, size_t blocks) {
  uint8_t prev[16], cur[16];
  std::memcpy(prev, iv, 16);
  for (size_t b = 0; b < blocks; ++b) {
    std::memcpy(cur, input + 16 * b, 16);
    AES_DecryptBlock(ctx, cur, output + 16 * b);
    for (int i = 0; i < 16; ++i) output[16 * b + i] ^= prev[i];
    std::memcpy(prev, cur, 16);
  }
  std::memcpy(iv, prev, 16);
}

void AES_CBC_Encrypt(const AESContext& ctx, uint8_t iv[16], const uint8_t* input, uint8_t* output, size_t blocks) {
  uint8_t x[16];
  for (size_t b = 0; b < blocks; ++b) {
    for (int i = 0; i < 16; ++i) x[i] = input[16 * b + i] ^ iv[i];
    AES_EncryptBlock(ctx, x, output + 16 * b);
    std::memcpy(iv, output + 16 * b, 16);
  }
}

}  // namespace zvword
