#!/usr/bin/python3
"""Generates src/pdf/ZvWPDFGlyphData.inc from public data tables.

The Adobe Glyph List comes from fontTools.agl (Debian python3-fonttools). The
four simple encodings are those of the PDF Reference (Appendix D, "Latin
Character Set and Encodings"): Windows ANSI and Mac OS Roman are the code pages
of Python's codecs (cp1252, mac_roman) named by the glyph list, with the
appendix's differences written out below; the standard encoding's and PDFDoc's
codes outside ASCII and Latin-1 are transcribed from the appendix. Run once
with the system python:
    /usr/bin/python3 tools/gen/gen_glyphs.py > src/pdf/ZvWPDFGlyphData.inc
"""
import sys
import unicodedata

import fontTools.agl as agl

# Names some producers write for Hebrew final forms and the sheqel sign that
# the list spells differently.
EXTRA = {
    "kaffinal": [0x05DA], "memfinal": [0x05DD], "nunfinal": [0x05DF],
    "pefinal": [0x05E3], "tsadifinal": [0x05E5], "newsheqelsign": [0x20AA],
}

# Standard encoding: ASCII's printable codes except the two quotes, and these.
STANDARD_HIGH = {
    0x27: "quoteright", 0x60: "quoteleft",
    0xA1: "exclamdown", 0xA2: "cent", 0xA3: "sterling", 0xA4: "fraction", 0xA5: "yen",
    0xA6: "florin", 0xA7: "section", 0xA8: "currency", 0xA9: "quotesingle",
    0xAA: "quotedblleft", 0xAB: "guillemotleft", 0xAC: "guilsinglleft",
    0xAD: "guilsinglright", 0xAE: "fi", 0xAF: "fl", 0xB1: "endash", 0xB2: "dagger",
    0xB3: "daggerdbl", 0xB4: "periodcentered", 0xB6: "paragraph", 0xB7: "bullet",
    0xB8: "quotesinglbase", 0xB9: "quotedblbase", 0xBA: "quotedblright",
    0xBB: "guillemotright", 0xBC: "ellipsis", 0xBD: "perthousand", 0xBF: "questiondown",
    0xC1: "grave", 0xC2: "acute", 0xC3: "circumflex", 0xC4: "tilde", 0xC5: "macron",
    0xC6: "breve", 0xC7: "dotaccent", 0xC8: "dieresis", 0xCA: "ring", 0xCB: "cedilla",
    0xCD: "hungarumlaut", 0xCE: "ogonek", 0xCF: "caron", 0xD0: "emdash", 0xE1: "AE",
    0xE3: "ordfeminine", 0xE8: "Lslash", 0xE9: "Oslash", 0xEA: "OE",
    0xEB: "ordmasculine", 0xF1: "ae", 0xF5: "dotlessi", 0xF8: "lslash", 0xF9: "oslash",
    0xFA: "oe", 0xFB: "germandbls",
}

# PDFDoc: Latin-1 from 0xA1, and these.
PDFDOC_HIGH = {
    0x18: "breve", 0x19: "caron", 0x1A: "circumflex", 0x1B: "dotaccent",
    0x1C: "hungarumlaut", 0x1D: "ogonek", 0x1E: "ring", 0x1F: "tilde",
    0x80: "bullet", 0x81: "dagger", 0x82: "daggerdbl", 0x83: "ellipsis", 0x84: "emdash",
    0x85: "endash", 0x86: "florin", 0x87: "fraction", 0x88: "guilsinglleft",
    0x89: "guilsinglright", 0x8A: "minus", 0x8B: "perthousand", 0x8C: "quotedblbase",
    0x8D: "quotedblleft", 0x8E: "quotedblright", 0x8F: "quoteleft", 0x90: "quoteright",
    0x91: "quotesinglbase", 0x92: "trademark", 0x93: "fi", 0x94: "fl", 0x95: "Lslash",
    0x96: "OE", 0x97: "Scaron", 0x98: "Ydieresis", 0x99: "Zcaron", 0x9A: "dotlessi",
    0x9B: "lslash", 0x9C: "oe", 0x9D: "scaron", 0x9E: "zcaron", 0xA0: "Euro",
    0xAD: None, 0xB2: "twosuperior", 0xB3: "threesuperior", 0xB9: "onesuperior",
}

# Where the PDF tables differ from the code pages: the no-break space and soft hyphen
# are named as their plain forms, the superiors the glyph list lacks are named, and
# Mac OS Roman keeps its pre-Euro currency sign, its ligatures and no math symbols.
CODEPAGE_DIFFERENCES = {
    "cp1252": {0xA0: "space", 0xAD: "hyphen", 0xB2: "twosuperior", 0xB3: "threesuperior",
               0xB9: "onesuperior"},
    "mac_roman": {0xCA: "space", 0xDB: "currency", 0xDE: "fi", 0xDF: "fl",
                  0xAD: None, 0xB0: None, 0xB2: None, 0xB3: None, 0xB6: None, 0xB7: None,
                  0xB8: None, 0xB9: None, 0xBA: None, 0xC3: None, 0xC5: None, 0xC6: None,
                  0xD7: None},
}


def codepage_names(codec):
    table = [None] * 256
    for code in range(0x20, 256):
        if code == 0x7F:
            continue
        try:
            table[code] = agl.UV2AGL.get(ord(bytes([code]).decode(codec)))
        except UnicodeDecodeError:
            pass
    for code, name in CODEPAGE_DIFFERENCES[codec].items():
        table[code] = name
    return table


def ascii_names():
    return [agl.UV2AGL.get(code) if 0x20 <= code < 0x7F else None for code in range(256)]


def encoding_tables():
    standard = ascii_names()
    for code in range(0x80, 256):
        standard[code] = None
    for code, name in STANDARD_HIGH.items():
        standard[code] = name
    pdfdoc = ascii_names()
    for code in range(0xA1, 256):
        pdfdoc[code] = agl.UV2AGL.get(code)
    for code, name in PDFDOC_HIGH.items():
        pdfdoc[code] = name
    return {"Standard": standard, "MacRoman": codepage_names("mac_roman"),
            "WinAnsi": codepage_names("cp1252"), "PDFDoc": pdfdoc}


# Text extraction wants the letters of a ligature, not its presentation form.
def expand(cps):
    out = []
    for cp in cps:
        if 0xFB00 <= cp <= 0xFB06:
            out.extend(ord(c) for c in unicodedata.normalize("NFKC", chr(cp)))
        else:
            out.append(cp)
    return out


def lit16(cps):
    def one(cp):
        if cp >= 0x10000:
            return "\\U%08X" % cp
        if chr(cp) in "\\\"?":
            return "\\" + chr(cp)
        if cp < 0x20 or cp > 0x7E:
            return "\\u%04X" % cp
        return chr(cp)
    return "u\"" + "".join(one(cp) for cp in cps) + "\""


def main():
    aglfn = {}
    for line in agl._aglfnText.splitlines():
        if line.startswith("#") or not line.strip():
            continue
        cp, name, _ = line.split(";")
        aglfn[name] = int(cp, 16)
    names = {}
    for line in agl._aglText.splitlines():
        if line.startswith("#") or not line.strip():
            continue
        name, seq = line.split(";")
        cps = [int(x, 16) for x in seq.split()]
        if name in names:
            if name in aglfn and cps == [aglfn[name]]:
                names[name] = cps
            continue
        names[name] = cps
    for k, v in EXTRA.items():
        names.setdefault(k, v)

    out = sys.stdout
    out.write("// Generated by tools/gen/gen_glyphs.py from fontTools.agl and the PDF Reference's encodings; do not edit.\n")
    out.write("// clang-format off\n")
    out.write("static const GlyphEntry kGlyphList[] = {\n")
    for name in sorted(names, key=lambda s: s.encode()):
        out.write('  {"%s", %s},\n' % (name, lit16(expand(names[name]))))
    out.write("};\n\n")

    cols = ["Standard", "MacRoman", "WinAnsi", "PDFDoc"]
    tables = encoding_tables()
    for c in cols:
        out.write("static const char* const k%sNames[256] = {\n" % c)
        for code in range(256):
            n = tables[c][code]
            out.write('  %s,  // 0x%02X\n' % ('"%s"' % n if n else "nullptr", code))
        out.write("};\n\n")
        if c in ("MacRoman", "WinAnsi"):
            continue  # read from the platform's code pages (1252, 10000) at run time
        out.write("static const char16_t k%sUnicode[256] = {\n" % c)
        vals = []
        for code in range(256):
            n = tables[c][code]
            if n is None:
                u = 0
            elif n == "space":
                u = 0x20
            else:
                cps = names[n]
                assert len(cps) == 1 and cps[0] < 0x10000, n
                u = cps[0]
            vals.append("0x%04X" % u)
        for i in range(0, 256, 8):
            out.write("  " + ", ".join(vals[i:i + 8]) + ",\n")
        out.write("};\n\n")


if __name__ == "__main__":
    main()
