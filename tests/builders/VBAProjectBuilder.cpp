#include "builders/VBAProjectBuilder.h"

#include <algorithm>

namespace zvword::test {

namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8 & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
std::string Utf16(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) Put16(out, c);
  return out;
}
std::string Utf16(std::string_view ascii) { return Utf16(std::u16string(ascii.begin(), ascii.end())); }

void Record(std::string& s, uint16_t id, std::string_view data) {
  Put16(s, id);
  Put32(s, static_cast<uint32_t>(data.size()));
  s += data;
}

std::string CompressChunk(std::string_view chunk) {
  std::string out;
  size_t pos = 0;
  while (pos < chunk.size()) {
    const size_t flagAt = out.size();
    out.push_back('\0');
    uint8_t flags = 0;
    for (int bit = 0; bit < 8 && pos < chunk.size(); ++bit) {
      unsigned offsetBits = 4;
      while ((size_t{1} << offsetBits) < pos) ++offsetBits;
      const size_t maxLength = (0xFFFFu >> offsetBits) + 3;
      size_t bestLength = 0, bestDistance = 0;
      for (size_t d = 1; d <= pos && d <= (size_t{1} << offsetBits); ++d) {
        size_t n = 0;
        while (n < maxLength && pos + n < chunk.size() && chunk[pos + n] == chunk[pos + n - d]) ++n;
        if (n > bestLength) {
          bestLength = n;
          bestDistance = d;
        }
      }
      if (bestLength >= 3) {
        flags |= static_cast<uint8_t>(1 << bit);
        Put16(out, static_cast<uint32_t>((bestDistance - 1) << (16 - offsetBits) | (bestLength - 3)));
        pos += bestLength;
      } else {
        out.push_back(chunk[pos++]);
      }
    }
    out[flagAt] = static_cast<char>(flags);
  }
  return out;
}

}  // namespace

std::string VBAProjectBuilder::Compress(std::string_view data, bool storeFullChunks) {
  std::string out(1, '\x01');
  for (size_t at = 0; at < data.size(); at += 4096) {
    const std::string_view chunk = data.substr(at, 4096);
    if (storeFullChunks && chunk.size() == 4096) {
      Put16(out, 0x3FFF);
      out += chunk;
      continue;
    }
    const std::string body = CompressChunk(chunk);
    Put16(out, static_cast<uint32_t>(0xB000 | (body.size() + 2 - 3)));
    out += body;
  }
  return out;
}

std::string VBAProjectBuilder::ModuleStream(const Module& m) const {
  return std::string(m.pcodeSize, '\xCC') + Compress(m.source, m.storedChunks);
}

std::string VBAProjectBuilder::CacheStream() const {
  std::string s(34, '\0');
  bool second = false;
  for (const auto& r : references_) {
    const std::string bytes = Utf16(r);
    Put16(s, static_cast<uint32_t>(bytes.size()));
    s += bytes;
    const std::u16string_view head = std::u16string_view(r).substr(0, 3);
    if (head == u"*\\G" || head == u"*\\H") {
      s += std::string(12, '\x7F');
    } else if (head == u"*\\C" || head == u"*\\D") {
      if (second) s += std::string(12, '\x7F');
      second = !second;
    }
  }
  // The reference list ends at a length below 6; that word is the first of the 132 skipped bytes.
  s += std::string(132, '\0');
  Put16(s, cacheModules_ ? static_cast<uint32_t>(modules_.size()) : 0);
  if (!cacheModules_) return s;
  for (const auto& m : modules_) {
    const std::string name = Utf16(std::string_view(m.name));
    Put16(s, static_cast<uint32_t>(name.size()));
    s += name;
    Put16(s, static_cast<uint32_t>(name.size()));
    s += name;
    Put16(s, 4);  // W: W + 2 bytes follow
    s += std::string(6, '\x55');
    s += std::string(8, '\x66');
    s.push_back('\x02');  // N: N * 8 + 6 bytes follow
    s += std::string(2 * 8 + 6, '\x77');
    Put32(s, m.cacheOffset >= 0 ? static_cast<uint32_t>(m.cacheOffset) : SourceOffset(m));
    Put16(s, 0);
  }
  return s;
}

std::string VBAProjectBuilder::DirStream() const {
  std::string s;
  Record(s, 0x0001, std::string("\x01\x00\x00\x00", 4));
  std::string cp;
  Put16(cp, codePage_);
  Record(s, 0x0003, cp);
  Record(s, 0x0004, "Project");
  // The version record's size field says 4, yet 6 bytes follow.
  Put16(s, 0x0009);
  Put32(s, 4);
  s += std::string("\x01\x02\x03\x04\x05\x06", 6);
  std::string count;
  Put16(count, static_cast<uint32_t>(modules_.size()));
  Record(s, 0x000F, count);
  Record(s, 0x0013, std::string("\xFF\xFF", 2));
  for (const auto& m : modules_) {
    const std::string stream = m.streamName.empty() ? m.name : m.streamName;
    Record(s, 0x0019, m.name);
    Record(s, 0x0047, Utf16(std::string_view(m.name)));
    Record(s, 0x001A, stream);
    Record(s, 0x0032, Utf16(std::string_view(stream)));
    Record(s, 0x001C, "");
    Record(s, 0x0048, "");
    std::string off;
    Put32(off, m.dirOffset >= 0 ? static_cast<uint32_t>(m.dirOffset) : SourceOffset(m));
    Record(s, 0x0031, off);
    Record(s, 0x001E, std::string(4, '\0'));
    Record(s, 0x002C, std::string("\xFF\xFF", 2));
    Record(s, 0x0021, "");
    Record(s, 0x002B, "");
  }
  Record(s, 0x0010, "");
  return s;
}

void VBAProjectBuilder::AddTo(CompoundFileBuilder& b, std::string_view storage) const {
  const std::string base(storage);
  std::string project = "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\n";
  for (const auto& m : modules_) project += "Module=" + m.name + "\r\n";
  b.Stream(base + "/PROJECT", project);
  b.Stream(base + "/VBA/_VBA_PROJECT", CacheStream());
  if (dir_) b.Stream(base + "/VBA/dir", Compress(DirStream()));
  for (const auto& m : modules_) b.Stream(base + "/VBA/" + (m.streamName.empty() ? m.name : m.streamName), ModuleStream(m));
}

}  // namespace zvword::test
