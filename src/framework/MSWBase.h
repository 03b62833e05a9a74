// The base of every reader component, its output list and the shared enumerations.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ResourceBudget.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/Streams.h"
#include "platform/Types.h"

namespace zvword {

enum TMSTextFormating { tfPlainText, tfRTF, tfHTML };

enum TZvWParseItem { wpiText, wpiVBA, wpiPictures, wpiSummaryInformation, wpiHiddenText };
using TZvWParseItems = TSet<TZvWParseItem>;

enum TZvWordSysChar {
  scUnknown, scRowEnd, scColumnEnd, scParagraphEnd, scFieldBegin, scFieldMiddle, scFieldEnd, scTime,
  scDateTimePicture, scHyperlink, scTOC, scTOC_From_Range, scPage, scNumPages, scEmbed, scEditTime,
  scSpeicherdat, scDateIName, scTextField, scFieldAttributes, scIncludePicture, scEndOfPage
};

// Ordered list of owned wide strings; every reader's output goes into one.
class ZVWORD_API TWideStrings {
 public:
  TWideStrings() = default;
  virtual ~TWideStrings() { Clear(); }
  TWideStrings(const TWideStrings&) = delete;
  TWideStrings& operator=(const TWideStrings&) = delete;

  int Count() const { return static_cast<int>(FWideStringList.size()); }
  WideString Get(int Index) const;
  // The item at Index without a copy; Index must be in range.
  const WideString& Item(int Index) const { return *FWideStringList[static_cast<size_t>(Index)]; }
  // Replaces the item at Index; an index out of range raises "WideStrings index out of bounds".
  void Put(int Index, const WideString& S);
  WideString Strings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const WideString& S) { Put(Index, S); }
  int Add(const WideString& S);
  // Takes the string over without copying it (large document bodies).
  int Add(WideString&& S);
  // When set, Add hands each new item to the consumer instead of keeping it, so a caller can
  // write a long text as it is read. Only for readers that only ever append to the list.
  void SetConsumer(std::function<void(const WideString&)> Consumer) { FConsumer = std::move(Consumer); }
  void Insert(int Index, const WideString& S);
  void Delete(int Index);
  void Clear();
  int IndexOf(const WideString& S) const;
  int IndexOfIgnoreCase(const WideString& S) const;
  static int WideCompareText(const WideString& S1, const WideString& S2);

  WideString Text() const { return GetText(); }
  WideString WideText() const { return GetTextStr(); }
  WideString GetText() const;
  virtual WideString GetTextStr() const;
  // Characters of Text (every item plus CR LF), kept up to date without a walk; items handed to
  // the consumer count too.
  int64_t TextLength() const { return FTextLength; }

  bool SaveUnicode() const { return FSaveUnicode; }
  void SetSaveUnicode(bool v) { FSaveUnicode = v; }
  void SaveToFile(const WideString& FileName) const;
  void SaveToStream(TStream& Stream) const;

 private:
  std::vector<std::unique_ptr<WideString>> FWideStringList;
  bool FSaveUnicode = true;
  int64_t FTextLength = 0;
  std::function<void(const WideString&)> FConsumer;
};

// Called inside a catch handler of a reader's entry point: what the standard library throws (memory
// exhausted, a length no string can hold) reaches the host as an Exception with a message, like
// every other failure; an Exception passes unchanged.
[[noreturn]] void RethrowAsException();

class TMSWBaseDocument;
class TZvWordSummaryInformation;
using TNotifyEvent = std::function<void(TMSWBaseDocument* Sender)>;
using TMSWTextChange = std::function<void(TMSWBaseDocument* Sender, WideString& AText)>;
using TMSWordConvertSysCharEvent =
    std::function<void(TMSWBaseDocument* Sender, TZvWordSysChar SysChar, WideString Value, WideString& Result)>;

// Escapes document characters for the output mode: HTML & < > "; RTF \ { } and characters above
// 127 as \uN?. Plain text is returned unchanged.
WideString EscapeText(std::u16string_view s, TMSTextFormating mode);

class ZVWORD_API TMSWBaseDocument : public TComponent {
 public:
  explicit TMSWBaseDocument(TComponent* AOwner = nullptr);
  ~TMSWBaseDocument() override;

  // Published properties.
  const WideString& About() const { return FAbout; }
  void SetAbout(const WideString&) {}
  const WideString& FileName() const { return FFileName; }
  void SetFileName(const WideString& Value);
  TMSTextFormating TextFormating() const { return FTextFormating; }
  void SetTextFormating(TMSTextFormating v) { FTextFormating = v; }
  int32_t MaxTextLength() const { return FMaxTextLength; }
  void SetMaxTextLength(int32_t v) { FMaxTextLength = v; }
  TZvWParseItems ParseItems() const { return FParseItems; }
  void SetParseItems(TZvWParseItems v) { FParseItems = v; }
  bool ConvertSysCharacters() const { return FConvertSysCharacters; }
  void SetConvertSysCharacters(bool v) { FConvertSysCharacters = v; }

  const TMSWordConvertSysCharEvent& OnConvertSysChar() const { return FOnConvertSysChar; }
  void SetOnConvertSysChar(TMSWordConvertSysCharEvent f) { FOnConvertSysChar = std::move(f); }
  const TNotifyEvent& OnBeforeExecute() const { return FOnBeforeExecute; }
  void SetOnBeforeExecute(TNotifyEvent f) { FOnBeforeExecute = std::move(f); }
  const TNotifyEvent& OnAfterExecute() const { return FOnAfterExecute; }
  void SetOnAfterExecute(TNotifyEvent f) { FOnAfterExecute = std::move(f); }
  const TMSWTextChange& OnBeforeText() const { return FOnBeforeText; }
  void SetOnBeforeText(TMSWTextChange f) { FOnBeforeText = std::move(f); }
  const TMSWTextChange& OnAfterText() const { return FOnAfterText; }
  void SetOnAfterText(TMSWTextChange f) { FOnAfterText = std::move(f); }

  // Public read-only properties.
  TWideStrings* Text() const { return FText.get(); }
  TWideStrings* PlainText() const { return FText.get(); }

  // Virtual operations, in slot order.
  virtual void ClearInternalLists();
  // Every finished item passes here on its way into Strings. With MaxTextLength set, the item
  // that reaches the limit is cut so the list's joined text (items and their CR LF) ends at it,
  // later items are dropped, and for the document's Text IsCancelExtract rises.
  virtual void AddText(const WideString& Text, TWideStrings* Strings);
  virtual void InternalLoadFromOLEStream(TStream& Stream);
  virtual void LoadFromStream(TStream& Stream);
  virtual void LoadFromOLEStream(TStream& Stream);
  virtual void LoadFromFile(const WideString& AFileName);
  virtual bool IsPasswordProtected();
  // The summary properties the format carries; nullptr when it has none.
  virtual TZvWordSummaryInformation* SummaryInformation() const { return nullptr; }
  // The lists besides the body, by the names callers select them with ("footnotes", "headers",
  // "footers", "annotations", "endnotes", "textboxes", "macros"); a format offers only its own.
  virtual std::vector<std::pair<std::string, TWideStrings*>> Lists() const { return {}; }

  void Execute();
  WideString GetTextStart();
  WideString GetTextFinish();

  bool IsCancelExtract = false;

  // What the last load noticed and read through (an archive rebuilt from its entries, say): the
  // text may be incomplete. Emptied by every load.
  const std::vector<WideString>& Warnings() const { return FWarnings; }
  void AddWarning(const WideString& W) { FWarnings.push_back(W); }

  // The resources this load may take; counts restart with every load. Set limits before loading.
  TResourceBudget& Budget() { return FBudget; }
  const TResourceLimits& ResourceLimits() const { return FBudget.Limits(); }
  void SetResourceLimits(const TResourceLimits& v) { FBudget.SetLimits(v); }

 protected:
  // A reader that reads files only through its stream: the file checked, opened and handed to
  // LoadFromStream, with standard-library failures raised as an Exception.
  void LoadFileThroughStream(const WideString& AFileName);

 private:
  WideString FAbout;
  WideString FFileName;
  std::unique_ptr<TWideStrings> FText;
  TMSTextFormating FTextFormating = tfPlainText;
  int32_t FMaxTextLength = 0;
  TZvWParseItems FParseItems{wpiText, wpiSummaryInformation};
  bool FConvertSysCharacters = true;
  TMSWordConvertSysCharEvent FOnConvertSysChar;
  TNotifyEvent FOnBeforeExecute;
  TNotifyEvent FOnAfterExecute;
  TMSWTextChange FOnBeforeText;
  TMSWTextChange FOnAfterText;
  TResourceBudget FBudget;
  std::vector<WideString> FWarnings;
};

}  // namespace zvword
