// Seekable byte streams: read-only files, memory, strings and views over bytes.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace zvword {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class ZVWORD_API TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes; read-only streams raise.
  virtual int64_t Write(const void* buffer, int64_t count);
  // Moves the position; returns the new position. Positions are clamped at 0.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  // The stream's whole content when it already lies in memory (readers then avoid a copy).
  virtual bool MemoryView(std::string_view& out) {
    (void)out;
    return false;
  }

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  // Reads exactly count bytes or raises EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Reads up to count bytes (bounded by what is left) into a byte string.
  RawByteString ReadBytes(int64_t count);
  // The rest of the stream from the current position.
  RawByteString ReadAll();
  // The rest of the stream from the current position, which moves to the end: the bytes where
  // they lie when the stream is in memory, else read once into Owned.
  std::string_view ReadAllView(RawByteString& Owned);
};

// A file opened read-only (the sharing modes of the original platform have no meaning here).
class ZVWORD_API TFileStream : public TStream {
 public:
  enum class Mode { fmOpenRead, fmCreate };
  explicit TFileStream(const WideString& fileName, Mode mode = Mode::fmOpenRead);
  explicit TFileStream(const std::string& utf8FileName, Mode mode = Mode::fmOpenRead);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;

 private:
  std::FILE* file_ = nullptr;
  int64_t size_ = -1;
};

// A growable in-memory stream owning its bytes.
class ZVWORD_API TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(RawByteString bytes) : data_(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  bool MemoryView(std::string_view& out) override {
    out = data_;
    return true;
  }
  const RawByteString& Bytes() const { return data_; }
  RawByteString& Bytes() { return data_; }
  void LoadFromStream(TStream& source);
  void LoadFromFile(const WideString& fileName);

 private:
  RawByteString data_;
  int64_t pos_ = 0;
};

// The string stream of the component framework: a memory stream over a byte string.
using TStringStream = TMemoryStream;

// A read-only view over bytes owned elsewhere; they must outlive the view.
class ZVWORD_API TBytesView : public TStream {
 public:
  TBytesView(const void* data, int64_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  explicit TBytesView(std::string_view bytes)
      : TBytesView(bytes.data(), static_cast<int64_t>(bytes.size())) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  bool MemoryView(std::string_view& out) override {
    out = std::string_view(reinterpret_cast<const char*>(data_), static_cast<size_t>(size_));
    return true;
  }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// True when the path names an existing file (links followed).
bool FileExists(const WideString& fileName);
std::string FileNameToNative(const WideString& fileName);

}  // namespace zvword
