// The File Information Block in its three layouts, the document version and the code page of
// the document's 8-bit text.
#include <algorithm>
#include <functional>
#include <optional>

#include "framework/MSWordCnst.h"
#include "platform/ByteReader.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

// Smallest head that holds every field the reader uses, per layout.
constexpr size_t kMinFIB97 = 154;
constexpr size_t kMinFIB6 = 360;
constexpr size_t kMinFIB2 = 72;
// The FIB heads we read; later fields are of no use to text extraction.
constexpr int64_t kFIBHead = 4096;

}  // namespace

void TMSWordDocument::ReadFIB(TStream& Stream) {
  FFIB = TFIB();
  Stream.Seek(0, TSeekOrigin::soBeginning);
  RawByteString head = Stream.ReadBytes(kFIBHead);
  const size_t have = head.size();
  if (have < 32) throw NotValid();
  // A FIB cut short reads as zeros past its end; every field the layouts name lies in the head.
  head.resize(kFIBHead, '\0');
  const TByteReader f(head, "Word FIB");

  FFIB.wIdent = f.U16LEAt(0);
  FFIB.Version = f.U16LEAt(2);
  FFIB.ProductVersion = f.U16LEAt(4);
  FFIB.lID = f.U16LEAt(6);
  FFIB.pnNext = f.U16LEAt(8);
  FFIB.Flag = f.U8At(10);
  FFIB.Encryption = f.U8At(11);
  FFIB.nFIBBack = f.U16LEAt(12);
  FFIB.envr = f.U8At(18);
  FFIB.fcMin = f.U32LEAt(24);
  FFIB.fcMac = f.U32LEAt(28);

  if (FFIB.wIdent == 0x37FE) FDocVersion = 5;
  else if (FFIB.Version < 101) FDocVersion = 2;
  else if (FFIB.Version == 101) FDocVersion = 6;
  else if (FFIB.Version == 103) FDocVersion = 0;
  else if (FFIB.Version == 104) FDocVersion = 7;
  else FDocVersion = 8;

  // The stories' character counts follow each other in every layout; Word 2 has the first five.
  // The fc/lcb pairs of the formatting tables, by their index in the Word 97 list of pairs.
  auto readPairs = [&](const std::function<std::optional<uint64_t>(int)>& at) {
    struct Pair {
      uint32_t* fc;
      uint32_t* lcb;
    };
    // In file order: the pair at index i lies at 8 * i from the first.
    const Pair pairs[] = {
        {&FFIB.fcStshfOrig, &FFIB.lcbStshfOrig}, {&FFIB.fcStshf, &FFIB.lcbStshf}, {&FFIB.fcPlcffndRef, &FFIB.lcbPlcffndRef},
        {&FFIB.fcPlcffndTxt, &FFIB.lcbPlcffndTxt}, {&FFIB.fcPlcfandRef, &FFIB.lcbPlcfandRef}, {&FFIB.fcPlcfandTxt, &FFIB.lcbPlcfandTxt},
        {&FFIB.fcPlcfsed, &FFIB.lcbPlcfsed}, {&FFIB.fcPlcfpad, &FFIB.lcbPlcfpad}, {&FFIB.fcPlcfphe, &FFIB.lcbPlcfphe},
        {&FFIB.fcSttbfglsy, &FFIB.lcbSttbfglsy}, {&FFIB.fcPlcfglsy, &FFIB.lcbPlcfglsy}, {&FFIB.fcPlcfhdd, &FFIB.lcbPlcfhdd},
        {&FFIB.fcPlcfbteChpx, &FFIB.lcbPlcfbteChpx}, {&FFIB.fcPlcfbtePapx, &FFIB.lcbPlcfbtePapx}, {&FFIB.fcPlcfsea, &FFIB.lcbPlcfsea},
        {&FFIB.fcSttbfffn, &FFIB.lcbSttbfffn}, {&FFIB.fcPlcffldMom, &FFIB.lcbPlcffldMom}, {&FFIB.fcPlcffldHdr, &FFIB.lcbPlcffldHdr},
        {&FFIB.fcPlcffldFtn, &FFIB.lcbPlcffldFtn}, {&FFIB.fcPlcffldAtn, &FFIB.lcbPlcffldAtn}, {&FFIB.fcPlcffldMcr, &FFIB.lcbPlcffldMcr},
        {&FFIB.fcSttbfbkmk, &FFIB.lcbSttbfbkmk}, {&FFIB.fcPlcfbkf, &FFIB.lcbPlcfbkf}, {&FFIB.fcPlcfbkl, &FFIB.lcbPlcfbkl},
        {&FFIB.fcCmds, &FFIB.lcbCmds}, {&FFIB.fcPlcmcr, &FFIB.lcbPlcmcr}, {&FFIB.fcSttbfmcr, &FFIB.lcbSttbfmcr},
        {&FFIB.fcPrDrvr, &FFIB.lcbPrDrvr}, {&FFIB.fcPrEnvPort, &FFIB.lcbPrEnvPort}, {&FFIB.fcPrEnvLand, &FFIB.lcbPrEnvLand},
        {&FFIB.fcWss, &FFIB.lcbWss}, {&FFIB.fcDop, &FFIB.lcbDop}, {&FFIB.fcSttbfAssoc, &FFIB.lcbSttbfAssoc},
        {&FFIB.fcClx, &FFIB.lcbClx}, {&FFIB.fcPlcfpgdFtn, &FFIB.lcbPlcfpgdFtn}, {&FFIB.fcAutosaveSource, &FFIB.lcbAutosaveSource},
        {&FFIB.fcGrpXstAtnOwners, &FFIB.lcbGrpXstAtnOwners}, {&FFIB.fcSttbfAtnbkmk, &FFIB.lcbSttbfAtnbkmk}, {&FFIB.fcPlcdoaMom, &FFIB.lcbPlcdoaMom},
        {&FFIB.fcPlcdoaHdr, &FFIB.lcbPlcdoaHdr}, {&FFIB.fcPlcspaMom, &FFIB.lcbPlcspaMom}, {&FFIB.fcPlcspaHdr, &FFIB.lcbPlcspaHdr},
        {&FFIB.fcPlcfAtnbkf, &FFIB.lcbPlcfAtnbkf}, {&FFIB.fcPlcfAtnbkl, &FFIB.lcbPlcfAtnbkl}, {&FFIB.fcPms, &FFIB.lcbPms},
        {&FFIB.fcFormFldSttbs, &FFIB.lcbFormFldSttbs}, {&FFIB.fcPlcfendRef, &FFIB.lcbPlcfendRef}, {&FFIB.fcPlcfendTxt, &FFIB.lcbPlcfendTxt},
        {&FFIB.fcPlcffldEdn, &FFIB.lcbPlcffldEdn}, {&FFIB.fcPlcfpgdEdn, &FFIB.lcbPlcfpgdEdn}, {&FFIB.fcDggInfo, &FFIB.lcbDggInfo},
        {&FFIB.fcSttbfRMark, &FFIB.lcbSttbfRMark}, {&FFIB.fcSttbCaption, &FFIB.lcbSttbCaption}, {&FFIB.fcSttbAutoCaption, &FFIB.lcbSttbAutoCaption},
        {&FFIB.fcPlcfwkb, &FFIB.lcbPlcfwkb}, {&FFIB.fcPlcfspl, &FFIB.lcbPlcfspl}, {&FFIB.fcPlcftxbxTxt, &FFIB.lcbPlcftxbxTxt},
        {&FFIB.fcPlcffldTxbx, &FFIB.lcbPlcffldTxbx}, {&FFIB.fcPlcfHdrtxbxTxt, &FFIB.lcbPlcfHdrtxbxTxt}, {&FFIB.fcPlcffldHdrTxbx, &FFIB.lcbPlcffldHdrTxbx},
        {&FFIB.fcStwUser, &FFIB.lcbStwUser}, {&FFIB.fcSttbttmbd, &FFIB.lcbSttbttmbd}, {&FFIB.fcUnused, &FFIB.lcbUnused},
        {&FFIB.fcPgdMother, &FFIB.lcbPgdMother}, {&FFIB.fcBkdMother, &FFIB.lcbBkdMother}, {&FFIB.fcPgdFtn, &FFIB.lcbPgdFtn},
        {&FFIB.fcBkdFtn, &FFIB.lcbBkdFtn}, {&FFIB.fcPgdEdn, &FFIB.lcbPgdEdn}, {&FFIB.fcBkdEdn, &FFIB.lcbBkdEdn},
        {&FFIB.fcSttbfIntlFld, &FFIB.lcbSttbfIntlFld}, {&FFIB.fcRouteSlip, &FFIB.lcbRouteSlip}, {&FFIB.fcSttbSavedBy, &FFIB.lcbSttbSavedBy},
        {&FFIB.fcSttbFnm, &FFIB.lcbSttbFnm}, {&FFIB.fcPlfLst, &FFIB.lcbPlfLst}, {&FFIB.fcPlfLfo, &FFIB.lcbPlfLfo},
    };
    for (int i = 0; i < static_cast<int>(std::size(pairs)); ++i) {
      const Pair& p = pairs[i];
      const std::optional<uint64_t> off = at(i);
      if (!off) continue;
      *p.fc = f.U32LEAt(*off);
      *p.lcb = f.U32LEAt(*off + 4);
    }
  };

  auto readCounts = [&](uint64_t at, int count) {
    int32_t* const counts[] = {&FFIB.ccpText, &FFIB.ccpFtn, &FFIB.ccpHdr,  &FFIB.ccpMcr,
                               &FFIB.ccpAtn,  &FFIB.ccpEdn, &FFIB.ccpTxbx, &FFIB.ccpHdrTxbx};
    for (int i = 0; i < count; ++i) *counts[i] = f.I32LEAt(at + 4 * uint64_t(i));
  };

  // Word 2 keeps other things between the flags and fcMin.
  if (FDocVersion != 2) {
    FFIB.IKey = f.U32LEAt(14);
    FFIB.Platform = f.U8At(18);
    FFIB.fMac = f.U8At(19);
    FFIB.chse = f.U16LEAt(20);
    FFIB.chsTables = f.U16LEAt(22);
  }

  if (FDocVersion == 2) {
    if (have < kMinFIB2) throw NotValid();
    FFIB.cbMac = f.U32LEAt(32);
    readCounts(52, 5);
    FFIB.fcPlcffldMcr = f.U32LEAt(240);
    FFIB.lcbPlcffldMcr = f.U32LEAt(244);
  } else if (FDocVersion >= 5 && FDocVersion <= 7) {
    if (have < kMinFIB6) throw NotValid();
    FFIB.csw = 14;
    FFIB.cbMac = f.U32LEAt(32);
    readCounts(52, 8);
    FFIB.fcPlcffldMcr = f.U32LEAt(248);
    FFIB.lcbPlcffldMcr = f.U32LEAt(252);
    FFIB.fcClx = f.U32LEAt(352);
    FFIB.lcbClx = f.U32LEAt(356);
    // Pairs up to the annotation bookmarks lie at 88; the rest follow the bin-table words.
    readPairs([](int i) -> std::optional<uint64_t> {
      if (i <= 37) return 88 + 8 * uint64_t(i);
      if (i <= 48) return 412 + 8 * uint64_t(i - 38);
      return std::nullopt;
    });
    FFIB.pnChpFirst = f.U16LEAt(394);
    FFIB.cpnBteChp = f.U16LEAt(398);
  } else {
    if (have < kMinFIB97) throw NotValid();
    // The Word 97 FIB is three counted arrays (16-bit words, 32-bit longs, fc/lcb pairs); every
    // writer since uses the same counts, but walking them keeps odd writers readable.
    size_t rgW = 34, rgLw = 64, rgFcLcb = 154;
    const uint16_t csw = f.U16LEAt(32);
    if (csw >= 14 && csw < 256) {
      const size_t lwPos = 34 + size_t{csw} * 2;
      const uint16_t cslw = f.U16LEAt(lwPos);
      if (cslw >= 22 && cslw < 256) {
        rgLw = lwPos + 2;
        rgFcLcb = rgLw + size_t{cslw} * 4 + 2;
      }
    }
    FFIB.csw = csw;
    uint16_t* const words[] = {&FFIB.wMagicCreated,    &FFIB.wMagicRevised,    &FFIB.wMagicCreatedPrivate,
                               &FFIB.wMagicRevisedPrivate, &FFIB.pnFbpChpFirst_W6, &FFIB.pnChpFirst_W6,
                               &FFIB.cpnBteChp_W6,     &FFIB.pnFbpPapFirst_W6, &FFIB.pnPapFirst_W6,
                               &FFIB.cpnBtePap_W6,     &FFIB.pnFbpLvcFirst_W6, &FFIB.pnLvcFirst_W6,
                               &FFIB.cpnBteLvc_W6,     &FFIB.lidFE};
    for (size_t i = 0; i < std::size(words); ++i) *words[i] = f.U16LEAt(rgW + 2 * i);
    FFIB.clw = f.U16LEAt(rgLw - 2);
    uint32_t* const longs[] = {&FFIB.cbMac,         &FFIB.lProductCreated, &FFIB.lProductRevised};
    for (size_t i = 0; i < std::size(longs); ++i) *longs[i] = f.U32LEAt(rgLw + 4 * i);
    readCounts(rgLw + 12, 8);
    uint32_t* const bins[] = {&FFIB.pnFbpChpFirst, &FFIB.pnChpFirst,    &FFIB.cpnBteChp,  &FFIB.pnFbpPapFirst,
                              &FFIB.pnPapFirst,    &FFIB.cpnBtePap,     &FFIB.pnFbpLvcFirst, &FFIB.pnLvcFirst,
                              &FFIB.cpnBteLvc,     &FFIB.fcIslandFirst, &FFIB.fcIslandLim};
    for (size_t i = 0; i < std::size(bins); ++i) *bins[i] = f.U32LEAt(rgLw + 44 + 4 * i);
    FFIB.cfclcb = f.U16LEAt(rgFcLcb - 2);
    FFIB.fcPlcffldMcr = f.U32LEAt(rgFcLcb + 20 * 8);
    FFIB.lcbPlcffldMcr = f.U32LEAt(rgFcLcb + 20 * 8 + 4);
    FFIB.fcClx = f.U32LEAt(rgFcLcb + 33 * 8);
    FFIB.lcbClx = f.U32LEAt(rgFcLcb + 33 * 8 + 4);
    readPairs([&](int i) -> std::optional<uint64_t> {
      if (i >= FFIB.cfclcb || rgFcLcb + 8 * uint64_t(i) + 8 > have) return std::nullopt;
      return rgFcLcb + 8 * uint64_t(i);
    });
  }
}

bool TMSWordDocument::IsPasswordProtected() { return (FFIB.Encryption & 0x01) != 0; }

int TMSWordDocument::DocLangToCodePage() {
  uint16_t L = IsFarEastDocument() ? FFIB.lidFE : FFIB.lID;
  // Word 6/95 has no separate Far East language; its main language is the one to use.
  if (L == 0) L = FFIB.lID;
  if (FOnGetDefaultLanguage) FOnGetDefaultLanguage(this, L);
  const unsigned P = L & 0xFF;
  auto in = [P](std::initializer_list<unsigned> list) { return std::find(list.begin(), list.end(), P) != list.end(); };
  if (in({5, 14, 21, 24, 27, 36})) return 1250;
  if (in({2, 25, 28, 34, 35, 47}) || L == 0x0C1A || L == 0x082C || L == 0x0843) return 1251;
  if (in({3, 6, 7, 9, 10, 11, 12, 15, 16, 19, 20, 22, 23, 29, 33, 45, 54, 56, 62, 65}) || L == 0x041A ||
      L == 0x081A)
    return 1252;
  if (P == 8) return 1253;
  if (P == 31) return 1254;
  if (in({37, 38, 39})) return 1257;
  if (P == 13) return 1255;
  if (P == 1) return 1256;
  if (P == 4) {
    if (L == 0x0404 || L == 0x0C04) return 950;
    if (L == 0x0804) return 936;
    return 0;
  }
  if (P == 17) return 932;
  if (P == 18) {
    if (L == 0x0812) return 1361;
    if (L == 0x0412) return 949;
    return 0;
  }
  if (L == 0x041E) return 874;
  return 0;
}

}  // namespace zvword
