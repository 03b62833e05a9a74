// The XML engine on arbitrary bytes, with the handlers a reader installs.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "support/ZvWXML.h"

namespace {

using namespace zvword;

// UTF-8 is scanned as bytes: the tree must be the one the decoded text gives. Compared without
// recursion, since the trees may be very deep.
bool SameTrees(const TZvXMLItem* a, const TZvXMLItem* b) {
  std::vector<std::pair<const TZvXMLItem*, const TZvXMLItem*>> stack{{a, b}};
  while (!stack.empty()) {
    auto [x, y] = stack.back();
    stack.pop_back();
    if (x->Kind != y->Kind || x->TagName != y->TagName || x->Value != y->Value || x->Attributes != y->Attributes ||
        x->Tail != y->Tail || x->Items().Count() != y->Items().Count())
      return false;
    for (int i = 0; i < x->Items().Count(); ++i) stack.emplace_back(x->Items()[i], y->Items()[i]);
  }
  return true;
}

// The tree of one parse, or null when it ended in an exception.
template <typename Load>
const TZvXMLItem* Parse(TZvXMLEngine& e, bool autoAttributes, Load load) {
  e.SetAttributesAutoProcess(autoAttributes);
  try {
    load(e);
  } catch (const Exception&) {
    return nullptr;
  }
  return e.RootItem();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    TZvXMLEngine plain;
    plain.SetAttributesAutoProcess(size > 0 && data[0] & 1);
    plain.LoadFromBytes(bytes);
    (void)plain.RootItem()->FullText();
    (void)plain.GetItemByTag(nullptr, u"a");
    if (TZvXMLItem* any = plain.RootItem()->Items().Count() ? plain.RootItem()->Items()[0] : nullptr) {
      any->ProcessAttributes();
      (void)any->GetTagValue();
    }

    TZvXMLEngine filtered;
    filtered.SetOnTag([](TZvXMLEngine*, TZvXMLItem*, std::u16string_view name, std::u16string_view value,
                         std::u16string_view, bool& accept) {
      accept = name.size() % 3 != 0;
      (void)DecodeEntities(value);
    });
    filtered.SetOnAfterTag([](TZvXMLEngine*, TZvXMLItem*& node, bool&) {
      if (node->TagName.size() % 2) TZvXMLItem::Free(node);
    });
    filtered.LoadFromBytes(bytes);
    (void)XMLStringToDateTime(Utf8ToWide(bytes));
  } catch (const Exception&) {
  }

  size_t bom = 0;
  if (DetectXMLCodePage(bytes, nullptr, &bom) == CP_UTF8 && bom == 0 && bytes.find('\0') == bytes.npos &&
      !bytes.ends_with('\x1B')) {
    const bool autoAttributes = size > 0 && data[0] & 2;
    TZvXMLEngine fromBytes, fromText;
    const TZvXMLItem* a = Parse(fromBytes, autoAttributes, [&](TZvXMLEngine& e) { e.LoadFromBytes(bytes); });
    const TZvXMLItem* b =
        Parse(fromText, autoAttributes, [&](TZvXMLEngine& e) { e.ParseXMLFromString(Utf8ToWide(bytes)); });
    if ((a == nullptr) != (b == nullptr) || (a && !SameTrees(a, b))) __builtin_trap();
  }
  return 0;
}
