// ASCII-only glyph names, used until the full glyph tables are part of the build.
#pragma once
#include <cstdint>
#include <string_view>
#include "platform/Types.h"
namespace zvword {
enum class TPDFStdEncoding { Standard, WinAnsi, MacRoman, PDFDoc };
inline const char* StdEncodingGlyphName(TPDFStdEncoding, uint8_t code) {
  static const char* ascii[128] = {};
  static bool init = false;
  static char names[128][16];
  if (!init) {
    const char* tbl[] = {"space","exclam","quotedbl","numbersign","dollar","percent","ampersand","quoteright","parenleft","parenright","asterisk","plus","comma","hyphen","period","slash","zero","one","two","three","four","five","six","seven","eight","nine","colon","semicolon","less","equal","greater","question","at"};
    for (int i = 0; i < 33; ++i) ascii[32 + i] = tbl[i];
    for (int c = 'A'; c <= 'Z'; ++c) { names[c][0] = char(c); names[c][1] = 0; ascii[c] = names[c]; }
    for (int c = 'a'; c <= 'z'; ++c) { names[c][0] = char(c); names[c][1] = 0; ascii[c] = names[c]; }
    init = true;
  }
  return code < 128 ? ascii[code] : nullptr;
}
inline char16_t StdEncodingToUnicode(TPDFStdEncoding, uint8_t code) { return code >= 32 && code < 127 ? code : 0; }
inline WideString GlyphNameToUnicode(std::string_view name) {
  if (name.size() == 1) return WideString(1, char16_t(name[0]));
  for (int c = 32; c < 128; ++c) { const char* n = StdEncodingGlyphName(TPDFStdEncoding::Standard, uint8_t(c)); if (n && name == n) return WideString(1, char16_t(c)); }
  if (name == "fi") return u"fi";
  return {};
}
}
