// Special characters of Word text (paragraph, cell and row marks, breaks) and fields, reported to
// the text sink, which renders them for the output mode.
#include <algorithm>
#include <array>

#include "framework/ListNumbers.h"
#include "platform/TextHelpers.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

constexpr WideChar kFieldBegin = 19, kFieldSep = 20, kFieldEnd = 21;
// Deeper nesting is not written by Word; a field begin beyond it is taken as plain text.
constexpr size_t kMaxFieldDepth = 64;
// Only the head of an instruction says what the field is.
constexpr size_t kMaxInstruction = 4096;

struct TFieldKeyword {
  std::u16string_view Keyword;
  TZvWordSysChar Kind;
};

constexpr std::array<TFieldKeyword, 16> kFieldKeywords{{
    {u"TIME", scTime},
    {u"\\\\@", scDateTimePicture},
    {u"HYPERLINK", scHyperlink},
    {u"TOC", scTOC},
    {u"\\\\o", scTOC_From_Range},
    {u"PAGEREF", scPage},
    {u"PAGE", scPage},
    {u"NUMPAGES", scNumPages},
    {u"EMBED", scEmbed},
    {u"EDITTIME", scEditTime},
    {u"SPEICHERDAT", scSpeicherdat},
    {u"DATEINAME", scDateIName},
    {u"ADVANCE", scFieldAttributes},
    {u"SEQ TEXT_BOX", scTextField},
    {u"*", scUnknown},
    {u"INCLUDEPICTURE", scIncludePicture},
}};

std::u16string_view TrimControls(std::u16string_view s) {
  while (!s.empty() && s.front() <= 32) s.remove_prefix(1);
  while (!s.empty() && s.back() <= 32) s.remove_suffix(1);
  return s;
}

// A phonetic guide is an equation field that sets the reading over the base text:
// EQ \* jc2 \* hps11 \o\ad(\s\up 10(reading),base).
bool PhoneticGuide(std::u16string_view code, WideString& Base, WideString& Reading) {
  const std::u16string_view t = TrimControls(code);
  if (t.size() < 3 || AsciiUpper(t[0]) != u'E' || AsciiUpper(t[1]) != u'Q' || t[2] != u' ') return false;
  const size_t up = t.find(u"\\s\\up");
  if (t.find(u"\\o") == std::u16string_view::npos || up == std::u16string_view::npos) return false;
  const size_t open = t.find(u'(', up);
  const size_t close = t.find(u')', open == std::u16string_view::npos ? t.size() : open);
  if (close == std::u16string_view::npos || close + 1 >= t.size() || t[close + 1] != u',') return false;
  const size_t end = t.find(u')', close + 2);
  if (end == std::u16string_view::npos) return false;
  Reading = WideString(t.substr(open + 1, close - open - 1));
  Base = WideString(t.substr(close + 2, end - close - 2));
  return !Base.empty();
}

// The mark at CP of a table sorted by character; null when it names none there.
template <typename TMarks>
const typename TMarks::value_type* FindNoteMark(const TMarks& Marks, uint64_t CP) {
  const auto it = std::lower_bound(Marks.begin(), Marks.end(), CP, [](const auto& m, uint64_t cp) { return m.CP < cp; });
  return it != Marks.end() && it->CP == CP ? &*it : nullptr;
}

}  // namespace

TZvWordSysChar TMSWordDocument::FieldKindOf(std::u16string_view Instruction) {
  WideString upper(TrimControls(Instruction));
  for (auto& c : upper) c = AsciiUpper(c);
  for (const auto& k : kFieldKeywords)
    if (std::u16string_view(upper).starts_with(k.Keyword)) return k.Kind;
  return scUnknown;
}

// Word's special characters in each output mode.
const TMarkTable& TMSWordDocument::Marks() {
  static const TMarkTable marks = {{
      {u"\r\n", u"\r\n\\par ", u"<p></p>\r\n"},  // paragraph
      {u"\r\n", u"\r\n\\par ", u"<br>\r\n"},     // line
      {u"\t", u"\t", u"\t"},                     // tab
      {u" ", u" ", u" "},                        // cell
      {u"\r", u"\r\n\\par ", u"<br>\r\n"},       // row; the LF that stands for its second mark follows
      {u"\r\n", u"\r\n\\par ", u"<p></p>\r\n"},  // page, section or column break
  }};
  return marks;
}

void TMSWordDocument::BeginStory(TWideStrings* List, bool Frame, std::optional<uint64_t> StartCP) {
  FFields.clear();
  FTrackCP = StartCP.has_value();
  FSpaceAfterMark = false;
  FCP = StartCP.value_or(0);
  FHeldCell = false;
  FStoryChars = 0;
  FSink.Open(List, Frame);
}

void TMSWordDocument::EndStory(bool Frame, bool Always) {
  if (FHeldCell) {
    FHeldCell = false;
    CellMark(false);
  }
  // Fields left open at the end show the results they have.
  while (!FFields.empty()) {
    TOpenField field = std::move(FFields.back());
    FFields.pop_back();
    Append(field.Separated ? std::u16string_view(field.Result) : std::u16string_view());
  }
  if (Always || FStoryChars > 0) FSink.EndLine();
  FSink.Close(Frame);
}

void TMSWordDocument::RenderStory(std::u16string_view Raw, TWideStrings* List) {
  BeginStory(List, false);
  FeedStory(Raw);
  EndStory(false, true);
}

void TMSWordDocument::FeedStory(std::u16string_view s) {
  FStoryChars += s.size();
  const uint64_t base = FCP;
  if (!ConvertSysCharacters()) {
    FSink.Text(s);
    FCP = base + s.size();
    return;
  }
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    FCP = base + i;
    if (FHeldCell) {
      // A cell mark followed by another ends a row; the second one stands for its LF.
      FHeldCell = false;
      if (s[i] == 7) {
        ++i;
        CellMark(true);
        Put(10, u"\n");
        continue;
      }
      CellMark(false);
    }
    size_t limit = n;
    if (FTrackCP && FNextLabel < FLabels.size()) {
      PutLabel();
      // A run of text stops where the next label goes.
      if (FNextLabel < FLabels.size() && FLabels[FNextLabel].CP > FCP)
        limit = static_cast<size_t>(std::min<uint64_t>(n, FLabels[FNextLabel].CP - base));
    }
    const WideChar c = s[i];
    if (FSpaceAfterMark) {
      FSpaceAfterMark = false;
      if (c > 32) Chars(u" ");
    }
    if (c >= 32) {
      size_t j = i + 1;
      while (j < limit && s[j] >= 32) ++j;
      Chars(s.substr(i, j - i));
      i = j;
      continue;
    }
    ++i;
    if (c == 7) FHeldCell = true;
    else SysChar(c);
  }
  FCP = base + n;
}

void TMSWordDocument::PutLabel() {
  while (FNextLabel < FLabels.size() && FLabels[FNextLabel].CP < FCP) ++FNextLabel;
  if (FNextLabel == FLabels.size() || FLabels[FNextLabel].CP != FCP) return;
  const TParaLabel& l = FLabels[FNextLabel++];
  if (!l.Text.empty()) Chars(l.Text);
  if (l.Follow == 0) Special(scUnknown, 9, FSink.Rendering(tmTab));
  else if (l.Follow == 1) Chars(u" ");
}

void TMSWordDocument::NoteMark() {
  Special(scUnknown, 2, u"");
  if (!FTrackCP) return;
  const auto* mark = FindNoteMark(FNoteRefMarks, FCP);
  if (!mark) {
    mark = FindNoteMark(FNoteTextMarks, FCP);
    if (!mark) return;
    // Superscript in Word, the mark would run into the note's first word as plain text.
    FSpaceAfterMark = true;
  }
  Chars(FormatListNumber(mark->Number, mark->Nfc));
}

void TMSWordDocument::Chars(std::u16string_view Run) {
  if (FFields.empty()) {
    FSink.Text(Run);
    return;
  }
  TOpenField& top = FFields.back();
  if (top.Separated) {
    FSink.Text(Run, top.Result);
  } else if (top.Instruction.size() < kMaxInstruction) {
    // Characters before the separator are the field's code, kept raw for its kind.
    top.Instruction.append(Run.substr(0, kMaxInstruction - top.Instruction.size()));
  }
}

void TMSWordDocument::Append(std::u16string_view R) {
  if (FFields.empty()) {
    FSink.Raw(R);
    return;
  }
  // A closed field's rendering belongs to the field around it.
  TOpenField& top = FFields.back();
  if (top.Separated) top.Result += R;
  else if (top.Instruction.size() < kMaxInstruction) top.Instruction += R;
}

void TMSWordDocument::Put(WideChar Ch, std::u16string_view R) {
  if (!FFields.empty() && !FFields.back().Separated) {
    if (FFields.back().Instruction.size() < kMaxInstruction) FFields.back().Instruction += Ch;
    return;
  }
  Append(R);
}

void TMSWordDocument::Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default) {
  if (FFields.empty()) {
    FSink.Special(Kind, Ch, Default);
    return;
  }
  TOpenField& top = FFields.back();
  if (top.Separated) {
    FSink.Special(Kind, Ch, Default, top.Result);
    return;
  }
  // Inside a field's code the handler still sees the character; the code keeps it raw.
  if (FSink.Reports()) {
    WideString unused;
    FSink.Special(Kind, Ch, Default, unused);
  }
  if (top.Instruction.size() < kMaxInstruction) top.Instruction += Ch;
}

void TMSWordDocument::CellMark(bool RowEnd) {
  Special(RowEnd ? scRowEnd : scColumnEnd, 7, FSink.Rendering(RowEnd ? tmRow : tmCell));
}

void TMSWordDocument::SysChar(WideChar Ch) {
  switch (Ch) {
    case 0:
      Put(Ch, u"");
      break;
    case 9:
      Special(scUnknown, Ch, FSink.Rendering(tmTab));
      break;
    case 10:
      Put(Ch, u"\n");
      break;
    case 11:
      Special(scUnknown, Ch, FSink.Rendering(tmLine));
      break;
    case 12:  // page or section break
    case 14:  // column break
      Special(scUnknown, Ch, FSink.Rendering(tmPage));
      break;
    case 13:
      Special(scParagraphEnd, Ch, FSink.Rendering(tmParagraph));
      break;
    case kFieldBegin:
    case kFieldSep: {
      // The field state moves; the marks themselves show nothing.
      if (Ch == kFieldBegin) {
        if (FFields.size() < kMaxFieldDepth) FFields.emplace_back();
      } else if (!FFields.empty()) {
        FFields.back().Separated = true;
      }
      if (FSink.Reports()) {
        WideString unused(1, Ch);
        FSink.Report(Ch == kFieldBegin ? scFieldBegin : scFieldMiddle, WideString(1, Ch), unused);
      }
      break;
    }
    case kFieldEnd:
      Append(FieldEnd());
      break;
    case 2:  // an automatically numbered note's mark
      NoteMark();
      break;
    case 30:  // non-breaking hyphen
      Special(scUnknown, Ch, u"-");
      break;
    default:  // drawn objects, pictures, note marks, optional hyphens: no text
      Special(scUnknown, Ch, u"");
      break;
  }
}

WideString TMSWordDocument::FieldEnd() {
  WideString result;
  FSink.Report(scFieldEnd, WideString(1, kFieldEnd), result);
  if (FFields.empty()) return result;
  TOpenField field = std::move(FFields.back());
  FFields.pop_back();
  const WideString instruction(TrimControls(field.Instruction));
  const TZvWordSysChar kind = FieldKindOf(instruction);
  // A field shows its result (already rendered); one without a separator (an index entry, a bare
  // code) shows nothing. Embedded objects show no text of their own.
  if (kind != scEmbed) result = field.Separated ? std::move(field.Result) : WideString();
  // The base text with its reading after it, as a plain text shows ruby.
  WideString base, reading;
  if (!field.Separated && PhoneticGuide(instruction, base, reading))
    FSink.Text(reading.empty() ? base : base + u" (" + reading + u")", result);
  FSink.Report(kind, instruction, result);
  return result;
}

}  // namespace zvword
