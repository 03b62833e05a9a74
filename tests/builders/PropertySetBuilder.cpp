#include "builders/PropertySetBuilder.h"

namespace zvword::test {

namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

std::string Typed(uint32_t type, std::string data) {
  std::string out;
  Put32(out, type);
  out += data;
  while (out.size() % 4) out.push_back('\0');
  return out;
}

}  // namespace

PropertySetBuilder& PropertySetBuilder::Int(uint32_t id, int32_t v, uint32_t type) {
  std::string d;
  Put32(d, static_cast<uint32_t>(v));
  props_.push_back({id, Typed(type, d)});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::I2(uint32_t id, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  props_.push_back({id, Typed(2, std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)})});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::Str(uint32_t id, std::string_view bytes, bool withZero) {
  std::string d;
  std::string text(bytes);
  if (withZero) text.push_back('\0');
  Put32(d, static_cast<uint32_t>(text.size()));
  props_.push_back({id, Typed(30, d + text)});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::WStr(uint32_t id, std::u16string_view s) {
  std::string d;
  Put32(d, static_cast<uint32_t>(s.size() + 1));
  for (char16_t c : s) {
    d.push_back(static_cast<char>(c & 0xFF));
    d.push_back(static_cast<char>(c >> 8));
  }
  d += std::string(2, '\0');
  props_.push_back({id, Typed(31, d)});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::FileTime(uint32_t id, uint64_t ft) {
  std::string d;
  Put32(d, static_cast<uint32_t>(ft));
  Put32(d, static_cast<uint32_t>(ft >> 32));
  props_.push_back({id, Typed(64, d)});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::Raw(uint32_t id, uint32_t type, std::string_view bytes) {
  props_.push_back({id, Typed(type, std::string(bytes))});
  return *this;
}

PropertySetBuilder& PropertySetBuilder::Offset(size_t i, uint32_t offset) {
  props_.at(i).offsetSet = true;
  props_.at(i).offset = offset;
  return *this;
}

std::string PropertySetBuilder::Build() const {
  std::string out;
  out += std::string("\xFE\xFF\x00\x00", 4);  // byte order, version
  Put32(out, 0x00020005);                // system id
  out += std::string(16, '\0');          // class id
  Put32(out, 1);                         // one section
  out += std::string(16, '\x11');        // format id
  Put32(out, section_);
  std::string body;
  std::string values;
  const auto table = static_cast<uint32_t>(8 + 8 * props_.size());
  std::string entries;
  for (const Prop& p : props_) {
    Put32(entries, p.id);
    Put32(entries, p.offsetSet ? p.offset : table + static_cast<uint32_t>(values.size()));
    values += p.value;
  }
  Put32(body, table + static_cast<uint32_t>(values.size()));
  Put32(body, countSet_ ? count_ : static_cast<uint32_t>(props_.size()));
  body += entries + values;
  return out + body;
}

}  // namespace zvword::test
