#include "platform/Streams.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"

namespace zvword {

int64_t TStream::Write(const void*, int64_t) { throw Exception("Stream write error: stream is read-only"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw Exception("Stream write error");
}

RawByteString TStream::ReadBytes(int64_t count) {
  const int64_t left = std::max<int64_t>(0, Size() - Position());
  count = std::clamp<int64_t>(count, 0, left);
  RawByteString out(static_cast<size_t>(count), '\0');
  const int64_t got = count ? Read(out.data(), count) : 0;
  out.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  return out;
}

RawByteString TStream::ReadAll() { return ReadBytes(Size() - Position()); }

std::string_view TStream::ReadAllView(RawByteString& Owned) {
  std::string_view view;
  if (MemoryView(view)) {
    view.remove_prefix(std::min<size_t>(view.size(), static_cast<size_t>(std::max<int64_t>(Position(), 0))));
    Seek(0, TSeekOrigin::soEnd);
    return view;
  }
  Owned = ReadAll();
  return Owned;
}

std::string FileNameToNative(const WideString& fileName) { return WideToUtf8(fileName); }

bool FileExists(const WideString& fileName) {
  if (fileName.empty()) return false;
  struct stat st {};
  return ::stat(FileNameToNative(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TFileStream::TFileStream(const WideString& fileName, Mode mode) : TFileStream(FileNameToNative(fileName), mode) {}

TFileStream::TFileStream(const std::string& name, Mode mode) {
  file_ = std::fopen(name.c_str(), mode == Mode::fmCreate ? "wb" : "rb");
  if (!file_) {
    throw EFOpenError(mode == Mode::fmCreate ? "Cannot create file \"" + name + "\": " + std::strerror(errno)
                                             : "Cannot open file \"" + name + "\": " + std::strerror(errno));
  }
  if (mode == Mode::fmOpenRead) {
    struct stat st {};
    if (::fstat(fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::fclose(file_);
      file_ = nullptr;
      throw EFOpenError("Cannot open file \"" + name + "\": it is a directory");
    }
  }
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  size_ = -1;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = ftello(file_);
  if (origin == TSeekOrigin::soEnd) base = Size();
  const int64_t target = std::max<int64_t>(0, base + offset);
  if (origin == TSeekOrigin::soCurrent && offset == 0) return base;
  fseeko(file_, target, SEEK_SET);
  return ftello(file_);
}

int64_t TFileStream::Size() {
  if (size_ < 0) {
    std::fflush(file_);
    struct stat st {};
    size_ = ::fstat(fileno(file_), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  }
  return size_;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || pos_ >= size) return 0;
  const int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto end = static_cast<size_t>(pos_ + count);
  if (end > data_.size()) data_.resize(end, '\0');
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : Size();
  pos_ = std::max<int64_t>(0, base + offset);
  return pos_;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  data_ = source.ReadAll();
  pos_ = 0;
}

void TMemoryStream::LoadFromFile(const WideString& fileName) {
  TFileStream f(fileName);
  LoadFromStream(f);
}

int64_t TBytesView::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TBytesView::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : size_;
  pos_ = std::max<int64_t>(0, base + offset);
  return pos_;
}

}  // namespace zvword
