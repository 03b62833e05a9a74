#include "framework/TextSink.h"

#include "platform/CodePages.h"

namespace zvword {

const TMarkTable& LineMarks() {
  static const TMarkTable marks = {{
      {u"\r\n", u"\\par \r\n", u"<br>\r\n"},  // paragraph
      {u"\r\n", u"\\par \r\n", u"<br>\r\n"},  // line
      {u"\t", u"\t", u"\t"},                    // tab
      {u"\t", u"\t", u"\t"},                    // cell
      {u"\r\n", u"\\par \r\n", u"<br>\r\n"},  // row
      {u"\r\n", u"\\par \r\n", u"<br>\r\n"},  // page
  }};
  return marks;
}

namespace {

// Characters HTML writes as entities; everything else is copied in runs.
inline bool NeedsEscape(char16_t c) { return c == u'&' || c == u'<' || c == u'>' || c == u'"'; }

// Writes c as RTF text at d and returns the end: characters above 127 as \uN with the code unit
// as a signed 16-bit number, followed by the one fallback byte the prologue's \uc1 announces: the
// character in the ANSI code page, or "?" when it has no single byte for it. RTF readers skip that
// byte; a bare "?" there is taken for the fallback and the next character of text is lost.
// At most 12 characters.
inline char16_t* PutRtf(char16_t* d, char16_t c, const uint16_t* ansi) {
  if (c < 128) {
    if (c == u'\\' || c == u'{' || c == u'}') *d++ = u'\\';
    *d++ = c;
    return d;
  }
  *d++ = u'\\';
  *d++ = u'u';
  int v = static_cast<int16_t>(c);
  if (v < 0) {
    *d++ = u'-';
    v = -v;
  }
  // Digits are written from the last one back, straight into place.
  const int n = v >= 10000 ? 5 : v >= 1000 ? 4 : v >= 100 ? 3 : v >= 10 ? 2 : 1;
  for (int i = n - 1; i >= 0; --i, v /= 10) d[i] = static_cast<char16_t>(u'0' + v % 10);
  d += n;
  const unsigned code = ansi ? ansi[c] : 0;
  const unsigned byte = code != 0 && code < 256 ? code : 0x3F;
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  *d++ = u'\\';
  *d++ = u'\'';
  *d++ = kHex[byte >> 4];
  *d++ = kHex[byte & 15];
  return d;
}

}  // namespace

void AppendEscaped(WideString& out, std::u16string_view s, TMSTextFormating mode) {
  if (mode == tfPlainText) {
    out.append(s);
    return;
  }
  if (mode == tfRTF) {
    // Escaped a block at a time into room for the longest escape of every character.
    constexpr size_t kBlock = 256;
    char16_t buffer[kBlock * 12];
    const uint16_t* ansi = CodePageEncodeTable(CP_ACP);
    for (size_t at = 0; at < s.size(); at += kBlock) {
      char16_t* d = buffer;
      for (char16_t c : s.substr(at, kBlock)) d = PutRtf(d, c, ansi);
      out.append(buffer, static_cast<size_t>(d - buffer));
    }
    return;
  }
  size_t from = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (!NeedsEscape(c)) continue;
    out.append(s.data() + from, i - from);
    from = i + 1;
    out += c == u'&' ? u"&amp;" : c == u'<' ? u"&lt;" : c == u'>' ? u"&gt;" : u"&quot;";
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
  // The list ends every item with CR LF, so a line is handed on in place of its own. Only the
  // new end of the line is searched.
  const size_t q = std::u16string_view(FLine).substr(From).rfind(u"\r\n");
  if (q == std::u16string_view::npos) return;
  const size_t p = From + q;
  FRest.assign(FLine, p + 2);
  FLine.resize(p);
  Item(FList, FLine);
  FLine.swap(FRest);  // both buffers keep their room for the next lines
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
