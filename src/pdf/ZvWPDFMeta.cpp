// Document properties: the information dictionary, completed from the XMP metadata stream.
#include "pdf/ZvWPDFMeta.h"

#include <string>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFGlyphs.h"
#include "platform/LocalTime.h"
#include "platform/Unicode.h"

namespace zvword {

WideString PDFTextStringToWide(std::string_view s) {
  WideString out;
  if (s.size() >= 2 && uint8_t(s[0]) == 0xFE && uint8_t(s[1]) == 0xFF) {
    for (size_t i = 2; i + 1 < s.size(); i += 2) out.push_back(char16_t(uint8_t(s[i]) << 8 | uint8_t(s[i + 1])));
  } else if (s.size() >= 3 && uint8_t(s[0]) == 0xEF && uint8_t(s[1]) == 0xBB && uint8_t(s[2]) == 0xBF) {
    out = Utf8ToWide(s.substr(3));
  } else {
    out = PDFDocEncodingToWide(s);
  }
  // Some writers end their strings with a terminating zero.
  while (!out.empty() && out.back() == 0) out.pop_back();
  return out;
}

TDateTime PDFDateToDateTime(const WideString& S) {
  size_t i = 0;
  while (i < S.size() && (S[i] == ' ' || S[i] == '\t')) ++i;
  if (i < S.size() && (S[i] == 'D' || S[i] == 'd')) {
    ++i;
    if (i < S.size() && S[i] == ':') ++i;
  }
  auto digits = [&](int n, int& value) {
    if (i + size_t(n) > S.size()) return false;
    int v = 0;
    for (int k = 0; k < n; ++k) {
      char16_t c = S[i + size_t(k)];
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    value = v;
    i += size_t(n);
    return true;
  };
  // Only the year is required; the later fields default to the start of their period.
  // A writer's offset from UTC ("+09'00'", "-05'30", "Z") is taken out, so every date is UTC
  // like the other formats' dates; a date without one is taken as written.
  TSystemTime t;
  t.Month = t.Day = 1;
  if (!digits(4, t.Year)) return 0;
  int offsetMinutes = 0;
  if (digits(2, t.Month) && digits(2, t.Day) && digits(2, t.Hour) && digits(2, t.Minute) && digits(2, t.Second) &&
      i < S.size() && (S[i] == '+' || S[i] == '-')) {
    const int sign = S[i++] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (digits(2, hours)) {
      if (i < S.size() && S[i] == '\'') ++i;
      digits(2, minutes);
      if (hours <= 23 && minutes <= 59) offsetMinutes = sign * (hours * 60 + minutes);
    }
  }
  if (t.Hour > 23 || t.Minute > 59 || t.Second > 59) return 0;
  TDateTime r;
  if (!TryEncodeDateTime(t, r)) return 0;
  return r - offsetMinutes / 1440.0;
}

namespace {

WideString DecodeXmlText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    size_t semi = s.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    std::string_view ent = s.substr(i + 1, semi - i - 1);
    uint32_t cp = 0;
    if (ent == "amp") cp = '&';
    else if (ent == "lt") cp = '<';
    else if (ent == "gt") cp = '>';
    else if (ent == "quot") cp = '"';
    else if (ent == "apos") cp = '\'';
    else if (ent.size() > 1 && ent[0] == '#') {
      bool hex = ent[1] == 'x' || ent[1] == 'X';
      try {
        cp = uint32_t(std::stoul(std::string(ent.substr(hex ? 2 : 1)), nullptr, hex ? 16 : 10));
      } catch (...) {
        cp = 0;
      }
      if (cp > 0x10FFFF) cp = 0;
    }
    if (cp == 0) {
      out += s[i];
      continue;
    }
    std::u16string w;
    AppendCodePoint(w, cp);
    out += WideToUtf8(w);
    i = semi;
  }
  return Utf8ToWide(out);
}

// The end of the element that starts at Open (the "<" of its start tag), or npos.
size_t ElementEnd(std::string_view xml, size_t open, std::string_view name) {
  size_t gt = xml.find('>', open);
  if (gt == std::string_view::npos) return gt;
  if (xml[gt - 1] == '/') return gt + 1;
  return xml.find("</" + std::string(name), gt);
}

// The text of an XMP property: a simple value, the default (or first) entry of a language
// alternative, or the entries of a sequence or bag joined with "; ".
WideString XmpProperty(std::string_view xml, std::string_view name) {
  std::string open = "<" + std::string(name);
  size_t p = 0;
  while ((p = xml.find(open, p)) != std::string_view::npos) {
    size_t after = p + open.size();
    if (after < xml.size() && (xml[after] == '>' || xml[after] == ' ' || xml[after] == '/' || xml[after] == '\n' ||
                               xml[after] == '\r' || xml[after] == '\t'))
      break;
    p = after;
  }
  if (p == std::string_view::npos) {
    // The attribute form: name="value".
    std::string attr = std::string(name) + "=";
    size_t a = xml.find(attr);
    if (a == std::string_view::npos || a + attr.size() >= xml.size()) return {};
    char q = xml[a + attr.size()];
    if (q != '"' && q != '\'') return {};
    size_t e = xml.find(q, a + attr.size() + 1);
    if (e == std::string_view::npos) return {};
    return DecodeXmlText(xml.substr(a + attr.size() + 1, e - a - attr.size() - 1));
  }
  size_t gt = xml.find('>', p);
  if (gt == std::string_view::npos || xml[gt - 1] == '/') return {};
  size_t end = ElementEnd(xml, p, name);
  if (end == std::string_view::npos) return {};
  std::string_view body = xml.substr(gt + 1, end - gt - 1);
  if (body.find("<rdf:li") == std::string_view::npos) return DecodeXmlText(body);
  WideString out, def;
  size_t li = 0;
  while ((li = body.find("<rdf:li", li)) != std::string_view::npos) {
    size_t lgt = body.find('>', li);
    if (lgt == std::string_view::npos) break;
    size_t lend = body.find("</rdf:li>", lgt);
    if (lend == std::string_view::npos) break;
    std::string_view tag = body.substr(li, lgt - li);
    WideString v = DecodeXmlText(body.substr(lgt + 1, lend - lgt - 1));
    if (tag.find("x-default") != std::string_view::npos && def.empty()) def = v;
    if (body.find("<rdf:Alt") != std::string_view::npos) {
      if (out.empty()) out = v;
    } else if (!v.empty()) {
      if (!out.empty()) out += u"; ";
      out += v;
    }
    li = lend;
  }
  return def.empty() ? out : def;
}

WideString Trimmed(WideString s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\n' || s[b] == '\r' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\n' || s[e - 1] == '\r' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

}  // namespace

void TZvPDFReader::ProcessMetaData() {
  if (!ParseItems().Contains(wpiSummaryInformation) || !FSummaryInformation) return;
  TZvWordSummaryInformation& sum = *FSummaryInformation;
  const TZvPDFObject* info = ResolveKey(FTrailer, "Info");
  auto text = [&](const char* key) -> WideString {
    if (!info || !info->IsDict()) return {};
    const TZvPDFObject* v = ResolveKey(*info, key);
    if (!v) return {};
    if (v->Kind == pokString) return PDFTextStringToWide(v->Str);
    if (v->Kind == pokName) return AsciiToWide(v->Str);
    return {};
  };
  sum.SetTitle(text("Title"));
  sum.SetAuthor(text("Author"));
  sum.SetSubject(text("Subject"));
  sum.SetKeywords(text("Keywords"));
  sum.SetAppName(text("Producer"));
  sum.SetCreated(PDFDateToDateTime(text("CreationDate")));
  sum.SetLastSaved(PDFDateToDateTime(text("ModDate")));

  // Newer writers may keep the properties only in the XMP packet.
  if (!sum.Title().empty() && !sum.Author().empty() && !sum.Subject().empty() && !sum.Keywords().empty()) return;
  const TZvPDFObject* root = ResolveKey(FTrailer, "Root");
  const TZvPDFObject* meta = root && root->IsDict() ? ResolveKey(*root, "Metadata") : nullptr;
  if (!meta || meta->Kind != pokStream) return;
  RawByteString xml;
  try {
    xml = GetStreamContent(*meta);
  } catch (const EResourceLimit&) {
    throw;
  } catch (const Exception&) {
    return;  // a damaged packet costs only the properties it would have given
  }
  if (sum.Title().empty()) sum.SetTitle(Trimmed(XmpProperty(xml, "dc:title")));
  if (sum.Author().empty()) sum.SetAuthor(Trimmed(XmpProperty(xml, "dc:creator")));
  if (sum.Subject().empty()) sum.SetSubject(Trimmed(XmpProperty(xml, "dc:description")));
  if (sum.Keywords().empty()) {
    WideString k = Trimmed(XmpProperty(xml, "pdf:Keywords"));
    if (k.empty()) k = Trimmed(XmpProperty(xml, "dc:subject"));
    sum.SetKeywords(k);
  }
}

}  // namespace zvword
