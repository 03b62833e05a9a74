// Builds WordPerfect 6+ and 5.x documents in memory: a header, an optional index of packets
// (font descriptors) and the document area, written function by function.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zvword::test {

class WordPerfectBuilder {
 public:
  // Major version 2 (WordPerfect 6+) or 0 (5.x).
  explicit WordPerfectBuilder(uint8_t majorVersion = 2) : major_(majorVersion) {}

  WordPerfectBuilder& Encrypted(uint16_t key = 1) { encryption_ = key; return *this; }
  WordPerfectBuilder& Ident(std::string_view four) { ident_ = std::string(four); return *this; }
  // Overrides the header's document end (6+ only); by default the end of the document area.
  WordPerfectBuilder& DocumentEnd(int32_t end) { documentEnd_ = end; hasEnd_ = true; return *this; }
  // A font descriptor packet in the index (6+ only).
  WordPerfectBuilder& Font(std::string_view name, uint8_t packetType = 0x55);
  // A packet of another type in the index.
  WordPerfectBuilder& Packet(uint8_t packetType, std::string_view data, bool children = false);

  // Text bytes as they are (the caller uses 0x80 for spaces in 6+).
  WordPerfectBuilder& Raw(std::string_view bytes) { body_ += bytes; return *this; }
  WordPerfectBuilder& Byte(uint8_t b) { body_ += static_cast<char>(b); return *this; }
  // Words separated by the version's space (0x80 in 6+, 0x20 in 5.x).
  WordPerfectBuilder& Text(std::string_view text);
  // A variable-length function: 6+ counts the whole function in its size, 5.x repeats the
  // length, subgroup and code at its end.
  WordPerfectBuilder& Function(uint8_t code, uint8_t subgroup, std::string_view data = {});
  // An extended character: 0xF0 (6+) or 0xC0 (5.x), number, set, the closing code.
  WordPerfectBuilder& Extended(uint8_t number, uint8_t set);
  // Attribute on/off: 0xF2/0xF3 (6+) or 0xC3/0xC4 (5.x).
  WordPerfectBuilder& Attribute(uint8_t number, bool on);
  WordPerfectBuilder& Undo(uint8_t type);  // 6+ only
  // 6+: a sub-document packet holding text bytes (its PID is the packet count so far), and a
  // function citing a packet by PID (0xD6 headers/footers, 0xD7 notes).
  WordPerfectBuilder& SubDocument(std::string_view text);
  WordPerfectBuilder& Cite(uint8_t code, uint8_t subgroup, uint16_t pid);
  // 5.x: a footnote or endnote function holding its text bytes: 0xE2 says the kind in its
  // flags, the 0xD6 group in its subgroup.
  WordPerfectBuilder& Note(std::string_view text, bool endnote = false, uint8_t code = 0xE2);
  // 5.x: a header (subgroups 0, 1) or footer (2, 3) function holding its text bytes.
  WordPerfectBuilder& HeaderFooter5(uint8_t subgroup, std::string_view text);

  std::string Build() const;

 private:
  uint8_t major_;
  uint16_t encryption_ = 0;
  std::string ident_ = "\xFFWPC";
  int32_t documentEnd_ = 0;
  bool hasEnd_ = false;
  struct Item {
    uint8_t type;
    bool children;
    std::string data;
  };
  std::vector<Item> packets_;
  std::string body_;
};

}  // namespace zvword::test
