// Builds PalmDoc and Peanut books in memory, record by record, with knobs for broken files.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvword::test {

class PalmDocBuilder {
 public:
  // Compression value written to record 0 (2 = compressed, anything else = stored).
  PalmDocBuilder& Compression(uint16_t value) { compression_ = value; return *this; }
  PalmDocBuilder& Peanut(bool on = true) { peanut_ = on; return *this; }
  PalmDocBuilder& TypeCreator(std::string_view typeCreator) { typeCreator_ = std::string(typeCreator); return *this; }
  PalmDocBuilder& RecSize(uint16_t size) { recSize_ = size; return *this; }
  // A text record holding `text`, compressed when the compression value is 2.
  PalmDocBuilder& Record(std::string_view text);
  // A record stored exactly as given (already compressed, say), before the Peanut XOR.
  PalmDocBuilder& RawRecord(std::string_view bytes);
  // Splits text into records of `size` bytes.
  PalmDocBuilder& Text(std::string_view text, size_t size = 4096);
  // Overrides of what the headers claim.
  PalmDocBuilder& NumRecords(uint16_t n) { numRecords_ = n; return *this; }
  PalmDocBuilder& PeanutNumRecords(uint16_t n) { peanutNumRecords_ = n; return *this; }
  // Replaces the offset of record i in the record list.
  PalmDocBuilder& Offset(size_t i, uint32_t offset);

  std::string Build() const;

  // PalmDoc compression of one record (greedy, window 2047 bytes, runs of 3 to 10).
  static std::string Compress(std::string_view text);

 private:
  uint16_t compression_ = 1;
  bool peanut_ = false;
  std::string typeCreator_;
  uint16_t recSize_ = 4096;
  std::vector<std::string> records_;
  std::optional<uint16_t> numRecords_;
  std::optional<uint16_t> peanutNumRecords_;
  std::vector<std::pair<size_t, uint32_t>> offsets_;
};

}  // namespace zvword::test
