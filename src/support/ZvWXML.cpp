// The XML engine: items, the forgiving scanner and the tree walks.
#include "support/ZvWXML.h"

#include "platform/CodePages.h"
#include "platform/Exception.h"

namespace zvword {

// ---- items ------------------------------------------------------------------------------------

TZvXMLItem* TZvXMLItems::AddItem(TZvXMLItem* ParentItem) {
  if (!ParentItem) return nullptr;
  auto item = std::make_unique<TZvXMLItem>(ParentItem);
  item->FLevel = ParentItem->FLevel + 1;
  TZvXMLItem* raw = item.get();
  ParentItem->FItems.FList.push_back(std::move(item));
  return raw;
}

void TZvXMLItems::Clear() {
  // An explicit stack instead of nested destructors: a hostile part can nest very deep.
  std::vector<std::unique_ptr<TZvXMLItem>> pending;
  while (!FList.empty()) {
    pending.push_back(std::move(FList.back()));
    FList.pop_back();
  }
  while (!pending.empty()) {
    std::unique_ptr<TZvXMLItem> item = std::move(pending.back());
    pending.pop_back();
    auto& children = item->FItems.FList;
    for (auto& c : children) pending.push_back(std::move(c));
    children.clear();
  }
}

std::unique_ptr<TZvXMLItem> TZvXMLItems::Release(TZvXMLItem* Item) {
  // The item freed is nearly always the last one added.
  for (size_t i = FList.size(); i-- > 0;) {
    if (FList[i].get() == Item) {
      std::unique_ptr<TZvXMLItem> out = std::move(FList[i]);
      FList.erase(FList.begin() + static_cast<std::ptrdiff_t>(i));
      return out;
    }
  }
  return nullptr;
}

TZvXMLItem::TZvXMLItem(TZvXMLItem* AOwner) : FParentItem(AOwner) {}

TZvXMLItem::~TZvXMLItem() { FItems.Clear(); }

void TZvXMLItem::Free(TZvXMLItem*& Item) {
  if (Item && Item->FParentItem) Item->FParentItem->FItems.Release(Item);
  Item = nullptr;
}

namespace {

template <typename Pred>
TZvXMLItem* FindPreOrder(TZvXMLItem* start, Pred pred) {
  if (!start) return nullptr;
  std::vector<TZvXMLItem*> stack{start};
  while (!stack.empty()) {
    TZvXMLItem* item = stack.back();
    stack.pop_back();
    if (pred(*item)) return item;
    const auto& items = item->Items();
    for (int i = items.Count(); i-- > 0;) stack.push_back(items[i]);
  }
  return nullptr;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Calls f(name, rawValue) for each name="value" of raw attribute text. Values keep their quotes.
template <typename F>
void SplitAttributes(std::u16string_view s, F f) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    while (i < n && IsBlank(s[i])) ++i;
    size_t nameStart = i;
    while (i < n && !IsBlank(s[i]) && s[i] != u'=') ++i;
    std::u16string_view name = s.substr(nameStart, i - nameStart);
    size_t j = i;
    while (j < n && IsBlank(s[j])) ++j;
    if (j >= n || s[j] != u'=') {
      if (i == nameStart) ++i;
      continue;
    }
    ++j;
    while (j < n && IsBlank(s[j])) ++j;
    size_t valueStart = j;
    if (j < n && (s[j] == u'"' || s[j] == u'\'')) {
      size_t close = s.find(s[j], j + 1);
      j = close == std::u16string_view::npos ? n : close + 1;
    } else {
      while (j < n && !IsBlank(s[j])) ++j;
    }
    std::u16string_view value = s.substr(valueStart, j - valueStart);
    if (!name.empty() && !value.empty()) f(name, value);
    i = j;
  }
}

WideString Unquote(std::u16string_view v) {
  if (!v.empty() && (v[0] == u'"' || v[0] == u'\'')) {
    const char16_t q = v[0];
    size_t end = v.size();
    while (end > 1 && (IsBlank(v[end - 1]) || v[end - 1] == q)) --end;
    return WideString(v.substr(1, end - 1));
  }
  return WideString(v);
}

}  // namespace

TZvXMLItem* TZvXMLItem::GetChild(const WideString& XMLTag, bool) const {
  return FindPreOrder(const_cast<TZvXMLItem*>(this), [&](const TZvXMLItem& i) { return i.TagName == XMLTag; });
}

WideString TZvXMLItem::GetTagXMLValue() const { return Value ? Unquote(*Value) : WideString(); }

WideString TZvXMLItem::GetTagValue() const {
  WideString v = GetTagXMLValue();
  if (!v.empty()) ReplaceHTMLChars(v);
  return v;
}

void TZvXMLItem::ProcessAttributes() {
  if (Attributes.empty()) return;
  SplitAttributes(Attributes, [&](std::u16string_view name, std::u16string_view value) {
    TZvXMLItem* a = TZvXMLItems::AddItem(this);
    a->Kind = ikAttribute;
    a->TagName.assign(name);
    a->Value = WideString(value);
  });
  Attributes.clear();
}

WideString AttributeValueOf(std::u16string_view RawAttributes, std::u16string_view Name) {
  WideString out;
  bool found = false;
  SplitAttributes(RawAttributes, [&](std::u16string_view name, std::u16string_view value) {
    if (!found && name == Name) {
      out = DecodeEntities(Unquote(value));
      found = true;
    }
  });
  return out;
}

WideString TZvXMLItem::AttributeValue(std::u16string_view Name) const {
  if (!Attributes.empty()) return AttributeValueOf(Attributes, Name);
  WideString out;
  for (const auto& c : FItems)
    if (c->Kind == ikAttribute && c->TagName == Name) return c->GetTagValue();
  return out;
}

WideString TZvXMLItem::FullText() const {
  WideString out;
  auto own = [&](const TZvXMLItem& i) {
    if (!i.Value || i.Kind == ikComment || i.Kind == ikAttribute) return;
    if (i.Kind == ikCDATA) out += *i.Value;
    else out += DecodeEntities(*i.Value);
  };
  own(*this);
  // Walk with (item, next child) pairs so deep trees need no recursion.
  std::vector<std::pair<const TZvXMLItem*, int>> stack{{this, 0}};
  while (!stack.empty()) {
    auto& [item, next] = stack.back();
    if (next >= item->FItems.Count()) {
      const TZvXMLItem* done = item;
      stack.pop_back();
      if (!stack.empty()) out += DecodeEntities(done->Tail);
      continue;
    }
    const TZvXMLItem* child = item->FItems[next++];
    if (child->Kind == ikAttribute) continue;
    own(*child);
    stack.push_back({child, 0});
  }
  return out;
}

// ---- engine -----------------------------------------------------------------------------------

TZvXMLEngine::TZvXMLEngine(TComponent* AOwner) : TComponent(AOwner), FRootItem(std::make_unique<TZvXMLItem>()) {}

TZvXMLEngine::~TZvXMLEngine() = default;

void TZvXMLEngine::LoadFromFile(const WideString& AFileName) {
  TFileStream stream(AFileName);
  LoadFromStream(0, &stream);
}

void TZvXMLEngine::LoadFromStream(int64_t AStreamSize, TStream* AStream) {
  FRootItem->Items().Clear();
  if (!AStream) return;
  const int64_t pos = AStream->Position();
  const int64_t end = AStreamSize == 0 ? AStream->Size() : AStreamSize;
  if (end <= pos) return;
  LoadFromBytes(AStream->ReadBytes(end - pos));
}

void TZvXMLEngine::LoadFromBytes(std::string_view Bytes) {
  FRootItem->Items().Clear();
  size_t bom = 0;
  const int cp = DetectXMLCodePage(Bytes, &DeclaredEncoding, &bom);
  UTF8Processed = cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE;
  WideString text = cp == CP_UTF8 ? DecodeUtf8(Bytes.substr(bom)) : CodePageToWide(Bytes.substr(bom), cp);
  if (!text.empty() && text.back() == 27) text.pop_back();
  if (!text.empty()) ParseXMLFromString(text);
}

TZvXMLItem* TZvXMLEngine::GetItemByTag(TZvXMLItem* ARoot, const WideString& XMLTag) const {
  return FindPreOrder(ARoot ? ARoot : FRootItem.get(),
                      [&](const TZvXMLItem& i) { return SameStrings(false, i.TagName, XMLTag); });
}

WideString TZvXMLEngine::GetFirstTagName(WideString& AXMLPath) {
  size_t slash = AXMLPath.find(u'/');
  WideString out;
  if (slash == WideString::npos) {
    out.swap(AXMLPath);
  } else {
    out = AXMLPath.substr(0, slash);
    AXMLPath.erase(0, slash + 1);
  }
  return out;
}

WideString TZvXMLEngine::GetLastTagName(WideString& AXMLPath) {
  size_t slash = AXMLPath.rfind(u'/');
  WideString out;
  if (slash == WideString::npos) {
    out.swap(AXMLPath);
  } else {
    out = AXMLPath.substr(slash + 1);
    AXMLPath.erase(slash);
  }
  return out;
}

}  // namespace zvword
