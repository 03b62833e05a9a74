// Special characters of Word text (paragraph, cell and row marks, breaks) and fields, rendered for
// the output mode.
#include <array>

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

}  // namespace

TZvWordSysChar TMSWordDocument::FieldKindOf(std::u16string_view Instruction) {
  WideString upper(TrimControls(Instruction));
  for (auto& c : upper) c = AsciiUpper(c);
  for (const auto& k : kFieldKeywords)
    if (std::u16string_view(upper).starts_with(k.Keyword)) return k.Kind;
  return scUnknown;
}

void TMSWordDocument::ReportSysChar(TZvWordSysChar Kind, const WideString& Value, WideString& Result) {
  if (OnConvertSysChar()) OnConvertSysChar()(this, Kind, Value, Result);
}

WideString TMSWordDocument::FieldEnd() {
  WideString result;
  ReportSysChar(scFieldEnd, WideString(1, kFieldEnd), result);
  if (FFields.empty()) return result;
  TOpenField field = std::move(FFields.back());
  FFields.pop_back();
  const WideString instruction(TrimControls(field.Instruction));
  const TZvWordSysChar kind = FieldKindOf(instruction);
  // A field shows its result; one without a separator (an index entry, a bare code) shows
  // nothing. Embedded objects show no text of their own.
  if (kind != scEmbed) result = field.Separated ? std::move(field.Result) : WideString();
  ReportSysChar(kind, instruction, result);
  return result;
}

WideString TMSWordDocument::ProcessSysCharacter(WideChar Ch, bool IsLast, WideChar& Next) {
  static const WideString kCRLF = u"\r\n";
  const TMSTextFormating mode = TextFormating();
  WideString r;
  TZvWordSysChar kind = scUnknown;
  bool report = true;
  auto paragraphEnd = [&]() {
    r = mode == tfRTF ? kCRLF + u"\\par " : mode == tfHTML ? u"<p></p>" + kCRLF : kCRLF;
  };
  switch (Ch) {
    case 0:
      report = false;
      break;
    case 7:
      if (!IsLast && Next == 7) {
        kind = scRowEnd;
        r = mode == tfRTF ? kCRLF + u"\\par " : mode == tfHTML ? u"<br>" + kCRLF : WideString(u"\r");
        Next = 10;
      } else {
        kind = scColumnEnd;
        r = u" ";
      }
      break;
    case 9:
      r = u"\t";
      break;
    case 10:
      // Only reached as the second half of a row end.
      r = u"\n";
      report = false;
      break;
    case 11:
      r = mode == tfRTF ? kCRLF + u"\\par " : mode == tfHTML ? u"<br>" + kCRLF : kCRLF;
      break;
    case 12:  // page or section break
    case 14:  // column break
      paragraphEnd();
      break;
    case 13:
      kind = scParagraphEnd;
      paragraphEnd();
      break;
    case kFieldBegin:
      kind = scFieldBegin;
      r = WideString(1, Ch);
      if (FFields.size() < kMaxFieldDepth) FFields.emplace_back();
      break;
    case kFieldSep:
      kind = scFieldMiddle;
      r = WideString(1, Ch);
      if (!FFields.empty()) FFields.back().Separated = true;
      break;
    case kFieldEnd:
      return FieldEnd();
    case 30:  // non-breaking hyphen
      r = u"-";
      break;
    default:
      if (Ch < 32) break;  // drawn objects, pictures, note marks, optional hyphens: no text
      report = false;
      r = Escape(std::u16string_view(&Ch, 1));
      break;
  }
  if (report) ReportSysChar(kind, WideString(1, Ch), r);
  return r;
}

void TMSWordDocument::AppendRendering(WideString& Out, const WideString& R) {
  if (FFields.empty()) {
    Out += R;
    return;
  }
  TOpenField& top = FFields.back();
  if (top.Separated) top.Result += R;
  else if (top.Instruction.size() < kMaxInstruction) top.Instruction += R;
}

void TMSWordDocument::AddText(const WideString& AText, TWideStrings* Strings) {
  if (!ConvertSysCharacters()) {
    if (Strings) Strings->Add(Escape(AText));
    return;
  }
  FFields.clear();
  WideString out;
  out.reserve(AText.size() + AText.size() / 16);
  const bool plain = TextFormating() == tfPlainText;
  const size_t n = AText.size();
  WideChar pending = 0;  // a character changed by the one before it
  bool hasPending = false;
  for (size_t i = 0; i < n; ++i) {
    WideChar c = AText[i];
    if (hasPending) {
      c = pending;
      hasPending = false;
    }
    if (c >= 32 && plain && FFields.empty()) {
      out += c;
      continue;
    }
    const bool isLast = i + 1 == n;
    WideChar next = isLast ? 0 : AText[i + 1];
    const WideChar before = next;
    WideString r = ProcessSysCharacter(c, isLast, next);
    if (c == kFieldBegin || c == kFieldSep) {
      // The field state has moved; the marks themselves show nothing.
    } else if (c != kFieldEnd && !FFields.empty() && !FFields.back().Separated) {
      // Characters before the separator are the field's code, kept raw for its kind.
      if (FFields.back().Instruction.size() < kMaxInstruction) FFields.back().Instruction += c;
    } else {
      // A closed field's rendering belongs to the field around it, or to the text.
      AppendRendering(out, r);
    }
    if (!isLast && next != before) {
      pending = next;
      hasPending = true;
    }
  }
  // Fields left open at the end show the results they have.
  while (!FFields.empty()) {
    TOpenField field = std::move(FFields.back());
    FFields.pop_back();
    AppendRendering(out, field.Separated ? field.Result : WideString());
  }
  if (MaxTextLength() > 0 || !Strings) TMSWBaseDocument::AddText(out, Strings);
  else Strings->Add(std::move(out));  // what the base does without a length limit, minus a copy
}

}  // namespace zvword
