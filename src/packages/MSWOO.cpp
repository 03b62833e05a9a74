// The OpenDocument readers: the package, its media type, the automatic styles and "meta.xml".
#include "packages/MSWOO.h"

#include <algorithm>

#include "framework/MSWordCnst.h"

namespace zvword {

using namespace std::string_view_literals;  // literals of known length in comparisons

namespace {

constexpr std::string_view kMediaPrefix = "application/vnd.oasis.opendocument.";

// The body of a package: a paragraph is one item; a table row is one item of its cells.
const TMarkTable kMarks = {{
    {u"", u"\\par ", u"</p>"},       // paragraph (its end)
    {u"\r\n", u"\\line ", u"<br>"},  // line
    {u"\t", u"\\tab ", u"&#9;"},      // tab
    {u"\t", u"\\tab ", u""},          // cell (between two cells)
    {u"", u"\\par ", u"</tr>"},      // row (its end)
    {u"", u"", u""},                  // page
}};

bool MediaIs(std::string_view type, std::initializer_list<std::string_view> kinds) {
  if (!type.starts_with(kMediaPrefix)) return false;
  type.remove_prefix(kMediaPrefix.size());
  return std::find(kinds.begin(), kinds.end(), type) != kinds.end();
}

int32_t ToInt(std::u16string_view s) {
  int64_t v = 0;
  size_t i = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - u'0'), INT32_MAX);
  return i > 0 && i == s.size() ? static_cast<int32_t>(v) : 0;
}

// The integer the value starts with ("12pt" gives 12); false when it starts with no digit.
bool LeadingInt(std::u16string_view s, int32_t& out) {
  int64_t v = 0;
  size_t i = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) v = std::min<int64_t>(v * 10 + (s[i] - u'0'), INT32_MAX);
  if (i == 0) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// A font size in points from "12pt", "0.5in", "1cm", "10mm", "2pc" or, against the size it
// inherits, "130%"; Size is kept when the value is none of these.
void FontSize(std::u16string_view s, int32_t& Size) {
  double v = 0, scale = 1;
  size_t i = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) v = std::min(v * 10 + (s[i] - u'0'), 1e6);
  if (i < s.size() && s[i] == u'.')
    for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) v += (s[i] - u'0') * (scale /= 10);
  const std::u16string_view unit = s.substr(i);
  const double points = unit == u"pt"sv ? v : unit == u"%"sv ? Size * v / 100 : unit == u"in"sv ? v * 72 : unit == u"cm"sv ? v * 72 / 2.54
                        : unit == u"mm"sv ? v * 72 / 25.4 : unit == u"pc"sv ? v * 12 : -1;
  if (i > 0 && points >= 1 && points <= 4096) Size = static_cast<int32_t>(points + 0.5);
}

WideString Hex2(uint32_t v) {
  static const char16_t digits[] = u"0123456789abcdef";
  return {digits[(v >> 4) & 15], digits[v & 15]};
}

WideString CssColor(uint32_t c) { return u"#" + Hex2(c) + Hex2(c >> 8) + Hex2(c >> 16); }

// "rect(0cm, 1cm, 2cm, 3cm)": runs of digits, the first four taken as left, top, width, height.
TOORect ParseClip(std::u16string_view v) {
  TOORect r;
  if (!v.starts_with(u"rect(") || v.size() < 6) return r;
  v = v.substr(5, v.size() - 6);
  int32_t runs[4] = {0, 0, 0, 0};
  int n = 0;
  int64_t cur = -1;
  for (char16_t c : v) {
    if (c >= u'0' && c <= u'9') {
      cur = std::min<int64_t>((cur < 0 ? 0 : cur) * 10 + (c - u'0'), INT32_MAX / 2);
    } else if (cur >= 0) {
      if (n < 4) runs[n++] = static_cast<int32_t>(cur);
      cur = -1;
    }
  }
  r.Left = runs[0];
  r.Top = runs[1];
  r.Right = runs[0] + runs[2];
  r.Bottom = runs[1] + runs[3];
  return r;
}

std::u16string_view AlignmentName(int32_t a) { return a == 1 ? u"right" : a == 2 ? u"center" : u"left"; }

}  // namespace

// ---- styles -------------------------------------------------------------------------------------

void TOOStyles::ClearStyles() {
  FByName.clear();
  while (!FList.empty()) FList.pop_back();
}

void TOOStyles::Add(std::unique_ptr<TOOStyle> Style) {
  const bool list = dynamic_cast<const TOOStyleNumList*>(Style.get()) != nullptr;
  FByName.emplace((list ? WideString(u"list") : Style->FStyleFamily) + u'\n' + Style->FStyleName, Style.get());
  FList.push_back(std::move(Style));
}

TOOStyle* TOOStyles::GetStyle(int AIndex) const {
  return AIndex >= 0 && AIndex < Count() ? FList[static_cast<size_t>(AIndex)].get() : nullptr;
}

TOOStyle* TOOStyles::FindByStyleName(std::u16string_view AStyleName) const {
  for (const auto& s : FList)
    if (s->FStyleName == AStyleName) return s.get();
  return nullptr;
}

TOOStyle* TOOStyles::FindInFamily(std::u16string_view Family, std::u16string_view AStyleName) const {
  const auto it = FByName.find(WideString(Family) + u'\n' + WideString(AStyleName));
  return it == FByName.end() ? nullptr : it->second;
}

int64_t OODurationSeconds(std::u16string_view v) {
  if (!v.starts_with(u"PT")) return 0;
  int64_t h = 0, m = 0, s = 0, digits = 0;
  for (char16_t c : v.substr(2)) {
    if (c >= u'0' && c <= u'9') {
      digits = std::min<int64_t>(digits * 10 + (c - u'0'), int64_t(1) << 40);
      continue;
    }
    if (c == u'H') h = digits, digits = 0;
    else if (c == u'M') m = digits, digits = 0;
    else if (c == u'S') s = digits, digits = 0;
  }
  return h * 3600 + m * 60 + s;
}

bool OOParseColor(std::u16string_view v, uint32_t& color) {
  if (v.size() != 7 || v[0] != u'#') return false;
  uint32_t rgb = 0;
  for (char16_t c : v.substr(1)) {
    int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
    if (d < 0) return false;
    rgb = rgb << 4 | static_cast<uint32_t>(d);
  }
  color = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  return true;
}

// ---- the reader ---------------------------------------------------------------------------------

TCustomOpenOfficeDocument::TCustomOpenOfficeDocument(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FSummaryInformation(std::make_unique<TZvWordSummaryInformation>()),
      FAnnotations(std::make_unique<TWideStrings>()),
      FHeaders(std::make_unique<TWideStrings>()),
      FFooters(std::make_unique<TWideStrings>()),

      FSink(*this, kMarks) {}

TCustomOpenOfficeDocument::~TCustomOpenOfficeDocument() = default;

TOpenOfficeTextDocument::TOpenOfficeTextDocument(TComponent* AOwner) : TCustomOpenOfficeDocument(AOwner) {
  FXMLTagText = u"office:text";
}
TOpenOfficeSpreadsheet::TOpenOfficeSpreadsheet(TComponent* AOwner) : TCustomOpenOfficeDocument(AOwner) {
  FXMLTagText = u"office:spreadsheet";
}
TOpenOfficePresentation::TOpenOfficePresentation(TComponent* AOwner) : TCustomOpenOfficeDocument(AOwner) {
  FXMLTagText = u"office:presentation";
}

void TCustomOpenOfficeDocument::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  FStyles.ClearStyles();
  FSummaryInformation->Clear();
  FAnnotations->Clear();
  FHeaders->Clear();
  FFooters->Clear();
}

bool TCustomOpenOfficeDocument::IsEncryptedPackage(const TZipArchive& Zip) {
  const int i = Zip.GetIndexByFileName(std::string_view("META-INF/manifest.xml"));
  if (i < 0) return false;
  try {
    return Zip.GetUncompressed(i).find("encryption-data") != std::string::npos;
  } catch (const EResourceLimit&) {
    throw;
  } catch (const Exception&) {
    return false;  // a damaged manifest says nothing; the parts speak for themselves
  }
}

std::string TCustomOpenOfficeDocument::PackageMediaType(std::string_view Bytes) {
  if (!BytesAreZipArchive(Bytes)) return {};
  // Packages store "mimetype" first and uncompressed, so its bytes sit right after the first
  // local header; anything else is looked up in the archive.
  auto u16 = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(Bytes[at]) | static_cast<uint8_t>(Bytes[at + 1]) << 8); };
  if (Bytes.size() >= 38 && Bytes.substr(30, 8) == "mimetype" && u16(8) == 0 && u16(26) == 8) {
    const size_t size = u16(18) | u16(20) << 16, at = 38 + u16(28);
    // Sizes of 0 mean they follow the data (a data descriptor): the archive is asked instead.
    if (size > 0 && size <= 100 && at + size <= Bytes.size()) {
      const std::string_view type = Bytes.substr(at, size);
      return type.starts_with(kMediaPrefix) ? std::string(type) : std::string();
    }
  }
  try {
    TZipArchive zip;
    zip.SetMaxUncompressedSize(4096);
    zip.LoadFromView(Bytes);
    const int i = zip.GetIndexByFileName(std::string_view("mimetype"));
    if (i < 0) return {};
    std::string type = zip.GetUncompressed(i);
    while (!type.empty() && static_cast<unsigned char>(type.back()) <= 32) type.pop_back();
    return type.starts_with(kMediaPrefix) ? type : std::string();
  } catch (const Exception&) {
    return {};
  }
}

std::string TCustomOpenOfficeDocument::FlatMediaType(std::string_view Bytes) {
  const std::string_view tag = XMLRootTag(Bytes);
  // A lone content part ("office:document-content") reads the same way.
  const std::string_view name = XMLRootName(Bytes);
  if (name != "office:document" && name != "office:document-content") return {};
  for (std::string_view quote : {"\"", "'"}) {
    const std::string key = "office:mimetype=" + std::string(quote);
    const size_t at = tag.find(key);
    if (at == std::string_view::npos) continue;
    std::string_view type = tag.substr(at + key.size());
    type = type.substr(0, type.find(quote));
    if (type.starts_with(kMediaPrefix)) return std::string(type);
  }
  // Without a media type the body's first element tells the kind.
  const size_t body = Bytes.find("<office:body");
  if (body != std::string_view::npos)
    for (std::string_view kind : {"text", "spreadsheet", "presentation", "drawing"}) {
      const size_t at = Bytes.find("<office:" + std::string(kind), body + 12);
      if (at != std::string_view::npos && Bytes.substr(body, at - body).find("<office:", 1) == std::string_view::npos)
        return std::string(kMediaPrefix) + std::string(kind);
    }
  return {};
}

std::string TCustomOpenOfficeDocument::MediaType(std::string_view Bytes) {
  return BytesAreZipArchive(Bytes) ? PackageMediaType(Bytes) : FlatMediaType(Bytes);
}

bool TCustomOpenOfficeDocument::IsTextData(std::string_view Bytes) {
  return MediaIs(MediaType(Bytes), {"text", "text-template", "text-master", "text-web"});
}
bool TCustomOpenOfficeDocument::IsSpreadsheetData(std::string_view Bytes) {
  return MediaIs(MediaType(Bytes), {"spreadsheet", "spreadsheet-template"});
}
bool TCustomOpenOfficeDocument::IsPresentationData(std::string_view Bytes) {
  return MediaIs(MediaType(Bytes), {"presentation", "presentation-template"});
}

void TCustomOpenOfficeDocument::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

void TCustomOpenOfficeDocument::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  RawByteString bytes;  // only when the stream is not in memory
  const std::string_view view = Stream.ReadAllView(bytes);
  if (!BytesAreZipArchive(view)) {
    if (FlatMediaType(view).empty())
      throw Exception("The file is not an OpenDocument package (neither a ZIP archive nor a flat OpenDocument XML)");
    // A flat document holds the parts of a package as children of its one root.
    TZvXMLEngine engine(this);
    engine.SetBudget(&Budget());
    const bool text = ParseItems().Contains(wpiText);
    if (text) {
      FSink.Prologue(Text(), false);
      OOLoadContent(*this, engine, view, nullptr, true, Text());
    } else {
      engine.LoadFromBytes(view);
    }
    TZvXMLItem* root = OOFlatRoot(engine.RootItem());
    if (!root) throw Exception("The flat OpenDocument file has no office:document element");
    if (text) {
      if (!FSink.Stopped()) ReadMasterPages(root);
      FinishSides();
    }
    if (ParseItems().Contains(wpiSummaryInformation)) ReadSummary(root);
    return;
  }
  TZipArchive zip;
  zip.SetBudget(&Budget());
  zip.LoadFromView(view);
  auto part = [&](std::string_view name) {
    const int i = zip.GetIndexByFileName(name);
    return i < 0 ? RawByteString() : zip.GetUncompressed(i);
  };
  const int content = zip.GetIndexByFileName(std::string_view("content.xml"));
  if (content < 0) throw Exception("The OpenDocument package has no content.xml");
  if (IsEncryptedPackage(zip))
    throw Exception("The OpenDocument package is encrypted; a password is needed to read it");

  if (ParseItems().Contains(wpiText)) {
    // Damaged styles only cost the named styles, headers and footers, not the body.
    TZvXMLEngine styles(this);
    TZvXMLItem* named = nullptr;
    try {
      const RawByteString stylesXml = part("styles.xml");
      if (!stylesXml.empty()) {
        styles.SetBudget(&Budget());
        styles.LoadFromBytes(stylesXml);
        named = styles.RootItem();
      }
    } catch (const EResourceLimit&) {
      throw;
    } catch (const Exception&) {
      named = nullptr;
    }
    FSink.Prologue(Text(), false);
    const RawByteString contentXml = zip.GetUncompressed(content);
    if (!contentXml.empty()) {
      TZvXMLEngine engine(this);
      engine.SetBudget(&Budget());
      OOLoadContent(*this, engine, contentXml, named, false, Text());
    }
    if (!FSink.Stopped() && named) ReadMasterPages(named);
    FinishSides();
  }
  if (ParseItems().Contains(wpiSummaryInformation)) {
    const RawByteString meta = part("meta.xml");
    if (!meta.empty()) {
      TZvXMLEngine engine(this);
      engine.SetBudget(&Budget());
      engine.LoadFromBytes(meta);
      ReadSummary(engine.RootItem());
    }
  }
} catch (const std::exception&) {
  RethrowAsException();
}

void TCustomOpenOfficeDocument::FinishSides() {
  FSink.Epilogue(Text(), false);
  if (TextFormating() != tfPlainText)
    for (TWideStrings* side : {HeaderText(), FooterText(), AnnotationText()})
      if (side->Count() > 0) {
        side->Insert(0, GetTextStart());
        FSink.Epilogue(side, false);
      }
}

namespace {

void ReadListLevels(const TZvXMLItem& list, TOOStyleNumList& style) {
  for (const auto& l : list.Items()) {
    if (l->Kind != ikProperty) continue;
    const std::u16string_view name = XMLLocalName(l->TagName);
    const bool bullet = name == u"list-level-style-bullet"sv;
    if (!bullet && name != u"list-level-style-number"sv && name != u"outline-level-style"sv) continue;
    const int32_t level = ToInt(l->AttributeValue(u"text:level"));
    if (level < 1 || level > TOOStyleNumList::kLevels) continue;
    TOOListLevel& out = style.Levels[static_cast<size_t>(level - 1)];
    out.Bullet = bullet;
    out.BulletChar = l->AttributeValue(u"text:bullet-char");
    // A private-use character is a glyph of a symbol font, not text.
    if (out.BulletChar.size() == 1 && out.BulletChar[0] >= 0xE000 && out.BulletChar[0] <= 0xF8FF) out.BulletChar.clear();
    out.Prefix = l->AttributeValue(u"style:num-prefix");
    out.Suffix = l->AttributeValue(u"style:num-suffix");
    out.Format = l->AttributeValue(u"style:num-format");
    int32_t v = 1;
    if (LeadingInt(l->AttributeValue(u"text:start-value"), v)) out.StartValue = v;
    v = 1;
    if (LeadingInt(l->AttributeValue(u"text:display-levels"), v)) out.DisplayLevels = std::clamp(v, 1, level);
  }
  const TOOListLevel& first = style.Levels[0];
  style.NumPrefix = first.Prefix;
  style.NumSufix = first.Suffix;
  style.NumFormat = first.Format;
  if (first.Bullet && !first.BulletChar.empty()) style.BulletChar = first.BulletChar;
}

}  // namespace

void TCustomOpenOfficeDocument::ReadStyleList(TZvXMLItem* Styles) {
  if (!Styles) return;
  const bool named = XMLLocalName(Styles->TagName) == u"styles"sv;
  // Plain text needs only what gives list and heading labels.
  const bool plain = TextFormating() == tfPlainText;
  for (const auto& s : Styles->Items()) {
    if (s->Kind != ikProperty || s->TagName.empty() || s->TagName[0] == u'?') continue;
    if (plain && s->TagName != u"text:list-style"sv && s->TagName != u"text:outline-style"sv) continue;
    if (s->TagName == u"text:outline-style"sv) {
      FOutline = std::make_unique<TOOStyleNumList>();
      ReadListLevels(*s, *FOutline);
      continue;
    }
    const WideString family = s->AttributeValue(u"style:family");
    // Named styles that are not paragraph, text or list styles (defaults, number formats, notes
    // settings) give no class and no label.
    if (named && s->TagName != u"text:list-style"sv &&
        (s->TagName != u"style:style"sv || (family != u"text"sv && family != u"paragraph"sv)))
      continue;
    std::unique_ptr<TOOStyle> style;
    if (family == u"text"sv || family == u"paragraph"sv) {
      auto t = std::make_unique<TOOStyleText>();
      // A style starts as its parent is and overrides what it names.
      if (const auto* parent =
              dynamic_cast<const TOOStyleText*>(FStyles.FindInFamily(family, s->AttributeValue(u"style:parent-style-name"))))
        t->TextFont = parent->TextFont, t->Color = parent->Color, t->Alignment = parent->Alignment,
        t->HasFontName = parent->HasFontName;
      // Alignment lives in the paragraph properties, the rest in the text properties.
      for (const auto& p : s->Items()) {
        const std::u16string_view name = p->TagName;
        if (name != u"style:text-properties"sv && name != u"style:paragraph-properties"sv) continue;
        const WideString align = p->AttributeValue(u"fo:text-align");
        if (!align.empty()) t->Alignment = align == u"center"sv ? 2 : align == u"end"sv || align == u"right"sv ? 1 : 0;
        const WideString italic = p->AttributeValue(u"fo:font-style");
        if (italic == u"italic"sv || italic == u"oblique"sv) t->TextFont.Style |= fsItalic;
        else if (italic == u"normal"sv) t->TextFont.Style &= ~fsItalic;
        const WideString underline = p->AttributeValue(u"style:text-underline-style");
        if (!underline.empty()) {
          if (underline != u"none"sv) t->TextFont.Style |= fsUnderline;
          else t->TextFont.Style &= ~fsUnderline;
        }
        const WideString weight = p->AttributeValue(u"fo:font-weight");
        int32_t numeric = 0;  // "100" to "900"; 600 and above look bold
        if (weight == u"bold"sv || (LeadingInt(weight, numeric) && numeric >= 600)) t->TextFont.Style |= fsBold;
        else if (!weight.empty()) t->TextFont.Style &= ~fsBold;
        OOParseColor(p->AttributeValue(u"fo:color"), t->TextFont.Color);
        OOParseColor(p->AttributeValue(u"fo:background-color"), t->Color);
        FontSize(p->AttributeValue(u"fo:font-size"), t->TextFont.Size);
        WideString font = p->AttributeValue(u"style:font-name");
        if (font.empty()) font = p->AttributeValue(u"fo:font-family");
        if (!font.empty()) t->TextFont.Name = font, t->HasFontName = true;
      }
      style = std::move(t);
    } else if (family == u"graphic"sv) {
      auto g = std::make_unique<TOOStyleGraphic>();
      for (const auto& p : s->Items())
        if (p->TagName == u"style:graphic-properties"sv) g->ClipRect = ParseClip(p->AttributeValue(u"fo:clip"));
      style = std::move(g);
    } else if (family.empty() && s->TagName == u"text:list-style"sv) {
      auto l = std::make_unique<TOOStyleNumList>();
      ReadListLevels(*s, *l);
      style = std::move(l);
    } else {
      style = std::make_unique<TOOStyle>();
    }
    style->FStyleName = s->AttributeValue(u"style:name");
    style->FStyleFamily = family;
    style->FStyleParent = s->AttributeValue(u"style:parent-style-name");
    Budget().ChargeObjects();
    FStyles.Add(std::move(style));
  }
}

void TCustomOpenOfficeDocument::ReadStyles(TZvXMLItem* Named, TZvXMLItem* Automatic, TWideStrings* List) {
  ReadStyleList(Named);
  ReadStyleList(Automatic);
  if (TextFormating() != tfHTML || (!Named && !Automatic)) return;
  FSink.Item(List, u"<style type=\"text/css\">");
  for (int i = 0; i < FStyles.Count(); ++i) {
    const auto* text = dynamic_cast<const TOOStyleText*>(FStyles.GetStyle(i));
    if (!text) continue;
    // Names are written by the application ("P1", "T2"); anything that could end the block is not.
    const WideString& name = text->FStyleName;
    if (name.empty() || name.find_first_of(u"<>{}&\"") != WideString::npos) continue;
    WideString css = u"." + name + u" {";
    if (text->HasFontName && text->TextFont.Name.find_first_of(u"<>{};&\"") == WideString::npos)
      css += u" font-family: " + text->TextFont.Name + u";";
    css += u"\r\nfont-size: " + WideString(Utf8ToWide(std::to_string(text->TextFont.Size))) + u"pt;" + u"color: " +
           CssColor(text->TextFont.Color) + u";\r\n" + u"background: " + CssColor(text->Color) + u";\r\n" +
           u"text-align: " + WideString(AlignmentName(text->Alignment)) + u";";
    if (text->TextFont.Style & fsBold) css += u"\r\nfont-weight: bold;";
    if (text->TextFont.Style & fsItalic) css += u"\r\nfont-style: italic;";
    if (text->TextFont.Style & fsUnderline) css += u"\r\ntext-decoration: underline;";
    css += u"}";
    FSink.Item(List, css);
  }
  FSink.Item(List, u"</style>");
}

void TCustomOpenOfficeDocument::ReadMasterPages(TZvXMLItem* Root) {
  TZvXMLItem* master = FindXMLItem(Root, u"master-styles", {}, true);
  if (!master) return;
  for (TZvXMLItem* page : FindXMLItems(master, u"master-page")) {
    for (const auto& part : page->Items()) {
      if (part->Kind != ikProperty) continue;
      std::u16string_view local = XMLLocalName(part->TagName);
      // A presentation's master page carries its header and footer as placeholder frames.
      WideString frameClass;
      if (part->TagName == u"draw:frame"sv) {
        frameClass = part->AttributeValue(u"presentation:class");
        local = frameClass;
      }
      if (!local.starts_with(u"header") && !local.starts_with(u"footer")) continue;
      if (local.ends_with(u"-style")) continue;  // page-layout properties, no text
      TWideStrings* list = local.starts_with(u"header") ? HeaderText() : FooterText();
      WalkBody(part.get(), list);
    }
  }
}

void TCustomOpenOfficeDocument::ReadSummary(TZvXMLItem* Root) {
  TZvXMLItem* meta = FindXMLItem(Root, u"meta", {}, true);
  if (!meta) return;
  auto item = [&](std::u16string_view qualified) -> TZvXMLItem* {
    for (TZvXMLItem* i : FindXMLItems(meta, XMLLocalName(qualified)))
      if (SameStrings(false, i->TagName, qualified)) return i;
    return nullptr;
  };
  auto text = [&](std::u16string_view qualified) {
    TZvXMLItem* i = item(qualified);
    return i ? i->FullText() : WideString();
  };
  TZvWordSummaryInformation& s = *FSummaryInformation;
  s.SetAppName(text(u"meta:generator"));
  s.SetTitle(text(u"dc:title"));
  s.SetSubject(text(u"dc:subject"));
  s.SetAuthor(text(u"meta:initial-creator"));
  s.SetKeywords(text(u"meta:keyword"));
  s.SetComments(text(u"dc:description"));
  s.SetLastAuthor(text(u"dc:creator"));
  if (TZvXMLItem* t = item(u"meta:template"))
    s.SetTemplate(t->AttributeValue(u"xlink:title") + u" " + t->AttributeValue(u"xlink:href"));
  s.SetCreated(XMLStringToDateTime(text(u"meta:creation-date")));
  s.SetLastSaved(XMLStringToDateTime(text(u"dc:date")));
  s.SetEditTime(static_cast<int32_t>(std::min<int64_t>(OODurationSeconds(text(u"meta:editing-duration")) / 60, INT32_MAX)));
  if (TZvXMLItem* st = item(u"meta:document-statistic")) {
    s.SetPageCount(ToInt(st->AttributeValue(u"meta:page-count")));
    s.SetWordCount(ToInt(st->AttributeValue(u"meta:word-count")));
    s.SetCharCount(ToInt(st->AttributeValue(u"meta:character-count")));
    s.SetParagraphCount(ToInt(st->AttributeValue(u"meta:paragraph-count")));
    s.SetCharCount2(ToInt(st->AttributeValue(u"meta:non-whitespace-character-count")));
  }
}

}  // namespace zvword
