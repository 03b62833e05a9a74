// The Word readers: the common base of the binary and the XML Word readers, and the reader of
// Word 2, Word 6/95 and Word 97-2003 binary documents (flat or inside a compound file).
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/MSW_Sum.h"
#include "framework/TextSink.h"
#include "word/MSW_Hdr.h"

namespace zvword {

class IStorage;

// What both Word readers own: the sub-document lists, the summary object and the macro items.
class ZVWORD_API TMSCustomWordDocument : public TMSWBaseDocument {
 public:
  explicit TMSCustomWordDocument(TComponent* AOwner = nullptr);
  ~TMSCustomWordDocument() override;

  void ClearInternalLists() override;

  TWideStrings* MacroText() const { return FMacroText.get(); }
  TWideStrings* FootNoteText() const { return FFootNoteText.get(); }
  TWideStrings* HeaderText() const { return FHeaderText.get(); }
  TWideStrings* FooterText() const { return FFooterText.get(); }
  TWideStrings* AnnotationText() const { return FAnnotationText.get(); }
  TWideStrings* EndNoteText() const { return FEndNoteText.get(); }
  TWideStrings* TextBoxText() const { return FTextBoxText.get(); }
  // Text boxes anchored in headers and footers.
  TWideStrings* HeaderTextBoxText() const { return FHeaderTextBoxText.get(); }

  TZvWordSummaryInformation* SummaryInformation() const override { return FSummaryInformation.get(); }
  // Copies the given object's values into the owned one.
  void SetSummaryInformation(const TZvWordSummaryInformation& Value) { FSummaryInformation->Assign(Value); }

  const WideString& VBAProject() const { return FVBAProject; }
  void SetVBAProject(const WideString& Value) { FVBAProject = Value; }
  const WideString& VBAMacroSource() const { return FVBAMacroSource; }
  TVBAProjectItems& VBAProjectItems() { return FVBAProjectItems; }
  const TVBAProjectItems& VBAProjectItems() const { return FVBAProjectItems; }

 private:
  std::unique_ptr<TWideStrings> FMacroText;
  std::unique_ptr<TWideStrings> FFootNoteText;
  std::unique_ptr<TWideStrings> FHeaderText;
  std::unique_ptr<TWideStrings> FFooterText;
  std::unique_ptr<TWideStrings> FAnnotationText;
  std::unique_ptr<TWideStrings> FEndNoteText;
  std::unique_ptr<TWideStrings> FTextBoxText;
  std::unique_ptr<TWideStrings> FHeaderTextBoxText;
  std::unique_ptr<TZvWordSummaryInformation> FSummaryInformation;
  WideString FVBAProject;
  WideString FVBAMacroSource;
  TVBAProjectItems FVBAProjectItems;
};

using TMSWordGetDefaultLanguage = std::function<void(TMSWBaseDocument* Sender, uint16_t& DocLang)>;

// Kind of a piece as GetPieceBoundsFC reports it.
enum class TPieceKind { pkNone, pk8Bit, pk16Bit };

class ZVWORD_API TMSWordDocument : public TMSCustomWordDocument {
 public:
  explicit TMSWordDocument(TComponent* AOwner = nullptr);
  ~TMSWordDocument() override;

  void ClearInternalLists() override;
  void LoadFromStream(TStream& Stream) override;
  void LoadFromFile(const WideString& AFileName) override;
  bool IsPasswordProtected() override;

  // True for a compound file whose root holds a "WordDocument" stream, or a flat Word file.
  static bool IsWordData(std::string_view Data);

  // Footers share the headers' story in a binary document.
  std::vector<std::pair<std::string, TWideStrings*>> Lists() const override {
    return {{"footnotes", FootNoteText()}, {"headers", HeaderText()},    {"annotations", AnnotationText()},
            {"endnotes", EndNoteText()},   {"textboxes", TextBoxText()}, {"macros", MacroText()}};
  }

  // Walks a compound file's root: summary streams, macro storage and the WordDocument stream.
  void LoadIStorage(IStorage& Root);
  // Reads the document whose FIB starts at offset 0 of Stream; TableStream may be null.
  void ReadDocFromStream(TStream& Stream, TStream* TableStream);
  void ReadFIB(TStream& Stream);

  bool IsFarEastDocument() const { return (FFIB.Encryption & 0x40) != 0; }
  bool IsUseTableStream() const { return (FFIB.Encryption & 0x02) != 0; }
  // Word 95 files with 16-bit text say so in the FIB.
  bool HasExtendedChars() const { return FDocVersion >= 5 && FDocVersion <= 7 && (FFIB.Encryption & 0x10) != 0; }
  bool IsComplexDocument() const { return (FFIB.Flag & 0x04) != 0; }
  // The code page of the document's 8-bit text; 0 means the system code page.
  int DocLangToCodePage();

  // Piece table.
  void ReadCLX(TStream* TableStream);
  // Byte offset of a piece and whether it holds 8-bit characters.
  std::pair<uint32_t, bool> GetNormFC(uint32_t fc) const;
  // Start and end byte offsets of piece Index and its kind (pkNone when there is no such piece).
  TPieceKind GetPieceBoundsFC(uint32_t Index, uint64_t& Start, uint64_t& End) const;
  // Decodes the main story into Text as it is read, framed by the prologue and epilogue.
  void ReadSimpleText(TStream& Stream);
  // The characters from cpStart up to (not including) cpEnd, decoded through the piece table from
  // the stream ReadDocFromStream is reading (empty outside of it).
  WideString ReadCPRange(uint64_t cpStart, uint64_t cpEnd);
  // The same range handed to Chunk piece by piece (long pieces in slices); stops once the
  // length limit is reached.
  void ReadCPChunks(uint64_t cpStart, uint64_t cpEnd, const std::function<void(std::u16string_view)>& Chunk);
  // The code page of 8-bit text of documents before Word 97.
  int TextCodePage();
  // The offset in the document stream of the character at cp; none past the piece table.
  std::optional<uint64_t> CPToFC(uint64_t cp) const;

  // Renders a run of Word characters (text, special characters, fields) into List as one story
  // without a frame, the way the reader renders its sub-documents.
  void RenderStory(std::u16string_view Raw, TWideStrings* List);
  // Kind of a field from its instruction.
  static TZvWordSysChar FieldKindOf(std::u16string_view Instruction);

  // Reads the macro project of the "Macros" storage into VBAProject and VBAProjectItems, module
  // source included; returns the project's code page (0 when it names none).
  int LoadVBA(IStorage& Storage);

  int32_t DocVersion() const { return FDocVersion; }
  const TFIB& FIB() const { return FFIB; }
  const TCLX& CLX() const { return FCLX; }
  const TMSWordGetDefaultLanguage& OnGetDefaultLanguage() const { return FOnGetDefaultLanguage; }
  void SetOnGetDefaultLanguage(TMSWordGetDefaultLanguage f) { FOnGetDefaultLanguage = std::move(f); }

  // Limits against hostile input.
  static constexpr uint32_t kMaxPieces = 1u << 20;

 private:
  struct TOpenField {
    WideString Instruction;  // raw characters between the begin and the separator
    WideString Result;       // rendering of the characters after the separator
    bool Separated = false;
  };

  // "not a valid Word document", naming the file or the name the caller gave a stream.
  Exception NotValid() const;
  void ReadSubDocuments();
  // List labels and note marks (MSW_Format.cpp): damage there costs the labels, not the text.
  void ReadFormatting(TStream& DocStream, TStream* TableStream);
  void ReadNoteMarks(TStream* TableStream);
  void ReadListLabels(TStream& DocStream, TStream* TableStream);
  void ReadFontRuns(TStream& DocStream);
  // 8-bit text at byte Offset, each run in its font's code page, the rest in CodePage.
  void DecodeFontRuns(std::string_view Bytes, uint64_t Offset, int CodePage, WideString& Out) const;
  // The label of the paragraph starting at the story's current character, if it has one.
  void PutLabel();
  // The mark of an automatically numbered note, at its reference or at the start of its text.
  void NoteMark();
  void AddStory(uint64_t& cp, int32_t ccp, TWideStrings* List);
  // Appends the characters of Bytes to Out.
  void DecodeBytes(std::string_view Bytes, bool EightBit, int CodePage, WideString& Out) const;

  // Rendering a story through the sink (MSW_SysChar.cpp).
  static const TMarkTable& Marks();
  // StartCP: the story's first character position, when it is read through the piece table.
  void BeginStory(TWideStrings* List, bool Frame, std::optional<uint64_t> StartCP = std::nullopt);
  void FeedStory(std::u16string_view Chars);
  // Always: the last line is handed on even when the story decoded no character.
  void EndStory(bool Frame, bool Always);
  void Chars(std::u16string_view Run);  // characters of 32 and above
  void SysChar(WideChar Ch);
  void CellMark(bool RowEnd);
  // A reported special character, rendered where the innermost field wants it.
  void Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default);
  // An unreported one: raw in a field's code, else rendered as R.
  void Put(WideChar Ch, std::u16string_view R);
  // Markup already rendered: into the innermost field, else into the output.
  void Append(std::u16string_view R);
  WideString FieldEnd();

  TFIB FFIB;
  TCLX FCLX;
  int32_t FDocVersion = 0;
  TMSWordGetDefaultLanguage FOnGetDefaultLanguage;
  TTextSink FSink{*this, Marks()};
  std::vector<TOpenField> FFields;  // open fields, innermost last
  bool FHeldCell = false;           // a cell mark waits for the next character: a row end?
  uint64_t FStoryChars = 0;
  TStream* FDocStream = nullptr;    // the WordDocument stream (or flat file) while it is read
  RawByteString FPieceBuffer;       // bytes of the piece being decoded
  int FSummaryCodePage = 0;  // code page the summary property set declares, when a Windows one
  WideString FLoadName;  // file name for messages; empty for a stream

  struct TParaLabel {
    uint64_t CP = 0;  // first character of the paragraph
    WideString Text;
    uint8_t Follow = 0;  // 0 tab, 1 space, 2 nothing
  };
  std::vector<TParaLabel> FLabels;  // in character order
  size_t FNextLabel = 0;
  // A note's mark is its number in its format, spelled out only where the text shows it.
  struct TNoteMark {
    uint64_t CP = 0;
    int Number = 0;
    int Nfc = 0;
  };
  // Sorted by character, one mark each: a table of many notes is looked up without a tree walk.
  using TNoteMarks = std::vector<TNoteMark>;
  TNoteMarks FNoteRefMarks;   // reference character -> mark
  TNoteMarks FNoteTextMarks;  // first character of a note's text -> mark
  struct TFontRun {
    uint64_t From = 0, To = 0;  // byte offsets in the document stream
    int CodePage = 0;
  };
  std::vector<TFontRun> FFontRuns;  // Word 6/95 runs whose font names a code page of its own
  uint64_t FCP = 0;          // character position of the character being rendered
  bool FTrackCP = false;     // stories read through the piece table know their positions
  bool FSpaceAfterMark = false;  // a note's text starts after its mark
};

}  // namespace zvword
