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
  uint16_t ProductVersion = 0;  // build of the program that wrote the file (nProduct)
  uint16_t lID = 0;      // document language
  uint16_t pnNext = 0;   // page of an AutoText FIB that follows, 0 when none
  uint8_t Flag = 0;      // bit 2: complex (fast-saved) document
  uint8_t Encryption = 0;  // bit 0: encrypted; bit 1: 1Table in use; bit 6: Far East; bit 7: obfuscated
  uint16_t nFIBBack = 0;  // oldest FIB number that can read the file
  uint32_t IKey = 0;     // key of an obfuscated or encrypted document
  uint8_t envr = 0;      // 1: written on a Macintosh
  uint8_t Platform = 0;  // the same byte under its record name
  uint8_t fMac = 0;      // bit 0: last saved on a Macintosh; the other bits are save-state flags
  uint16_t chse = 0;     // character set of the text: 0 Windows ANSI, 256 Macintosh
  uint16_t chsTables = 0;
  uint32_t fcMin = 0;
  uint32_t fcMac = 0;
  uint16_t csw = 0;
  uint16_t wMagicCreated = 0, wMagicRevised = 0, wMagicCreatedPrivate = 0, wMagicRevisedPrivate = 0;
  // The bin-table words of the Word 6 layout, kept in the Word 97 record but no longer used.
  uint16_t pnFbpChpFirst_W6 = 0, pnChpFirst_W6 = 0, cpnBteChp_W6 = 0;
  uint16_t pnFbpPapFirst_W6 = 0, pnPapFirst_W6 = 0, cpnBtePap_W6 = 0;
  uint16_t pnFbpLvcFirst_W6 = 0, pnLvcFirst_W6 = 0, cpnBteLvc_W6 = 0;
  uint16_t lidFE = 0;
  uint16_t clw = 0;
  uint32_t cbMac = 0;
  uint32_t lProductCreated = 0, lProductRevised = 0;
  // Character counts of the stories, in story order.
  int32_t ccpText = 0;
  int32_t ccpFtn = 0;
  int32_t ccpHdr = 0;
  int32_t ccpMcr = 0;
  int32_t ccpAtn = 0;
  int32_t ccpEdn = 0;
  int32_t ccpTxbx = 0;
  int32_t ccpHdrTxbx = 0;
  // Bin tables: pages past those a table lists follow on (Word 6/95 keeps these in 16 bits).
  uint32_t pnFbpChpFirst = 0, pnChpFirst = 0, cpnBteChp = 0;
  uint32_t pnFbpPapFirst = 0, pnPapFirst = 0, cpnBtePap = 0;
  uint32_t pnFbpLvcFirst = 0, pnLvcFirst = 0, cpnBteLvc = 0;
  uint32_t fcIslandFirst = 0, fcIslandLim = 0;
  uint16_t cfclcb = 0;  // number of fc/lcb pairs the file's FIB holds
  // The fc/lcb pairs, in file order: offset and length of each table in the table stream (the
  // WordDocument stream for Word 6/95).
  uint32_t fcStshfOrig = 0, lcbStshfOrig = 0;
  uint32_t fcStshf = 0, lcbStshf = 0;
  uint32_t fcPlcffndRef = 0, lcbPlcffndRef = 0;
  uint32_t fcPlcffndTxt = 0, lcbPlcffndTxt = 0;
  uint32_t fcPlcfandRef = 0, lcbPlcfandRef = 0;
  uint32_t fcPlcfandTxt = 0, lcbPlcfandTxt = 0;
  uint32_t fcPlcfsed = 0, lcbPlcfsed = 0;
  uint32_t fcPlcfpad = 0, lcbPlcfpad = 0;
  uint32_t fcPlcfphe = 0, lcbPlcfphe = 0;
  uint32_t fcSttbfglsy = 0, lcbSttbfglsy = 0;
  uint32_t fcPlcfglsy = 0, lcbPlcfglsy = 0;
  uint32_t fcPlcfhdd = 0, lcbPlcfhdd = 0;
  uint32_t fcPlcfbteChpx = 0, lcbPlcfbteChpx = 0;
  uint32_t fcPlcfbtePapx = 0, lcbPlcfbtePapx = 0;
  uint32_t fcPlcfsea = 0, lcbPlcfsea = 0;
  uint32_t fcSttbfffn = 0, lcbSttbfffn = 0;
  uint32_t fcPlcffldMom = 0, lcbPlcffldMom = 0;
  uint32_t fcPlcffldHdr = 0, lcbPlcffldHdr = 0;
  uint32_t fcPlcffldFtn = 0, lcbPlcffldFtn = 0;
  uint32_t fcPlcffldAtn = 0, lcbPlcffldAtn = 0;
  uint32_t fcPlcffldMcr = 0, lcbPlcffldMcr = 0;
  uint32_t fcSttbfbkmk = 0, lcbSttbfbkmk = 0;
  uint32_t fcPlcfbkf = 0, lcbPlcfbkf = 0;
  uint32_t fcPlcfbkl = 0, lcbPlcfbkl = 0;
  uint32_t fcCmds = 0, lcbCmds = 0;
  uint32_t fcPlcmcr = 0, lcbPlcmcr = 0;
  uint32_t fcSttbfmcr = 0, lcbSttbfmcr = 0;
  uint32_t fcPrDrvr = 0, lcbPrDrvr = 0;
  uint32_t fcPrEnvPort = 0, lcbPrEnvPort = 0;
  uint32_t fcPrEnvLand = 0, lcbPrEnvLand = 0;
  uint32_t fcWss = 0, lcbWss = 0;
  uint32_t fcDop = 0, lcbDop = 0;
  uint32_t fcSttbfAssoc = 0, lcbSttbfAssoc = 0;
  uint32_t fcClx = 0, lcbClx = 0;
  uint32_t fcPlcfpgdFtn = 0, lcbPlcfpgdFtn = 0;
  uint32_t fcAutosaveSource = 0, lcbAutosaveSource = 0;
  uint32_t fcGrpXstAtnOwners = 0, lcbGrpXstAtnOwners = 0;
  uint32_t fcSttbfAtnbkmk = 0, lcbSttbfAtnbkmk = 0;
  uint32_t fcPlcdoaMom = 0, lcbPlcdoaMom = 0;
  uint32_t fcPlcdoaHdr = 0, lcbPlcdoaHdr = 0;
  uint32_t fcPlcspaMom = 0, lcbPlcspaMom = 0;
  uint32_t fcPlcspaHdr = 0, lcbPlcspaHdr = 0;
  uint32_t fcPlcfAtnbkf = 0, lcbPlcfAtnbkf = 0;
  uint32_t fcPlcfAtnbkl = 0, lcbPlcfAtnbkl = 0;
  uint32_t fcPms = 0, lcbPms = 0;
  uint32_t fcFormFldSttbs = 0, lcbFormFldSttbs = 0;
  uint32_t fcPlcfendRef = 0, lcbPlcfendRef = 0;
  uint32_t fcPlcfendTxt = 0, lcbPlcfendTxt = 0;
  uint32_t fcPlcffldEdn = 0, lcbPlcffldEdn = 0;
  uint32_t fcPlcfpgdEdn = 0, lcbPlcfpgdEdn = 0;
  uint32_t fcDggInfo = 0, lcbDggInfo = 0;
  uint32_t fcSttbfRMark = 0, lcbSttbfRMark = 0;
  uint32_t fcSttbCaption = 0, lcbSttbCaption = 0;
  uint32_t fcSttbAutoCaption = 0, lcbSttbAutoCaption = 0;
  uint32_t fcPlcfwkb = 0, lcbPlcfwkb = 0;
  uint32_t fcPlcfspl = 0, lcbPlcfspl = 0;
  uint32_t fcPlcftxbxTxt = 0, lcbPlcftxbxTxt = 0;
  uint32_t fcPlcffldTxbx = 0, lcbPlcffldTxbx = 0;
  uint32_t fcPlcfHdrtxbxTxt = 0, lcbPlcfHdrtxbxTxt = 0;
  uint32_t fcPlcffldHdrTxbx = 0, lcbPlcffldHdrTxbx = 0;
  uint32_t fcStwUser = 0, lcbStwUser = 0;
  uint32_t fcSttbttmbd = 0, lcbSttbttmbd = 0;
  uint32_t fcUnused = 0, lcbUnused = 0;
  uint32_t fcPgdMother = 0, lcbPgdMother = 0;
  uint32_t fcBkdMother = 0, lcbBkdMother = 0;
  uint32_t fcPgdFtn = 0, lcbPgdFtn = 0;
  uint32_t fcBkdFtn = 0, lcbBkdFtn = 0;
  uint32_t fcPgdEdn = 0, lcbPgdEdn = 0;
  uint32_t fcBkdEdn = 0, lcbBkdEdn = 0;
  uint32_t fcSttbfIntlFld = 0, lcbSttbfIntlFld = 0;
  uint32_t fcRouteSlip = 0, lcbRouteSlip = 0;
  uint32_t fcSttbSavedBy = 0, lcbSttbSavedBy = 0;
  uint32_t fcSttbFnm = 0, lcbSttbFnm = 0;
  // Past the 738-byte record: the list tables, which Word 6/95 lacks.
  uint32_t fcPlfLst = 0, lcbPlfLst = 0;
  uint32_t fcPlfLfo = 0, lcbPlfLfo = 0;
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
