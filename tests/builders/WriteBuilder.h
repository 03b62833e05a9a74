// Builds Windows Write documents in memory: header page, text, character and paragraph run pages
// and a font table.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zvword::test {

class WriteBuilder {
 public:
  struct Chars {
    bool bold = false, italic = false, underline = false;
    uint8_t font = 0;
    uint8_t halfPoints = 24;
    uint8_t position = 0;  // 0 normal, 1-127 subscript, 128+ superscript
  };
  // A run of text in the current paragraph.
  WriteBuilder& Run(std::string_view text, Chars chars);
  WriteBuilder& Run(std::string_view text);
  // Ends the paragraph with CR LF; flags is paragraph property byte 16 (0x10 picture, 0x06 running head).
  WriteBuilder& EndParagraph(uint8_t flags = 0);
  WriteBuilder& FontName(std::string_view name, uint8_t family = 0x10) {
    fonts_.push_back({family, std::string(name)});
    return *this;
  }
  // Writes a wrong first offset on the first paragraph page.
  WriteBuilder& BadParagraphPage() { badPara_ = true; return *this; }

  std::string Build() const;

 private:
  struct RunItem {
    uint32_t limit;
    Chars chars;
  };
  struct ParaItem {
    uint32_t limit;
    uint8_t flags;
  };
  std::string text_;
  std::vector<RunItem> runs_;
  std::vector<ParaItem> paras_;
  struct Font {
    uint8_t family;
    std::string name;
  };
  std::vector<Font> fonts_;
  bool badPara_ = false;
};

}  // namespace zvword::test
