// The text of XHTML and FictionBook bodies: block elements give lines, inline elements stay inside
// them, and whitespace folds the way a browser folds it.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "framework/TextSink.h"
#include "support/ZvWXML.h"

namespace zvword {

enum TMarkupRole : uint8_t {
  mrInline,     // its text stays in the current line
  mrBlock,      // a line of its own; text around it ends up in lines of their own
  mrSkip,       // no text at all (scripts, styles, embedded binaries)
  mrBreak,      // a line break inside the line
  mrRow,        // a table row: its cells make one line
  mrCell,       // a table cell: cells after the first are set off by the cell mark
  mrPre,        // preformatted: whitespace and line breaks are kept
  mrEmptyLine,  // an empty line of its own
  mrSection,    // a block whose end the host may mark (OnConvertSysChar with scParagraphEnd)
  mrLink        // inline; a note reference (a numbered link inside the book) is set in brackets
};

// The role of an element by its local name.
using TMarkupClassify = TMarkupRole (*)(std::u16string_view LocalName);

// Marks of markup text: a line is a paragraph, opened and closed in HTML.
extern const TMarkTable kMarkupMarks;

// Whitespace and control characters trimmed from both ends.
WideString TrimmedText(const WideString& S);
// Appends Value to To, after "; " when To holds a value already (two creators stay apart).
void AppendValue(WideString& To, const WideString& Value);
// A date of a book's metadata: a whole date-time, or only a year, a month or a day; 0 when none.
TDateTime BookDate(const WideString& Text);

class TMarkupText {
 public:
  TMarkupText(TTextSink& Sink, TMarkupClassify Classify) : FSink(Sink), FClassify(Classify) {}
  // Walks Root and everything below it into the sink's open list; the last line is ended.
  void Walk(TZvXMLItem* Root);
  // Parses Bytes with Engine and walks what lies below the first element named RootName (any
  // prefix) as it is read: each element is walked once it has closed and freed soon after, so
  // what is held at any time is the open elements and their latest children. An element named
  // WholeName is kept whole until it closes, when Closed sees it (the metadata of a book); one at
  // a time. Returns the root; nullptr when the markup has none, and then nothing was walked and
  // the tree is whole.
  TZvXMLItem* Stream(TZvXMLEngine& Engine, std::string_view Bytes, std::u16string_view RootName,
                     std::u16string_view WholeName = {}, const std::function<void(TZvXMLItem&)>& Closed = {});

 private:
  // An open element of a streamed walk, with its child walked but for its tail.
  struct TOpenLevel {
    TZvXMLItem* Item;
    TZvXMLItem* Pending;
    bool Entered;  // its start was walked (no ancestor skips its content)
    bool Skip;     // its content is no text
  };

  TMarkupRole RoleOf(const TZvXMLItem& Item) const;
  // The walk's steps for one item: its start and own text, and its end.
  TZvXMLWalkAction EnterItem(TZvXMLItem& Item);
  void LeaveItem(TZvXMLItem& Item);
  // Item and everything below it, without its tail.
  void WalkTree(TZvXMLItem* Item);
  void EnterLevel(TZvXMLItem* Item);
  void LeaveLevel();
  // Walks the children of Level before UpTo (all when null) that are not walked yet, with their
  // tails, and frees them.
  void Flush(TOpenLevel& Level, const TZvXMLItem* UpTo);

  void Put(std::u16string_view Text);
  void PutPre(std::u16string_view Text);
  void PutDecoded(std::u16string_view Raw);
  void Open();
  void EndBlock();
  void Enter(TZvXMLItem& Item, TMarkupRole Role);
  void Leave(TZvXMLItem& Item, TMarkupRole Role);

  TTextSink& FSink;
  TMarkupClassify FClassify;
  bool FOpen = false;   // the current line has started
  bool FSpace = false;  // whitespace waits to be written before the next word
  int FPre = 0;         // depth inside preformatted elements
  int FCells = 0;       // depth inside table cells, where blocks do not end the line
  int FCellIndex = 0;   // cells seen in the current row
  WideString FDecoded;
  std::vector<const TZvXMLItem*> FBracketed;  // open note references
  std::vector<TOpenLevel> FPath;               // the streamed walk's open elements, root first
  std::vector<TZvXMLItem*> FFlushed;
};

}  // namespace zvword
