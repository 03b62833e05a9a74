// The OpenDocument readers: the walk over a body that turns paragraphs, tables, lists and pages
// into lines.
#include <algorithm>
#include <deque>
#include <unordered_map>

#include "packages/MSWOO.h"

namespace zvword {

using namespace std::string_view_literals;  // literals of known length in comparisons

namespace {

// Repeated cells and rows stand for copies of one cell; a sheet repeats its empty tail a million
// times, and copies beyond these counts say nothing new.
constexpr int64_t kMaxRepeat = 1024;

enum EKind : uint8_t {
  kOther, kParagraph, kSpace, kTab, kLineBreak, kSkip, kAnnotation, kList, kListItem,
  kTable, kRow, kCell, kPage, kImage, kNumber
};

EKind KindOf(std::u16string_view name) {
  static const std::unordered_map<std::u16string_view, EKind> kinds = {
      {u"text:p", kParagraph}, {u"text:h", kParagraph}, {u"text:s", kSpace}, {u"text:tab", kTab},
      {u"text:line-break", kLineBreak}, {u"office:annotation", kAnnotation}, {u"svg:title", kParagraph},
      {u"text:list", kList}, {u"text:list-item", kListItem}, {u"text:list-header", kListItem},
      {u"table:table", kTable}, {u"table:table-row", kRow}, {u"table:table-cell", kCell},
      {u"table:covered-table-cell", kCell}, {u"text:number", kNumber}, {u"draw:page", kPage}, {u"draw:image", kImage},
      // The title of a drawing is its only text when it is a picture; the description is longer
      // prose for screen readers. Not text of the document: deleted text kept for tracking,
      // declarations, the templates an index is made from. A note's citation stays inline; its
      // body follows the paragraph.
      {u"text:tracked-changes", kSkip}, {u"office:forms", kSkip},
      {u"text:sequence-decls", kSkip}, {u"text:variable-decls", kSkip}, {u"text:user-field-decls", kSkip},
      {u"text:dde-connection-decls", kSkip}, {u"svg:desc", kSkip},
      {u"text:table-of-content-source", kSkip}, {u"text:alphabetical-index-source", kSkip},
      {u"text:illustration-index-source", kSkip}, {u"text:table-index-source", kSkip},
      {u"text:object-index-source", kSkip}, {u"text:user-index-source", kSkip},
      {u"text:bibliography-source", kSkip}, {u"office:event-listeners", kSkip},
      {u"table:named-expressions", kSkip}, {u"table:database-ranges", kSkip}, {u"text:ruby-text", kSkip},
      {u"office:annotation-end", kSkip}, {u"table:shapes", kOther}};
  const auto it = kinds.find(name);
  return it == kinds.end() ? kOther : it->second;
}

// The integer the value starts with; false (and out unchanged) when it starts with no digit.
bool LeadingIntOf(std::u16string_view s, int32_t& out) {
  int64_t v = 0;
  size_t i = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - u'0'), INT32_MAX);
  if (i == 0) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

int64_t CountAttribute(const TZvXMLItem& item, std::u16string_view name) {
  const WideString v = item.AttributeValue(name);
  int64_t n = 0;
  for (char16_t c : v) {
    if (c < u'0' || c > u'9') break;
    n = std::min<int64_t>(n * 10 + (c - u'0'), int64_t(1) << 40);
  }
  return v.empty() ? 1 : std::max<int64_t>(n, 1);
}

const TMarkup kTableStart{u"", u"", u"<table border=\"1\">"}, kTableEnd{u"", u"", u"</table>"};
const TMarkup kRowStart{u"", u"", u"<tr>"}, kCellStart{u"", u"", u"<td>"}, kCellEnd{u"", u"", u"</td>"};
const TMarkup kListStart{u"", u"", u"<ul>"}, kListEnd{u"", u"", u"</ul>"};
// A list whose style gives labels: the labels are in the text, the browser adds none.
const TMarkup kLabelledListStart{u"", u"", u"<ul style=\"list-style-type: none\">"};
// Headings: HTML's own, RTF's bold and larger by level.
const TMarkup kHeadingOpen[6] = {{u"", u"{\\b\\fs32 ", u"<h1"}, {u"", u"{\\b\\fs28 ", u"<h2"},
                                 {u"", u"{\\b\\fs26 ", u"<h3"}, {u"", u"{\\b\\fs24 ", u"<h4"},
                                 {u"", u"{\\b\\fs24 ", u"<h5"}, {u"", u"{\\b\\fs24 ", u"<h6"}};
const TMarkup kHeadingClose[6] = {{u"", u"}\\par ", u"</h1>"}, {u"", u"}\\par ", u"</h2>"},
                                  {u"", u"}\\par ", u"</h3>"}, {u"", u"}\\par ", u"</h4>"},
                                  {u"", u"}\\par ", u"</h5>"}, {u"", u"}\\par ", u"</h6>"}};
// What parts a label from the paragraph's text, as LibreOffice's text export writes it.
constexpr std::u16string_view kLabelSeparator = u" ";

WideString Decimal(int64_t n) { return Utf8ToWide(std::to_string(n)); }

WideString Roman(int64_t n, bool upper) {
  if (n < 1 || n > 3999) return Decimal(n);
  static const std::pair<int, const char*> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                      {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                      {5, "v"},    {4, "iv"},   {1, "i"}};
  WideString out;
  for (const auto& [value, letters] : parts)
    for (; n >= value; n -= value)
      for (const char* c = letters; *c; ++c) out += static_cast<char16_t>(upper ? *c - 32 : *c);
  return out;
}

// A number in a list style's format: "1", "a"/"A" (z is followed by aa), "i"/"I"; none for "".
WideString FormatNumber(int64_t n, std::u16string_view format) {
  if (format.empty()) return {};
  const char16_t f = format[0];
  if ((f == u'a' || f == u'A') && n > 0) {
    WideString out;
    for (int64_t v = n; v > 0; v = (v - 1) / 26) out.insert(out.begin(), static_cast<char16_t>(f + (v - 1) % 26));
    return out;
  }
  if (f == u'i' || f == u'I') return Roman(n, f == u'I');
  return Decimal(n);
}

// The counters of one list, its nested levels included; continued lists share them.
struct TListCounters {
  std::array<int64_t, TOOStyleNumList::kLevels> Value{};
  std::array<bool, TOOStyleNumList::kLevels> Started{};
};

struct TOpenList {
  const TOOStyleNumList* Style;
  int Level;  // 1-based
  TListCounters* Counters;
};

// Counts an item at Level (1-based) and gives its label; Start overrides the count when >= 0.
WideString CountAndLabel(const TOOStyleNumList* style, int level, TListCounters& c, int64_t start) {
  const size_t at = static_cast<size_t>(level - 1);
  const TOOListLevel* def = style ? &style->Levels[at] : nullptr;
  if (start >= 0) c.Value[at] = start - 1, c.Started[at] = true;
  if (!c.Started[at]) c.Value[at] = (def ? def->StartValue : 1) - 1, c.Started[at] = true;
  ++c.Value[at];
  for (size_t k = at + 1; k < c.Started.size(); ++k) c.Started[k] = false;
  if (!def) return {};
  // LibreOffice writes affixes on bullet levels too and shows none of them.
  if (def->Bullet) return def->BulletChar;
  WideString body;
  if (!def->Format.empty()) {
    for (int k = level - def->DisplayLevels + 1; k <= level; ++k) {
      const size_t i = static_cast<size_t>(k - 1);
      const WideString part = FormatNumber(c.Started[i] ? c.Value[i] : style->Levels[i].StartValue, style->Levels[i].Format);
      if (part.empty()) continue;
      if (!body.empty()) body += u'.';
      body += part;
    }
  }
  if (body.empty() && def->Prefix.empty() && def->Suffix.empty()) return {};
  return def->Prefix + body + def->Suffix;
}

const TMarkup kItemStart{u"", u"", u"  <li>"}, kItemEnd{u"", u"", u"  </li>"};

// A line being built: a paragraph, or a table row whose cells gather the paragraphs inside them.
struct TOpenLine {
  TOpenLine(TZvXMLItem* AItem, EKind AKind, TWideStrings* AList, bool AIntoRow = false)
      : Item(AItem), Kind(AKind), List(AList), IntoRow(AIntoRow) {}
  TZvXMLItem* Item;
  int Heading = 0;        // a heading's level, 1..6
  EKind Kind;             // kParagraph, kRow, or kAnnotation (a comment: its lines go to their own list)
  TWideStrings* List;     // where the line goes
  bool IntoRow = false;   // a paragraph in a cell: its text joins the row's line
  WideString Text;        // rendered: the paragraph's text, or the row's cells so far
  bool Space = true;      // the text ends in collapsible white space (or has none yet)
  bool CollapsedTail = false;
  // Rows: the open cell, how often it repeats, empty cells not yet written, cells written.
  WideString Cell;
  int64_t CellRepeat = 1, PendingEmpty = 0, Cells = 0, RowRepeat = 1;
};

}  // namespace

void TCustomOpenOfficeDocument::WalkBody(TZvXMLItem* Root, TWideStrings* List) {
  if (!Root) return;
  const TMSTextFormating mode = TextFormating();
  std::vector<TOpenLine> open;
  int lines = 0;  // open paragraphs and rows
  // Lines that finished inside an open one (a note, a text box) follow it.
  std::vector<std::pair<TWideStrings*, WideString>> deferred;

  // Lists: the open ones, innermost last; the counters of each list and whom a label waits for.
  std::vector<TOpenList> lists;
  std::deque<TListCounters> counters;
  std::unordered_map<WideString, TListCounters*> byStyle, byId;
  TListCounters headings;
  const TZvXMLItem* labelFor = nullptr;
  WideString label;

  auto listNow = [&]() { return open.empty() ? List : open.back().List; };
  auto emit = [&](TWideStrings* list, WideString line) {
    if (lines > 0) {
      deferred.emplace_back(list, std::move(line));
      return;
    }
    FSink.Item(list, line);
    for (auto& d : deferred) FSink.Item(d.first, d.second);
    deferred.clear();
  };
  auto emitMarkup = [&](const TMarkup& m) {
    if (mode == tfHTML) emit(listNow(), WideString(m.In(mode)));
  };
  auto paragraph = [&]() -> TOpenLine* {
    return !open.empty() && open.back().Kind == kParagraph ? &open.back() : nullptr;
  };
  // Runs of white space in a paragraph count as one space; none at its start.
  auto addText = [&](std::u16string_view raw) {
    TOpenLine* p = paragraph();
    if (!p || raw.empty()) return;
    WideString collapsed;
    collapsed.reserve(raw.size());
    for (char16_t c : raw) {
      if (IsSpace(c)) {
        if (!p->Space) collapsed += u' ';
        p->Space = true;
      } else {
        collapsed += c;
        p->Space = false;
      }
    }
    if (collapsed.empty()) return;
    p->CollapsedTail = p->Space;
    if (collapsed.find(u'&') == WideString::npos) FSink.Text(collapsed, p->Text);
    else FSink.Text(DecodeEntities(collapsed), p->Text);
  };
  auto addMark = [&](std::u16string_view rendered, bool space) {
    if (TOpenLine* p = paragraph()) {
      p->Text += rendered;
      p->Space = space;
      p->CollapsedTail = false;
    }
  };
  auto closeCell = [&](TOpenLine& row) {
    if (row.Cell.empty()) {
      row.PendingEmpty = std::min(row.PendingEmpty + row.CellRepeat, kMaxRepeat);
    } else {
      auto write = [&](std::u16string_view cell) {
        if (row.Cells++ > 0) FSink.Mark(tmCell, row.Text);
        FSink.Markup(kCellStart, row.Text);
        row.Text += cell;
        FSink.Markup(kCellEnd, row.Text);
      };
      for (int64_t i = 0; i < row.PendingEmpty; ++i) write(u"");
      row.PendingEmpty = 0;
      for (int64_t i = 0; i < std::min(row.CellRepeat, kMaxRepeat); ++i) write(row.Cell);
    }
    row.Cell.clear();
    row.CellRepeat = 1;
  };

  auto onEnter = [&](TZvXMLItem& item, int) -> TZvXMLWalkAction {
    if (FSink.Stopped()) return waStop;
    switch (KindOf(item.TagName)) {
      case kParagraph: {
        const bool intoRow = !open.empty() && open.back().Kind == kRow;
        open.emplace_back(&item, kParagraph, listNow(), intoRow);
        ++lines;
        TOpenLine& p = open.back();
        const bool heading = item.TagName == u"text:h"sv;
        int32_t outline = 1;
        if (heading) LeadingIntOf(item.AttributeValue(u"text:outline-level"), outline);
        if (heading) p.Heading = std::clamp(outline, 1, 6);
        // An item's label goes before its first paragraph; a heading outside lists is numbered by
        // the outline style.
        if (labelFor && labelFor == item.ParentItem()) {
          labelFor = nullptr;
        } else if (heading && FOutline && item.AttributeValue(u"text:is-list-header") != u"true"sv &&
                   std::none_of(item.Items().begin(), item.Items().end(),
                                [](const auto& c) { return c->TagName == u"text:number"sv; })) {
          label = CountAndLabel(FOutline.get(), std::clamp(outline, 1, TOOStyleNumList::kLevels), headings, -1);
        } else {
          break;
        }
        if (!label.empty()) {
          FSink.Text(label, p.Text);
          p.Text += kLabelSeparator;
          p.Space = true;
        }
        label.clear();
        break;
      }
      case kSpace: {
        const int64_t n = std::min<int64_t>(CountAttribute(item, u"text:c"), kMaxRepeat);
        addMark(WideString(static_cast<size_t>(n), u' '), false);
        return waSkipChildren;
      }
      case kTab:
        addMark(FSink.Rendering(tmTab), true);
        return waSkipChildren;
      case kLineBreak:
        addMark(FSink.Rendering(tmLine), true);
        return waSkipChildren;
      case kSkip:
        return waSkipChildren;
      case kAnnotation:
        open.emplace_back(&item, kAnnotation, AnnotationText());
        break;
      case kList: {
        const WideString name = item.AttributeValue(u"text:style-name");
        const auto* style = dynamic_cast<const TOOStyleNumList*>(FStyles.FindInFamily(u"list", name));
        if (!lists.empty()) {
          // A nested list is the next level of the list around it, counted with it.
          if (!style) style = lists.back().Style;
          lists.push_back({style, std::min(lists.back().Level + 1, int(TOOStyleNumList::kLevels)), lists.back().Counters});
        } else {
          TListCounters* c = nullptr;
          const WideString continued = item.AttributeValue(u"text:continue-list");
          if (!continued.empty()) {
            if (const auto it = byId.find(continued); it != byId.end()) c = it->second;
          } else if (item.AttributeValue(u"text:continue-numbering") == u"true"sv) {
            if (const auto it = byStyle.find(name); it != byStyle.end()) c = it->second;
          }
          if (!c) c = &counters.emplace_back();
          const WideString id = item.AttributeValue(u"xml:id");
          if (!id.empty()) byId[id] = c;
          byStyle[name] = c;
          lists.push_back({style, 1, c});
        }
        emitMarkup(lists.back().Style ? kLabelledListStart : kListStart);
        break;
      }
      case kListItem: {
        emitMarkup(kItemStart);
        labelFor = nullptr;
        label.clear();
        if (lists.empty() || item.TagName != u"text:list-item"sv) break;
        // An item that only wraps a deeper list has no label of its own.
        const TZvXMLItem* first = nullptr;
        for (const auto& child : item.Items())
          if (child->Kind == ikProperty) {
            first = child.get();
            break;
          }
        if (!first || KindOf(first->TagName) != kParagraph || first->TagName == u"svg:title"sv) break;
        int32_t start = -1;
        LeadingIntOf(item.AttributeValue(u"text:start-value"), start);
        const TOpenList& l = lists.back();
        label = CountAndLabel(l.Style, l.Level, *l.Counters, start);
        labelFor = &item;
        break;
      }
      case kTable:
        emitMarkup(kTableStart);
        break;
      case kRow: {
        TOpenLine row(&item, kRow, listNow());
        row.RowRepeat = CountAttribute(item, u"table:number-rows-repeated");
        open.push_back(std::move(row));
        ++lines;
        break;
      }
      case kCell:
        if (!open.empty() && open.back().Kind == kRow) {
          open.back().Cell.clear();
          open.back().CellRepeat = CountAttribute(item, u"table:number-columns-repeated");
        }
        break;
      case kImage: {
        const WideString href = item.AttributeValue(u"xlink:href");
        if (href.empty() || (mode != tfHTML && !FSink.Reports())) break;
        WideString s = href;
        WideString result;
        FSink.Report(scIncludePicture, href, result);
        s += result;
        if (mode == tfHTML) {
          WideString tag = u"<img src=\"";
          FSink.Text(s, tag);
          s = tag + u"\"><br>";
        }
        emit(listNow(), s);
        break;
      }
      default:
        break;
    }
    return waContinue;
  };
  auto onText = [&](TZvXMLItem&, std::u16string_view text, int) {
    addText(text);
    return waContinue;
  };
  auto onLeave = [&](TZvXMLItem& item, int) -> TZvXMLWalkAction {
    if (!open.empty() && open.back().Item == &item) {
      TOpenLine line = std::move(open.back());
      open.pop_back();
      if (line.Kind == kParagraph) {
        --lines;
        if (line.CollapsedTail && !line.Text.empty() && line.Text.back() == u' ') line.Text.pop_back();
        if (line.IntoRow && !open.empty() && open.back().Kind == kRow) {
          TOpenLine& row = open.back();
          if (!line.Text.empty()) {
            if (!row.Cell.empty()) row.Cell += u' ';
            row.Cell += line.Text;
          }
        } else {
          WideString out;
          const int h = line.Heading;
          if (h > 0) FSink.Markup(kHeadingOpen[h - 1], out);
          if (mode == tfHTML) {
            const WideString style = item.AttributeValue(u"text:style-name");
            if (h == 0) out = u"<p";
            if (!style.empty()) {
              out += u" class=\"";
              FSink.Text(style, out);
              out += u"\"";
            }
            out += u">";
          }
          out += line.Text;
          if (h > 0) FSink.Markup(kHeadingClose[h - 1], out);
          else FSink.Mark(tmParagraph, out);
          emit(line.List, std::move(out));
        }
      } else if (line.Kind == kRow) {
        --lines;
        if (line.Cells > 0) {
          WideString out(FSink.Rendering(kRowStart));
          out += line.Text;
          FSink.Mark(tmRow, out);
          for (int64_t i = 0; i < std::min(line.RowRepeat, kMaxRepeat); ++i) emit(line.List, out);
        }
      }
      return FSink.Stopped() ? waStop : waContinue;
    }
    switch (KindOf(item.TagName)) {
      case kCell:
        if (!open.empty() && open.back().Kind == kRow) closeCell(open.back());
        if (FSink.Reports()) {
          WideString result;
          FSink.Report(scColumnEnd, u"", result);
          if (!result.empty()) emit(listNow(), result);
        }
        break;
      case kListItem:
        emitMarkup(kItemEnd);
        break;
      case kNumber:  // a label written out by the application
        addMark(kLabelSeparator, true);
        break;
      case kList:
        if (!lists.empty()) lists.pop_back();
        emitMarkup(kListEnd);
        break;
      case kTable:
        emitMarkup(kTableEnd);
        break;
      case kPage: {
        // A blank line between pages; the host may put its own mark there.
        WideString result;
        FSink.Report(scEndOfPage, u"", result);
        emit(listNow(), result);
        break;
      }
      default:
        break;
    }
    return FSink.Stopped() ? waStop : waContinue;
  };
  auto onTail = [&](TZvXMLItem&, std::u16string_view text, int) {
    addText(text);
    return waContinue;
  };
  WalkXMLItems(Root, onEnter, onText, onLeave, onTail);
  // A walk stopped early leaves lines open: what they hold is kept.
  while (!open.empty()) {
    TOpenLine line = std::move(open.back());
    open.pop_back();
    if (line.Kind == kAnnotation) continue;
    --lines;
    if (!line.Text.empty()) emit(line.List, std::move(line.Text));
  }
  for (auto& d : deferred) FSink.Item(d.first, d.second);
}

}  // namespace zvword
