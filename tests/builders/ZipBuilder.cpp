#include "builders/ZipBuilder.h"

#include <zlib.h>

#include <stdexcept>

namespace zvword::test {
namespace {
void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}
uint32_t Clamp32(uint64_t v) { return v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

std::string DeflateWith(const std::string& data, int level, int flush) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, flush);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}
}  // namespace

std::string RawDeflate(const std::string& data, int level) { return DeflateWith(data, level, Z_FINISH); }

uint32_t Crc32Of(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string ZeroBombDeflate(uint64_t mebibytes) {
  // A full flush ends the block on a byte boundary with no back references, so the block can be
  // repeated; an empty final stored block closes the stream.
  const std::string block = DeflateWith(std::string(1 << 20, '\0'), 9, Z_FULL_FLUSH);
  std::string out;
  out.reserve(block.size() * mebibytes + 8);
  for (uint64_t i = 0; i < mebibytes; ++i) out += block;
  out += std::string("\x01\x00\x00\xFF\xFF", 5);
  return out;
}

ZipBuilder& ZipBuilder::Add(const std::string& name, const std::string& content, bool deflate,
                            bool dataDescriptor) {
  Entry e;
  e.name = name;
  e.method = deflate ? 8 : 0;
  e.data = deflate ? RawDeflate(content) : content;
  e.crc = Crc32Of(content);
  e.compressedSize = e.data.size();
  e.uncompressedSize = content.size();
  e.dataDescriptor = dataDescriptor;
  if (dataDescriptor) e.flags |= 8;
  entries_.push_back(std::move(e));
  return *this;
}

ZipBuilder& ZipBuilder::AddRaw(const Entry& e) {
  entries_.push_back(e);
  return *this;
}

ZipBuilder& ZipBuilder::Comment(const std::string& comment) {
  comment_ = comment;
  return *this;
}

ZipBuilder& ZipBuilder::Prefix(const std::string& prefix) {
  prefix_ = prefix;
  return *this;
}

std::string ZipBuilder::Build() const {
  std::string out = prefix_;
  std::string central;
  for (const Entry& e : entries_) {
    const uint64_t offset = out.size() - prefix_.size();
    const bool zip64 = e.compressedSize >= 0xFFFFFFFFu || e.uncompressedSize >= 0xFFFFFFFFu;
    std::string extra64;
    if (zip64) {
      Put16(extra64, 1);
      Put16(extra64, 16);
      Put64(extra64, e.uncompressedSize);
      Put64(extra64, e.compressedSize);
    }
    Put32(out, 0x04034B50);
    Put16(out, zip64 ? 45 : 20);
    Put16(out, e.flags);
    Put16(out, e.method);
    Put32(out, 0);
    Put32(out, e.dataDescriptor ? 0 : e.crc);
    Put32(out, e.dataDescriptor ? 0 : Clamp32(e.compressedSize));
    Put32(out, e.dataDescriptor ? 0 : Clamp32(e.uncompressedSize));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, static_cast<uint32_t>(extra64.size()));
    out += e.name;
    out += extra64;
    out += e.data;
    if (e.dataDescriptor) {
      Put32(out, 0x08074B50);
      Put32(out, e.crc);
      Put32(out, Clamp32(e.compressedSize));
      Put32(out, Clamp32(e.uncompressedSize));
    }
    Put32(central, 0x02014B50);
    Put16(central, 20);
    Put16(central, zip64 ? 45 : 20);
    Put16(central, e.flags);
    Put16(central, e.method);
    Put32(central, 0);
    Put32(central, e.crc);
    Put32(central, Clamp32(e.compressedSize));
    Put32(central, Clamp32(e.uncompressedSize));
    Put16(central, static_cast<uint32_t>(e.name.size()));
    Put16(central, static_cast<uint32_t>(extra64.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, static_cast<uint32_t>(offset));
    central += e.name;
    central += extra64;
  }
  const uint64_t cdOffset = out.size() - prefix_.size();
  out += central;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, static_cast<uint32_t>(cdOffset));
  Put16(out, static_cast<uint32_t>(comment_.size()));
  out += comment_;
  return out;
}

}  // namespace zvword::test
