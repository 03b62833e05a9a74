// The Word 2007+ reader: text of the main document, notes, headers, footers, comments and text
// boxes of a .docx/.docm/.dotx package, and its summary properties.
#pragma once
#include <string_view>
#include <vector>

#include "framework/TextSink.h"
#include "packages/MSWordXNumbering.h"
#include "support/ZvWXML.h"
#include "support/ZvWZipFile.h"
#include "word/MSWord.h"

namespace zvword {

// True when the bytes start with the compound-file signature.
bool IsCompoundBytes(std::string_view Bytes);

class ZVWORD_API TMSWordXDocument : public TMSCustomWordDocument {
 public:
  explicit TMSWordXDocument(TComponent* AOwner = nullptr);
  ~TMSWordXDocument() override;

  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;
  // A package inside a compound file (an embedded object): its "Package" stream is read.
  void InternalLoadFromOLEStream(TStream& Stream) override;

  // True when the bytes are an encrypted Word 2007+ package (a compound file holding one).
  static bool IsEncryptedPackage(std::string_view Bytes);
  // True when the bytes are a ZIP holding a Word main document part.
  static bool IsWordXPackage(std::string_view Bytes);
  // The format's signature: a package, or an encrypted package (refused with a clear message).
  static bool IsWordXData(std::string_view Bytes) { return IsWordXPackage(Bytes) || IsEncryptedPackage(Bytes); }

  std::vector<std::pair<std::string, TWideStrings*>> Lists() const override {
    return {{"footnotes", FootNoteText()},     {"headers", HeaderText()},   {"footers", FooterText()},
            {"annotations", AnnotationText()}, {"endnotes", EndNoteText()}, {"textboxes", TextBoxText()}};
  }

 protected:
  // Reads one XML part into List; text boxes found in it go to TextBoxList.
  void LoadXMLFilePart(std::string_view Bytes, TWideStrings* List, TWideStrings* TextBoxList);
  void NewRowTag(TZvXMLEngine* Sender, TZvXMLItem* ParentNode, std::u16string_view ATagName,
                 std::u16string_view ATagValue, std::u16string_view ATagAttributes, bool& Accept);
  void DeleteRowTag(TZvXMLEngine* Sender, TZvXMLItem*& Node, bool& Cancel);

 private:
  // The bytes are read in place and must outlive the call.
  void LoadPackage(std::string_view Bytes);
  void LoadOLEBytes(std::string_view Bytes);
  // A part's bytes, inflated once and charged to the budget; empty when there is no such part.
  RawByteString ReadPart(const TZipArchive& Zip, std::string_view Name);
  // The local name of the document element of the part LoadXMLFilePart read last.
  WideString FPartElement;
  void ReadSummary(const TZipArchive& Zip, const std::string& CorePart, const std::string& AppPart);
  // Appends the markup of a paragraph style's bold and italic (HTML only) to the current line.
  void StyleTags(const WideString& Style, bool Opening);
  void EndParagraph();
  // Adds Line to List; the text-box list gets its prologue with its first line.
  void AddLine(TWideStrings* List, const WideString& Line);

  struct TSavedLine {
    WideString Line;
    TWideStrings* List;
    bool Hidden;
    WideString Style;
  };

  WideString FCurrentTextLine;
  TWideStrings* FcurList = nullptr;
  TWideStrings* FTextBoxList = nullptr;
  bool IsHiddenText = false;
  WideString FParagraphStyle;
  TWordXNumbering FNumbering;
  int FNumId = -1;
  int FIlvl = -1;
  // Lines interrupted by a text box anchored inside them.
  std::vector<TSavedLine> FSaved;
  TTextSink FSink;
  bool FTextBoxFramed = false;
};

}  // namespace zvword
