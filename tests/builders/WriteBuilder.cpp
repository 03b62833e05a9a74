#include "builders/WriteBuilder.h"

namespace zvword::test {
namespace {

constexpr size_t kPage = 128;
constexpr size_t kPerPage = 4;  // run entries per page: room for their property blocks

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
void Pad(std::string& s) { s.resize((s.size() + kPage - 1) / kPage * kPage, '\0'); }

// Run pages for entries (limit, property block); first offset 128.
template <class Items, class Block>
std::string RunPages(const Items& items, Block block, uint32_t first) {
  std::string out;
  for (size_t i = 0; i < items.size(); i += kPerPage) {
    std::string page(kPage, '\0');
    Put32(page, 0, i == 0 ? first : items[i - 1].limit);
    size_t blockAt = 4 + 6 * kPerPage;
    size_t n = 0;
    for (size_t k = i; k < items.size() && k < i + kPerPage; ++k, ++n) {
      const std::string b = block(items[k]);
      Put32(page, 4 + 6 * n, items[k].limit);
      Put16(page, 8 + 6 * n, static_cast<uint32_t>(blockAt - 4));
      page.replace(blockAt, b.size(), b);
      blockAt += b.size();
    }
    page[127] = static_cast<char>(n);
    out += page;
  }
  return out;
}

}  // namespace

WriteBuilder& WriteBuilder::Run(std::string_view text, Chars chars) {
  text_ += text;
  runs_.push_back({static_cast<uint32_t>(kPage + text_.size()), chars});
  return *this;
}

WriteBuilder& WriteBuilder::Run(std::string_view text) { return Run(text, Chars()); }

WriteBuilder& WriteBuilder::EndParagraph(uint8_t flags) {
  text_ += "\r\n";
  if (!runs_.empty()) runs_.back().limit = static_cast<uint32_t>(kPage + text_.size());
  paras_.push_back({static_cast<uint32_t>(kPage + text_.size()), flags});
  return *this;
}

std::string WriteBuilder::Build() const {
  std::string out(kPage, '\0');
  Put16(out, 0, 0xBE31);
  Put16(out, 4, 0xAB00);
  const uint32_t fcMac = static_cast<uint32_t>(kPage + text_.size());
  Put32(out, 14, fcMac);
  out += text_;
  Pad(out);
  out += RunPages(runs_, [](const RunItem& r) {
    std::string b(7, '\0');
    b[0] = 6;
    b[1] = 1;
    b[2] = static_cast<char>((r.chars.bold ? 1 : 0) | (r.chars.italic ? 2 : 0) | ((r.chars.font & 0x3F) << 2));
    b[3] = static_cast<char>(r.chars.halfPoints);
    b[4] = static_cast<char>(r.chars.underline ? 1 : 0);
    b[5] = static_cast<char>(r.chars.font >> 6);
    b[6] = static_cast<char>(r.chars.position);
    return b;
  }, kPage);
  const size_t pnPara = out.size() / kPage;
  out += RunPages(paras_, [](const ParaItem& p) {
    std::string b(18, '\0');
    b[0] = 17;
    b[1] = 61;
    b[17] = static_cast<char>(p.flags);
    return b;
  }, kPage);
  if (badPara_) Put32(out, pnPara * kPage, 200);
  const size_t pnFfntb = out.size() / kPage;
  std::string table(2, '\0');
  Put16(table, 0, static_cast<uint32_t>(fonts_.size()));
  for (const auto& f : fonts_) {
    std::string e(2, '\0');
    Put16(e, 0, static_cast<uint32_t>(f.name.size() + 2));
    e += static_cast<char>(f.family);
    e += f.name;
    e += '\0';
    table += e;
  }
  if (!fonts_.empty()) {
    out += table;
    Pad(out);
  }
  const size_t pnMac = out.size() / kPage;
  Put16(out, 18, static_cast<uint32_t>(pnPara));
  Put16(out, 20, static_cast<uint32_t>(pnFfntb));
  Put16(out, 22, static_cast<uint32_t>(pnFfntb));
  Put16(out, 24, static_cast<uint32_t>(pnFfntb));
  Put16(out, 26, static_cast<uint32_t>(pnFfntb));
  Put16(out, 28, static_cast<uint32_t>(fonts_.empty() ? pnMac : pnFfntb));
  Put16(out, 96, static_cast<uint32_t>(pnMac));
  return out;
}

}  // namespace zvword::test
