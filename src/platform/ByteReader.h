// One bounds-checked reader of binary records over bytes in memory. Every bound is tested in the
// form `pos <= size && size - pos >= n`, which cannot wrap whatever a file's offsets say; a read
// past the end raises an EReadError that names the record being read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Exception.h"

namespace zvword {

// True when [offset, offset + length) lies within size bytes; never overflows.
constexpr bool RangeFits(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && size - offset >= length;
}

// a + b, or false when the sum does not fit in 64 bits.
constexpr bool CheckedAdd(uint64_t a, uint64_t b, uint64_t& sum) {
  if (a > UINT64_MAX - b) return false;
  sum = a + b;
  return true;
}

// a * b, or false when the product does not fit in 64 bits.
constexpr bool CheckedMul(uint64_t a, uint64_t b, uint64_t& product) {
  if (a != 0 && b > UINT64_MAX / a) return false;
  product = a * b;
  return true;
}

class TByteReader {
 public:
  TByteReader() = default;
  // `what` names the record for messages ("ZIP central directory"); it must outlive the reader.
  TByteReader(const void* data, size_t size, const char* what = "record")
      : FData(static_cast<const uint8_t*>(data)), FSize(data ? size : 0), FWhat(what) {}
  explicit TByteReader(std::string_view bytes, const char* what = "record")
      : TByteReader(bytes.data(), bytes.size(), what) {}

  size_t Size() const { return FSize; }
  size_t Position() const { return FPos; }
  size_t Remaining() const { return FSize - FPos; }
  bool AtEnd() const { return FPos >= FSize; }
  bool CanRead(uint64_t n) const { return RangeFits(FPos, n, FSize); }
  bool CanReadAt(uint64_t at, uint64_t n) const { return RangeFits(at, n, FSize); }
  const char* What() const { return FWhat; }
  const uint8_t* Data() const { return FData; }

  void Seek(uint64_t pos) {
    if (pos > FSize) Fail();
    FPos = static_cast<size_t>(pos);
  }
  void Skip(uint64_t n) {
    Need(n);
    FPos += static_cast<size_t>(n);
  }

  uint8_t U8() { return static_cast<uint8_t>(Read(1)); }
  uint16_t U16LE() { return static_cast<uint16_t>(Read(2)); }
  uint32_t U32LE() { return static_cast<uint32_t>(Read(4)); }
  uint64_t U64LE() { return Read(8); }
  int16_t I16LE() { return static_cast<int16_t>(U16LE()); }
  int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
  uint16_t U16BE() { return static_cast<uint16_t>(ReadBE(2)); }
  uint32_t U32BE() { return static_cast<uint32_t>(ReadBE(4)); }
  // A big-endian unsigned number of 0 to 8 bytes (the widths of PDF cross-reference streams).
  uint64_t UBE(unsigned width) {
    if (width > 8) Fail();
    return ReadBE(width);
  }

  // The same reads at an absolute offset, without moving.
  uint8_t U8At(uint64_t at) const { return static_cast<uint8_t>(LEAt(at, 1)); }
  uint16_t U16LEAt(uint64_t at) const { return static_cast<uint16_t>(LEAt(at, 2)); }
  uint32_t U32LEAt(uint64_t at) const { return static_cast<uint32_t>(LEAt(at, 4)); }
  uint64_t U64LEAt(uint64_t at) const { return LEAt(at, 8); }
  int16_t I16LEAt(uint64_t at) const { return static_cast<int16_t>(U16LEAt(at)); }
  int32_t I32LEAt(uint64_t at) const { return static_cast<int32_t>(U32LEAt(at)); }
  uint16_t U16BEAt(uint64_t at) const { return static_cast<uint16_t>(BEAt(at, 2)); }
  uint32_t U32BEAt(uint64_t at) const { return static_cast<uint32_t>(BEAt(at, 4)); }

  // n bytes at the position, as a view into the data; the position moves past them.
  std::string_view Bytes(uint64_t n) {
    Need(n);
    std::string_view v(reinterpret_cast<const char*>(FData) + FPos, static_cast<size_t>(n));
    FPos += static_cast<size_t>(n);
    return v;
  }
  void ReadInto(void* dest, uint64_t n) {
    const std::string_view v = Bytes(n);
    if (n) std::memcpy(dest, v.data(), v.size());
  }
  // A reader over [offset, offset + length) of this one's data; raises when it does not fit.
  TByteReader Sub(uint64_t offset, uint64_t length, const char* what = nullptr) const {
    if (!RangeFits(offset, length, FSize)) Fail();
    return TByteReader(FData + offset, static_cast<size_t>(length), what ? what : FWhat);
  }
  // What there is of [offset, offset + length): cut at the end of the data, empty past it.
  TByteReader SubUpTo(uint64_t offset, uint64_t length, const char* what = nullptr) const {
    if (offset > FSize) offset = FSize;
    return Sub(offset, length < FSize - offset ? length : FSize - offset, what);
  }
  // n bytes at an absolute offset, as a view; the position does not move.
  std::string_view BytesAt(uint64_t at, uint64_t n) const {
    if (!RangeFits(at, n, FSize)) Fail();
    return std::string_view(reinterpret_cast<const char*>(FData) + at, static_cast<size_t>(n));
  }
  // The next n bytes as a reader of their own; the position moves past them.
  TByteReader Take(uint64_t n, const char* what = nullptr) {
    TByteReader r = Sub(FPos, n, what);
    FPos += static_cast<size_t>(n);
    return r;
  }
  // Everything from the position to the end, as a view.
  std::string_view Rest() const {
    return std::string_view(reinterpret_cast<const char*>(FData) + FPos, FSize - FPos);
  }

  [[noreturn]] void Fail() const {
    throw EReadError(std::string("Unexpected end of data in ") + FWhat);
  }

 private:
  void Need(uint64_t n) const {
    if (!CanRead(n)) Fail();
  }
  uint64_t Read(unsigned n) {
    const uint64_t v = LEAt(FPos, n);
    FPos += n;
    return v;
  }
  uint64_t ReadBE(unsigned n) {
    const uint64_t v = BEAt(FPos, n);
    FPos += n;
    return v;
  }
  uint64_t LEAt(uint64_t at, unsigned n) const {
    if (!RangeFits(at, n, FSize)) Fail();
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v |= static_cast<uint64_t>(FData[at + i]) << (8 * i);
    return v;
  }
  uint64_t BEAt(uint64_t at, unsigned n) const {
    if (!RangeFits(at, n, FSize)) Fail();
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = (v << 8) | FData[at + i];
    return v;
  }

  const uint8_t* FData = nullptr;
  size_t FSize = 0;
  size_t FPos = 0;
  const char* FWhat = "record";
};

}  // namespace zvword
