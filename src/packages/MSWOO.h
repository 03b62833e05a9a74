// The OpenDocument readers: text of word-processing documents, spreadsheets and presentations
// (.odt, .ods, .odp and their templates), their automatic styles and their summary properties.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/MSW_Sum.h"
#include "framework/TextSink.h"
#include "support/ZvWXML.h"
#include "support/ZvWZipFile.h"

namespace zvword {

enum TOOFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

// The font of a text style; colours are 0x00BBGGRR.
struct TOOFont {
  WideString Name = u"Times New Roman";
  int32_t Size = 12;
  uint32_t Color = 0x000000;
  uint8_t Style = 0;  // TOOFontStyle bits
};

struct TOORect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TOOStyle {
 public:
  explicit TOOStyle(TComponent* = nullptr) {}
  virtual ~TOOStyle() = default;
  WideString FStyleName;
  WideString FStyleFamily;
  WideString FStyleParent;
  const WideString& StyleName() const { return FStyleName; }
  const WideString& StyleFamily() const { return FStyleFamily; }
  const WideString& StyleParent() const { return FStyleParent; }
};

// A paragraph or text style: its font, background and alignment.
class TOOStyleText : public TOOStyle {
 public:
  using TOOStyle::TOOStyle;
  TOOFont TextFont;
  uint32_t Color = 0xFFFFFF;
  int32_t Alignment = 0;  // 0 left, 1 right, 2 center
  // True when the style names a font of its own (else the CSS leaves the family out).
  bool HasFontName = false;
};

class TOOStyleGraphic : public TOOStyle {
 public:
  using TOOStyle::TOOStyle;
  TOORect ClipRect;
};

// One level of a list style: a bullet, or a number with its format, affixes and start.
struct TOOListLevel {
  bool Bullet = false;
  WideString Prefix, Suffix, Format, BulletChar;
  int32_t StartValue = 1;
  int32_t DisplayLevels = 1;  // how many levels the label shows, this one last ("1.2.3")
};

class TOOStyleNumList : public TOOStyle {
 public:
  using TOOStyle::TOOStyle;
  static constexpr int kLevels = 10;
  // Level 1's values.
  WideString NumPrefix, NumSufix, NumFormat;
  int32_t SpaceBefore = 0;
  WideString BulletChar = WideString(1, char16_t(7));
  std::array<TOOListLevel, kLevels> Levels;
};

class TOOStyles {
 public:
  TOOStyles() = default;
  ~TOOStyles() { ClearStyles(); }
  TOOStyles(const TOOStyles&) = delete;
  TOOStyles& operator=(const TOOStyles&) = delete;

  int Count() const { return static_cast<int>(FList.size()); }
  void Add(std::unique_ptr<TOOStyle> Style);
  void ClearStyles();
  // nullptr outside 0..Count-1.
  TOOStyle* GetStyle(int AIndex) const;
  // The first style of exactly this name, else nullptr.
  TOOStyle* FindByStyleName(std::u16string_view AStyleName) const;
  // The first style of this family ("paragraph", "text", ...; "list" for list styles) and name:
  // families have names of their own ("List 1" is a paragraph and a list style).
  TOOStyle* FindInFamily(std::u16string_view Family, std::u16string_view AStyleName) const;

 private:
  std::vector<std::unique_ptr<TOOStyle>> FList;
  // The first style of each family and name, for the lookups of parents and lists.
  std::unordered_map<WideString, TOOStyle*> FByName;
};

class ZVWORD_API TCustomOpenOfficeDocument : public TMSWBaseDocument {
 public:
  explicit TCustomOpenOfficeDocument(TComponent* AOwner = nullptr);
  ~TCustomOpenOfficeDocument() override;

  void ClearInternalLists() override;
  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;

  TZvWordSummaryInformation* SummaryInformation() const override { return FSummaryInformation.get(); }
  void SetSummaryInformation(const TZvWordSummaryInformation& Value) { FSummaryInformation->Assign(Value); }
  TOOStyles& Styles() { return FStyles; }
  const TOOStyles& Styles() const { return FStyles; }
  TWideStrings* AnnotationText() const { return FAnnotations.get(); }
  TWideStrings* HeaderText() const { return FHeaders.get(); }
  TWideStrings* FooterText() const { return FFooters.get(); }

  std::vector<std::pair<std::string, TWideStrings*>> Lists() const override {
    return {{"headers", HeaderText()}, {"footers", FooterText()}, {"annotations", AnnotationText()}};
  }

  // The package's media type ("application/vnd.oasis.opendocument.text", ...), from its
  // "mimetype" entry; empty when the bytes are not an OpenDocument package.
  static std::string PackageMediaType(std::string_view Bytes);
  // The media type of a flat OpenDocument file (one XML document, root "office:document"), from
  // its root's office:mimetype or else the kind its body holds; empty for anything else.
  static std::string FlatMediaType(std::string_view Bytes);
  // Either of the two.
  static std::string MediaType(std::string_view Bytes);
  static bool IsTextData(std::string_view Bytes);
  static bool IsSpreadsheetData(std::string_view Bytes);
  static bool IsPresentationData(std::string_view Bytes);

 protected:
  // True when the manifest lists encrypted entries.
  static bool IsEncryptedPackage(const TZipArchive& Zip);
  // The text of a document root ("office:document-content", or a flat "office:document") into
  // List; Named is the root holding the named styles (styles.xml's, or the same flat root).
  void LoadXMLFilePart(TZvXMLItem* Root, TZvXMLItem* Named, TWideStrings* List);
  // The named styles, then the automatic ones, and in HTML their CSS block.
  void ReadStyles(TZvXMLItem* Named, TZvXMLItem* Automatic, TWideStrings* List);
  void ReadStyleList(TZvXMLItem* Styles);
  void ReadSummary(TZvXMLItem* Root);
  // Ends the body and frames the side lists.
  void FinishSides();
  // Headers and footers of the master pages.
  void ReadMasterPages(TZvXMLItem* Root);
  // Writes the text below Root; the walk keeps its own stack.
  void WalkBody(TZvXMLItem* Root, TWideStrings* List);

  // Reads the body one element at a time as the content part is parsed.
  friend void OOLoadContent(TCustomOpenOfficeDocument& Doc, TZvXMLEngine& Engine, std::string_view Bytes,
                            TZvXMLItem* Named, bool Flat, TWideStrings* List);

  WideString FXMLTagRoot = u"office:body";
  WideString FXMLTagText = u"office:text";

 private:
  std::unique_ptr<TZvWordSummaryInformation> FSummaryInformation;
  TOOStyles FStyles;
  // The numbering of headings (text:outline-style), when the document has one.
  std::unique_ptr<TOOStyleNumList> FOutline;
  std::unique_ptr<TWideStrings> FAnnotations, FHeaders, FFooters;
  TTextSink FSink;
};

class ZVWORD_API TOpenOfficeTextDocument : public TCustomOpenOfficeDocument {
 public:
  explicit TOpenOfficeTextDocument(TComponent* AOwner = nullptr);
};

class ZVWORD_API TOpenOfficeSpreadsheet : public TCustomOpenOfficeDocument {
 public:
  explicit TOpenOfficeSpreadsheet(TComponent* AOwner = nullptr);
};

class ZVWORD_API TOpenOfficePresentation : public TCustomOpenOfficeDocument {
 public:
  explicit TOpenOfficePresentation(TComponent* AOwner = nullptr);
};

// Parses a content part (a flat document when Flat) into Engine and writes its text into List as
// LoadXMLFilePart does, walking each element of the body's content as soon as it is read and
// letting it go, so the body is never held whole. Named: as for LoadXMLFilePart (unused when Flat).
void OOLoadContent(TCustomOpenOfficeDocument& Doc, TZvXMLEngine& Engine, std::string_view Bytes, TZvXMLItem* Named,
                   bool Flat, TWideStrings* List);
// A flat document's root element: office:document, else a lone office:document-content.
TZvXMLItem* OOFlatRoot(TZvXMLItem* Item);
// "PT1H30M12.5S" to seconds; 0 for anything not starting "PT" (a day part included).
int64_t OODurationSeconds(std::u16string_view Value);
// "#rrggbb" to 0x00BBGGRR; false when the value is not of that form.
bool OOParseColor(std::u16string_view Value, uint32_t& Color);

}  // namespace zvword
