// TrueType cmap and post tables, CFF charsets and encodings: read through the checked byte reader,
// as font programs are untrusted input like the rest of the file.
#include "pdf/ZvWPDFFontProgram.h"

#include <algorithm>

#include "framework/ResourceBudget.h"
#include "pdf/ZvWPDFGlyphs.h"
#include "platform/ByteReader.h"
#include "platform/Unicode.h"

namespace zvword {

namespace {
// Codes visited per cmap subtable: format 12 groups may claim the whole code space.
constexpr uint32_t kMaxCMapCodes = 1u << 20;
constexpr uint32_t kMaxGlyphs = 65536;

bool IsPrivateUse(uint32_t cp) { return cp >= 0xE000 && cp <= 0xF8FF; }

struct TTable {
  uint32_t Offset = 0, Length = 0;
  bool Found = false;
};

// Calls visit(code, glyph) for each mapping of a cmap subtable, codes ascending within a segment.
template <class F>
void VisitCMap(const TByteReader& r, uint32_t at, F&& visit) {
  uint16_t format = r.U16BEAt(at);
  uint32_t budget = kMaxCMapCodes;
  auto take = [&](uint32_t code, uint32_t gid) {
    if (budget == 0) return false;
    --budget;
    if (gid) visit(code, gid);
    return true;
  };
  if (format == 0) {
    for (uint32_t c = 0; c < 256; ++c) take(c, r.U8At(at + 6 + c));
  } else if (format == 4) {
    uint32_t segs = r.U16BEAt(at + 6) / 2u;
    uint64_t ends = at + 14, starts = ends + 2ull * segs + 2, deltas = starts + 2ull * segs, ranges = deltas + 2ull * segs;
    for (uint32_t s = 0; s < segs; ++s) {
      uint32_t end = r.U16BEAt(ends + 2ull * s), start = r.U16BEAt(starts + 2ull * s);
      uint16_t delta = r.U16BEAt(deltas + 2ull * s);
      uint64_t rangeAt = ranges + 2ull * s;
      uint16_t rangeOffset = r.U16BEAt(rangeAt);
      for (uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
        uint32_t gid;
        if (rangeOffset == 0) {
          gid = (c + delta) & 0xFFFF;
        } else {
          uint64_t p = rangeAt + rangeOffset + 2ull * (c - start);
          if (!r.CanReadAt(p, 2)) break;  // a range past the table ends the segment
          gid = r.U16BEAt(p);
          if (gid) gid = (gid + delta) & 0xFFFF;
        }
        if (!take(c, gid)) return;
      }
    }
  } else if (format == 6) {
    uint32_t first = r.U16BEAt(at + 6), count = r.U16BEAt(at + 8);
    for (uint32_t i = 0; i < count; ++i)
      if (!take(first + i, r.U16BEAt(at + 10 + 2ull * i))) return;
  } else if (format == 12) {
    uint32_t groups = r.U32BEAt(at + 12);
    for (uint64_t g = 0; g < groups; ++g) {
      uint64_t p = at + 16 + 12 * g;
      uint32_t start = r.U32BEAt(p), end = r.U32BEAt(p + 4), gid = r.U32BEAt(p + 8);
      if (end < start || end > 0x10FFFF) continue;
      for (uint32_t c = start; c <= end && gid < kMaxGlyphs; ++c, ++gid)
        if (!take(c, gid)) return;
    }
  }
}
}  // namespace

bool TZvPDFFontProgram::ReadTrueType(std::string_view data, TResourceBudget* budget) {
  TByteReader r(data, "TrueType font");
  if (!r.CanRead(12)) return false;
  uint32_t version = r.U32BEAt(0);
  if (version != 0x00010000 && version != 0x74727565 /* true */ && version != 0x4F54544F /* OTTO */) return false;
  TTable cmap, post, maxp, cff;
  uint32_t tables = r.U16BEAt(4);
  for (uint32_t i = 0; i < tables && r.CanReadAt(12 + 16ull * i, 16); ++i) {
    uint64_t p = 12 + 16ull * i;
    uint32_t tag = r.U32BEAt(p), off = r.U32BEAt(p + 8), len = r.U32BEAt(p + 12);
    if (!RangeFits(off, len, r.Size())) continue;
    TTable t{off, len, true};
    if (tag == 0x636D6170) cmap = t;
    else if (tag == 0x706F7374) post = t;
    else if (tag == 0x6D617870) maxp = t;
    else if (tag == 0x43464620) cff = t;
  }
  uint32_t glyphs = kMaxGlyphs;
  if (maxp.Found && maxp.Length >= 6) glyphs = r.U16BEAt(maxp.Offset + 4);
  if (budget) budget->ChargeDecoded(static_cast<int64_t>(glyphs) * 4);

  if (cmap.Found) {
    try {
      TByteReader c = r.Sub(cmap.Offset, cmap.Length, "TrueType cmap table");
      uint32_t n = c.U16BEAt(2);
      // The best Unicode subtable: full repertoire (3,10) over BMP (3,1) over the Unicode platform.
      int64_t unicodeAt = -1, symbolAt = -1, macAt = -1;
      int unicodeRank = 0;
      for (uint32_t i = 0; i < n && c.CanReadAt(4 + 8ull * i, 8); ++i) {
        uint64_t p = 4 + 8ull * i;
        uint16_t platform = c.U16BEAt(p), encoding = c.U16BEAt(p + 2);
        uint32_t off = c.U32BEAt(p + 4);
        if (!c.CanReadAt(off, 2)) continue;
        int rank = platform == 3 && encoding == 10 ? 3 : platform == 3 && encoding == 1 ? 2 : platform == 0 ? 1 : 0;
        if (rank > unicodeRank) {
          unicodeRank = rank;
          unicodeAt = off;
        }
        if (platform == 3 && encoding == 0) symbolAt = off;
        if (platform == 1 && encoding == 0) macAt = off;
      }
      if (unicodeAt >= 0) {
        GlyphUnicode.assign(glyphs, 0);
        try {
          VisitCMap(c, static_cast<uint32_t>(unicodeAt), [&](uint32_t code, uint32_t gid) {
            if (gid >= GlyphUnicode.size()) return;
            uint32_t& u = GlyphUnicode[gid];
            if (u == 0 || (IsPrivateUse(u) && !IsPrivateUse(code))) u = code;
          });
        } catch (const EReadError&) {
        }
      }
      auto bytes = [&](int64_t at, std::array<uint16_t, 256>& out, bool symbol) {
        std::array<bool, 256> direct{};
        try {
          VisitCMap(c, static_cast<uint32_t>(at), [&](uint32_t code, uint32_t gid) {
            uint32_t page = code & 0xFFFFFF00u;
            uint8_t low = static_cast<uint8_t>(code);
            if (page == 0) {
              out[low] = static_cast<uint16_t>(gid);
              direct[low] = true;
            } else if (symbol && (page == 0xF000 || page == 0xF100 || page == 0xF200) && !direct[low] && !out[low]) {
              out[low] = static_cast<uint16_t>(gid);
            }
          });
        } catch (const EReadError&) {
        }
      };
      if (symbolAt >= 0) {
        bytes(symbolAt, SymbolCodes, true);
        HasSymbolCMap = true;
      }
      if (macAt >= 0) {
        bytes(macAt, MacCodes, false);
        HasMacCMap = true;
      }
    } catch (const EReadError&) {
    }
  }

  if (post.Found && post.Length >= 32) {
    try {
      TByteReader p = r.Sub(post.Offset, post.Length, "TrueType post table");
      uint32_t v = p.U32BEAt(0);
      if (v == 0x00010000) {
        GlyphNames.resize(std::min<uint32_t>(glyphs, 258));
        for (uint32_t g = 0; g < GlyphNames.size(); ++g) GlyphNames[g] = MacGlyphName(g);
      } else if (v == 0x00020000) {
        uint32_t count = p.U16BEAt(32), n = std::min(count, glyphs);
        // The Pascal strings after the index, in order.
        std::vector<std::string_view> extra;
        p.Seek(34 + 2ull * count);
        while (!p.AtEnd() && extra.size() < kMaxGlyphs) {
          uint8_t len = p.U8();
          if (!p.CanRead(len)) break;
          extra.push_back(p.Bytes(len));
        }
        GlyphNames.resize(n);
        for (uint32_t g = 0; g < n; ++g) {
          uint32_t idx = p.U16BEAt(34 + 2ull * g);
          if (idx < 258) GlyphNames[g] = MacGlyphName(idx);
          else if (idx - 258 < extra.size()) GlyphNames[g] = std::string(extra[idx - 258]);
        }
      }
    } catch (const EReadError&) {
    }
  }

  if (cff.Found && GlyphNames.empty()) {
    try {
      ReadCFF(data.substr(cff.Offset, cff.Length), budget);
    } catch (const EReadError&) {
    }
  }
  return true;
}

namespace {
// A CFF INDEX: its element count and where each element lies.
struct TCFFIndex {
  uint32_t Count = 0;
  uint64_t Data = 0;  // offset of the byte before the first element (offsets count from 1)
  uint64_t OffsetsAt = 0;
  unsigned OffSize = 0;
  uint64_t End = 0;  // just past the index

  // Reads the index at `at`.
  void Read(const TByteReader& r, uint64_t at) {
    Count = r.U16BEAt(at);
    if (Count == 0) {
      End = at + 2;
      return;
    }
    OffSize = r.U8At(at + 2);
    if (OffSize < 1 || OffSize > 4) r.Fail();
    OffsetsAt = at + 3;
    Data = OffsetsAt + static_cast<uint64_t>(Count + 1) * OffSize - 1;
    End = Data + Offset(r, Count);
    if (End > r.Size()) r.Fail();
  }
  uint64_t Offset(const TByteReader& r, uint32_t i) const {
    uint64_t v = 0;
    for (unsigned k = 0; k < OffSize; ++k) v = v << 8 | r.U8At(OffsetsAt + static_cast<uint64_t>(i) * OffSize + k);
    return v;
  }
  std::string_view Item(const TByteReader& r, uint32_t i) const {
    uint64_t a = Offset(r, i), b = Offset(r, i + 1);
    if (b < a) r.Fail();
    return r.BytesAt(Data + a, b - a);
  }
};

// The operands of the Top DICT entries that matter here (charset 15, Encoding 16,
// CharStrings 17, ROS 12 30).
struct TTopDict {
  int64_t Charset = 0, Encoding = 0, CharStrings = -1;
  bool ROS = false;
};

TTopDict ReadTopDict(std::string_view d) {
  TTopDict t;
  TByteReader r(d, "CFF Top DICT");
  int64_t operands[48];
  size_t n = 0;
  while (!r.AtEnd()) {
    uint8_t b = r.U8();
    int64_t v = 0;
    if (b <= 21) {
      int op = b == 12 ? 1200 + r.U8() : b;
      int64_t last = n ? operands[n - 1] : 0;
      if (op == 15) t.Charset = last;
      else if (op == 16) t.Encoding = last;
      else if (op == 17) t.CharStrings = last;
      else if (op == 1230) t.ROS = true;
      n = 0;
      continue;
    }
    if (b == 28) v = static_cast<int16_t>(r.U16BE());
    else if (b == 29) v = static_cast<int32_t>(r.U32BE());
    else if (b == 30) {
      // A real: nibbles up to the end marker; its value is never an offset.
      while (!r.AtEnd()) {
        uint8_t x = r.U8();
        if ((x & 0x0F) == 0x0F || (x & 0xF0) == 0xF0) break;
      }
    } else if (b >= 32 && b <= 246) v = b - 139;
    else if (b >= 247 && b <= 250) v = (b - 247) * 256 + r.U8() + 108;
    else if (b >= 251 && b <= 254) v = -(b - 251) * 256 - r.U8() - 108;
    else continue;  // reserved
    if (n < std::size(operands)) operands[n++] = v;
  }
  return t;
}
}  // namespace

bool TZvPDFFontProgram::ReadCFF(std::string_view data, TResourceBudget* budget) {
  TByteReader r(data, "CFF font");
  if (!r.CanRead(4) || r.U8At(0) != 1) return false;
  TCFFIndex names, top, strings;
  names.Read(r, r.U8At(2));
  top.Read(r, names.End);
  strings.Read(r, top.End);
  if (top.Count == 0) return false;
  TTopDict t = ReadTopDict(top.Item(r, 0));
  if (t.CharStrings <= 0) return false;
  TCFFIndex chars;
  chars.Read(r, static_cast<uint64_t>(t.CharStrings));
  uint32_t glyphs = chars.Count;
  if (budget) budget->ChargeDecoded(static_cast<int64_t>(glyphs) * 32);
  CIDKeyed = t.ROS;

  // The charset gives each glyph after .notdef a string id (a CID in CID-keyed fonts).
  std::vector<uint16_t> sids(glyphs, 0);
  if (t.Charset > 2) {
    TByteReader c = r.SubUpTo(static_cast<uint64_t>(t.Charset), r.Size(), "CFF charset");
    uint8_t format = c.U8();
    for (uint32_t g = 1; g < glyphs;) {
      if (format == 0) {
        sids[g++] = c.U16BE();
      } else if (format == 1 || format == 2) {
        uint32_t first = c.U16BE();
        uint32_t left = format == 1 ? c.U8() : c.U16BE();
        for (uint32_t k = 0; k <= left && g < glyphs; ++k) sids[g++] = static_cast<uint16_t>(first + k);
      } else {
        break;
      }
    }
  } else if (t.Charset == 0) {
    for (uint32_t g = 1; g < glyphs && g < 229; ++g) sids[g] = static_cast<uint16_t>(g);  // ISOAdobe
  }
  if (CIDKeyed) {
    GlyphCIDs = std::move(sids);
    return true;
  }
  auto name = [&](uint32_t sid) -> std::string {
    if (const char* s = CFFStandardString(sid)) return s;
    if (sid - 391 < strings.Count) return std::string(strings.Item(r, sid - 391));
    return {};
  };
  GlyphNames.resize(glyphs);
  for (uint32_t g = 1; g < glyphs; ++g) GlyphNames[g] = name(sids[g]);

  // A custom encoding: codes of glyphs 1.., then supplements naming glyphs by string id.
  if (t.Encoding > 1) {
    TByteReader e = r.SubUpTo(static_cast<uint64_t>(t.Encoding), r.Size(), "CFF encoding");
    uint8_t format = e.U8();
    uint32_t g = 1;
    if ((format & 0x7F) == 0) {
      uint32_t n = e.U8();
      for (uint32_t i = 0; i < n && g < glyphs; ++i) EncodingGlyphs[e.U8()] = static_cast<uint16_t>(g++);
    } else if ((format & 0x7F) == 1) {
      uint32_t ranges = e.U8();
      for (uint32_t i = 0; i < ranges; ++i) {
        uint32_t first = e.U8(), left = e.U8();
        for (uint32_t k = 0; k <= left && first + k < 256 && g < glyphs; ++k) EncodingGlyphs[first + k] = static_cast<uint16_t>(g++);
      }
    }
    if (format & 0x80) {
      uint32_t sups = e.U8();
      for (uint32_t i = 0; i < sups; ++i) {
        uint8_t code = e.U8();
        std::string n = name(e.U16BE());
        if (int32_t gid = GlyphByName(n); gid > 0) EncodingGlyphs[code] = static_cast<uint16_t>(gid);
      }
    }
    HasEncoding = true;
  }
  return true;
}

WideString TZvPDFFontProgram::GlyphText(uint32_t gid) const {
  if (gid == 0) return {};
  if (gid < GlyphUnicode.size() && GlyphUnicode[gid]) {
    WideString w;
    AppendCodePoint(w, GlyphUnicode[gid]);
    return w;
  }
  if (gid < GlyphNames.size() && !GlyphNames[gid].empty()) return GlyphNameToUnicode(GlyphNames[gid]);
  return {};
}

int32_t TZvPDFFontProgram::GlyphByName(std::string_view name) const {
  if (name.empty()) return -1;
  for (size_t g = 1; g < GlyphNames.size(); ++g)
    if (GlyphNames[g] == name) return static_cast<int32_t>(g);
  return -1;
}

}  // namespace zvword
