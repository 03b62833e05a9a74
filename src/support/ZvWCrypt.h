// Message digests (MD5, SHA-256/384/512) and ciphers (RC4, AES) over caller-owned contexts.
// Everything works on memory only; nothing here keeps state outside its context.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/Types.h"

namespace zvword {

#pragma pack(push, 1)

using MD5State = uint32_t[4];
using MD5Count = uint32_t[2];
using MD5Block = uint32_t[16];  // one 64-byte input block as the transform reads it
using MD5CBits = uint8_t[8];    // the message length in bits, as the final block carries it
using MD5Buffer = uint8_t[64];
using MD5Digest = std::array<uint8_t, 16>;

struct MD5Context {
  MD5State State;
  MD5Count Count;  // message bits processed, low word first
  MD5Buffer Buffer;
};

struct TRC4Context {
  uint8_t State[256];
  uint8_t x;
  uint8_t y;
};

using SHA256CBits = uint32_t[8];
using SHA256Buffer = uint8_t[64];
using SHA256Digest = std::array<uint8_t, 32>;

struct SHA256Context {
  uint32_t LenHi;
  uint32_t LenLo;
  uint32_t Index;  // bytes waiting in Buffer
  SHA256CBits Hash;
  SHA256Buffer Buffer;
};

// SHA-384 is SHA-512 with other initial values, cut to 48 bytes.
struct SHA512Context {
  uint64_t LenHi;
  uint64_t LenLo;
  uint32_t Index;
  uint32_t DigestSize;  // 64 or 48
  uint64_t Hash[8];
  uint8_t Buffer[128];
};
using SHA384Digest = std::array<uint8_t, 48>;
using SHA512Digest = std::array<uint8_t, 64>;

struct AESContext {
  int nr;        // rounds: 10, 12 or 14
  uint32_t* rk;  // round keys; points into buf once a key is set
  uint32_t buf[68];
};

#pragma pack(pop)

// MD5 (RFC 1321).
void MD5Init(MD5Context& ctx);
void MD5Update(MD5Context& ctx, const void* input, uint32_t length);
// Writes the digest, then wipes the context.
void MD5Final(MD5Context& ctx, MD5Digest& digest);
bool MD5Match(const MD5Digest& a, const MD5Digest& b);

// RC4. Only the first 256 key bytes take effect; an empty key leaves the identity permutation.
void RC4Init(TRC4Context& ctx, const uint8_t* key, uint32_t keyLength);
void RC4Crypt(TRC4Context& ctx, const uint8_t* input, uint8_t* output, int length);
// Works on the first length bytes; output must already hold at least length bytes and may be input.
void RC4Crypt2(TRC4Context& ctx, const RawByteString& input, RawByteString& output, int length);
// Sets output to length bytes and fills it with the transformed input.
void RC4Crypt3(TRC4Context& ctx, const uint8_t* input, RawByteString& output, int length);
void RC4Done(TRC4Context& ctx);

// SHA-256, SHA-384 and SHA-512 (FIPS 180-4). The contexts keep their final chaining value.
void SHA256Init(SHA256Context& ctx);
void SHA256Update(SHA256Context& ctx, const void* input, uint32_t length);
void SHA256Final(SHA256Context& ctx, SHA256Digest& digest);
void SHA384Init(SHA512Context& ctx);
void SHA512Init(SHA512Context& ctx);
void SHA512Update(SHA512Context& ctx, const void* input, size_t length);
void SHA384Final(SHA512Context& ctx, SHA384Digest& digest);
void SHA512Final(SHA512Context& ctx, SHA512Digest& digest);

// The 32 bytes the standard PDF security handler pads passwords with (and hashes for revision 3+).
RawByteString PASSWORD_PADDING();

// One-shot digests returned as byte strings.
RawByteString MD5Of(std::string_view data);
RawByteString SHA256Of(std::string_view data);
RawByteString SHA384Of(std::string_view data);
RawByteString SHA512Of(std::string_view data);

// AES (FIPS 197). The key setters take the key size in bits (128, 192 or 256) and
// leave the context unchanged and return false for any other size.
bool AES_SetKey_Dec(AESContext& ctx, const uint8_t* key, int keyBits);
bool AES_SetKey_Enc(AESContext& ctx, const uint8_t* key, int keyBits);
void AES_DecryptBlock(const AESContext& ctx, const uint8_t in[16], uint8_t out[16]);
void AES_EncryptBlock(const AESContext& ctx, const uint8_t in[16], uint8_t out[16]);
// Cipher-block chaining over whole blocks; iv is updated so calls can continue a stream.
// input and output may be the same buffer.
void AES_CBC_Decrypt(const AESContext& ctx, uint8_t iv[16], const uint8_t* input, uint8_t* output, size_t blocks);
void AES_CBC_Encrypt(const AESContext& ctx, uint8_t iv[16], const uint8_t* input, uint8_t* output, size_t blocks);

}  // namespace zvword
