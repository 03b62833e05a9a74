// The one place where a reader's output is rendered: readers report document text and marks
// (paragraph ends, breaks, cells...), the sink renders them for the output mode, frames the output
// and hands finished lines on to the reader's list as they are produced.
#pragma once
#include <array>
#include <string_view>

#include "framework/MSWBase.h"

namespace zvword {

// One piece of markup in each output mode.
struct TMarkup {
  std::u16string_view Plain, RTF, HTML;
  std::u16string_view In(TMSTextFormating Mode) const { return Mode == tfRTF ? RTF : Mode == tfHTML ? HTML : Plain; }
};

enum TTextMark { tmParagraph, tmLine, tmTab, tmCell, tmRow, tmPage, tmMarkCount };
// How a reader's format renders each mark.
using TMarkTable = std::array<TMarkup, tmMarkCount>;

// The marks of formats whose text is a run of lines (e-books, pages): every break is a line of
// its own, and RTF and HTML break it too.
const TMarkTable& LineMarks();

// Appends s to Out escaped for the mode (see EscapeText); plain text is appended as it is.
void AppendEscaped(WideString& Out, std::u16string_view s, TMSTextFormating Mode);

class TTextSink {
 public:
  TTextSink(TMSWBaseDocument& Doc, const TMarkTable& Marks) : FDoc(Doc), FMarks(&Marks) {}
  TTextSink(const TTextSink&) = delete;
  TTextSink& operator=(const TTextSink&) = delete;

  // Starts output into List; with Frame the prologue is its first item.
  void Open(TWideStrings* List, bool Frame = true);
  // Hands on a pending line that holds anything, then (with Frame) the epilogue.
  void Close(bool Frame = true);
  TWideStrings* List() const { return FList; }
  TMSTextFormating Mode() const { return FDoc.TextFormating(); }
  // The length limit was reached (or the host cancelled): readers stop producing work.
  bool Stopped() const { return FDoc.IsCancelExtract; }

  // ---- Into the pending line; a rendered line end hands the line on ----
  void Text(std::u16string_view s) { AppendEscaped(FLine, s, Mode()); }
  void Mark(TTextMark m) { Raw(Rendering(m)); }
  void Markup(const TMarkup& m) { Raw(m.In(Mode())); }
  // Markup already rendered for the mode (a field's result, say).
  void Raw(std::u16string_view s);
  // A line break the document wrote itself: plain text keeps the document's characters, the
  // other modes render the line mark.
  void Break(std::u16string_view Original);
  // A special character: Default unless the host's OnConvertSysChar replaces it.
  void Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default);
  // Hands the pending line on as an item, even an empty one.
  void EndLine();
  void EndLineIfAny() {
    if (!FLine.empty()) EndLine();
  }
  size_t PendingLength() const { return FLine.size(); }

  // ---- Into a caller's buffer, for text held back (a field's result, a paragraph interrupted) ----
  void Text(std::u16string_view s, WideString& Out) const { AppendEscaped(Out, s, Mode()); }
  void Mark(TTextMark m, WideString& Out) const { Out += Rendering(m); }
  void Markup(const TMarkup& m, WideString& Out) const { Out += m.In(Mode()); }
  void Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default, WideString& Out) const;
  std::u16string_view Rendering(TTextMark m) const { return (*FMarks)[m].In(Mode()); }
  std::u16string_view Rendering(const TMarkup& m) const { return m.In(Mode()); }

  // True when a host handler wants to see special characters.
  bool Reports() const { return static_cast<bool>(FDoc.OnConvertSysChar()); }
  // Lets the host's handler see (and replace) Result for a character or field of this kind.
  void Report(TZvWordSysChar Kind, const WideString& Value, WideString& Result) const;

  // ---- Whole items ----
  // Hands Item to List through the document's AddText, charging the output budget.
  void Item(TWideStrings* List, const WideString& Line);
  // The frame of List; with KeepEmpty false an empty one (plain text) adds no item.
  void Prologue(TWideStrings* List, bool KeepEmpty = true);
  void Epilogue(TWideStrings* List, bool KeepEmpty = true);

 private:
  // Hands on everything up to the last CR LF that starts at or after From.
  void SplitFrom(size_t From);

  TMSWBaseDocument& FDoc;
  const TMarkTable* FMarks;
  TWideStrings* FList = nullptr;
  WideString FLine;
  WideString FRest;
};

}  // namespace zvword
