// Builds property-set streams ("SummaryInformation" and kin) in memory: one section of typed
// values, with knobs for damaged offsets and counts.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zvword::test {

class PropertySetBuilder {
 public:
  PropertySetBuilder& Int(uint32_t id, int32_t v, uint32_t type = 3);
  PropertySetBuilder& I2(uint32_t id, int16_t v);
  // An 8-bit string; its length counts the terminating zero unless withZero is false.
  PropertySetBuilder& Str(uint32_t id, std::string_view bytes, bool withZero = true);
  // A wide string; its length counts characters, the terminating zero included.
  PropertySetBuilder& WStr(uint32_t id, std::u16string_view s);
  PropertySetBuilder& FileTime(uint32_t id, uint64_t ft);
  // A value of any type: the bytes after the type word.
  PropertySetBuilder& Raw(uint32_t id, uint32_t type, std::string_view bytes);
  // Damage: replace the offset of property i, the property count, or the section offset.
  PropertySetBuilder& Offset(size_t i, uint32_t offset);
  PropertySetBuilder& Count(uint32_t n) { count_ = n; countSet_ = true; return *this; }
  PropertySetBuilder& SectionOffset(uint32_t offset) { section_ = offset; return *this; }

  std::string Build() const;

 private:
  struct Prop {
    uint32_t id;
    std::string value;  // type word and data, padded to 4 bytes
    bool offsetSet = false;
    uint32_t offset = 0;
  };
  std::vector<Prop> props_;
  uint32_t count_ = 0;
  bool countSet_ = false;
  uint32_t section_ = 48;
};

}  // namespace zvword::test
