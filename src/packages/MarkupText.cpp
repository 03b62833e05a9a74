#include "packages/MarkupText.h"

namespace zvword {
namespace {

const TMarkup kLineStart{u"", u"", u"<p>"};

inline bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

// A link to a note of the same book: marked as one, or a short number pointing inside the book.
// Its number would otherwise run into the words around it ("workshop.1 It", "1The").
bool IsNoteReference(const TZvXMLItem& item) {
  const WideString type = item.AttributeValue(u"epub:type");
  if (type.find(u"noteref") != WideString::npos) return true;
  const WideString href = item.AttributeValue(u"href");
  if (href.empty() || href[0] != u'#') return false;
  const WideString text = TrimmedText(item.FullText());
  if (text.empty() || text.size() > 4) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

}  // namespace

const TMarkTable kMarkupMarks = {{
    {u"", u"\\par ", u"</p>"},       // paragraph (its end)
    {u"\r\n", u"\\line ", u"<br>"},  // line
    {u"\t", u"\\tab ", u"\t"},        // tab
    {u"\t", u"\\tab ", u"\t"},        // cell
    {u"", u"\\par ", u"</p>"},       // row
    {u"", u"\\par ", u"</p>"},       // page
}};

WideString TrimmedText(const WideString& s) {
  size_t a = 0, b = s.size();
  while (a < b && s[a] <= u' ') ++a;
  while (b > a && s[b - 1] <= u' ') --b;
  return s.substr(a, b - a);
}

void AppendValue(WideString& to, const WideString& value) {
  if (value.empty()) return;
  if (!to.empty()) to += u"; ";
  to += value;
}

TDateTime BookDate(const WideString& Text) {
  WideString s = TrimmedText(Text);
  if (s.size() == 4) s += u"-01-01";
  else if (s.size() == 7) s += u"-01";
  if (s.size() == 10) s += u"T00:00:00";
  return XMLStringToDateTime(s);
}

void TMarkupText::Open() {
  if (FOpen) return;
  FSink.Markup(kLineStart);
  FOpen = true;
  FSpace = false;
}

void TMarkupText::EndBlock() {
  if (!FOpen) return;
  FSink.Mark(tmParagraph);
  FSink.EndLine();
  FOpen = FSpace = false;
}

void TMarkupText::Put(std::u16string_view s) {
  if (FPre > 0) {
    PutPre(s);
    return;
  }
  size_t i = 0;
  while (i < s.size()) {
    if (IsSpace(s[i])) {
      // Whitespace counts only between words of a line.
      if (FOpen) FSpace = true;
      ++i;
      continue;
    }
    // Words apart by one space, as most text is, go to the sink as one piece.
    size_t j = i;
    for (;;) {
      while (j < s.size() && !IsSpace(s[j])) ++j;
      if (j + 1 < s.size() && s[j] == u' ' && !IsSpace(s[j + 1])) {
        ++j;
        continue;
      }
      break;
    }
    if (!FOpen) Open();
    else if (FSpace) FSink.Text(u" ");
    FSpace = false;
    FSink.Text(s.substr(i, j - i));
    i = j;
  }
}

void TMarkupText::PutPre(std::u16string_view s) {
  size_t from = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && s[i] != u'\n') continue;
    std::u16string_view piece = s.substr(from, i - from);
    if (!piece.empty() && piece.back() == u'\r') piece.remove_suffix(1);
    if (!piece.empty()) {
      Open();
      FSink.Text(piece);
    }
    if (i < s.size()) {
      Open();
      FSink.Mark(tmLine);
    }
    from = i + 1;
  }
}

void TMarkupText::PutDecoded(std::u16string_view raw) {
  if (raw.find(u'&') == std::u16string_view::npos) {
    Put(raw);
    return;
  }
  FDecoded = DecodeEntities(raw);
  Put(FDecoded);
}

void TMarkupText::Enter(TZvXMLItem& item, TMarkupRole role) {
  switch (role) {
    case mrLink:
      if (IsNoteReference(item)) {
        FBracketed.push_back(&item);
        Put(u"[");
      }
      break;
    case mrBlock:
    case mrSection:
    case mrPre:
      if (FCells > 0) {
        if (FOpen) FSpace = true;
      } else {
        EndBlock();
      }
      if (role == mrPre) ++FPre;
      break;
    case mrBreak:
      if (FCells > 0) {
        if (FOpen) FSpace = true;
        break;
      }
      Open();
      FSink.Mark(tmLine);
      FSpace = false;
      break;
    case mrRow:
      EndBlock();
      FCellIndex = 0;
      break;
    case mrCell:
      if (FCellIndex++ > 0) {
        Open();
        FSink.Mark(tmCell);
        FSpace = false;
      }
      ++FCells;
      break;
    case mrEmptyLine:
      EndBlock();
      if (FCells == 0) FSink.EndLine();
      break;
    default:
      break;
  }
}

void TMarkupText::Leave(TZvXMLItem& item, TMarkupRole role) {
  switch (role) {
    case mrLink:
      if (!FBracketed.empty() && FBracketed.back() == &item) {
        FBracketed.pop_back();
        Put(u"] ");
      }
      break;
    case mrPre:
      --FPre;
      [[fallthrough]];
    case mrBlock:
    case mrSection:
      if (FCells > 0) {
        if (FOpen) FSpace = true;
        break;
      }
      EndBlock();
      if (role == mrSection && FSink.Reports()) {
        WideString result;
        FSink.Report(scParagraphEnd, WideString(), result);
        if (!result.empty()) {
          FSink.Raw(result);
          FSink.EndLine();
        }
      }
      break;
    case mrRow:
      EndBlock();
      FCellIndex = 0;
      break;
    case mrCell:
      --FCells;
      break;
    default:
      break;
  }
}

void TMarkupText::Walk(TZvXMLItem* Root) {
  auto roleOf = [this](const TZvXMLItem& item) {
    if (item.Kind != ikProperty || item.TagName.empty() || item.TagName[0] == u'?' || item.TagName[0] == u'!')
      return mrSkip;
    return FClassify(XMLLocalName(item.TagName));
  };
  WalkXMLItems(
      Root,
      [&](TZvXMLItem& item, int) {
        if (FSink.Stopped()) return waStop;
        if (item.Kind == ikCDATA) {
          if (item.Value) Put(*item.Value);
          return waSkipChildren;
        }
        const TMarkupRole role = roleOf(item);
        if (role == mrSkip) return waSkipChildren;
        Enter(item, role);
        return waContinue;
      },
      [&](TZvXMLItem&, std::u16string_view text, int) {
        PutDecoded(text);
        return waContinue;
      },
      [&](TZvXMLItem& item, int) {
        if (item.Kind == ikProperty) Leave(item, roleOf(item));
        return waContinue;
      },
      [&](TZvXMLItem&, std::u16string_view text, int) {
        PutDecoded(text);
        return waContinue;
      });
  EndBlock();
}

}  // namespace zvword
