// Reader of Windows Write documents: 128-byte pages holding a header, the text, character and
// paragraph property runs and a font table.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/TextSink.h"

namespace zvword {

class TByteReader;

struct TWRIHeader {
  uint16_t wIdent = 0;
  uint16_t dty = 0;
  uint16_t wTool = 0;
  uint16_t Reserved[4] = {};
  uint32_t fcMac = 0;
  uint16_t pnPara = 0;
  uint16_t pnFntb = 0;   // footnote table
  uint16_t pnSep = 0;
  uint16_t pnSetb = 0;
  uint16_t pnPgtb = 0;
  uint16_t pnFfntb = 0;  // font face table
  uint16_t pnMac = 0;
};

struct TWRIFont {
  uint8_t ID = 0;
  RawByteString Name;
};
using TWRIFontList = std::vector<std::unique_ptr<TWRIFont>>;

class ZVWORD_API TWRIFile : public TMSWBaseDocument {
 public:
  explicit TWRIFile(TComponent* AOwner = nullptr);
  ~TWRIFile() override;

  void ClearInternalLists() override;
  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;

  // True when the bytes start with the identifier of a Write file.
  static bool IsWriteData(std::string_view Data);

  const TWRIHeader& Header() const { return FHeader; }
  const TWRIFontList& FontTable() const { return FFontTable; }

  // One character run: text offsets [Start, Limit) and their properties.
  struct TRun {
    uint32_t Start = 0, Limit = 0;
    uint16_t Font = 0;
    uint8_t HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false;
    uint8_t Position = 0;  // 0 normal, below 128 subscript, from 128 superscript
  };

 private:
  void ReadFontTable(const TByteReader& File);
  std::vector<TRun> ReadCharRuns(const TByteReader& File);
  void ReadPAP(const TByteReader& File, const std::vector<TRun>& Runs);
  void ReadCharInfo(const TByteReader& File, const TRun& Run, uint32_t From, uint32_t To);
  void EmitText(std::string_view Bytes);

  TWRIHeader FHeader;
  TWRIFontList FFontTable;
  int FCodePage = 0;
  TTextSink FSink;
};

}  // namespace zvword
