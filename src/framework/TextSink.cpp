#include "framework/TextSink.h"

namespace zvword {
namespace {

// Characters the mode writes as something else; everything else is copied in runs.
inline bool NeedsEscape(char16_t c, TMSTextFormating mode) {
  if (mode == tfHTML) return c == u'&' || c == u'<' || c == u'>' || c == u'"';
  return c == u'\\' || c == u'{' || c == u'}' || c > 127;
}

void AppendRtfUnicode(WideString& out, char16_t c) {
  // RTF writes the code unit as a signed 16-bit number.
  int v = static_cast<int16_t>(c);
  char16_t digits[8];
  size_t n = 0;
  const bool negative = v < 0;
  unsigned u = negative ? static_cast<unsigned>(-v) : static_cast<unsigned>(v);
  do {
    digits[n++] = static_cast<char16_t>(u'0' + u % 10);
    u /= 10;
  } while (u);
  out += u"\\u";
  if (negative) out += u'-';
  while (n) out += digits[--n];
  out += u'?';
}

}  // namespace

void AppendEscaped(WideString& out, std::u16string_view s, TMSTextFormating mode) {
  if (mode == tfPlainText) {
    out.append(s);
    return;
  }
  size_t from = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (!NeedsEscape(c, mode)) continue;
    out.append(s.data() + from, i - from);
    from = i + 1;
    if (mode == tfHTML) {
      out += c == u'&' ? u"&amp;" : c == u'<' ? u"&lt;" : c == u'>' ? u"&gt;" : u"&quot;";
    } else if (c > 127) {
      AppendRtfUnicode(out, c);
    } else {
      out += u'\\';
      out += c;
    }
  }
  out.append(s.data() + from, s.size() - from);
}

void TTextSink::Open(TWideStrings* List, bool Frame) {
  FList = List;
  FLine.clear();
  if (Frame) Prologue(List);
}

void TTextSink::Close(bool Frame) {
  EndLineIfAny();
  if (Frame) Epilogue(FList);
  FList = nullptr;
}

void TTextSink::Raw(std::u16string_view s) {
  const size_t at = FLine.size();
  FLine.append(s);
  SplitFrom(at == 0 ? 0 : at - 1);
}

void TTextSink::Break(std::u16string_view Original) {
  if (Mode() == tfPlainText) FLine.append(Original);
  else Mark(tmLine);
}

void TTextSink::Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default) {
  if (!Reports()) {
    Raw(Default);
    return;
  }
  WideString r(Default);
  Report(Kind, WideString(1, Ch), r);
  Raw(r);
}

void TTextSink::Special(TZvWordSysChar Kind, WideChar Ch, std::u16string_view Default, WideString& Out) const {
  if (!Reports()) {
    Out += Default;
    return;
  }
  WideString r(Default);
  Report(Kind, WideString(1, Ch), r);
  Out += r;
}

void TTextSink::Report(TZvWordSysChar Kind, const WideString& Value, WideString& Result) const {
  if (const auto& handler = FDoc.OnConvertSysChar()) handler(&FDoc, Kind, Value, Result);
}

void TTextSink::SplitFrom(size_t From) {
  // The list ends every item with CR LF, so a line is handed on in place of its own.
  const size_t p = FLine.rfind(u"\r\n");
  if (p == WideString::npos || p < From) return;
  WideString rest(FLine, p + 2);
  FLine.resize(p);
  Item(FList, FLine);
  FLine = std::move(rest);
}

void TTextSink::EndLine() {
  Item(FList, FLine);
  FLine.clear();
}

void TTextSink::Item(TWideStrings* List, const WideString& Line) {
  if (!List) return;
  FDoc.Budget().ChargeOutput(static_cast<int64_t>(Line.size()));
  FDoc.AddText(Line, List);
}

void TTextSink::Prologue(TWideStrings* List, bool KeepEmpty) {
  const WideString s = FDoc.GetTextStart();
  if (KeepEmpty || !s.empty()) Item(List, s);
}

void TTextSink::Epilogue(TWideStrings* List, bool KeepEmpty) {
  const WideString s = FDoc.GetTextFinish();
  if (KeepEmpty || !s.empty()) Item(List, s);
}

}  // namespace zvword
