// The Word 2007+ reader: text of the main document, notes, headers, footers, comments and text
// boxes of a .docx/.docm/.dotx package, and its summary properties. Word 2003 XML documents and
// flat (single XML file) packages are read by it too.
#pragma once
#include <map>
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

// The parts of a package, whether zipped or flat; names have no leading slash.
class TPackageParts {
 public:
  virtual ~TPackageParts() = default;
  virtual bool Has(std::string_view Name) const = 0;
  // Empty when there is no such part.
  virtual RawByteString Read(std::string_view Name) const = 0;
  virtual std::vector<std::string> Names() const = 0;
};

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
  // True when the bytes are a Word 2003 XML document or a flat XML package, whatever the name.
  static bool IsWordXMLDocument(std::string_view Bytes);
  // The format's signature: a package, or an encrypted package (refused with a clear message).
  static bool IsWordXData(std::string_view Bytes) {
    return IsWordXPackage(Bytes) || IsEncryptedPackage(Bytes) || IsWordXMLDocument(Bytes);
  }

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
  void LoadParts(const TPackageParts& Parts);
  // A Word 2003 XML document: notes, headers and comments are inline, each goes to its list.
  void LoadWordML(std::string_view Bytes);
  // The local name of the document element of the part LoadXMLFilePart read last.
  WideString FPartElement;
  void ReadSummary(const TPackageParts& Parts, const std::string& CorePart, const std::string& AppPart);
  void ReadWordMLSummary(std::string_view Bytes);
  // Note numbering formats and starts from the settings part.
  void ReadNoteSettings(std::string_view SettingsXml);
  // The text of the charts and diagrams cited by the paragraph just ended, as lines after it.
  void FlushGraphics();
  // Lines of List now go to Target until the element that opened the diversion closes.
  void Divert(TWideStrings* Target);
  void EndDiversion();
  // Appends the markup of a paragraph style's bold and italic (HTML only) to the current line.
  void StyleTags(const WideString& Style, bool Opening);
  void EndParagraph();
  // Adds Line to List; a list not framed yet gets its prologue with its first line.
  void AddLine(TWideStrings* List, const WideString& Line);
  void CloseLists();

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
  // Lines interrupted by a text box, an inline note, header or comment anchored inside them.
  std::vector<TSavedLine> FSaved;
  TTextSink FSink;
  // Lists with their prologue and no epilogue yet, in the order they were opened.
  std::vector<TWideStrings*> FOpenLists;

  // Note reference marks: the mark each note id got where the body cites it.
  struct TNoteKind {
    WideString Format;
    int Start = 1;
    int Count = 0;
    std::map<int, WideString> Marks;
    WideString Next();
  };
  TNoteKind FFootnotes, FEndnotes;
  // The mark of the note being read, repeated where the note shows its own reference.
  WideString FNoteMark;
  // Set after a note's own mark until its text comes.
  bool FMarkSpace = false;
  // Phonetic guide: the reading, kept until the base text is written.
  WideString FRubyText;
  int FRubyDepth = 0;
  // A Word 2003 list label, held until the paragraph properties end.
  WideString FListLabel;
  // The part being read and its relationships (id to part), for charts and diagrams.
  const TPackageParts* FParts = nullptr;
  std::map<std::string, std::string> FPartRels;
  std::vector<std::pair<std::string, bool>> FGraphics;  // part, true for a chart
};

}  // namespace zvword
