#include "builders/WordDocBuilder.h"

#include <algorithm>
#include <stdexcept>

namespace zvword::test {

void PutU16(std::string& b, size_t off, uint16_t v) {
  if (b.size() < off + 2) b.resize(off + 2, '\0');
  b[off] = static_cast<char>(v & 0xFF);
  b[off + 1] = static_cast<char>(v >> 8);
}

void PutU32(std::string& b, size_t off, uint32_t v) {
  PutU16(b, off, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(b, off + 2, static_cast<uint16_t>(v >> 16));
}

namespace {

// Where the text starts in every layout: past the longest FIB we write.
constexpr uint32_t kTextStart = 1024;
// The table stream starts with some bytes of other tables, so the piece table is not at 0.
constexpr uint32_t kClxInTable = 64;

}  // namespace

WordDocBuilder::WordDocBuilder(Layout layout) : layout_(layout) {
  switch (layout) {
    case Layout::Word2: ident_ = 0xA5DB; nFib_ = 45; break;
    case Layout::Word6: ident_ = 0xA5DC; nFib_ = 101; break;
    case Layout::Word97: ident_ = 0xA5EC; nFib_ = 193; break;
  }
}

WordDocBuilder& WordDocBuilder::Piece(const std::u16string& text, bool eightBit, WordStory story) {
  if (layout_ != Layout::Word97) eightBit = true;
  pieces_.push_back({text, eightBit, story});
  return *this;
}

size_t WordDocBuilder::List(const std::vector<ListLevel>& levels) {
  lists_.push_back(levels);
  return lists_.size() - 1;
}

uint16_t WordDocBuilder::Override(size_t list, std::vector<int32_t> startAt) {
  overrides_.emplace_back(list, std::move(startAt));
  return static_cast<uint16_t>(overrides_.size());
}

WordDocBuilder& WordDocBuilder::ParagraphList(uint32_t markCP, uint16_t ilfo, uint8_t ilvl) {
  paraLists_.push_back({markCP, ilfo, ilvl});
  return *this;
}

WordDocBuilder& WordDocBuilder::Note(WordStory story, uint32_t refCP, uint32_t textCP, bool autoNumbered) {
  notes_.push_back({story, refCP, textCP, autoNumbered});
  return *this;
}

std::string WordDocBuilder::WordDocument() const {
  std::string doc, table;
  Build(doc, table);
  return doc;
}

std::string WordDocBuilder::Table() const {
  std::string doc, table;
  Build(doc, table);
  return table;
}

void WordDocBuilder::Build(std::string& doc, std::string& table) const {
  // Pieces in character-position order: the stories one after the other.
  std::vector<const PieceData*> ordered;
  int32_t ccp[8] = {};
  for (int s = 0; s < 8; ++s)
    for (const auto& p : pieces_)
      if (static_cast<int>(p.story) == s) {
        ordered.push_back(&p);
        ccp[s] += static_cast<int32_t>(p.text.size());
      }

  doc.assign(kTextStart, '\0');
  // Lay out the text bytes, in reverse order when scattered.
  std::vector<uint32_t> offsets(ordered.size());
  std::vector<size_t> layoutOrder(ordered.size());
  for (size_t i = 0; i < ordered.size(); ++i) layoutOrder[i] = scattered_ ? ordered.size() - 1 - i : i;
  for (size_t k : layoutOrder) {
    offsets[k] = static_cast<uint32_t>(doc.size());
    for (char16_t c : ordered[k]->text) {
      if (ordered[k]->eightBit) {
        doc += static_cast<char>(c & 0xFF);
      } else {
        doc += static_cast<char>(c & 0xFF);
        doc += static_cast<char>(c >> 8);
      }
    }
  }
  const uint32_t fcMac = static_cast<uint32_t>(doc.size());
  for (int r = 0; r < replays_ && !ordered.empty(); ++r) {
    ordered.insert(ordered.begin() + 1, ordered[0]);
    offsets.insert(offsets.begin() + 1, offsets[0]);
    ccp[static_cast<int>(ordered[0]->story)] += static_cast<int32_t>(ordered[0]->text.size());
  }

  // The piece table.
  std::string clx;
  for (int g = 0; g < grpprls_; ++g) {
    clx += '\x01';
    std::string cb;
    PutU16(cb, 0, grpprlSize_);
    clx += cb;
    clx += std::string(grpprlSize_, '\x55');
  }
  std::string plc;
  uint32_t cp = 0;
  for (size_t i = 0; i <= ordered.size(); ++i) {
    PutU32(plc, plc.size(), cp);
    if (i < ordered.size()) cp += static_cast<uint32_t>(ordered[i]->text.size());
  }
  for (const auto& [i, cp] : positions_) PutU32(plc, i * 4, cp);
  for (size_t i = 0; i < ordered.size(); ++i) {
    uint32_t fc = offsets[i] + (i == 0 ? pieceShift_ : 0);
    if (layout_ == Layout::Word97 && ordered[i]->eightBit) fc = (fc * 2) | 0x40000000;
    std::string pcd(8, '\0');
    PutU32(pcd, 2, fc);
    plc += pcd;
  }
  clx += '\x02';
  std::string lcb;
  PutU32(lcb, 0, hasLcbOverride_ ? lcbOverride_ : static_cast<uint32_t>(plc.size()));
  clx += lcb;
  clx += plc;

  uint32_t fcClx = 0;
  if (layout_ == Layout::Word97) {
    table.assign(kClxInTable, '\x7F');
    fcClx = kClxInTable;
    table += clx;
  } else if (layout_ == Layout::Word6) {
    fcClx = static_cast<uint32_t>(doc.size());
    doc += clx;
  }

  PutU16(doc, 0, ident_);
  PutU16(doc, 2, nFib_);
  PutU16(doc, 6, lid_);
  const bool complex = ordered.size() > 1;
  doc[10] = static_cast<char>(complex ? 0x04 : 0x00);
  uint8_t flags = 0;
  if (encrypted_) flags |= 0x01;
  if (layout_ == Layout::Word97 && !table0_) flags |= 0x02;
  if (farEast_) flags |= 0x40;
  doc[11] = static_cast<char>(flags);
  PutU32(doc, 24, kTextStart);
  PutU32(doc, 28, fcMac);
  switch (layout_) {
    case Layout::Word97:
      PutU16(doc, 32, 14);
      PutU16(doc, 60, lidFE_);
      PutU16(doc, 62, 22);
      for (int s = 0; s < 8; ++s) PutU32(doc, 76 + 4 * s, static_cast<uint32_t>(ccp[s]));
      PutU16(doc, 152, 93);
      PutU32(doc, 418, fcClx);
      PutU32(doc, 422, static_cast<uint32_t>(clx.size()));
      break;
    case Layout::Word6:
      for (int s = 0; s < 8; ++s) PutU32(doc, 52 + 4 * s, static_cast<uint32_t>(ccp[s]));
      PutU32(doc, 352, fcClx);
      PutU32(doc, 356, static_cast<uint32_t>(clx.size()));
      break;
    case Layout::Word2:
      for (int s = 0; s < 5; ++s) PutU32(doc, 52 + 4 * s, static_cast<uint32_t>(ccp[s]));
      break;
  }
  if (layout_ == Layout::Word2) return;

  // The formatting tables go into the table stream (Word 97) or after the text (Word 6).
  std::string& tables = layout_ == Layout::Word97 ? table : doc;
  auto pair = [&](int index, const std::string& bytes) {
    const size_t at = layout_ == Layout::Word97 ? 154 + 8 * size_t(index)
                      : index <= 37             ? 88 + 8 * size_t(index)
                                                : 412 + 8 * size_t(index - 38);
    PutU32(doc, at, static_cast<uint32_t>(tables.size()));
    PutU32(doc, at + 4, static_cast<uint32_t>(bytes.size()));
    tables += bytes;
  };
  // Byte offset of a main-text character; end: of the byte after it.
  auto fcOf = [&](uint32_t cp, bool end = false) -> uint32_t {
    uint32_t at = 0;
    for (size_t i = 0; i < ordered.size(); ++i) {
      const uint32_t n = static_cast<uint32_t>(ordered[i]->text.size());
      const uint32_t bpc = ordered[i]->eightBit ? 1 : 2;
      if (cp < at + n) return offsets[i] + (cp - at) * bpc + (end ? bpc : 0);
      at += n;
    }
    return fcMac;
  };
  auto levelBytes = [](const ListLevel& l) {
    std::string b(28, '\0');
    PutU32(b, 0, static_cast<uint32_t>(l.startAt));
    b[4] = static_cast<char>(l.nfc);
    b[5] = static_cast<char>(l.legal ? 0x04 : 0);
    b[15] = static_cast<char>(l.follow);
    PutU16(b, b.size(), static_cast<uint16_t>(l.text.size()));
    for (char16_t c : l.text) PutU16(b, b.size(), c);
    return b;
  };

  if (!lists_.empty()) {
    std::string lst, levels;
    PutU16(lst, 0, static_cast<uint16_t>(lists_.size()));
    for (size_t i = 0; i < lists_.size(); ++i) {
      std::string lstf(28, '\0');
      PutU32(lstf, 0, static_cast<uint32_t>(0x1000 + i));
      lst += lstf;
      for (size_t lv = 0; lv < 9; ++lv) {
        ListLevel l;
        if (lv < lists_[i].size()) l = lists_[i][lv];
        else l.text = std::u16string(1, static_cast<char16_t>(lv)) + u".";
        levels += levelBytes(l);
      }
    }
    // The level records follow the counted list records, outside the length the FIB gives.
    pair(73, lst);
    tables += levels;
    std::string lfo, data;
    PutU32(lfo, 0, static_cast<uint32_t>(overrides_.size()));
    for (const auto& [list, startAt] : overrides_) {
      std::string rec(16, '\0');
      PutU32(rec, 0, static_cast<uint32_t>(0x1000 + list));
      uint8_t count = 0;
      std::string lvls;
      for (size_t lv = 0; lv < startAt.size(); ++lv) {
        if (startAt[lv] < 0) continue;
        PutU32(lvls, lvls.size(), static_cast<uint32_t>(startAt[lv]));
        PutU32(lvls, lvls.size(), static_cast<uint32_t>(lv) | 0x10);
        ++count;
      }
      rec[12] = static_cast<char>(count);
      lfo += rec;
      PutU32(data, data.size(), 0xFFFFFFFF);
      data += lvls;
    }
    pair(74, lfo);
    tables += data;
  }

  if (!paraLists_.empty()) {
    // One page of paragraph properties: a run per main-text paragraph.
    while (doc.size() % 512) doc += '\0';
    const uint32_t pn = static_cast<uint32_t>(doc.size() / 512);
    std::vector<uint32_t> marks;
    uint32_t cp = 0;
    for (const auto* p : ordered) {
      if (p->story != WordStory::Main) break;
      for (char16_t c : p->text) {
        if (c == 13 || c == 7) marks.push_back(cp);
        ++cp;
      }
    }
    std::string page(512, '\0');
    const size_t crun = marks.size();
    uint32_t from = kTextStart;
    size_t props = 511;
    for (size_t j = 0; j < crun; ++j) {
      const uint32_t to = fcOf(marks[j], true);
      PutU32(page, 4 * j, from);
      PutU32(page, 4 * (j + 1), to);
      from = to;
      std::string grpprl(2, '\0');  // style 0
      for (const auto& l : paraLists_)
        if (l.cp == marks[j]) {
          PutU16(grpprl, grpprl.size(), 0x260A);
          grpprl += static_cast<char>(l.ilvl);
          PutU16(grpprl, grpprl.size(), 0x460B);
          PutU16(grpprl, grpprl.size(), l.ilfo);
        }
      if (grpprl.size() % 2 == 0) grpprl += '\0';
      // cb counts words: 2 * cb - 1 bytes follow it.
      const size_t size = 1 + grpprl.size();
      props = (props - size) & ~size_t{1};
      page[props] = static_cast<char>((grpprl.size() + 1) / 2);
      page.replace(props + 1, grpprl.size(), grpprl);
      page[4 * (crun + 1) + 13 * j] = static_cast<char>(props / 2);
    }
    page[511] = static_cast<char>(crun);
    doc += page;
    std::string bte;
    PutU32(bte, 0, kTextStart);
    PutU32(bte, 4, fcMac);
    PutU32(bte, 8, pn);
    pair(13, bte);
  }

  if (!notes_.empty() || hasDop_) {
    std::string dop(84, '\0');
    PutU16(dop, 2, 1 << 2);
    PutU16(dop, 0x34, 1 << 2);
    PutU16(dop, 0x36, static_cast<uint16_t>((ftnNfc_ << 2) | (ednNfc_ << 6)));
    pair(31, dop);
    for (const WordStory story : {WordStory::Footnotes, WordStory::Endnotes}) {
      std::string ref, txt, frd;
      uint32_t count = 0;
      for (const auto& n : notes_)
        if (n.story == story) {
          PutU32(ref, ref.size(), n.refCP);
          PutU32(txt, txt.size(), n.textCP);
          PutU16(frd, frd.size(), n.autoNumbered ? 1 : 0);
          ++count;
        }
      if (!count) continue;
      PutU32(ref, ref.size(), static_cast<uint32_t>(ccp[0]));
      PutU32(txt, txt.size(), static_cast<uint32_t>(ccp[static_cast<int>(story)]));
      const bool ftn = story == WordStory::Footnotes;
      pair(ftn ? 2 : 46, ref + frd);
      pair(ftn ? 3 : 47, txt);
    }
  }

  if (!fonts_.empty()) {
    std::string ffn(2, '\0');
    for (uint8_t chs : fonts_) {
      const std::string name = "Font";
      std::string e(6, '\0');
      e[4] = static_cast<char>(chs);
      e += name + '\0';
      e[0] = static_cast<char>(e.size() - 1);
      ffn += e;
    }
    PutU16(ffn, 0, static_cast<uint16_t>(ffn.size()));
    pair(15, ffn);
    while (doc.size() % 512) doc += '\0';
    const uint32_t pn = static_cast<uint32_t>(doc.size() / 512);
    std::string page(512, '\0');
    const size_t crun = fontRuns_.size();
    size_t props = 511;
    for (size_t j = 0; j < crun; ++j) {
      PutU32(page, 4 * j, fcOf(fontRuns_[j].from));
      PutU32(page, 4 * (j + 1), fcOf(fontRuns_[j].to));
      // sprmCFBold, then the font.
      const std::string chpx = {'\x05', '\x55', '\x01', '\x5D', static_cast<char>(fontRuns_[j].ftc & 0xFF),
                                static_cast<char>(fontRuns_[j].ftc >> 8)};
      props = (props - chpx.size() - 1) & ~size_t{1};
      page.replace(props, chpx.size(), chpx);
      page[4 * (crun + 1) + j] = static_cast<char>(props / 2);
    }
    page[511] = static_cast<char>(crun);
    doc += page;
    std::string bte;
    PutU32(bte, 0, kTextStart);
    if (!fontPageUnlisted_) {
      PutU32(bte, 4, fcMac);
      PutU16(bte, 8, static_cast<uint16_t>(pn));
    }
    pair(12, bte);
    PutU16(doc, 394, static_cast<uint16_t>(pn));  // first page of character properties
    PutU16(doc, 398, 1);                          // and their count
  }
}

}  // namespace zvword::test
