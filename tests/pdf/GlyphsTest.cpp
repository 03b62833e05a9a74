#include <gtest/gtest.h>

#include <cstring>

#include "pdf/ZvWPDFGlyphs.h"

using namespace zvword;

namespace {

struct NameCase {
  const char* name;
  const char16_t* text;
};

class GlyphNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(GlyphNameTest, MapsToText) {
  EXPECT_EQ(GlyphNameToUnicode(GetParam().name), WideString(GetParam().text)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, GlyphNameTest,
    ::testing::Values(
        NameCase{"A", u"A"}, NameCase{"eacute", u"\u00E9"}, NameCase{"Eacute", u"\u00C9"},
        NameCase{"quotedblleft", u"\u201C"}, NameCase{"quotedblright", u"\u201D"},
        NameCase{"quoteright", u"\u2019"}, NameCase{"endash", u"\u2013"}, NameCase{"emdash", u"\u2014"},
        NameCase{"bullet", u"\u2022"}, NameCase{"Euro", u"\u20AC"}, NameCase{"germandbls", u"\u00DF"},
        NameCase{"space", u" "}, NameCase{"backslash", u"\\"}, NameCase{"quotedbl", u"\""},
        NameCase{"fi", u"fi"}, NameCase{"fl", u"fl"}, NameCase{"ffi", u"ffi"}, NameCase{"ffl", u"ffl"},
        NameCase{"ff", u"ff"}, NameCase{"alef", u"\u05D0"}, NameCase{"kaffinal", u"\u05DA"},
        NameCase{"newsheqelsign", u"\u20AA"}, NameCase{"dalethatafpatah", u"\u05D3\u05B2"},
        // Variant suffixes and joined components.
        NameCase{"a.sc", u"a"}, NameCase{"eacute.alt1", u"\u00E9"}, NameCase{"f_f_i", u"ffi"},
        NameCase{"T_h", u"Th"}, NameCase{"f_i.liga", u"fi"}, NameCase{"Lcommaaccent_uni20AC0308_u1040C.alternate",
                                                                       u"\u013B\u20AC\u0308\U0001040C"},
        // uniXXXX groups and uXXXX[XX].
        NameCase{"uni00E9", u"\u00E9"}, NameCase{"uni20AC", u"\u20AC"}, NameCase{"uni00660301", u"f\u0301"},
        NameCase{"uni00e9", u"\u00E9"}, NameCase{"u00E9", u"\u00E9"}, NameCase{"u1F600", u"\U0001F600"},
        NameCase{"u10FFFF", u"\U0010FFFF"},
        // Unknown or malformed: nothing.
        NameCase{"", u""}, NameCase{".notdef", u""}, NameCase{"g123", u""}, NameCase{"uniD800", u""},
        NameCase{"uni00E", u""}, NameCase{"uni00E9F", u""}, NameCase{"u110000", u""}, NameCase{"u12", u""},
        NameCase{"uniXYZW", u""}, NameCase{"notaglyphname", u""}, NameCase{"_", u""}));

struct CodeCase {
  TPDFStdEncoding enc;
  uint8_t code;
  const char* name;  // nullptr: unmapped
  char16_t ch;
};

class EncodingTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(EncodingTest, NameAndCharacter) {
  const CodeCase& c = GetParam();
  const char* name = StdEncodingGlyphName(c.enc, c.code);
  if (c.name == nullptr) {
    EXPECT_EQ(name, nullptr) << int(c.code);
  } else {
    ASSERT_NE(name, nullptr) << int(c.code);
    EXPECT_STREQ(name, c.name);
  }
  EXPECT_EQ(StdEncodingToUnicode(c.enc, c.code), c.ch) << int(c.code);
}

constexpr auto S = TPDFStdEncoding::Standard;
constexpr auto W = TPDFStdEncoding::WinAnsi;
constexpr auto M = TPDFStdEncoding::MacRoman;
constexpr auto P = TPDFStdEncoding::PDFDoc;
constexpr auto Y = TPDFStdEncoding::Symbol;
constexpr auto Z = TPDFStdEncoding::ZapfDingbats;

INSTANTIATE_TEST_SUITE_P(
    Codes, EncodingTest,
    ::testing::Values(
        CodeCase{S, 0x41, "A", u'A'}, CodeCase{W, 0x41, "A", u'A'}, CodeCase{M, 0x41, "A", u'A'},
        CodeCase{P, 0x41, "A", u'A'},
        // Standard encoding: the curly quote at 0x27 and 0x60, ligatures, no Latin-1 letters.
        CodeCase{S, 0x27, "quoteright", u'\u2019'}, CodeCase{S, 0x60, "quoteleft", u'\u2018'},
        CodeCase{S, 0xAE, "fi", u'\uFB01'}, CodeCase{S, 0xAF, "fl", u'\uFB02'},
        CodeCase{S, 0xE1, "AE", u'\u00C6'}, CodeCase{S, 0xE9, "Oslash", u'\u00D8'}, CodeCase{S, 0xC0, nullptr, 0}, CodeCase{S, 0x80, nullptr, 0},
        CodeCase{S, 0xD0, "emdash", u'\u2014'},
        // Windows ANSI.
        CodeCase{W, 0x80, "Euro", u'\u20AC'}, CodeCase{W, 0x93, "quotedblleft", u'\u201C'},
        CodeCase{W, 0x96, "endash", u'\u2013'}, CodeCase{W, 0x95, "bullet", u'\u2022'},
        CodeCase{W, 0xE9, "eacute", u'\u00E9'}, CodeCase{W, 0xA0, "space", u' '},
        CodeCase{W, 0xAD, "hyphen", u'-'}, CodeCase{W, 0x81, nullptr, 0}, CodeCase{W, 0x27, "quotesingle", u'\''},
        // Mac OS Roman.
        CodeCase{M, 0x8E, "eacute", u'\u00E9'}, CodeCase{M, 0x80, "Adieresis", u'\u00C4'},
        CodeCase{M, 0xD2, "quotedblleft", u'\u201C'}, CodeCase{M, 0xDE, "fi", u'\uFB01'},
        CodeCase{M, 0xCA, "space", u' '}, CodeCase{M, 0xA5, "bullet", u'\u2022'},
        // PDFDoc.
        CodeCase{P, 0x80, "bullet", u'\u2022'}, CodeCase{P, 0x84, "emdash", u'\u2014'},
        CodeCase{P, 0x8D, "quotedblleft", u'\u201C'}, CodeCase{P, 0xA0, "Euro", u'\u20AC'},
        CodeCase{P, 0x18, "breve", u'\u02D8'}, CodeCase{P, 0xE9, "eacute", u'\u00E9'},
        CodeCase{P, 0x9F, nullptr, 0},
        // Symbol: Greek letters, math signs; the serif and sans variants as the plain signs.
        CodeCase{Y, 0x61, "alpha", u'\u03B1'}, CodeCase{Y, 0x57, "Omega", u'\u03A9'}, CodeCase{Y, 0x22, "universal", u'\u2200'},
        CodeCase{Y, 0xD2, "registerserif", u'\u00AE'}, CodeCase{Y, 0xE4, "trademarksans", u'\u2122'},
        CodeCase{Y, 0xFE, "bracerightbt", u'\u23AD'}, CodeCase{Y, 0x80, nullptr, 0}, CodeCase{Y, 0xF0, nullptr, 0},
        // ZapfDingbats: the Dingbats block in code order, and the glyphs placed elsewhere.
        CodeCase{Z, 0x21, nullptr, u'\u2701'}, CodeCase{Z, 0x25, nullptr, u'\u260E'}, CodeCase{Z, 0x48, nullptr, u'\u2605'},
        CodeCase{Z, 0x7E, nullptr, u'\u275E'}, CodeCase{Z, 0x8D, nullptr, u'\u2775'}, CodeCase{Z, 0xAC, nullptr, u'\u2460'},
        CodeCase{Z, 0xD6, nullptr, u'\u2194'}, CodeCase{Z, 0xFE, nullptr, u'\u27BE'}, CodeCase{Z, 0xF0, nullptr, 0}));

// The numbered name tables of font programs: their ends and the entries the readers rely on.
TEST(Encodings, FontProgramNameTables) {
  const struct {
    const char* (*table)(uint32_t);
    uint32_t index;
    const char* name;
  } rows[] = {{MacGlyphName, 0, ".notdef"}, {MacGlyphName, 3, "space"},     {MacGlyphName, 36, "A"},
              {MacGlyphName, 257, "dcroat"}, {MacGlyphName, 258, nullptr},  {CFFStandardString, 1, "space"},
              {CFFStandardString, 34, "A"},  {CFFStandardString, 207, "eacute"}, {CFFStandardString, 390, "Semibold"},
              {CFFStandardString, 391, nullptr}};
  for (const auto& r : rows) {
    const char* got = r.table(r.index);
    if (!r.name) EXPECT_EQ(got, nullptr) << r.index;
    else EXPECT_STREQ(got, r.name) << r.index;
  }
}

TEST(Encodings, EveryNamedCodeHasItsGlyphsCharacter) {
  for (auto enc : {S, W, M, P}) {
    int named = 0;
    for (int code = 0; code < 256; ++code) {
      const char* name = StdEncodingGlyphName(enc, static_cast<uint8_t>(code));
      char16_t ch = StdEncodingToUnicode(enc, static_cast<uint8_t>(code));
      if (name == nullptr) {
        EXPECT_EQ(ch, 0) << code;
        continue;
      }
      ++named;
      WideString text = GlyphNameToUnicode(name);
      ASSERT_FALSE(text.empty()) << name;
      if (text.size() == 1) {
        EXPECT_EQ(text[0], ch) << name;
      }
      // Printable ASCII codes stand for themselves in every Latin encoding but the quotes.
      if (code > 0x20 && code < 0x7F && code != 0x27 && code != 0x60) {
        EXPECT_EQ(ch, static_cast<char16_t>(code)) << int(enc) << " " << code;
      }
    }
    EXPECT_GE(named, 149) << int(enc);  // the standard encoding is the smallest
  }
}

TEST(Encodings, TextSplitsLigatures) {
  EXPECT_EQ(StdEncodingToText(S, 0xAE), u"fi");
  EXPECT_EQ(StdEncodingToText(M, 0xDF), u"fl");
  EXPECT_EQ(StdEncodingToText(W, 0xE9), u"\u00E9");
  EXPECT_EQ(StdEncodingToText(W, 0xA0), u" ");
  EXPECT_EQ(StdEncodingToText(S, 0xC0), u"");
}

TEST(PDFDocEncoding, DecodesPunctuationAndLatin1) {
  EXPECT_EQ(PDFDocEncodingToWide("caf\xE9 \x8Dquoted\x8E \x80 \x85 \xA0 \x93"),
            u"caf\u00E9 \u201Cquoted\u201D \u2022 \u2013 \u20AC \uFB01");
  EXPECT_EQ(PDFDocEncodingToWide(""), u"");
  EXPECT_EQ(PDFDocEncodingToWide(std::string_view("a\0b", 3)), WideString(u"a\0b", 3));
  EXPECT_EQ(PDFDocEncodingToWide("\t\n\r"), u"\t\n\r");
}

}  // namespace
