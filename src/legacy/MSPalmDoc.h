// Reader of PalmDoc and Peanut e-books: Palm databases whose records hold (optionally compressed)
// 8-bit text.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/TextSink.h"

namespace zvword {

// The Palm database header (78 bytes, big-endian numbers already swapped to host order).
struct TPDBHeader {
  char Name[32] = {};
  uint16_t Attributes = 0;
  uint16_t Version = 0;
  uint32_t CreateTime = 0;
  uint32_t ModifyTime = 0;
  uint32_t BackupTime = 0;
  uint32_t ModificationNumber = 0;
  uint32_t AppInfoIDc = 0;
  uint32_t SortInfoID = 0;
  char PDBType[4] = {};
  char Creator[4] = {};
  uint32_t IDSeed = 0;
  uint32_t NextRecordList = 0;
  uint16_t NumRecords = 0;
};

// Record 0 of a PalmDoc book (16 bytes).
struct TPDB_DocRecord0 {
  uint16_t Version = 0;  // 2 = compressed
  uint16_t spare = 0;
  uint32_t DocSize = 0;
  uint16_t NumRecords = 0;
  uint16_t RecSize = 0;
  uint32_t Position = 0;
};

// Record 0 of a Peanut book (116 bytes); only the compression and the record count matter.
struct TPDB_PeanutHeader {
  uint16_t Version = 0;
  uint16_t NumRecords = 0;
};

class ZVWORD_API TPalmDocFile : public TMSWBaseDocument {
 public:
  explicit TPalmDocFile(TComponent* AOwner = nullptr);

  void ClearInternalLists() override;
  void LoadFromStream(TStream& Stream) override;
  void LoadFromFile(const WideString& AFileName) override;

  bool IsPeanutFile() const;
  // Expands one compressed record. `capacity` is only the initial size of the output.
  // Invalid data (a back-reference before the output start, a command cut off by the end of the
  // record) ends the record there; what was decoded so far is returned.
  static RawByteString DecompressText(const uint8_t* data, size_t length, uint16_t capacity);
  static RawByteString DecompressText(std::string_view data, uint16_t capacity) {
    return DecompressText(reinterpret_cast<const uint8_t*>(data.data()), data.size(), capacity);
  }
  // The same into a buffer that is reused (grown, never shrunk); returns the bytes produced.
  static size_t DecompressInto(const uint8_t* data, size_t length, RawByteString& buffer);
  // The same straight into UTF-16, for a code page whose bytes below 80 are ASCII (see
  // AsciiSingleByteTable): `table` gives the characters of the 256 bytes.
  static size_t DecompressInto(const uint8_t* data, size_t length, WideString& buffer, const char16_t* table);
  // True when the bytes start with the header of a PalmDoc or Peanut book.
  static bool IsPalmDocData(std::string_view head);

  const TPDBHeader& Header() const { return FHeader; }
  const TPDB_DocRecord0& Record0() const { return FRecord0; }

 private:
  // Hands one record's text to the sink; lines end where the book's lines end.
  void EmitRecord(std::u16string_view Text);

  TPDBHeader FHeader;
  TPDB_DocRecord0 FRecord0;
  TPDB_PeanutHeader FPeanutHeader;
  bool FCarriedCR = false;
  size_t FSinceBreak = 0;  // characters of the pending line
  TTextSink FSink;
};

}  // namespace zvword
