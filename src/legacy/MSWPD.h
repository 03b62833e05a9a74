// Reader of WordPerfect documents: WordPerfect 6-9 (header major version 2) and 5.0/5.1 (major
// version 0), bare or as the "PerfectOffice_MAIN" stream of a compound file.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/TextSink.h"

namespace zvword {

class IStorage;
class TByteReader;

// The 16-byte prefix of every WordPerfect 5+ file, and the 8 bytes that follow it in 6+.
struct TWPDFileHeader {
  uint8_t Ident[4] = {};
  uint32_t DocumentPointerPosition = 0;
  uint8_t ProductID = 0;
  uint8_t FileType = 0;
  uint8_t MajorVersion = 0;
  uint8_t MinorVersion = 0;
  uint16_t EncryptionPosition = 0;
  uint16_t IndexHeaderPosition = 0;
  uint32_t Reserved = 0;
  int32_t DocumentEnd = 0;
};

struct TWPDIndexItem {
  uint8_t Flags = 0;
  uint8_t PacketType = 0;
  uint16_t UseCount = 0;
  uint16_t HiddenCount = 0;
  uint32_t DataPacketSize = 0;
  uint32_t DataPointer = 0;
};

struct TWPDHeaderPacket {
  uint16_t PID = 0;
  uint8_t PacketType = 0;
  uint32_t PacketPosition = 0;
  bool HasChildren = false;
};
using THeaderPacketList = std::vector<std::unique_ptr<TWPDHeaderPacket>>;

struct TWPDFontDescriptor {
  uint16_t PacketID = 0;
  uint16_t CharacterWidth = 0;
  uint16_t AscenderHeight = 0;
  uint16_t xHeight = 0;
  uint16_t DescenderHeight = 0;
  uint16_t ItalicsAdjust = 0;
  uint8_t PrimaryFamilyId = 0;
  uint8_t PrimaryFamilyMemberId = 0;
  uint8_t ScriptingSystem = 0;
  uint8_t PrimaryCharacterSet = 0;
  uint8_t Width = 0;
  uint8_t Weight = 0;
  uint8_t Attributes = 0;
  uint8_t GeneralCharacteristics = 0;
  uint8_t Classification = 0;
  uint8_t FillByte = 0;
  uint8_t FontType = 0;
  uint8_t FontSourceFileType = 0;
  WideString FontName;
};
using TWPDFontDescriptorList = std::vector<std::unique_ptr<TWPDFontDescriptor>>;

// The text of a WordPerfect character-set entry in the 6+ or the 5.x numbering: one character,
// a letter and its combining mark, or a surrogate pair; empty when the set or the entry is not
// known.
std::u16string_view WPCharToUnicode(uint8_t Set, uint8_t Number, bool Version5);
// A WordPerfect 6+ one-byte character (0x01-0x1F), or 0 when not known.
char16_t WPOneByteToUnicode(uint8_t Code);

class ZVWORD_API TWordPerfectFile : public TMSWBaseDocument {
 public:
  explicit TWordPerfectFile(TComponent* AOwner = nullptr);
  ~TWordPerfectFile() override;

  void ClearInternalLists() override;
  bool IsPasswordProtected() override;
  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;
  void LoadIStorage(IStorage& Storage);
  void ReadDocFromStream(TStream& Stream);

  // True for a WordPerfect 5+ file, a compound file holding one, or a WordPerfect 4.2 file.
  static bool IsWordPerfectData(std::string_view Data);
  // WordPerfect 4.2 has no header: its files start with formatting functions, each closed by
  // its own code.
  static bool IsWordPerfect42Data(std::string_view Data);

  const TWPDFileHeader& Header() const { return FHeader; }
  const THeaderPacketList& HeaderPacketList() const { return FHeaderPacketList; }
  const TWPDFontDescriptorList& FontDescriptorList() const { return FFontDescriptorList; }
  TWideStrings* FootNoteText() const { return FFootnotes.get(); }
  TWideStrings* EndNoteText() const { return FEndnotes.get(); }
  TWideStrings* HeaderText() const { return FHeaders.get(); }
  TWideStrings* FooterText() const { return FFooters.get(); }

  std::vector<std::pair<std::string, TWideStrings*>> Lists() const override {
    return {{"footnotes", FootNoteText()}, {"headers", HeaderText()}, {"footers", FooterText()},
            {"endnotes", EndNoteText()}};
  }

 private:
  void ReadIndex(const TByteReader& File);
  void ParseFontDescriptor(const TByteReader& File, uint16_t PID, uint32_t Size, uint32_t Position);
  enum TSubDocKind : uint8_t { sdFootnote, sdHeader, sdFooter, sdEndnote, sdKinds };
  // A note, header or footer met in the body: its text's place in the file, read once the body is done.
  struct TSubDocument {
    TSubDocKind Kind;
    uint64_t Position, Size;
  };
  void SubDocumentPIDs6(const TByteReader& F, TSubDocKind Kind);
  void SubDocument(TSubDocKind Kind, const TByteReader& Text);
  void ReadSubDocuments(const TByteReader& File, bool WP6);
  void ReadText6(TByteReader& R);
  void ReadText5(TByteReader& R);
  // False when the 4.2 file held no text at all.
  bool ReadText42(TByteReader& R);
  // Handles the function at R's position (its code already read); leaves R after the function.
  void ProcessSysCharacter(TByteReader& R, uint8_t Code);
  void ProcessSysCharacter5(TByteReader& R, uint8_t Code);
  void ExtendedCharacter(uint8_t Number, uint8_t Set);
  void Attribute(uint8_t Number, bool On);
  void FontSize(uint32_t PointSize, uint16_t FontNumber);
  void Justify(uint8_t Value);
  void CloseJustify();
  void CloseOpenElements();

  TWPDFileHeader FHeader;
  THeaderPacketList FHeaderPacketList;
  TWPDFontDescriptorList FFontDescriptorList;
  bool FParagraphChanged = false;
  bool FUndoOn = false;
  bool FFontChanged = false;
  WideString FFontTag;  // the open font element, reopened inside a new justification block
  bool FJustifyOpen = false;
  bool FInSubDocument = false;
  std::string_view FFileData;  // the file being read
  // Sub-document packets of the index by PID: their position and size.
  std::map<uint16_t, std::pair<uint32_t, uint32_t>> FSubDocPackets;
  std::vector<TSubDocument> FSubDocuments;
  std::unique_ptr<TWideStrings> FFootnotes, FEndnotes, FHeaders, FFooters;
  TTextSink FSink;
};

}  // namespace zvword
