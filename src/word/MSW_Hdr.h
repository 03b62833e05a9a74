// Record types of the Word binary formats (Word 2, Word 6/95, Word 97-2003) and of the macro
// project items the Word readers keep.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Types.h"

namespace zvword {

// The File Information Block, normalised to the Word 97 layout whatever the file's own layout.
// Only the fields the reader uses are kept; fields a layout lacks stay 0.
struct TFIB {
  uint16_t wIdent = 0;
  uint16_t Version = 0;  // the FIB number (nFib)
  uint16_t lID = 0;      // document language
  uint8_t Flag = 0;      // bit 2: complex (fast-saved) document
  uint8_t Encryption = 0;  // bit 0: encrypted; bit 1: 1Table in use; bit 6: Far East; bit 7: obfuscated
  uint8_t envr = 0;      // 1: written on a Macintosh
  uint32_t fcMin = 0;
  uint32_t fcMac = 0;
  uint16_t csw = 0;
  uint16_t lidFE = 0;
  uint32_t cbMac = 0;
  // Character counts of the stories, in story order.
  int32_t ccpText = 0;
  int32_t ccpFtn = 0;
  int32_t ccpHdr = 0;
  int32_t ccpMcr = 0;
  int32_t ccpAtn = 0;
  int32_t ccpEdn = 0;
  int32_t ccpTxbx = 0;
  int32_t ccpHdrTxbx = 0;
  uint32_t fcPlcffldMcr = 0;
  uint32_t lcbPlcffldMcr = 0;
  uint32_t fcClx = 0;
  uint32_t lcbClx = 0;
  // Formatting tables: styles, paragraph and character bin tables, fonts, document properties,
  // note references and texts, lists and their overrides. Word 6/95 has no list tables.
  uint32_t fcStshf = 0, lcbStshf = 0;
  uint32_t fcPlcffndRef = 0, lcbPlcffndRef = 0;
  uint32_t fcPlcffndTxt = 0, lcbPlcffndTxt = 0;
  uint32_t fcPlcfbteChpx = 0, lcbPlcfbteChpx = 0;
  uint32_t fcPlcfbtePapx = 0, lcbPlcfbtePapx = 0;
  uint32_t fcSttbfffn = 0, lcbSttbfffn = 0;
  uint32_t fcDop = 0, lcbDop = 0;
  uint32_t fcPlcfendRef = 0, lcbPlcfendRef = 0;
  uint32_t fcPlcfendTxt = 0, lcbPlcfendTxt = 0;
  uint32_t fcPlfLst = 0, lcbPlfLst = 0;
  uint32_t fcPlfLfo = 0, lcbPlfLfo = 0;
  // Word 6/95: pages of the character bin table past those its table lists follow on.
  uint16_t pnChpFirst = 0, cpnBteChp = 0;
};

// A piece descriptor: 8 bytes on disk.
struct TPCD {
  uint8_t Para = 0;
  uint8_t fn = 0;
  uint32_t fc = 0;
  uint16_t prm = 0;
};

// A property-modifier entry of the CLX; kept but not interpreted.
struct TCLXItem {
  uint16_t Count = 0;
  RawByteString grpprl;
};

// The piece table: piece i covers character positions Pos[i] up to (not including) Pos[i+1].
struct TCLX {
  std::vector<TPCD> pcd;
  std::vector<uint32_t> Pos;
  uint32_t noPCD = 0;
  uint16_t grpprlCount = 0;
  std::vector<TCLXItem> cbGrpprl;

  void Clear() {
    pcd.clear();
    Pos.clear();
    noPCD = 0;
    grpprlCount = 0;
    cbGrpprl.clear();
  }
};

// One entry of a macro project: a reference read from the project's cache stream, and the
// module it names once the module records have been read.
struct TVBAProjectItem {
  WideString Entry;
  WideString ModuleName;
  WideString ModuleID;
  uint32_t Offset = 0;
  RawByteString Body;  // decompressed module source; bytes taken as characters by their value
};

class TVBAProjectItems {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TVBAProjectItem& Items(int i) { return *items_[static_cast<size_t>(i)]; }
  const TVBAProjectItem& Items(int i) const { return *items_[static_cast<size_t>(i)]; }
  TVBAProjectItem& Add() {
    items_.push_back(std::make_unique<TVBAProjectItem>());
    return *items_.back();
  }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TVBAProjectItem>> items_;
};

}  // namespace zvword
