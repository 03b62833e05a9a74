#include "builders/PalmDocBuilder.h"

#include <algorithm>

namespace zvword::test {
namespace {

void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v >> 8);
  s[at + 1] = static_cast<char>(v & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) s[at + static_cast<size_t>(k)] = static_cast<char>(v >> (24 - 8 * k));
}

}  // namespace

std::string PalmDocBuilder::Compress(std::string_view text) {
  std::string out;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    // Longest earlier match of 3 to 10 bytes within 2047 bytes.
    size_t bestLen = 0, bestDist = 0;
    for (size_t d = 1; d <= std::min<size_t>(i, 2047); ++d) {
      size_t len = 0;
      while (len < 10 && i + len < n && p[i + len] == p[i - d + len]) ++len;
      if (len > bestLen) bestLen = len, bestDist = d;
    }
    if (bestLen >= 3) {
      const unsigned w = 0x8000 | static_cast<unsigned>(bestDist << 3) | static_cast<unsigned>(bestLen - 3);
      out += static_cast<char>(w >> 8);
      out += static_cast<char>(w & 0xFF);
      i += bestLen;
    } else if (p[i] == ' ' && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] <= 0x7F) {
      out += static_cast<char>(p[i + 1] ^ 0x80);
      i += 2;
    } else if (p[i] >= 0x09 && p[i] <= 0x7F) {
      out += static_cast<char>(p[i++]);
    } else {
      // Bytes that would read as commands travel in a literal run.
      size_t run = 0;
      while (run < 8 && i + run < n && (p[i + run] < 0x09 || p[i + run] >= 0x80)) ++run;
      out += static_cast<char>(run);
      out.append(text.substr(i, run));
      i += run;
    }
  }
  return out;
}

PalmDocBuilder& PalmDocBuilder::Record(std::string_view text) {
  records_.push_back(compression_ == 2 ? Compress(text) : std::string(text));
  return *this;
}

PalmDocBuilder& PalmDocBuilder::RawRecord(std::string_view bytes) {
  records_.emplace_back(bytes);
  return *this;
}

PalmDocBuilder& PalmDocBuilder::Text(std::string_view text, size_t size) {
  for (size_t at = 0; at < text.size(); at += size) Record(text.substr(at, size));
  return *this;
}

PalmDocBuilder& PalmDocBuilder::Offset(size_t i, uint32_t offset) {
  offsets_.emplace_back(i, offset);
  return *this;
}

std::string PalmDocBuilder::Build() const {
  const size_t count = records_.size() + 1;
  std::string header(78, '\0');
  header.replace(0, 9, "test book");
  header.replace(60, 8, !typeCreator_.empty() ? typeCreator_ : peanut_ ? "PNRDPPRS" : "TEXtREAd");
  Put16(header, 76, numRecords_.value_or(static_cast<uint16_t>(count)));

  std::string rec0;
  size_t textBytes = 0;
  for (const auto& r : records_) textBytes += r.size();
  if (peanut_) {
    rec0.assign(116, '\0');
    Put16(rec0, 0, compression_);
    Put16(rec0, 8, peanutNumRecords_.value_or(static_cast<uint16_t>(count)));
  } else {
    rec0.assign(16, '\0');
    Put16(rec0, 0, compression_);
    Put32(rec0, 4, static_cast<uint32_t>(textBytes));
    Put16(rec0, 8, static_cast<uint16_t>(records_.size()));
    Put16(rec0, 10, recSize_);
  }
  std::vector<std::string> body = {rec0};
  for (const auto& r : records_) {
    std::string b = r;
    if (peanut_)
      for (char& c : b) c = static_cast<char>(c ^ 0xA5);
    body.push_back(b);
  }
  std::string list(8 * count, '\0');
  uint32_t pos = static_cast<uint32_t>(78 + list.size() + 2);
  for (size_t i = 0; i < count; ++i) {
    Put32(list, 8 * i, pos);
    pos += static_cast<uint32_t>(body[i].size());
  }
  for (const auto& [i, off] : offsets_)
    if (i < count) Put32(list, 8 * i, off);
  std::string out = header + list + std::string(2, '\0');
  for (const auto& b : body) out += b;
  return out;
}

}  // namespace zvword::test
