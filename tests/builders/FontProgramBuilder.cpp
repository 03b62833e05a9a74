#include "builders/FontProgramBuilder.h"

#include <algorithm>

namespace zvword::testing {

namespace {
void U8(std::string& s, uint32_t v) { s += static_cast<char>(v & 0xFF); }
void U16(std::string& s, uint32_t v) {
  U8(s, v >> 8);
  U8(s, v);
}
void U32(std::string& s, uint32_t v) {
  U16(s, v >> 16);
  U16(s, v);
}

// Format 4, one segment per code: even segments by delta, odd ones through the glyph array.
std::string Format4(const CodeGlyphs& map) {
  size_t segs = map.size() + 1;
  std::string ends, starts, deltas, ranges, glyphs;
  for (size_t i = 0; i < map.size(); ++i) {
    auto [code, gid] = map[i];
    U16(ends, code);
    U16(starts, code);
    if (i % 2 == 0) {
      U16(deltas, (gid - code) & 0xFFFF);
      U16(ranges, 0);
    } else {
      U16(deltas, 0);
      // From this range entry to the glyph's slot in the array after all range entries.
      U16(ranges, static_cast<uint32_t>(2 * (segs - i) + glyphs.size()));
      U16(glyphs, gid);
    }
  }
  U16(ends, 0xFFFF);
  U16(starts, 0xFFFF);
  U16(deltas, 1);
  U16(ranges, 0);
  std::string t;
  U16(t, 4);
  U16(t, static_cast<uint32_t>(16 + 8 * segs + glyphs.size()));
  U16(t, 0);
  U16(t, static_cast<uint32_t>(2 * segs));
  U16(t, 0), U16(t, 0), U16(t, 0);
  t += ends;
  U16(t, 0);
  return t + starts + deltas + ranges + glyphs;
}

std::string Format0(const CodeGlyphs& map) {
  std::string t;
  U16(t, 0), U16(t, 262), U16(t, 0);
  std::string ids(256, '\0');
  for (auto [code, gid] : map) ids[code & 0xFF] = static_cast<char>(gid);
  return t + ids;
}

std::string Index(const std::vector<std::string>& items) {
  std::string s;
  U16(s, static_cast<uint32_t>(items.size()));
  if (items.empty()) return s;
  U8(s, 2);
  uint32_t off = 1;
  U16(s, off);
  for (auto& i : items) U16(s, off += static_cast<uint32_t>(i.size()));
  for (auto& i : items) s += i;
  return s;
}

// A Top DICT operand as a five-byte integer, so offsets can be filled in after layout.
void DictInt(std::string& s, uint32_t v) {
  U8(s, 29);
  U32(s, v);
}
}  // namespace

std::string MakeTrueType(const TrueTypeLayout& layout) {
  std::vector<std::pair<std::string, std::string>> tables;
  std::string cmap;
  std::vector<std::pair<std::pair<int, int>, std::string>> subs;
  if (!layout.mac.empty()) subs.push_back({{1, 0}, Format0(layout.mac)});
  if (!layout.symbol.empty()) subs.push_back({{3, 0}, Format4(layout.symbol)});
  if (!layout.unicode.empty()) subs.push_back({{3, 1}, Format4(layout.unicode)});
  U16(cmap, 0);
  U16(cmap, static_cast<uint32_t>(subs.size()));
  uint32_t off = 4 + 8 * static_cast<uint32_t>(subs.size());
  for (auto& [id, data] : subs) {
    U16(cmap, id.first), U16(cmap, id.second), U32(cmap, off);
    off += static_cast<uint32_t>(data.size());
  }
  for (auto& s : subs) cmap += s.second;
  tables.push_back({"cmap", cmap});
  std::string maxp;
  U32(maxp, 0x00005000), U16(maxp, layout.glyphs);
  tables.push_back({"maxp", maxp});
  if (!layout.names.empty()) {
    std::string post, strings;
    U32(post, 0x00020000);
    post += std::string(28, '\0');
    U16(post, static_cast<uint32_t>(layout.names.size()));
    uint32_t extra = 258;
    for (auto& n : layout.names) {
      // .notdef, space and A stand in the Macintosh order (0, 3, 36); others follow as strings.
      int mac = n == ".notdef" ? 0 : n == "space" ? 3 : n == "A" ? 36 : -1;
      if (mac >= 0) {
        U16(post, static_cast<uint32_t>(mac));
      } else {
        U16(post, extra++);
        U8(strings, static_cast<uint32_t>(n.size()));
        strings += n;
      }
    }
    tables.push_back({"post", post + strings});
  }
  std::string font;
  U32(font, 0x00010000);
  U16(font, static_cast<uint32_t>(tables.size()));
  U16(font, 0), U16(font, 0), U16(font, 0);
  uint32_t at = 12 + 16 * static_cast<uint32_t>(tables.size());
  for (auto& [tag, data] : tables) {
    font += tag;
    U32(font, 0), U32(font, at), U32(font, static_cast<uint32_t>(data.size()));
    at += static_cast<uint32_t>(data.size());
  }
  for (auto& t : tables) font += t.second;
  return font;
}

std::string MakeCff(const CffLayout& layout) {
  static const std::vector<std::pair<std::string, int>> kStd = {{".notdef", 0}, {"space", 1}, {"A", 34}, {"eacute", 207}};
  std::vector<std::string> strings;
  std::string charset;
  U8(charset, 0);
  for (size_t i = 0; i < layout.names.size(); ++i) {
    if (layout.cidKeyed) {
      U16(charset, static_cast<uint32_t>(i + 1));
      continue;
    }
    auto it = std::find_if(kStd.begin(), kStd.end(), [&](auto& p) { return p.first == layout.names[i]; });
    if (it != kStd.end()) {
      U16(charset, static_cast<uint32_t>(it->second));
    } else {
      U16(charset, static_cast<uint32_t>(391 + strings.size()));
      strings.push_back(layout.names[i]);
    }
  }
  std::string encoding;
  if (!layout.encoding.empty()) {
    U8(encoding, 0);
    U8(encoding, static_cast<uint32_t>(layout.encoding.size()));
    for (auto [code, gid] : layout.encoding) U8(encoding, code);
  }
  std::vector<std::string> charstrings(layout.names.size() + 1, "\x0e");
  std::string head = std::string("\x01\x00\x04\x02", 4) + Index({"Test"});
  // Top DICT: charset, Encoding and CharStrings offsets (and ROS), laid out once sizes are known.
  auto topDict = [&](uint32_t cs, uint32_t enc, uint32_t chars) {
    std::string d;
    if (layout.cidKeyed) d += std::string("\x8b\x8b\x8b\x0c\x1e", 5);
    DictInt(d, cs), U8(d, 15);
    if (!encoding.empty()) DictInt(d, enc), U8(d, 16);
    DictInt(d, chars), U8(d, 17);
    return d;
  };
  std::string tail = Index(strings) + Index({});
  uint32_t base = static_cast<uint32_t>(head.size() + Index({topDict(0, 0, 0)}).size() + tail.size());
  std::string chars = Index(charstrings);
  uint32_t csAt = base + static_cast<uint32_t>(chars.size());
  uint32_t encAt = csAt + static_cast<uint32_t>(charset.size());
  return head + Index({topDict(csAt, encAt, base)}) + tail + chars + charset + encoding;
}

}  // namespace zvword::testing
