// Tokens and objects of PDF syntax, shared by the file-structure and content-stream readers.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "pdf/ZvWPDF.h"
#include "platform/TextHelpers.h"

namespace zvword::pdfsyntax {

// Character classes by table: the lexer asks for every byte of every content stream.
inline constexpr std::array<uint8_t, 256> kCharClass = [] {
  std::array<uint8_t, 256> t{};
  for (int c : {0, 9, 10, 12, 13, 32}) t[static_cast<size_t>(c)] = 1;
  for (char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) t[static_cast<uint8_t>(c)] = 2;
  return t;
}();
inline bool IsWhite(uint8_t c) { return kCharClass[c] == 1; }
inline bool IsDelim(uint8_t c) { return kCharClass[c] == 2; }
inline bool IsRegular(uint8_t c) { return kCharClass[c] == 0; }

class TLexer {
 public:
  explicit TLexer(std::string_view data, size_t pos = 0) : FData(data), FPos(pos) {}
  size_t Pos() const { return FPos; }
  void SetPos(size_t p) { FPos = p < FData.size() ? p : FData.size(); }
  bool AtEnd() const { return FPos >= FData.size(); }
  std::string_view Data() const { return FData; }

  // Skips white space and comments.
  void SkipWhite();
  // Parses one object. References ("N G R") are recognised when AllowRefs is set. Returns false
  // at the end of the data or on a keyword, which is then left in Keyword (not consumed when it is
  // a closing delimiter).
  bool ParseObject(TZvPDFObject& Out, bool AllowRefs, std::string_view* Keyword = nullptr, int Depth = 0);
  // Parses the array at the position ('[') into Items[0, Count), reusing the elements Items
  // already holds; elements past Count are left as they are.
  void ParseArrayItems(std::vector<TZvPDFObject>& Items, size_t& Count, bool AllowRefs, int Depth = 0);
  // The byte at the position, or -1 at the end.
  int Peek() const { return FPos < FData.size() ? static_cast<uint8_t>(FData[FPos]) : -1; }
  // The next run of regular characters (a keyword or number), consumed.
  std::string_view ReadRegular();
  // Reads an unsigned decimal integer; false when none.
  bool ReadUInt(int64_t& v);
  // True when the text at the position is the keyword kw followed by a non-regular character.
  bool LooksAt(std::string_view kw) const;

 private:
  void ParseLiteralString(RawByteString& out);
  void ParseHexString(RawByteString& out);
  void ParseName(RawByteString& out);
  void ParseNumber(std::string_view tok, TZvPDFObject& out);
  // Passes over the array or dictionary at the position without building it.
  void SkipContainer();

  std::string_view FData;
  size_t FPos;
};

// The sections of a CMap that text is read from.
enum class TCMapSection { CodeSpace, BFChar, BFRange };
// Hands each codespacerange, bfchar and bfrange section's operands (at most MaxOperands of them)
// to Section at the section's end keyword.
void WalkCMapSections(std::string_view Map, size_t MaxOperands,
                      const std::function<void(TCMapSection, const std::vector<TZvPDFObject>&)>& Section);

// Position of the first occurrence of needle in hay at or after from (npos when none).
size_t Find(std::string_view hay, std::string_view needle, size_t from = 0);

}  // namespace zvword::pdfsyntax
