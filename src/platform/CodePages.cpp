// Interim converter (UTF-8, UTF-16 and 1252); the full table set replaces it.
#include "platform/CodePages.h"

#include <atomic>

namespace zvword {
namespace {
std::atomic<int> g_acp{1252};
constexpr char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

int SystemCodePage() { return g_acp.load(); }
void SetSystemCodePage(int cp) { g_acp.store(cp); }
bool IsCodePageSupported(int cp) { return cp == 1252 || cp == 65001 || cp == 1200 || cp == 1201; }

WideString CodePageToWide(std::string_view bytes, int cp) {
  if (cp == CP_ACP) cp = SystemCodePage();
  if (cp == CP_UTF8) return Utf8ToWide(bytes);
  WideString out;
  if (cp == CP_UTF16LE || cp == CP_UTF16BE) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<uint8_t>(bytes[i]), hi = static_cast<uint8_t>(bytes[i + 1]);
      out += cp == CP_UTF16LE ? static_cast<char16_t>(lo | hi << 8) : static_cast<char16_t>(hi | lo << 8);
    }
    return out;
  }
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<uint8_t>(ch);
    out += (b >= 0x80 && b < 0xA0) ? k1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
}

RawByteString WideToCodePage(std::u16string_view text, int cp, char def) {
  if (cp == CP_ACP) cp = SystemCodePage();
  if (cp == CP_UTF8) return WideToUtf8(text);
  RawByteString out;
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += static_cast<char>(c);
      continue;
    }
    char r = def;
    for (int i = 0; i < 32; ++i)
      if (k1252High[i] == c) r = static_cast<char>(0x80 + i);
    out += r;
  }
  return out;
}

}  // namespace zvword
