// A small, forgiving XML reader for the parts of document packages. It never rejects markup: end
// tags close the innermost open element whatever their name, so damaged parts still give their text.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/ResourceBudget.h"
#include "platform/Component.h"
#include "platform/Streams.h"
#include "platform/Types.h"

namespace zvword {

enum TZvXMLItemKind : uint8_t { ikProperty, ikAttribute, ikComment, ikCDATA };

class TZvXMLItem;
class TZvXMLEngine;

// Frees an item, or keeps it for the next AddItem.
struct TZvXMLItemDeleter {
  void operator()(TZvXMLItem* Item) const;
};
using TZvXMLItemPtr = std::unique_ptr<TZvXMLItem, TZvXMLItemDeleter>;

// The children of an item; owns them.
class TZvXMLItems {
 public:
  TZvXMLItems() = default;
  ~TZvXMLItems() { Clear(); }
  TZvXMLItems(const TZvXMLItems&) = delete;
  TZvXMLItems& operator=(const TZvXMLItems&) = delete;

  int Count() const { return static_cast<int>(FList.size()); }
  TZvXMLItem* Items(int Index) const { return FList.at(static_cast<size_t>(Index)).get(); }
  TZvXMLItem* operator[](int Index) const { return Items(Index); }
  // Creates an item owned by ParentItem, one level below it, appended to ParentItem's children.
  static TZvXMLItem* AddItem(TZvXMLItem* ParentItem);
  // Frees every item, last first. Deep trees are torn down without recursion.
  void Clear();
  // Items made by AddItem and not yet freed, on this thread, whatever tree they belong to.
  static int64_t Held();
  auto begin() const { return FList.begin(); }
  auto end() const { return FList.end(); }

 private:
  friend class TZvXMLItem;
  TZvXMLItemPtr Release(TZvXMLItem* Item);
  std::vector<TZvXMLItemPtr> FList;
};

class TZvXMLItem {
 public:
  explicit TZvXMLItem(TZvXMLItem* AOwner = nullptr);
  ~TZvXMLItem();
  TZvXMLItem(const TZvXMLItem&) = delete;
  TZvXMLItem& operator=(const TZvXMLItem&) = delete;

  TZvXMLItemKind Kind = ikProperty;
  WideString TagName;
  // The text before the first child, as written (entity references not yet decoded); unassigned
  // until text is stored. For an attribute item: its value with the quotes.
  std::optional<WideString> Value;
  // Raw attribute text of the start tag until ProcessAttributes splits it.
  WideString Attributes;
  // The text after this item's end up to the next tag, as written.
  WideString Tail;

  int32_t Level() const { return FLevel; }
  TZvXMLItems& Items() { return FItems; }
  const TZvXMLItems& Items() const { return FItems; }
  TZvXMLItem* ParentItem() const { return FParentItem; }

  // The first item at or below this one, in document order, whose name is XMLTag (case-sensitive).
  TZvXMLItem* GetChild(const WideString& XMLTag, bool ExpandAllLevels = false) const;
  // The value without its surrounding quotes.
  WideString GetTagXMLValue() const;
  // GetTagXMLValue with entity and character references decoded.
  WideString GetTagValue() const;
  // Splits Attributes into attribute items and empties it.
  void ProcessAttributes();
  // Value of the attribute Name from the raw attribute text or, once split, the attribute items;
  // decoded, empty when absent.
  WideString AttributeValue(std::u16string_view Name) const;
  // All text of the item in document order: its own text, then each child's full text and tail.
  // Entity references are decoded; comments and attributes contribute nothing.
  WideString FullText() const;
  // Frees this item, removing it from its parent's list.
  static void Free(TZvXMLItem*& Item);

 private:
  friend class TZvXMLItems;
  friend class TZvXMLEngine;
  friend struct TZvXMLItemDeleter;
  TZvXMLItem* FParentItem = nullptr;
  int32_t FLevel = 0;
  TZvXMLItems FItems;
};

using TZvIXMLOnTagEvent =
    std::function<void(TZvXMLEngine* Sender, TZvXMLItem* ParentNode, std::u16string_view ATagName,
                       std::u16string_view ATagValue, std::u16string_view ATagAttributes, bool& Accept)>;
using TZvIXMLOnAfterTagEvent = std::function<void(TZvXMLEngine* Sender, TZvXMLItem*& Node, bool& Cancel)>;

class TZvXMLEngine : public TComponent {
 public:
  // Deeper nesting than this is hostile input, not a document.
  static constexpr int32_t MaxDepth = 100000;

  explicit TZvXMLEngine(TComponent* AOwner = nullptr);
  ~TZvXMLEngine() override;

  bool AttributesAutoProcess() const { return FAttributesAutoProcess; }
  void SetAttributesAutoProcess(bool v) { FAttributesAutoProcess = v; }
  TZvXMLItem* RootItem() const { return FRootItem.get(); }
  const TZvIXMLOnTagEvent& OnTag() const { return FOnTag; }
  void SetOnTag(TZvIXMLOnTagEvent f) { FOnTag = std::move(f); }
  const TZvIXMLOnAfterTagEvent& OnAfterTag() const { return FOnAfterTag; }
  void SetOnAfterTag(TZvIXMLOnAfterTagEvent f) { FOnAfterTag = std::move(f); }
  // The budget the decoded text of each load is charged to (none when null).
  void SetBudget(TResourceBudget* b) { FBudget = b; }
  TResourceBudget* Budget() const { return FBudget; }

  // True when the last load decoded the bytes as Unicode (a byte-order mark or a UTF encoding).
  bool UTF8Processed = false;
  // The encoding name the last load used, as declared (empty when none was declared).
  WideString DeclaredEncoding;

  void LoadFromFile(const WideString& AFileName);
  // AStreamSize 0: from the current position to the end; otherwise the end position of the data.
  void LoadFromStream(int64_t AStreamSize, TStream* AStream);
  // Decodes the bytes (byte-order mark, declared encoding, else UTF-8 or the system code page)
  // and parses them.
  void LoadFromBytes(std::string_view Bytes);
  // Parses already decoded text.
  void ParseXMLFromString(std::u16string_view Text);

  // First item at or below ARoot (RootItem when null), in document order, named XMLTag ignoring case.
  TZvXMLItem* GetItemByTag(TZvXMLItem* ARoot, const WideString& XMLTag) const;
  static WideString GetFirstTagName(WideString& AXMLPath);
  static WideString GetLastTagName(WideString& AXMLPath);

 private:
  bool FAttributesAutoProcess = false;
  std::unique_ptr<TZvXMLItem> FRootItem;
  TZvIXMLOnTagEvent FOnTag;
  TZvIXMLOnAfterTagEvent FOnAfterTag;
  TResourceBudget* FBudget = nullptr;
  // Parses UTF-8 text (already cut at any NUL) where it lies, decoding only the pieces it hands over.
  void ParseXMLFromUtf8(std::string_view Text);
};

// ---- walking and searching ---------------------------------------------------------------------

// What a walk callback wants next.
enum TZvXMLWalkAction : uint8_t { waContinue, waSkipChildren, waStop };

// Callbacks of WalkXML; any may be left empty. Depth is 0 for the item the walk starts at.
// Attribute items are not visited: they are not content.
struct TZvXMLWalkEvents {
  // Before the item's text and children. waSkipChildren skips both; OnLeave and OnTail still come.
  std::function<TZvXMLWalkAction(TZvXMLItem& Item, int Depth)> OnEnter{};
  // The item's own text (Value as written, entities not decoded), before its children.
  std::function<TZvXMLWalkAction(TZvXMLItem& Item, std::u16string_view Text, int Depth)> OnText{};
  // After the item's children.
  std::function<TZvXMLWalkAction(TZvXMLItem& Item, int Depth)> OnLeave{};
  // The text after the item's end, inside its parent (Tail as written). Not sent for the start item.
  std::function<TZvXMLWalkAction(TZvXMLItem& Item, std::u16string_view Text, int Depth)> OnTail{};
};

// Walks the items at and below Root in document order with an explicit stack, so depth costs heap,
// not call stack. Callbacks must not add or free items. Returns false when a callback stopped it.
template <typename Enter, typename Text, typename Leave, typename Tail>
bool WalkXMLItems(TZvXMLItem* Root, Enter&& OnEnter, Text&& OnText, Leave&& OnLeave, Tail&& OnTail);
bool WalkXML(TZvXMLItem* Root, const TZvXMLWalkEvents& Events);

// The name without its prefix: "w:p" gives "p".
std::u16string_view XMLLocalName(std::u16string_view QualifiedName);
// Detection by content without parsing: the document element's start tag ("<name attributes",
// without its ">") after a byte-order mark, the declaration, instructions, comments and a
// doctype in the first 4 KB, and its qualified name. Empty when the bytes do not start as XML.
std::string_view XMLRootTag(std::string_view Bytes);
std::string_view XMLRootName(std::string_view Bytes);
// The namespace URI the item's prefix is bound to by xmlns declarations on it or its ancestors;
// empty when unbound.
WideString XMLNamespaceURI(const TZvXMLItem& Item);
// True for an element whose local name is Local (case-sensitive), whatever prefix it was written
// with; with a NamespaceURI, its prefix must also be bound to that URI.
bool XMLNameMatches(const TZvXMLItem& Item, std::u16string_view Local, std::u16string_view NamespaceURI = {});
// Pre-order search below Anchor (Anchor itself too when IncludeAnchor) for elements by local name.
TZvXMLItem* FindXMLItem(TZvXMLItem* Anchor, std::u16string_view Local, std::u16string_view NamespaceURI = {},
                        bool IncludeAnchor = false);
std::vector<TZvXMLItem*> FindXMLItems(TZvXMLItem* Anchor, std::u16string_view Local,
                                      std::u16string_view NamespaceURI = {}, bool IncludeAnchor = false);

// The package part a relationship target or href names, resolved against the part that refers
// to it ("" for the package root): "word/document.xml" and "../media/a%20b.png#x" give
// "media/a b.png". "." and ".." segments fold, "/x" starts at the package root, escapes are
// decoded and a fragment dropped. The result has no leading slash; empty when nothing is named.
std::string ResolvePartPath(std::string_view BasePart, std::string_view Target);

// Decodes entity and character references once: the XML and HTML named entities and every
// decimal or hexadecimal reference. A reference is a whole name ended by ";"; anything else stays.
void ReplaceHTMLChars(WideString& S);
WideString DecodeEntities(std::u16string_view S);
// DecodeEntities appended to Out, without a string of its own.
void AppendDecodedEntities(std::u16string_view S, WideString& Out);
// The value of attribute Name in raw attribute text, decoded; empty when absent.
WideString AttributeValueOf(std::u16string_view RawAttributes, std::u16string_view Name);
// "YYYY-MM-DDThh:mm:ss" to a date-time; 0 when the text does not hold one.
TDateTime XMLStringToDateTime(std::u16string_view S);
// CaseSensitive: ordinal; otherwise ASCII letters compare without case.
bool SameStrings(bool CaseSensitive, std::u16string_view S1, std::u16string_view S2);

// Text encoding of an XML document's bytes: byte-order mark, then the declaration, then UTF-8
// when the bytes are valid UTF-8, else the system code page. Returns the code page used.
int DetectXMLCodePage(std::string_view Bytes, WideString* DeclaredName = nullptr, size_t* BomLength = nullptr);

template <typename Enter, typename Text, typename Leave, typename Tail>
bool WalkXMLItems(TZvXMLItem* Root, Enter&& OnEnter, Text&& OnText, Leave&& OnLeave, Tail&& OnTail) {
  if (!Root) return true;
  // (item, next child) pairs: the walk resumes each parent where it left it.
  std::vector<std::pair<TZvXMLItem*, int>> stack;
  auto enter = [&](TZvXMLItem* item) {
    const int depth = static_cast<int>(stack.size());
    TZvXMLWalkAction a = OnEnter(*item, depth);
    if (a == waContinue && item->Value) a = OnText(*item, std::u16string_view(*item->Value), depth);
    if (a == waStop) return false;
    // A skipped item goes on the stack with its children used up, so it is still left.
    stack.emplace_back(item, a == waSkipChildren ? item->Items().Count() : 0);
    return true;
  };
  if (!enter(Root)) return false;
  while (!stack.empty()) {
    auto& [item, next] = stack.back();
    if (next < item->Items().Count()) {
      TZvXMLItem* child = item->Items()[next++];
      if (child->Kind != ikAttribute && !enter(child)) return false;
      continue;
    }
    TZvXMLItem* done = item;
    stack.pop_back();
    const int depth = static_cast<int>(stack.size());
    if (OnLeave(*done, depth) == waStop) return false;
    if (depth > 0 && OnTail(*done, std::u16string_view(done->Tail), depth) == waStop) return false;
  }
  return true;
}

}  // namespace zvword
