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
}

}  // namespace zvword::test
