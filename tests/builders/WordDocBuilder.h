// Builds Word binary documents in code: the WordDocument stream (FIB and text) and the table
// stream (piece table) for Word 97, Word 6/95 and Word 2 layouts.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zvword::test {

enum class WordStory { Main, Footnotes, Headers, Macros, Annotations, Endnotes, TextBoxes, HeaderTextBoxes };

class WordDocBuilder {
 public:
  enum class Layout { Word2, Word6, Word97 };

  explicit WordDocBuilder(Layout layout = Layout::Word97);

  // Appends a piece to a story. 8-bit pieces take the low byte of each character (keep to
  // ASCII and Latin-1 for them); Word 6 and Word 2 documents store every piece as 8-bit.
  WordDocBuilder& Piece(const std::u16string& text, bool eightBit = false, WordStory story = WordStory::Main);
  WordDocBuilder& Story(WordStory story, const std::u16string& text, bool eightBit = false) {
    return Piece(text, eightBit, story);
  }

  WordDocBuilder& FibNumber(uint16_t nFib) { nFib_ = nFib; return *this; }
  WordDocBuilder& Ident(uint16_t ident) { ident_ = ident; return *this; }
  WordDocBuilder& Language(uint16_t lid) { lid_ = lid; return *this; }
  WordDocBuilder& FarEastLanguage(uint16_t lidFE) { lidFE_ = lidFE; farEast_ = true; return *this; }
  WordDocBuilder& Encrypted(bool on = true) { encrypted_ = on; return *this; }
  // Lays the pieces out in the stream in reverse order, as fast saves leave them.
  WordDocBuilder& Scattered(bool on = true) { scattered_ = on; return *this; }
  // Property-modifier entries written before the piece descriptors.
  WordDocBuilder& GrpprlEntries(int count, uint16_t size = 6) { grpprls_ = count; grpprlSize_ = size; return *this; }
  // Keeps the piece table in "0Table" (the FIB bit for "1Table" clear).
  WordDocBuilder& UseTable0(bool on = true) { table0_ = on; return *this; }
  // Writes a damaged piece table: its length field claims this many bytes.
  WordDocBuilder& ClxLengthOverride(uint32_t lcb) { lcbOverride_ = lcb; hasLcbOverride_ = true; return *this; }
  // Moves the first piece's file offset this many bytes (past the stream for a large value).
  WordDocBuilder& FirstPieceOffsetShift(uint32_t shift) { pieceShift_ = shift; return *this; }

  // Adds `count` pieces to the main text that read the first piece's bytes again.
  WordDocBuilder& Replays(int count) { replays_ = count; return *this; }
  // Replaces character position i of the piece table.
  WordDocBuilder& Position(size_t i, uint32_t cp) { positions_.emplace_back(i, cp); return *this; }

  // Formatting tables (Word 97 lists and paragraphs, notes in both; fonts in Word 6).
  struct ListLevel {
    uint8_t nfc = 0;
    int32_t startAt = 1;
    std::u16string text;  // characters 0 to 8 stand for those levels' numbers
    uint8_t follow = 0;   // 0 tab, 1 space, 2 nothing
    bool legal = false;
  };
  // A list of up to nine levels (the rest decimal "%n."); returns its index.
  size_t List(const std::vector<ListLevel>& levels);
  // An override naming list `list`, with start-at values per level (-1: none); returns its
  // 1-based number, the one paragraphs name.
  uint16_t Override(size_t list, std::vector<int32_t> startAt = {});
  // The main-text paragraph whose mark is character `markCP` is in list override ilfo at ilvl.
  WordDocBuilder& ParagraphList(uint32_t markCP, uint16_t ilfo, uint8_t ilvl);
  // A note cited at refCP whose text starts at textCP of its story; auto: numbered by Word.
  WordDocBuilder& Note(WordStory story, uint32_t refCP, uint32_t textCP, bool autoNumbered = true);
  // Number formats of the notes in the document properties.
  WordDocBuilder& NoteFormats(uint8_t footnoteNfc, uint8_t endnoteNfc) { ftnNfc_ = footnoteNfc; ednNfc_ = endnoteNfc; hasDop_ = true; return *this; }
  // Word 6: a font of this character set; returns its index.
  uint16_t Font(uint8_t charset) { fonts_.push_back(charset); return static_cast<uint16_t>(fonts_.size() - 1); }
  // Word 6: main-text characters [from, to) are in font ftc.
  WordDocBuilder& FontRun(uint32_t from, uint32_t to, uint16_t ftc) { fontRuns_.push_back({from, to, ftc}); return *this; }
  // Word 6: the bin table lists no page; the FIB's first page and count name it.
  WordDocBuilder& FontPageUnlisted(bool on = true) { fontPageUnlisted_ = on; return *this; }

  std::string WordDocument() const;
  std::string Table() const;
  // "1Table" or "0Table".
  std::u16string TableName() const { return table0_ ? u"0Table" : u"1Table"; }

 private:
  struct PieceData {
    std::u16string text;
    bool eightBit;
    WordStory story;
  };
  void Build(std::string& doc, std::string& table) const;

  Layout layout_;
  uint16_t ident_;
  uint16_t nFib_;
  uint16_t lid_ = 0x0409;
  uint16_t lidFE_ = 0;
  bool farEast_ = false;
  bool encrypted_ = false;
  bool scattered_ = false;
  bool table0_ = false;
  int grpprls_ = 0;
  uint16_t grpprlSize_ = 6;
  uint32_t lcbOverride_ = 0;
  bool hasLcbOverride_ = false;
  uint32_t pieceShift_ = 0;
  int replays_ = 0;
  std::vector<std::pair<size_t, uint32_t>> positions_;
  std::vector<PieceData> pieces_;
  std::vector<std::vector<ListLevel>> lists_;
  std::vector<std::pair<size_t, std::vector<int32_t>>> overrides_;
  struct ParaList {
    uint32_t cp;
    uint16_t ilfo;
    uint8_t ilvl;
  };
  std::vector<ParaList> paraLists_;
  struct NoteData {
    WordStory story;
    uint32_t refCP, textCP;
    bool autoNumbered;
  };
  std::vector<NoteData> notes_;
  uint8_t ftnNfc_ = 0, ednNfc_ = 2;
  bool hasDop_ = false;
  std::vector<uint8_t> fonts_;
  struct FontRunData {
    uint32_t from, to;
    uint16_t ftc;
  };
  std::vector<FontRunData> fontRuns_;
  bool fontPageUnlisted_ = false;
};

// Little-endian writers shared by the builders.
void PutU16(std::string& b, size_t off, uint16_t v);
void PutU32(std::string& b, size_t off, uint32_t v);

}  // namespace zvword::test
