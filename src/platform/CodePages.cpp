// Code page conversion through tables generated from the published mappings (codepage_tables.inc).
// Each code page's decoder and encoder are built on first use and read without locks afterwards.
#include "platform/CodePages.h"

#include <array>
#include <atomic>
#include <cstring>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace zvword {
namespace {

struct LeadRun {
  uint8_t lead;
  uint8_t first;  // first trail byte of the run
  uint16_t count;
  uint32_t offset;  // into the page's unit array
};
struct EncodeOverride {
  char16_t unit;
  uint16_t bytes;  // 0xFFFF: the character has no encoding
  uint8_t length;
};
struct SingleByteTable {
  int codePage;
  const char16_t* units;
};
struct DoubleByteTable {
  int codePage;
  const char16_t* single;
  const LeadRun* leads;
  size_t leadCount;
  const char16_t* units;
  const EncodeOverride* overrides;
  size_t overrideCount;
};

#include "platform/codepage_tables.inc"

constexpr size_t kSingleCount = sizeof kSingleTables / sizeof kSingleTables[0];
constexpr size_t kDoubleCount = sizeof kDoubleTables / sizeof kDoubleTables[0];
constexpr size_t kPageCount = kSingleCount + kDoubleCount;

// Encoder values: a single byte is its value, a pair is lead << 8 | trail (lead >= 0x80, so the
// value is at least 0x8000); 0 means none, except for U+0000, which is always byte 0.
constexpr uint16_t kNone = 0;
bool IsSingle(uint16_t e) { return e < 0x100; }

struct Codec {
  std::array<char16_t, 256> single{};
  std::array<bool, 256> isLead{};
  std::vector<std::array<char16_t, 256>> rows;  // per lead byte, 0 = undefined pair
  std::array<int16_t, 256> rowOf{};
  bool asciiSame = false;        // bytes below 80 are the characters of the same number
};

// Bytes a table leaves undefined: the C1 range maps to the control characters of the same
// number (as Windows does for its 125x pages), anything else to U+FFFD.
char16_t Undefined(unsigned b) { return b < 0xA0 ? static_cast<char16_t>(b) : u'\uFFFD'; }

void BuildSingle(Codec& c, const char16_t* units) {
  for (unsigned b = 0; b < 256; ++b) c.single[b] = units[b] || b == 0 ? units[b] : Undefined(b);
  c.asciiSame = true;
  for (unsigned b = 0; b < 0x80; ++b) c.asciiSame = c.asciiSame && c.single[b] == b;
}

void BuildDouble(Codec& c, const DoubleByteTable& t) {
  BuildSingle(c, t.single);
  c.rowOf.fill(-1);
  c.rows.resize(t.leadCount);
  for (size_t i = 0; i < t.leadCount; ++i) {
    const LeadRun& run = t.leads[i];
    c.isLead[run.lead] = true;
    c.rowOf[run.lead] = static_cast<int16_t>(i);
    auto& row = c.rows[i];
    row.fill(0);
    for (unsigned k = 0; k < run.count; ++k) row[run.first + k] = t.units[run.offset + k];
  }
}

// The encoder is a 65,536-entry table (128 KB), built apart from the decoder: reading documents
// seldom encodes, and a process that only decodes should not pay for it.
void BuildSingleEncoder(std::vector<uint16_t>& encode, const char16_t* units) {
  encode.assign(65536, kNone);
  for (unsigned b = 256; b-- > 0;)  // lowest byte wins
    if (units[b]) encode[units[b]] = static_cast<uint16_t>(b);
}

void BuildDoubleEncoder(std::vector<uint16_t>& encode, const DoubleByteTable& t) {
  BuildSingleEncoder(encode, t.single);
  for (size_t i = t.leadCount; i-- > 0;) {
    const LeadRun& run = t.leads[i];
    for (unsigned k = run.count; k-- > 0;) {
      const char16_t u = t.units[run.offset + k];
      if (u && (encode[u] == kNone || !IsSingle(encode[u]))) encode[u] = static_cast<uint16_t>(run.lead << 8 | (run.first + k));
    }
  }
  for (size_t i = 0; i < t.overrideCount; ++i) {
    const EncodeOverride& o = t.overrides[i];
    encode[o.unit] = o.bytes == 0xFFFF ? kNone : o.bytes;
  }
}

int PageIndex(int codePage) {
  for (size_t i = 0; i < kSingleCount; ++i)
    if (kSingleTables[i].codePage == codePage) return static_cast<int>(i);
  for (size_t i = 0; i < kDoubleCount; ++i)
    if (kDoubleTables[i].codePage == codePage) return static_cast<int>(kSingleCount + i);
  return -1;
}

const Codec& GetCodec(int index) {
  static std::array<std::once_flag, kPageCount> once;
  static std::array<std::unique_ptr<Codec>, kPageCount> codecs;
  std::call_once(once[static_cast<size_t>(index)], [index] {
    auto c = std::make_unique<Codec>();
    if (static_cast<size_t>(index) < kSingleCount) {
      BuildSingle(*c, kSingleTables[index].units);
    } else {
      BuildDouble(*c, kDoubleTables[static_cast<size_t>(index) - kSingleCount]);
    }
    codecs[static_cast<size_t>(index)] = std::move(c);
  });
  return *codecs[static_cast<size_t>(index)];
}

const std::vector<uint16_t>& GetEncoder(int index) {
  static std::array<std::once_flag, kPageCount> once;
  static std::array<std::vector<uint16_t>, kPageCount> encoders;
  const size_t i = static_cast<size_t>(index);
  std::call_once(once[i], [i] {
    if (i < kSingleCount)
      BuildSingleEncoder(encoders[i], kSingleTables[i].units);
    else
      BuildDoubleEncoder(encoders[i], kDoubleTables[i - kSingleCount]);
  });
  return encoders[i];
}

std::atomic<int> g_acp{1252};

// The code page to use: CP_ACP means the system's; an unknown one falls back to it, then to 1252.
int Resolve(int codePage) {
  if (codePage == CP_ACP) codePage = SystemCodePage();
  if (codePage == CP_UTF8 || codePage == CP_UTF16LE || codePage == CP_UTF16BE || PageIndex(codePage) >= 0)
    return codePage;
  const int acp = SystemCodePage();
  return PageIndex(acp) >= 0 || acp == CP_UTF8 ? acp : 1252;
}

}  // namespace

int SystemCodePage() { return g_acp.load(std::memory_order_relaxed); }
void SetSystemCodePage(int cp) { g_acp.store(cp, std::memory_order_relaxed); }

bool IsCodePageSupported(int cp) {
  return cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE || PageIndex(cp) >= 0;
}

bool IsDoubleByteCodePage(int cp) {
  const int i = PageIndex(cp == CP_ACP ? SystemCodePage() : cp);
  return i >= static_cast<int>(kSingleCount);
}

const char16_t* AsciiSingleByteTable(int cp) {
  cp = Resolve(cp);
  const int index = PageIndex(cp);
  if (index < 0 || static_cast<size_t>(index) >= kSingleCount) return nullptr;
  const Codec& c = GetCodec(index);
  return c.asciiSame ? c.single.data() : nullptr;
}

void AppendCodePageToWide(WideString& out, std::string_view bytes, int cp) {
  cp = Resolve(cp);
  if (cp == CP_UTF8) {
    out += Utf8ToWide(bytes);
    return;
  }
  const size_t base = out.size();
  if (cp == CP_UTF16LE || cp == CP_UTF16BE) {
    out.resize(base + bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<uint8_t>(bytes[i]), hi = static_cast<uint8_t>(bytes[i + 1]);
      out[base + i / 2] = cp == CP_UTF16LE ? static_cast<char16_t>(lo | hi << 8) : static_cast<char16_t>(hi | lo << 8);
    }
    return;
  }
  const int index = PageIndex(cp);
  const Codec& c = GetCodec(index);
  out.resize(base + bytes.size());
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t n = bytes.size();
  char16_t* d = out.data() + base;
  if (static_cast<size_t>(index) < kSingleCount) {
    size_t i = 0;
    // Text is mostly ASCII: eight such bytes widen without the table.
    for (; c.asciiSame && i + 8 <= n; i += 8) {
      uint64_t x;
      std::memcpy(&x, p + i, 8);
      if (x & 0x8080808080808080u)
        for (size_t k = i; k < i + 8; ++k) d[k] = c.single[p[k]];
      else
        for (size_t k = i; k < i + 8; ++k) d[k] = p[k];
    }
    for (; i < n; ++i) d[i] = c.single[p[i]];
    return;
  }
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = p[i];
    if (!c.isLead[b]) {
      d[o++] = c.single[b];
      continue;
    }
    if (i + 1 >= n) {  // a lead byte cut off by the end of the text
      d[o++] = u'\uFFFD';
      break;
    }
    const uint8_t t = p[i + 1];
    const char16_t u = c.rows[static_cast<size_t>(c.rowOf[b])][t];
    d[o++] = u ? u : u'\uFFFD';
    // An undefined pair whose second byte is plain ASCII keeps that byte as a character.
    if (u || t >= 0x40) ++i;
  }
  out.resize(base + o);
}

WideString CodePageToWide(std::string_view bytes, int cp) {
  WideString out;
  AppendCodePageToWide(out, bytes, cp);
  return out;
}

RawByteString WideToCodePage(std::u16string_view text, int cp, char def) {
  cp = Resolve(cp);
  if (cp == CP_UTF8) return WideToUtf8(text);
  RawByteString out;
  if (cp == CP_UTF16LE || cp == CP_UTF16BE) {
    out.resize(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
      const char lo = static_cast<char>(text[i] & 0xFF), hi = static_cast<char>(text[i] >> 8);
      out[2 * i] = cp == CP_UTF16LE ? lo : hi;
      out[2 * i + 1] = cp == CP_UTF16LE ? hi : lo;
    }
    return out;
  }
  const std::vector<uint16_t>& encode = GetEncoder(PageIndex(cp));
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    const uint16_t e = encode[u];
    if (u == 0 || (e != kNone && IsSingle(e))) {
      out += static_cast<char>(e);
    } else if (e != kNone) {
      out += static_cast<char>(e >> 8);
      out += static_cast<char>(e & 0xFF);
    } else {
      // A surrogate pair stands for one character: one default byte for both halves.
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      out += def;
    }
  }
  return out;
}

const uint16_t* CodePageEncodeTable(int cp) {
  cp = Resolve(cp);
  if (cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE) return nullptr;
  return GetEncoder(PageIndex(cp)).data();
}

int CodePageEncodeChar(char16_t u, int cp) {
  cp = Resolve(cp);
  if (cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE) return u < 0x80 ? u : -1;
  if (u == 0) return 0;
  const uint16_t e = GetEncoder(PageIndex(cp))[u];
  return e == kNone ? -1 : e;
}

}  // namespace zvword
