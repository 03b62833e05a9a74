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

TMarkupRole TMarkupText::RoleOf(const TZvXMLItem& item) const {
  if (item.Kind != ikProperty || item.TagName.empty() || item.TagName[0] == u'?' || item.TagName[0] == u'!')
    return mrSkip;
  return FClassify(XMLLocalName(item.TagName));
}

TZvXMLWalkAction TMarkupText::EnterItem(TZvXMLItem& item) {
  if (FSink.Stopped()) return waStop;
  if (item.Kind == ikCDATA) {
    if (item.Value) Put(*item.Value);
    return waSkipChildren;
  }
  const TMarkupRole role = RoleOf(item);
  if (role == mrSkip) return waSkipChildren;
  Enter(item, role);
  return waContinue;
}

void TMarkupText::LeaveItem(TZvXMLItem& item) {
  if (item.Kind == ikProperty) Leave(item, RoleOf(item));
}

void TMarkupText::WalkTree(TZvXMLItem* Root) {
  WalkXMLItems(
      Root, [&](TZvXMLItem& item, int) { return EnterItem(item); },
      [&](TZvXMLItem&, std::u16string_view text, int) {
        PutDecoded(text);
        return waContinue;
      },
      [&](TZvXMLItem& item, int) {
        LeaveItem(item);
        return waContinue;
      },
      [&](TZvXMLItem&, std::u16string_view text, int) {
        PutDecoded(text);
        return waContinue;
      });
}

void TMarkupText::Walk(TZvXMLItem* Root) {
  WalkTree(Root);
  EndBlock();
}

void TMarkupText::Flush(TOpenLevel& level, const TZvXMLItem* upTo) {
  FFlushed.clear();
  for (const auto& child : level.Item->Items()) {
    if (child.get() == upTo) break;
    if (child->Kind == ikAttribute) continue;
    if (!level.Skip) {
      // Comments and instructions, and at the end whatever was left open, are walked here.
      if (child.get() != level.Pending) WalkTree(child.get());
      PutDecoded(child->Tail);
    }
    FFlushed.push_back(child.get());
  }
  level.Pending = nullptr;
  for (auto it = FFlushed.rbegin(); it != FFlushed.rend(); ++it) TZvXMLItem::Free(*it);
}

void TMarkupText::EnterLevel(TZvXMLItem* item) {
  bool entered = true, skip = false;
  if (!FPath.empty()) {
    Flush(FPath.back(), item);
    entered = !FPath.back().Skip;
  }
  if (entered) {
    skip = EnterItem(*item) != waContinue;
    if (!skip && item->Value) PutDecoded(*item->Value);
  }
  FPath.push_back({item, nullptr, entered, !entered || skip});
}

void TMarkupText::LeaveLevel() {
  TOpenLevel& level = FPath.back();
  Flush(level, nullptr);
  if (level.Entered) LeaveItem(*level.Item);
  TZvXMLItem* item = level.Item;
  FPath.pop_back();
  if (!FPath.empty()) FPath.back().Pending = item;
}

TZvXMLItem* TMarkupText::Stream(TZvXMLEngine& Engine, std::string_view Bytes, std::u16string_view RootName,
                                std::u16string_view WholeName, const std::function<void(TZvXMLItem&)>& Closed) {
  TZvXMLItem* root = nullptr;
  // Levels of the first root to start and of the element kept whole that is open, found as their
  // start tags are read: looking up from each element that closes would cost its depth each time.
  int32_t rootLevel = -1, wholeLevel = -1;
  bool done = false;
  std::vector<TZvXMLItem*> chain;
  FPath.clear();
  Engine.SetOnTag([&](TZvXMLEngine*, TZvXMLItem* parent, std::u16string_view name, std::u16string_view,
                      std::u16string_view, bool&) {
    const std::u16string_view local = XMLLocalName(name);
    if (rootLevel < 0 && local == RootName) rootLevel = parent->Level() + 1;
    if (wholeLevel < 0 && !WholeName.empty() && local == WholeName) wholeLevel = parent->Level() + 1;
  });
  Engine.SetOnAfterTag([&](TZvXMLEngine*, TZvXMLItem*& node, bool& cancel) {
    if (done) return;
    if (wholeLevel >= 0) {
      if (node->Level() > wholeLevel) return;
      wholeLevel = -1;
      if (Closed) Closed(*node);
    }
    if (!root) {
      TZvXMLItem* top = Engine.RootItem();
      if (top && top->Kind == ikProperty && XMLLocalName(top->TagName) == RootName) {
        root = top;
      } else if (rootLevel >= 0) {
        // Whatever closes after the root has started is the root or lies inside it.
        root = node;
        while (root->Level() > rootLevel) root = root->ParentItem();
      } else {
        return;
      }
      EnterLevel(root);
    }
    // From the node up to the deepest element entered; those between are entered now, outermost
    // first.
    chain.clear();
    for (TZvXMLItem* i = node; i != FPath.back().Item; i = i->ParentItem()) {
      if (!i) return;
      chain.push_back(i);
    }
    for (size_t k = chain.size(); k-- > 1;) EnterLevel(chain[k]);
    if (chain.empty()) {
      LeaveLevel();
      done = FPath.empty();
    } else {
      TOpenLevel& level = FPath.back();
      Flush(level, node);
      if (!level.Skip) WalkTree(node);
      level.Pending = node;
    }
    if (FSink.Stopped()) done = true;
    cancel = done;
  });
  Engine.LoadFromBytes(Bytes);
  Engine.SetOnTag(nullptr);
  Engine.SetOnAfterTag(nullptr);
  // Markup cut short leaves elements open: what they hold is walked as it stands. The open
  // elements are the last child at each level.
  if (wholeLevel >= 0 && Closed) {
    TZvXMLItem* open = Engine.RootItem();
    while (open && open->Level() < wholeLevel && open->Items().Count() > 0)
      open = open->Items()[open->Items().Count() - 1];
    if (open && open->Level() == wholeLevel) Closed(*open);
  }
  while (!FPath.empty()) LeaveLevel();
  if (!root && rootLevel >= 0) {
    // Cut short before anything inside the root closed: the root is still whole.
    root = FindXMLItem(Engine.RootItem(), RootName, {}, true);
    if (root) WalkTree(root);
  }
  if (root) EndBlock();
  return root;
}

}  // namespace zvword
