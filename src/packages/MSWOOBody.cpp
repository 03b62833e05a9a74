// The OpenDocument readers: the walk over a body that turns paragraphs, tables, lists and pages
// into lines.
#include <algorithm>
#include <deque>
#include <optional>
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

// The state of a walk over a body: it lives across the top-level elements of a body read one at a
// time, so lists, counters, open lines and waiting lines carry from one to the next.
class TBodyWalk {
 public:
  TBodyWalk(TTextSink& ASink, TMSTextFormating AMode, const TOOStyles& AStyles, const TOOStyleNumList* AOutline,
            TWideStrings* AAnnotations, TWideStrings* AList)
      : Sink(ASink), Mode(AMode), Styles(AStyles), Outline(AOutline), Annotations(AAnnotations), List(AList) {}

  // Walks Item and everything below it; false when the output stopped.
  bool Walk(TZvXMLItem* Item) {
    // A label waits only for the item's first paragraph, which is in the same element.
    LabelFor = nullptr;
    return WalkXMLItems(
        Item, [this](TZvXMLItem& i, int) { return OnEnter(i); },
        [this](TZvXMLItem&, std::u16string_view text, int) { return AddText(text), waContinue; },
        [this](TZvXMLItem& i, int) { return OnLeave(i); },
        [this](TZvXMLItem&, std::u16string_view text, int) { return AddText(text), waContinue; });
  }

  // A container read a child at a time: its own entering and leaving, around its children's
  // walks. False when the output stopped.
  bool Enter(TZvXMLItem* Item) {
    LabelFor = nullptr;
    return OnEnter(*Item) != waStop;
  }
  bool Leave(TZvXMLItem* Item) { return OnLeave(*Item) != waStop; }

  // What a stopped walk left open is kept; lines still waiting follow.
  void Finish() {
    while (!Open.empty()) {
      TOpenLine line = std::move(Open.back());
      Open.pop_back();
      if (line.Kind == kAnnotation) continue;
      --Lines;
      if (!line.Text.empty()) Emit(line.List, std::move(line.Text));
    }
    for (auto& d : Deferred) Sink.Item(d.first, d.second);
    Deferred.clear();
  }

 private:
  TTextSink& Sink;
  const TMSTextFormating Mode;
  const TOOStyles& Styles;
  const TOOStyleNumList* Outline;
  TWideStrings* Annotations;
  TWideStrings* List;
  std::vector<TOpenLine> Open;
  int Lines = 0;  // open paragraphs and rows
  // Lines that finished inside an open one (a note, a text box) follow it.
  std::vector<std::pair<TWideStrings*, WideString>> Deferred;
  // Lists: the open ones, innermost last; the counters of each list and whom a label waits for.
  std::vector<TOpenList> Lists;
  std::deque<TListCounters> Counters;
  std::unordered_map<WideString, TListCounters*> ByStyle, ById;
  TListCounters Headings;
  const TZvXMLItem* LabelFor = nullptr;
  WideString Label;

  TWideStrings* ListNow() const { return Open.empty() ? List : Open.back().List; }
  void Emit(TWideStrings* list, WideString line) {
    if (Lines > 0) {
      Deferred.emplace_back(list, std::move(line));
      return;
    }
    Sink.Item(list, line);
    for (auto& d : Deferred) Sink.Item(d.first, d.second);
    Deferred.clear();
  }
  void EmitMarkup(const TMarkup& m) {
    if (Mode == tfHTML) Emit(ListNow(), WideString(m.In(Mode)));
  }
  TOpenLine* Paragraph() { return !Open.empty() && Open.back().Kind == kParagraph ? &Open.back() : nullptr; }
  // Runs of white space in a paragraph count as one space; none at its start.
  void AddText(std::u16string_view raw) {
    TOpenLine* p = Paragraph();
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
    if (collapsed.find(u'&') == WideString::npos) Sink.Text(collapsed, p->Text);
    else Sink.Text(DecodeEntities(collapsed), p->Text);
  }
  void AddMark(std::u16string_view rendered, bool space) {
    if (TOpenLine* p = Paragraph()) {
      p->Text += rendered;
      p->Space = space;
      p->CollapsedTail = false;
    }
  }
  void CloseCell(TOpenLine& row) {
    if (row.Cell.empty()) {
      row.PendingEmpty = std::min(row.PendingEmpty + row.CellRepeat, kMaxRepeat);
    } else {
      auto write = [&](std::u16string_view cell) {
        if (row.Cells++ > 0) Sink.Mark(tmCell, row.Text);
        Sink.Markup(kCellStart, row.Text);
        row.Text += cell;
        Sink.Markup(kCellEnd, row.Text);
      };
      for (int64_t i = 0; i < row.PendingEmpty; ++i) write(u"");
      row.PendingEmpty = 0;
      for (int64_t i = 0; i < std::min(row.CellRepeat, kMaxRepeat); ++i) write(row.Cell);
    }
    row.Cell.clear();
    row.CellRepeat = 1;
  }
  TZvXMLWalkAction OnEnter(TZvXMLItem& item);
  TZvXMLWalkAction OnLeave(TZvXMLItem& item);
};

TZvXMLWalkAction TBodyWalk::OnEnter(TZvXMLItem& item) {
  if (Sink.Stopped()) return waStop;
  switch (KindOf(item.TagName)) {
    case kParagraph: {
      const bool intoRow = !Open.empty() && Open.back().Kind == kRow;
      Open.emplace_back(&item, kParagraph, ListNow(), intoRow);
      ++Lines;
      TOpenLine& p = Open.back();
      const bool heading = item.TagName == u"text:h"sv;
      int32_t outline = 1;
      if (heading) LeadingIntOf(item.AttributeValue(u"text:outline-level"), outline);
      if (heading) p.Heading = std::clamp(outline, 1, 6);
      // An item's label goes before its first paragraph; a heading outside lists is numbered by
      // the outline style.
      if (LabelFor && LabelFor == item.ParentItem()) {
        LabelFor = nullptr;
      } else if (heading && Outline && item.AttributeValue(u"text:is-list-header") != u"true"sv &&
                 std::none_of(item.Items().begin(), item.Items().end(),
                              [](const auto& c) { return c->TagName == u"text:number"sv; })) {
        Label = CountAndLabel(Outline, std::clamp(outline, 1, TOOStyleNumList::kLevels), Headings, -1);
      } else {
        break;
      }
      if (!Label.empty()) {
        Sink.Text(Label, p.Text);
        p.Text += kLabelSeparator;
        p.Space = true;
      }
      Label.clear();
      break;
    }
    case kSpace: {
      const int64_t n = std::min<int64_t>(CountAttribute(item, u"text:c"), kMaxRepeat);
      AddMark(WideString(static_cast<size_t>(n), u' '), false);
      return waSkipChildren;
    }
    case kTab:
      AddMark(Sink.Rendering(tmTab), true);
      return waSkipChildren;
    case kLineBreak:
      AddMark(Sink.Rendering(tmLine), true);
      return waSkipChildren;
    case kSkip:
      return waSkipChildren;
    case kAnnotation:
      Open.emplace_back(&item, kAnnotation, Annotations);
      break;
    case kList: {
      const WideString name = item.AttributeValue(u"text:style-name");
      const auto* style = dynamic_cast<const TOOStyleNumList*>(Styles.FindInFamily(u"list", name));
      if (!Lists.empty()) {
        // A nested list is the next level of the list around it, counted with it.
        if (!style) style = Lists.back().Style;
        Lists.push_back({style, std::min(Lists.back().Level + 1, int(TOOStyleNumList::kLevels)), Lists.back().Counters});
      } else {
        TListCounters* c = nullptr;
        const WideString continued = item.AttributeValue(u"text:continue-list");
        if (!continued.empty()) {
          if (const auto it = ById.find(continued); it != ById.end()) c = it->second;
        } else if (item.AttributeValue(u"text:continue-numbering") == u"true"sv) {
          if (const auto it = ByStyle.find(name); it != ByStyle.end()) c = it->second;
        }
        if (!c) c = &Counters.emplace_back();
        const WideString id = item.AttributeValue(u"xml:id");
        if (!id.empty()) ById[id] = c;
        ByStyle[name] = c;
        Lists.push_back({style, 1, c});
      }
      EmitMarkup(Lists.back().Style ? kLabelledListStart : kListStart);
      break;
    }
    case kListItem: {
      EmitMarkup(kItemStart);
      LabelFor = nullptr;
      Label.clear();
      if (Lists.empty() || item.TagName != u"text:list-item"sv) break;
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
      const TOpenList& l = Lists.back();
      Label = CountAndLabel(l.Style, l.Level, *l.Counters, start);
      LabelFor = &item;
      break;
    }
    case kTable:
      EmitMarkup(kTableStart);
      break;
    case kRow: {
      TOpenLine row(&item, kRow, ListNow());
      row.RowRepeat = CountAttribute(item, u"table:number-rows-repeated");
      Open.push_back(std::move(row));
      ++Lines;
      break;
    }
    case kCell:
      if (!Open.empty() && Open.back().Kind == kRow) {
        Open.back().Cell.clear();
        Open.back().CellRepeat = CountAttribute(item, u"table:number-columns-repeated");
      }
      break;
    case kImage: {
      const WideString href = item.AttributeValue(u"xlink:href");
      if (href.empty() || (Mode != tfHTML && !Sink.Reports())) break;
      WideString s = href;
      WideString result;
      Sink.Report(scIncludePicture, href, result);
      s += result;
      if (Mode == tfHTML) {
        WideString tag = u"<img src=\"";
        Sink.Text(s, tag);
        s = tag + u"\"><br>";
      }
      Emit(ListNow(), s);
      break;
    }
    default:
      break;
  }
  return waContinue;
}

TZvXMLWalkAction TBodyWalk::OnLeave(TZvXMLItem& item) {
  if (!Open.empty() && Open.back().Item == &item) {
    TOpenLine line = std::move(Open.back());
    Open.pop_back();
    if (line.Kind == kParagraph) {
      --Lines;
      if (line.CollapsedTail && !line.Text.empty() && line.Text.back() == u' ') line.Text.pop_back();
      if (line.IntoRow && !Open.empty() && Open.back().Kind == kRow) {
        TOpenLine& row = Open.back();
        if (!line.Text.empty()) {
          if (!row.Cell.empty()) row.Cell += u' ';
          row.Cell += line.Text;
        }
      } else {
        WideString out;
        const int h = line.Heading;
        if (h > 0) Sink.Markup(kHeadingOpen[h - 1], out);
        if (Mode == tfHTML) {
          const WideString style = item.AttributeValue(u"text:style-name");
          if (h == 0) out = u"<p";
          if (!style.empty()) {
            out += u" class=\"";
            Sink.Text(style, out);
            out += u"\"";
          }
          out += u">";
        }
        out += line.Text;
        if (h > 0) Sink.Markup(kHeadingClose[h - 1], out);
        else Sink.Mark(tmParagraph, out);
        Emit(line.List, std::move(out));
      }
    } else if (line.Kind == kRow) {
      --Lines;
      if (line.Cells > 0) {
        WideString out(Sink.Rendering(kRowStart));
        out += line.Text;
        Sink.Mark(tmRow, out);
        for (int64_t i = 0; i < std::min(line.RowRepeat, kMaxRepeat); ++i) Emit(line.List, out);
      }
    }
    return Sink.Stopped() ? waStop : waContinue;
  }
  switch (KindOf(item.TagName)) {
    case kCell:
      if (!Open.empty() && Open.back().Kind == kRow) CloseCell(Open.back());
      if (Sink.Reports()) {
        WideString result;
        Sink.Report(scColumnEnd, u"", result);
        if (!result.empty()) Emit(ListNow(), result);
      }
      break;
    case kListItem:
      EmitMarkup(kItemEnd);
      break;
    case kNumber:  // a label written out by the application
      AddMark(kLabelSeparator, true);
      break;
    case kList:
      if (!Lists.empty()) Lists.pop_back();
      EmitMarkup(kListEnd);
      break;
    case kTable:
      EmitMarkup(kTableEnd);
      break;
    case kPage: {
      // A blank line between pages; the host may put its own mark there.
      WideString result;
      Sink.Report(scEndOfPage, u"", result);
      Emit(ListNow(), result);
      break;
    }
    default:
      break;
  }
  return Sink.Stopped() ? waStop : waContinue;
}

}  // namespace

void TCustomOpenOfficeDocument::WalkBody(TZvXMLItem* Root, TWideStrings* List) {
  if (!Root) return;
  TBodyWalk walk(FSink, TextFormating(), FStyles, FOutline.get(), AnnotationText(), List);
  walk.Walk(Root);
  walk.Finish();
}

namespace {

// The element whose children are the text below Root: the body's content element of the reader's
// kind (the last one), else the body itself; nullptr without a body.
TZvXMLItem* ContentElement(TZvXMLItem* Root, std::u16string_view BodyTag, std::u16string_view ContentTag) {
  TZvXMLItem* body = FindXMLItem(Root, XMLLocalName(BodyTag), {}, true);
  if (!body) return nullptr;
  // A package read with another kind's reader still gives its text.
  TZvXMLItem* text = nullptr;
  for (const auto& child : body->Items())
    if (child->TagName == ContentTag) text = child.get();
  return text ? text : body;
}

// The automatic styles below Root and the named ones below Named.
std::pair<TZvXMLItem*, TZvXMLItem*> StyleElements(TZvXMLItem* Root, TZvXMLItem* Named) {
  return {FindXMLItem(Root, u"automatic-styles", {}, true), Named ? FindXMLItem(Named, u"styles", {}, true) : nullptr};
}

}  // namespace

TZvXMLItem* OOFlatRoot(TZvXMLItem* Item) {
  TZvXMLItem* root = FindXMLItem(Item, u"document", {}, true);
  return root ? root : FindXMLItem(Item, u"document-content", {}, true);
}

void TCustomOpenOfficeDocument::LoadXMLFilePart(TZvXMLItem* Root, TZvXMLItem* Named, TWideStrings* List) {
  if (!Root) return;
  // Named styles matter to HTML (classes) and to every mode through their list styles.
  const auto [automatic, common] = StyleElements(Root, Named);
  ReadStyles(common, automatic, List);
  WalkBody(ContentElement(Root, FXMLTagRoot, FXMLTagText), List);
}

void OOLoadContent(TCustomOpenOfficeDocument& Doc, TZvXMLEngine& Engine, std::string_view Bytes, TZvXMLItem* Named,
                   bool Flat, TWideStrings* List) {
  auto documentRoot = [&] { return Flat ? OOFlatRoot(Engine.RootItem()) : Engine.RootItem(); };
  const std::u16string_view bodyTag = Doc.FXMLTagRoot, contentTag = Doc.FXMLTagText;
  std::optional<TBodyWalk> walk;
  TZvXMLItem* content = nullptr;  // the content element, read one child at a time
  bool decided = false;
  // The styles come before the body, so they are whole when its content element's first child
  // starts: the walk begins there, unless the body is not where the whole tree would have it.
  Engine.SetOnTag([&](TZvXMLEngine*, TZvXMLItem* parent, std::u16string_view, std::u16string_view, std::u16string_view,
                      bool&) {
    if (decided || !parent || parent->TagName != contentTag || !parent->ParentItem() ||
        XMLLocalName(parent->ParentItem()->TagName) != XMLLocalName(bodyTag))
      return;
    decided = true;
    TZvXMLItem* root = documentRoot();
    if (!root || FindXMLItem(root, XMLLocalName(bodyTag), {}, true) != parent->ParentItem()) return;
    const auto [automatic, common] = StyleElements(root, Flat ? root : Named);
    Doc.ReadStyles(common, automatic, List);
    content = parent;
    walk.emplace(Doc.FSink, Doc.TextFormating(), Doc.FStyles, Doc.FOutline.get(), Doc.AnnotationText(), List);
  });
  // A table or section of the content (a spreadsheet's sheet, a text in one section) is read a
  // child at a time as well, so that one element holding the whole text is not kept whole.
  TZvXMLItem* container = nullptr;
  // Walks the container's children so far, then frees them; false when the output stopped.
  auto walkChildren = [&](TZvXMLItem* parent) {
    std::vector<TZvXMLItem*> children;
    for (const auto& child : parent->Items())
      if (child->Kind != ikAttribute) children.push_back(child.get());
    bool going = true;
    for (TZvXMLItem* child : children)
      if (going) going = walk->Walk(child);
    for (auto it = children.rbegin(); it != children.rend(); ++it) TZvXMLItem::Free(*it);
    return going;
  };
  Engine.SetOnAfterTag([&](TZvXMLEngine*, TZvXMLItem*& node, bool& cancel) {
    if (!content) return;
    TZvXMLItem* parent = node->ParentItem();
    // A flat document is still read to its end: its metadata may follow the body.
    if (parent && parent != content && parent->ParentItem() == content &&
        (parent->TagName == u"table:table"sv || parent->TagName == u"text:section"sv)) {
      bool going = true;
      if (container != parent) {
        container = parent;
        going = walk->Enter(parent);
      }
      if (!(going && walkChildren(parent)) && !Flat) cancel = true;
      node = nullptr;
      return;
    }
    if (parent != content) return;
    if (node == container) {
      container = nullptr;
      if (!(walkChildren(node) && walk->Leave(node)) && !Flat) cancel = true;
    } else if (!walk->Walk(node) && !Flat) {
      cancel = true;
    }
    // Comments and instructions before it hold no text: they go with it.
    content->Items().Clear();
    node = nullptr;
  });
  Engine.LoadFromBytes(Bytes);
  Engine.SetOnTag(nullptr);
  Engine.SetOnAfterTag(nullptr);
  if (!content) {
    Doc.LoadXMLFilePart(documentRoot(), Flat ? documentRoot() : Named, List);
    return;
  }
  // A part cut short leaves its last elements open; a later content element is read as well.
  TZvXMLItem* last = ContentElement(documentRoot(), bodyTag, contentTag);
  bool going = true;
  for (TZvXMLItem* element : {content, last != content ? last : nullptr}) {
    if (!element) continue;
    for (const auto& child : element->Items()) {
      if (!going || child->Kind == ikAttribute) continue;
      // A container cut short was entered already: the rest of its children, then its end.
      if (child.get() == container) going = walkChildren(container) && walk->Leave(container);
      else going = walk->Walk(child.get());
    }
  }
  walk->Finish();
}

}  // namespace zvword
