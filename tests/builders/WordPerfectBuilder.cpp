#include "builders/WordPerfectBuilder.h"

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

}  // namespace

WordPerfectBuilder& WordPerfectBuilder::Font(std::string_view name, uint8_t packetType) {
  std::string d;
  for (int i = 0; i < 5; ++i) Put16(d, 100 + i);   // widths and heights
  for (int i = 0; i < 12; ++i) d += static_cast<char>(i);
  Put16(d, static_cast<uint32_t>(name.size()));
  d += name;
  return Packet(packetType, d);
}

WordPerfectBuilder& WordPerfectBuilder::Packet(uint8_t packetType, std::string_view data, bool children) {
  packets_.push_back({packetType, children, std::string(data)});
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Text(std::string_view text) {
  for (char c : text) body_ += c == ' ' && major_ == 2 ? '\x80' : c;
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Function(uint8_t code, uint8_t subgroup, std::string_view data) {
  std::string f;
  f += static_cast<char>(code);
  f += static_cast<char>(subgroup);
  if (major_ == 2) {
    Put16(f, static_cast<uint32_t>(4 + data.size()));
    f += data;
  } else {
    const uint32_t length = static_cast<uint32_t>(data.size() + 4);
    Put16(f, length);
    f += data;
    Put16(f, length);
    f += static_cast<char>(subgroup);
    f += static_cast<char>(code);
  }
  body_ += f;
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Extended(uint8_t number, uint8_t set) {
  const char code = major_ == 2 ? '\xF0' : '\xC0';
  body_ += code;
  body_ += static_cast<char>(number);
  body_ += static_cast<char>(set);
  body_ += code;
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Attribute(uint8_t number, bool on) {
  const char code = major_ == 2 ? (on ? '\xF2' : '\xF3') : (on ? '\xC3' : '\xC4');
  body_ += code;
  body_ += static_cast<char>(number);
  body_ += code;
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Undo(uint8_t type) {
  body_ += '\xF1';
  body_ += static_cast<char>(type);
  Put16(body_, 0);
  body_ += '\xF1';
  return *this;
}

WordPerfectBuilder& WordPerfectBuilder::SubDocument(std::string_view text) {
  std::string d("\x01\x00", 2);
  Put32(d, 10);  // the text's offset in the packet
  Put32(d, static_cast<uint32_t>(text.size()));
  return Packet(0x08, d + std::string(text));
}

WordPerfectBuilder& WordPerfectBuilder::Cite(uint8_t code, uint8_t subgroup, uint16_t pid) {
  std::string d("\x80\x01", 2);  // flags: prefix IDs follow; one of them
  Put16(d, pid);
  return Function(code, subgroup, d);
}

WordPerfectBuilder& WordPerfectBuilder::Note(std::string_view text, bool endnote, uint8_t code) {
  std::string d;
  d += endnote && code == 0xE2 ? '\x02' : '\x00';
  Put16(d, 1);  // the note's number
  if (code == 0xD6 && endnote) {
    d += std::string(4, 'x');  // layout bytes, printable so that reading them shows
  } else {
    d += '\x01';  // one line count, two bytes
    Put16(d, 0);
    if (code == 0xD6) d += std::string(11, 'x');
  }
  return Function(code, code == 0xD6 && endnote ? 1 : 0, d + std::string(text));
}

WordPerfectBuilder& WordPerfectBuilder::HeaderFooter5(uint8_t subgroup, std::string_view text) {
  return Function(0xD5, subgroup, std::string(18, '\0') + std::string(text));
}

std::string WordPerfectBuilder::Build() const {
  const bool wp6 = major_ == 2;
  const size_t headerSize = wp6 ? 24 : 16;
  // The index: a header item (count at +2), then 14-byte items, then the packets' data.
  std::string index;
  if (wp6 && !packets_.empty()) {
    const size_t count = packets_.size() + 1;
    const size_t dataStart = headerSize + 14 * count;
    std::string items, data;
    for (const auto& p : packets_) {
      items += static_cast<char>(p.children ? 1 : 0);
      items += static_cast<char>(p.type);
      Put16(items, 1);
      Put16(items, 0);
      Put32(items, static_cast<uint32_t>(p.data.size()));
      Put32(items, static_cast<uint32_t>(dataStart + data.size()));
      data += p.data;
    }
    index += '\x02';
    index += '\x00';
    Put16(index, static_cast<uint32_t>(count));
    index += std::string(10, '\0');
    index += items + data;
  }
  const uint32_t docPointer = static_cast<uint32_t>(headerSize + index.size());
  std::string out = ident_;
  Put32(out, docPointer);
  out += '\x01';  // product
  out += '\x0A';  // file type: document
  out += static_cast<char>(major_);
  out += '\x00';
  Put16(out, encryption_);
  if (wp6) {
    Put16(out, index.empty() ? 0 : static_cast<uint32_t>(headerSize));
    Put32(out, 0);
    Put32(out, hasEnd_ ? static_cast<uint32_t>(documentEnd_) : static_cast<uint32_t>(docPointer + body_.size()));
  } else {
    Put16(out, 0);
  }
  return out + index + body_;
}

}  // namespace zvword::test
