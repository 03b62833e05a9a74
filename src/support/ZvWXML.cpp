// The XML engine: items, the forgiving scanner and the tree walks.
#include "support/ZvWXML.h"

#include <type_traits>

#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "platform/TextHelpers.h"

namespace zvword {

// ---- items ------------------------------------------------------------------------------------

namespace {

// Freed items wait here for reuse, with their strings' storage: a reader frees each paragraph it
// has read and the next one needs the same items again. Under the address sanitizer every item is
// really freed, so a use after Free is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kPooledItems = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kPooledItems = 0;
#else
constexpr size_t kPooledItems = 4096;
#endif
#else
constexpr size_t kPooledItems = 4096;
#endif
// Larger strings are let go rather than kept alive in the pool.
constexpr size_t kPooledCapacity = 64;

struct ItemPool {
  std::vector<TZvXMLItem*> Free;
  ~ItemPool();
};
thread_local int64_t HeldItems = 0;
thread_local bool PoolGone = false;  // items freed while the thread ends bypass the pool
thread_local ItemPool Pool;
ItemPool::~ItemPool() {
  PoolGone = true;
  for (TZvXMLItem* i : Free) delete i;
}

void Trim(WideString& s) {
  if (s.capacity() > kPooledCapacity) WideString().swap(s);
  else s.clear();
}

}  // namespace

void TZvXMLItemDeleter::operator()(TZvXMLItem* Item) const {
  --HeldItems;
  if (kPooledItems == 0 || PoolGone || Pool.Free.size() >= kPooledItems) {
    delete Item;
    return;
  }
  // Children first, without recursion: Clear hands them here one by one, already emptied.
  Item->FItems.Clear();
  Item->Kind = ikProperty;
  Trim(Item->TagName);
  Item->Value.reset();
  Trim(Item->Attributes);
  Trim(Item->Tail);
  Pool.Free.push_back(Item);
}

TZvXMLItem* TZvXMLItems::AddItem(TZvXMLItem* ParentItem) {
  if (!ParentItem) return nullptr;
  TZvXMLItemPtr item;
  if (kPooledItems != 0 && !PoolGone && !Pool.Free.empty()) {
    item.reset(Pool.Free.back());
    Pool.Free.pop_back();
    item->FParentItem = ParentItem;
  } else {
    item.reset(new TZvXMLItem(ParentItem));
  }
  item->FLevel = ParentItem->FLevel + 1;
  ++HeldItems;
  TZvXMLItem* raw = item.get();
  ParentItem->FItems.FList.push_back(std::move(item));
  return raw;
}

void TZvXMLItems::Clear() {
  if (FList.empty()) return;
  // An explicit stack instead of nested destructors: a hostile part can nest very deep.
  // Leaves go at once; only items with children of their own wait on the stack. The stack is
  // kept for the next call: a reader clears every paragraph. Items freed here have no children
  // left, so no call below this one needs it.
  thread_local std::vector<TZvXMLItemPtr> spare;
  std::vector<TZvXMLItemPtr> pending;
  pending.swap(spare);
  struct GiveBack {
    std::vector<TZvXMLItemPtr>& from;
    ~GiveBack() {
      if (from.empty() && from.capacity() <= 4096 && spare.capacity() < from.capacity()) from.swap(spare);
    }
  } giveBack{pending};
  while (!FList.empty()) {
    TZvXMLItemPtr item = std::move(FList.back());
    FList.pop_back();
    if (!item->FItems.FList.empty()) pending.push_back(std::move(item));
  }
  while (!pending.empty()) {
    TZvXMLItemPtr item = std::move(pending.back());
    pending.pop_back();
    auto& children = item->FItems.FList;
    for (auto& c : children) pending.push_back(std::move(c));
    children.clear();
  }
}

int64_t TZvXMLItems::Held() { return HeldItems; }

TZvXMLItemPtr TZvXMLItems::Release(TZvXMLItem* Item) {
  // The item freed is nearly always the last one added.
  for (size_t i = FList.size(); i-- > 0;) {
    if (FList[i].get() == Item) {
      TZvXMLItemPtr out = std::move(FList[i]);
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

constexpr auto kNoItem = [](TZvXMLItem&, int) { return waContinue; };
constexpr auto kNoText = [](TZvXMLItem&, std::u16string_view, int) { return waContinue; };

// Pre-order over every item, attributes too (names of attribute items are searched as well).
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

// Pre-order over the content items (no attributes).
template <typename Pred>
TZvXMLItem* FindElement(TZvXMLItem* start, Pred pred) {
  TZvXMLItem* found = nullptr;
  WalkXMLItems(
      start,
      [&](TZvXMLItem& i, int) {
        if (!pred(i)) return waContinue;
        found = &i;
        return waStop;
      },
      kNoText, kNoItem, kNoText);
  return found;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Calls f(name, rawValue) for each name="value" of raw attribute text. Values keep their quotes.
// An f that returns bool ends the walk by returning true.
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
    if (!name.empty() && !value.empty()) {
      if constexpr (std::is_same_v<decltype(f(name, value)), bool>) {
        if (f(name, value)) return;
      } else {
        f(name, value);
      }
    }
    i = j;
  }
}

std::u16string_view UnquotedView(std::u16string_view v) {
  if (!v.empty() && (v[0] == u'"' || v[0] == u'\'')) {
    const char16_t q = v[0];
    size_t end = v.size();
    while (end > 1 && (IsBlank(v[end - 1]) || v[end - 1] == q)) --end;
    return v.substr(1, end - 1);
  }
  return v;
}

WideString Unquote(std::u16string_view v) { return WideString(UnquotedView(v)); }

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
  // Readers ask for one attribute of a few: the walk ends at it, and the value is decoded
  // straight into the result.
  WideString out;
  SplitAttributes(RawAttributes, [&](std::u16string_view name, std::u16string_view value) {
    if (name != Name) return false;
    AppendDecodedEntities(UnquotedView(value), out);
    return true;
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
  WalkXMLItems(
      const_cast<TZvXMLItem*>(this), kNoItem,
      [&](TZvXMLItem& i, std::u16string_view text, int) {
        if (i.Kind == ikCDATA) out += text;
        else if (i.Kind == ikProperty) AppendDecodedEntities(text, out);
        return waContinue;
      },
      kNoItem,
      [&](TZvXMLItem&, std::u16string_view text, int) {
        AppendDecodedEntities(text, out);
        return waContinue;
      });
  return out;
}

bool WalkXML(TZvXMLItem* Root, const TZvXMLWalkEvents& e) {
  auto item = [](const auto& f) {
    return [&f](TZvXMLItem& i, int depth) { return f ? f(i, depth) : waContinue; };
  };
  auto text = [](const auto& f) {
    return [&f](TZvXMLItem& i, std::u16string_view t, int depth) { return f ? f(i, t, depth) : waContinue; };
  };
  return WalkXMLItems(Root, item(e.OnEnter), text(e.OnText), item(e.OnLeave), text(e.OnTail));
}

std::string_view XMLRootTag(std::string_view Bytes) {
  size_t i = Bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  const size_t limit = std::min<size_t>(Bytes.size(), 4096);
  while (i < limit) {
    const char c = Bytes[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '<') return {};
    const std::string_view rest = Bytes.substr(i);
    if (rest.starts_with("<?") || rest.starts_with("<!")) {
      const bool comment = rest.starts_with("<!--");
      const size_t end = comment ? rest.find("-->") : rest.find('>');
      if (end == std::string_view::npos) return {};
      i += end + (comment ? 3 : 1);
      continue;
    }
    // The start tag with its namespace declarations runs to its first ">".
    return rest.substr(0, std::min<size_t>(rest.find('>'), 65536));
  }
  return {};
}

std::string_view XMLRootName(std::string_view Bytes) {
  const std::string_view tag = XMLRootTag(Bytes);
  return tag.size() < 2 ? std::string_view() : tag.substr(1, tag.find_first_of(" \t\r\n/") - 1);
}

std::u16string_view XMLLocalName(std::u16string_view name) {
  const size_t colon = name.find(u':');
  return colon == std::u16string_view::npos ? name : name.substr(colon + 1);
}

WideString XMLNamespaceURI(const TZvXMLItem& Item) {
  const std::u16string_view name = Item.TagName;
  const size_t colon = name.find(u':');
  WideString attr = u"xmlns";
  if (colon != std::u16string_view::npos) (attr += u':') += name.substr(0, colon);
  for (const TZvXMLItem* i = &Item; i; i = i->ParentItem()) {
    // A declaration present but empty unbinds the default namespace; AttributeValue cannot tell
    // empty from absent, so look for the name itself.
    const bool raw = !i->Attributes.empty();
    bool present = false;
    if (raw) {
      SplitAttributes(i->Attributes, [&](std::u16string_view n, std::u16string_view) { present |= n == attr; });
    } else {
      for (const auto& c : i->Items()) present |= c->Kind == ikAttribute && c->TagName == attr;
    }
    if (present) return i->AttributeValue(attr);
  }
  return {};
}

bool XMLNameMatches(const TZvXMLItem& Item, std::u16string_view Local, std::u16string_view NamespaceURI) {
  if (Item.Kind != ikProperty || XMLLocalName(Item.TagName) != Local) return false;
  return NamespaceURI.empty() || XMLNamespaceURI(Item) == NamespaceURI;
}

TZvXMLItem* FindXMLItem(TZvXMLItem* Anchor, std::u16string_view Local, std::u16string_view NamespaceURI,
                        bool IncludeAnchor) {
  return FindElement(Anchor, [&](const TZvXMLItem& i) {
    return (IncludeAnchor || &i != Anchor) && XMLNameMatches(i, Local, NamespaceURI);
  });
}

std::vector<TZvXMLItem*> FindXMLItems(TZvXMLItem* Anchor, std::u16string_view Local,
                                      std::u16string_view NamespaceURI, bool IncludeAnchor) {
  std::vector<TZvXMLItem*> out;
  FindElement(Anchor, [&](TZvXMLItem& i) {
    if ((IncludeAnchor || &i != Anchor) && XMLNameMatches(i, Local, NamespaceURI)) out.push_back(&i);
    return false;
  });
  return out;
}

std::string ResolvePartPath(std::string_view BasePart, std::string_view Target) {
  if (size_t hash = Target.find('#'); hash != std::string_view::npos) Target = Target.substr(0, hash);
  if (Target.empty()) return {};
  std::string path;
  if (Target[0] != '/') {
    const size_t slash = BasePart.rfind('/');
    if (slash != std::string_view::npos) path.assign(BasePart.substr(0, slash + 1));
  }
  // Escapes are decoded after the split would be wrong for "%2F"; package names never hold one.
  for (size_t i = 0; i < Target.size(); ++i) {
    const int hi = Target[i] == '%' && i + 2 < Target.size() ? HexDigitValue(Target[i + 1]) : -1;
    const int lo = hi >= 0 ? HexDigitValue(Target[i + 2]) : -1;
    if (lo >= 0) {
      path += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      path += Target[i];
    }
  }
  std::vector<std::string_view> parts;
  const std::string_view p = path;
  for (size_t i = 0; i <= p.size();) {
    size_t j = p.find('/', i);
    if (j == std::string_view::npos) j = p.size();
    const std::string_view seg = p.substr(i, j - i);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& seg : parts) (out += out.empty() ? "" : "/") += seg;
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
  const bool wide = cp == CP_UTF16LE || cp == CP_UTF16BE;
  UTF8Processed = cp == CP_UTF8 || wide;
  std::string_view body = Bytes.substr(bom);
  // The scanner reads nothing past a NUL character: bytes after one are not decoded at all.
  const size_t whole = body.size();
  if (!wide && !IsDoubleByteCodePage(cp)) body = body.substr(0, std::min(body.size(), body.find('\0')));
  // Every byte may become one UTF-16 unit: the text may take twice the bytes.
  if (FBudget) FBudget->ChargeDecoded(static_cast<int64_t>(wide ? body.size() : body.size() * 2));
  if (cp == CP_UTF8) {
    if (body.size() == whole && body.ends_with('\x1B')) body.remove_suffix(1);
    if (!body.empty()) ParseXMLFromUtf8(body);
    return;
  }
  WideString text = cp == CP_UTF8 ? Utf8ToWide(body) : CodePageToWide(body, cp);
  // A final escape character is a terminator some writers add, not text.
  if (body.size() == whole && !text.empty() && text.back() == 27) text.pop_back();
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
