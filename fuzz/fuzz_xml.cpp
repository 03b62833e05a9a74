// The XML engine on arbitrary bytes, with the handlers a reader installs.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Exception.h"
#include "support/ZvWXML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zvword;
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
  return 0;
}
