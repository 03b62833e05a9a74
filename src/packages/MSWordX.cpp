// The Word 2007+ reader: package parts, the element filter and the text of paragraphs.
#include "packages/MSWordX.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <set>

#include "framework/MSWordCnst.h"
#include "platform/CodePages.h"
#include "platform/CompoundFile.h"

namespace zvword {

// Comparisons against "..."sv know the literal's length; a bare u"..." is measured at each call.
using namespace std::string_view_literals;

namespace {

// Tag names are compared a few dozen times per element: as bytes of a known count, which the
// compiler turns into a load or two, rather than unit by unit.
inline bool Is(std::u16string_view s, std::u16string_view literal) {
  return s.size() == literal.size() && std::memcmp(s.data(), literal.data(), literal.size() * sizeof(char16_t)) == 0;
}

// A fixed set of names asked about for most elements: open addressing over a cheap hash, no nodes.
class Names {
 public:
  Names(std::initializer_list<std::u16string_view> names) {
    for (std::u16string_view n : names) {
      size_t i = Hash(n) & kMask;
      while (!FSlots[i].empty()) i = (i + 1) & kMask;
      FSlots[i] = n;
    }
  }
  bool count(std::u16string_view n) const {
    for (size_t i = Hash(n) & kMask;; i = (i + 1) & kMask) {
      if (FSlots[i].empty()) return false;
      if (Is(n, FSlots[i])) return true;
    }
  }

 private:
  static constexpr size_t kMask = 255;  // room for four times the names
  static size_t Hash(std::u16string_view n) {
    uint32_t h = 2166136261u;
    for (char16_t c : n) h = (h ^ c) * 16777619u;
    return h ^ (h >> 16);
  }
  std::array<std::u16string_view, kMask + 1> FSlots{};
};

// Containers whose content is document text: kept, their children filtered in turn.
const Names& PassThrough() {
  static const Names names = {
      u"w:document", u"w:body", u"w:hdr", u"w:ftr", u"w:footnotes", u"w:endnotes", u"w:comments",
      u"w:comment", u"w:tbl", u"w:tr", u"w:tc", u"w:tabs", u"w:pPr", u"w:hyperlink",
      // Content controls, tracked insertions and moves, smart tags, custom XML and simple fields
      // hold ordinary runs.
      u"w:sdt", u"w:sdtContent", u"w:ins", u"w:moveTo", u"w:smartTag", u"w:customXml",
      u"w:fldSimple", u"w:dir", u"w:bdo", u"w:ruby", u"w:rubyBase", u"w:rt",
      // Word 2003 XML: the document, its sections, hyperlinks and list properties.
      u"w:wordDocument", u"wx:sect", u"wx:sub-section", u"w:hlink", u"w:sectPr", u"w:listPr", u"aml:content",
      // Drawings and VML shapes on the way to a text box.
      u"w:drawing", u"wp:inline", u"wp:anchor", u"a:graphic", u"a:graphicData", u"wps:wsp",
      u"wps:txbx", u"wpg:wgp", u"wpg:grpSp", u"wpc:wpc", u"w:pict", u"w:object", u"v:shape",
      u"v:rect", u"v:roundrect", u"v:oval", u"v:group", u"v:textbox",
      u"mc:AlternateContent"};
  return names;
}

bool EndsWith(std::u16string_view s, std::u16string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool Contains(std::u16string_view s, std::u16string_view part) { return s.find(part) != std::u16string_view::npos; }

WideString Attribute(std::u16string_view Attrs, std::u16string_view Name) { return AttributeValueOf(Attrs, Name); }

bool IsOffValue(const WideString& v) { return v == u"0"sv || v == u"false"sv || v == u"off"sv; }
bool IsOnValue(const WideString& v) { return v == u"1"sv || v == u"true"sv || v == u"on"sv; }

struct Relationship {
  std::string id;
  std::string type;  // the last segment of the type URI: "header", "footnotes", ...
  std::string target;
};

// The relationships of a part (SourcePart; "" for the package), in the order the relationship
// part lists them.
std::vector<Relationship> ReadRelationships(const RawByteString& bytes, const std::string& sourcePart,
                                            TResourceBudget& budget) {
  std::vector<Relationship> out;
  if (bytes.empty()) return out;
  TZvXMLEngine engine;
  engine.SetBudget(&budget);
  engine.LoadFromBytes(bytes);
  for (TZvXMLItem* item : FindXMLItems(engine.RootItem(), u"Relationship", {}, true)) {
    if (SameStrings(false, item->AttributeValue(u"TargetMode"), u"External")) continue;
    std::string type = WideToUtf8(item->AttributeValue(u"Type"));
    size_t slash = type.rfind('/');
    if (slash != std::string::npos) type = type.substr(slash + 1);
    out.push_back({WideToUtf8(item->AttributeValue(u"Id")), type,
                   ResolvePartPath(sourcePart, WideToUtf8(item->AttributeValue(u"Target")))});
  }
  return out;
}

// The relationship part of a part: "word/_rels/document.xml.rels" for "word/document.xml".
std::string RelationshipPart(const std::string& part) {
  const size_t slash = part.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  return dir + "_rels/" + (slash == std::string::npos ? part : part.substr(slash + 1)) + ".rels";
}

// Parts named like "word/header12.xml", in the order of their numbers.
std::vector<std::string> NumberedParts(const TPackageParts& parts, const std::string& stem) {
  std::vector<std::pair<int, std::string>> found;
  for (const std::string& n : parts.Names()) {
    if (n.size() <= stem.size() + 4 || n.compare(0, stem.size(), stem) != 0 || !n.ends_with(".xml")) continue;
    std::string_view digits(n.data() + stem.size(), n.size() - stem.size() - 4);
    int number = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec == std::errc() && ptr == digits.data() + digits.size()) found.emplace_back(number, n);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

int32_t ToInt(const WideString& s) {
  std::string a = WideToUtf8(s);
  int32_t v = 0;
  auto [ptr, ec] = std::from_chars(a.data(), a.data() + a.size(), v);
  return ec == std::errc() && ptr == a.data() + a.size() ? v : 0;
}

// The element a part is made of: the first one that is not a declaration or instruction.
std::u16string_view DocumentElement(TZvXMLItem* root) {
  auto element = [](const TZvXMLItem& i) {
    return i.Kind == ikProperty && !i.TagName.empty() && i.TagName[0] != u'?' && i.TagName[0] != u'!';
  };
  if (element(*root)) return XMLLocalName(root->TagName);
  for (const auto& c : root->Items())
    if (element(*c)) return XMLLocalName(c->TagName);
  return {};
}

// Markup of the text of a package: a paragraph is one item, opened and closed in HTML.
const TMarkTable kMarks = {{
    {u"", u"\\par ", u"</p>"},       // paragraph (its end)
    {u"\r\n", u"\\line ", u"<br>"},  // line
    {u"\t", u"\\tab ", u"&#9;"},      // tab
    {u" ", u" ", u" "},               // cell
    {u"", u"\\par ", u"</p>"},       // row
    {u"", u"\\par ", u"</p>"},       // page
}};
const TMarkup kParagraphStart{u"", u"", u"<p>"};
const TMarkup kStyleStart{u"", u"", u"<font>"}, kStyleEnd{u"", u"", u"</font>"};
const TMarkup kBold{u"", u"", u"<b>"}, kBoldEnd{u"", u"", u"</b>"};
const TMarkup kItalic{u"", u"", u"<i>"}, kItalicEnd{u"", u"", u"</i>"};

class TZipParts : public TPackageParts {
 public:
  explicit TZipParts(const TZipArchive& Zip) : FZip(Zip) {}
  bool Has(std::string_view Name) const override { return FZip.GetIndexByFileName(Name) >= 0; }
  RawByteString Read(std::string_view Name) const override {
    const int index = FZip.GetIndexByFileName(Name);
    return index < 0 ? RawByteString() : FZip.GetUncompressed(index);
  }
  std::vector<std::string> Names() const override {
    std::vector<std::string> out;
    for (int i = 0; i < FZip.Count(); ++i) out.push_back(FZip.Files.Items(i).Name());
    return out;
  }

 private:
  const TZipArchive& FZip;
};

// A flat package: one XML file whose "pkg:part" elements hold the parts, XML ones inline.
// The parts are cut out of the bytes as written, so each keeps its own namespace declarations.
class TFlatParts : public TPackageParts {
 public:
  explicit TFlatParts(std::string_view Bytes) {
    constexpr std::string_view kPart = "<pkg:part", kData = "<pkg:xmlData", kDataEnd = "</pkg:xmlData>";
    size_t pos = Bytes.find(kPart);
    while (pos != std::string_view::npos) {
      const size_t tagEnd = Bytes.find('>', pos);
      if (tagEnd == std::string_view::npos) break;
      const size_t next = Bytes.find(kPart, tagEnd);
      const std::string_view tag = Bytes.substr(pos, tagEnd - pos);
      const std::string_view body = Bytes.substr(tagEnd + 1, (next == std::string_view::npos ? Bytes.size() : next) - tagEnd - 1);
      std::string name = WideToUtf8(AttributeValueOf(Utf8ToWide(std::string(tag.substr(kPart.size()))), u"pkg:name"));
      while (!name.empty() && name[0] == '/') name.erase(0, 1);
      const size_t data = body.find(kData);
      const size_t dataStart = data == std::string_view::npos ? data : body.find('>', data);
      const size_t dataEnd = body.rfind(kDataEnd);
      if (!name.empty() && dataStart != std::string_view::npos && dataEnd != std::string_view::npos && dataEnd > dataStart)
        FParts.emplace(name, body.substr(dataStart + 1, dataEnd - dataStart - 1));
      pos = next;
    }
  }
  bool Has(std::string_view Name) const override { return FParts.count(std::string(Name)) > 0; }
  RawByteString Read(std::string_view Name) const override {
    auto it = FParts.find(std::string(Name));
    return it == FParts.end() ? RawByteString() : RawByteString(it->second);
  }
  std::vector<std::string> Names() const override {
    std::vector<std::string> out;
    for (const auto& p : FParts) out.push_back(p.first);
    return out;
  }

 private:
  std::map<std::string, std::string_view> FParts;
};

// The bytes of the element that starts with Open, up to the end of Close; empty when absent.
std::string_view Slice(std::string_view Bytes, std::string_view Open, std::string_view Close) {
  const size_t a = Bytes.find(Open);
  if (a == std::string_view::npos) return {};
  const size_t b = Bytes.find(Close, a);
  return b == std::string_view::npos ? std::string_view() : Bytes.substr(a, b + Close.size() - a);
}

WideString Trimmed(const WideString& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == u' ' || s[a] == u'\t' || s[a] == u'\r' || s[a] == u'\n')) ++a;
  while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t' || s[b - 1] == u'\r' || s[b - 1] == u'\n')) --b;
  return s.substr(a, b - a);
}

// The text of a chart part (titles, series names, categories) or of a diagram's data part (its
// nodes), a line each. Values are numbers, not text; repeated categories are written once.
std::vector<WideString> GraphicLines(TZvXMLItem* root, bool chart) {
  std::vector<WideString> out;
  std::set<WideString> seen;
  WalkXML(root, {.OnEnter = [&](TZvXMLItem& item, int) {
    if (item.Kind != ikProperty) return waContinue;
    const std::u16string_view local = XMLLocalName(item.TagName);
    if (local == u"Fallback"sv) return waSkipChildren;
    if (local == u"p"sv) {
      if (WideString t = Trimmed(item.FullText()); !t.empty()) out.push_back(std::move(t));
      return waSkipChildren;
    }
    if (chart && local == u"v"sv) {
      bool label = false;
      for (TZvXMLItem* p = item.ParentItem(); p && !label; p = p->ParentItem()) {
        const std::u16string_view l = XMLLocalName(p->TagName);
        if (l == u"val"sv || l == u"xVal"sv || l == u"yVal"sv || l == u"plotArea"sv) break;
        label = l == u"tx"sv || l == u"cat"sv;
      }
      if (WideString t = Trimmed(item.FullText()); label && !t.empty() && seen.insert(t).second)
        out.push_back(std::move(t));
    }
    return waContinue;
  }});
  return out;
}

// Symbols Word numbers notes with when asked to: *, dagger, double dagger, section, then doubled.
WideString NoteSymbol(int v) {
  static const char16_t kSymbols[] = {u'*', u'\u2020', u'\u2021', u'\u00A7'};
  if (v <= 0) return u"*";
  return WideString(static_cast<size_t>(std::min((v - 1) / 4 + 1, 50)), kSymbols[(v - 1) % 4]);
}

}  // namespace

WideString TMSWordXDocument::TNoteKind::Next() {
  const int v = Start + Count++;
  return Format == u"chicago"sv ? NoteSymbol(v) : TWordXNumbering::FormatNumber(v, Format);
}

bool IsCompoundBytes(std::string_view bytes) {
  return IsCompoundFileSignature(bytes);
}

TMSWordXDocument::TMSWordXDocument(TComponent* AOwner) : TMSCustomWordDocument(AOwner), FSink(*this, kMarks) {}
TMSWordXDocument::~TMSWordXDocument() = default;

bool TMSWordXDocument::IsWordXPackage(std::string_view Bytes) {
  return BytesAreZipArchive(Bytes) && Bytes.find("word/document") != std::string_view::npos;
}

bool TMSWordXDocument::IsWordXMLDocument(std::string_view Bytes) {
  const std::string_view root = XMLRootName(Bytes);
  return root == "w:wordDocument" || root == "pkg:package";
}

void TMSWordXDocument::LoadFromFile(const WideString& AFileName) try {
  TMSWBaseDocument::LoadFromFile(AFileName);
  TFileStream stream(AFileName);
  const RawByteString head = stream.ReadBytes(4096);
  stream.SetPosition(0);
  if (!BytesAreZipArchive(head) && !IsWordXMLDocument(head)) {
    // An encrypted package is a compound file; say so rather than call it invalid.
    if (IsCompoundBytes(head) && IsEncryptedPackage(stream.ReadAll()))
      throw Exception(FormatMessage(u"File %s is encrypted; a password is needed to read it", {AFileName}));
    throw Exception(FormatMessage(SNotValidWordFile, {AFileName}));
  }
  LoadFromStream(stream);
} catch (const std::exception&) {
  RethrowAsException();
}

void TMSWordXDocument::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  RawByteString bytes;  // only when the stream is not in memory
  const std::string_view view = Stream.ReadAllView(bytes);
  if (IsCompoundBytes(view)) {
    LoadOLEBytes(view);
    return;
  }
  if (!BytesAreZipArchive(view) && IsWordXMLDocument(view)) {
    if (XMLRootName(view) == "pkg:package")
      LoadParts(TFlatParts(view));
    else
      LoadWordML(view);
    return;
  }
  LoadPackage(view);
} catch (const std::exception&) {
  RethrowAsException();
}

void TMSWordXDocument::InternalLoadFromOLEStream(TStream& Stream) try {
  const int64_t pos = Stream.Position();
  RawByteString bytes = Stream.ReadAll();
  if (!IsCompoundBytes(bytes)) {
    Stream.SetPosition(pos);
    TMSWBaseDocument::InternalLoadFromOLEStream(Stream);
    return;
  }
  TMSWBaseDocument::LoadFromStream(Stream);
  LoadOLEBytes(bytes);
} catch (const std::exception&) {
  RethrowAsException();
}

void TMSWordXDocument::LoadPackage(std::string_view Bytes) {
  TZipArchive zip;
  // The archive charges what it inflates to this document's budget.
  zip.SetBudget(&Budget());
  zip.LoadFromView(Bytes);
  if (zip.Recovered())
    AddWarning(u"The package is damaged: its parts were recovered from what is intact, and text may be missing");
  LoadParts(TZipParts(zip));
}

void TMSWordXDocument::LoadParts(const TPackageParts& Parts) {
  FOpenLists.clear();
  const bool text = ParseItems().Contains(wpiText);

  // The main part as the package's relationships name it, else the usual name.
  std::string mainPart = "word/document.xml";
  const auto packageRels = ReadRelationships(Parts.Read("_rels/.rels"), "", Budget());
  for (const auto& r : packageRels)
    if (r.type == "officeDocument" && Parts.Has(r.target)) {
      mainPart = r.target;
      break;
    }
  if (!Parts.Has(mainPart)) throw Exception("The package has no main document part (" + mainPart + ")");
  const size_t slash = mainPart.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : mainPart.substr(0, slash + 1);
  const auto rels = ReadRelationships(Parts.Read(RelationshipPart(mainPart)), mainPart, Budget());

  auto partsOf = [&](const char* type, const char* fallback) {
    std::vector<std::string> out;
    for (const auto& r : rels)
      if (r.type == type && std::find(out.begin(), out.end(), r.target) == out.end()) out.push_back(r.target);
    if (out.empty() && rels.empty()) {
      if (std::string(type) == "header" || std::string(type) == "footer")
        out = NumberedParts(Parts, dir + type);
      else if (Parts.Has(dir + fallback))
        out.push_back(dir + fallback);
    }
    return out;
  };

  if (text) {
    auto firstPart = [&](const char* type, const char* fallback) {
      for (const auto& r : rels)
        if (r.type == type) return Parts.Read(r.target);
      return rels.empty() ? Parts.Read(dir + fallback) : RawByteString();
    };
    FNumbering.Load(firstPart("numbering", "numbering.xml"), firstPart("styles", "styles.xml"), &Budget());
    ReadNoteSettings(firstPart("settings", "settings.xml"));
    FParts = &Parts;
    struct Target {
      std::vector<std::string> parts;
      TWideStrings* list;
      TWideStrings* boxes;
    };
    const Target targets[] = {
        {{mainPart}, Text(), TextBoxText()},
        {partsOf("endnotes", "endnotes.xml"), EndNoteText(), TextBoxText()},
        {partsOf("footnotes", "footnotes.xml"), FootNoteText(), TextBoxText()},
        // A text box in a header or footer is part of it.
        {partsOf("header", ""), HeaderText(), HeaderText()},
        {partsOf("footer", ""), FooterText(), FooterText()},
        {partsOf("comments", "comments.xml"), AnnotationText(), TextBoxText()},
    };
    for (const Target& t : targets) {
      // Past the length limit no more parts are read.
      if (FSink.Stopped()) break;
      const bool isBody = t.list == Text();
      if (t.parts.empty() && !isBody) continue;
      if (std::find(FOpenLists.begin(), FOpenLists.end(), t.list) == FOpenLists.end()) {
        FSink.Prologue(t.list, false);
        FOpenLists.push_back(t.list);
      }
      for (const std::string& part : t.parts) {
        const RawByteString bytes = Parts.Read(part);
        FPartRels.clear();
        // Only chart and diagram data parts are read through a drawing's reference.
        for (const auto& r : part == mainPart ? rels : ReadRelationships(Parts.Read(RelationshipPart(part)), part, Budget()))
          if (r.type == "chart" || r.type == "diagramData") FPartRels.emplace(r.id, r.target);
        LoadXMLFilePart(bytes, t.list, t.boxes);
        // A missing main part reads as an empty document; one that holds no Word markup is forged.
        if (isBody && !bytes.empty() && FPartElement != u"document"sv)
          throw Exception("The main part " + mainPart + " of the package is not a Word document");
      }
      FSink.Epilogue(t.list, false);
      FOpenLists.erase(std::find(FOpenLists.begin(), FOpenLists.end(), t.list));
    }
    // Lists that got their prologue with their first line (text boxes).
    CloseLists();
    FParts = nullptr;
  }

  if (ParseItems().Contains(wpiSummaryInformation)) {
    std::string core = "docProps/core.xml", app = "docProps/app.xml";
    for (const auto& r : packageRels) {
      if (r.type == "core-properties") core = r.target;
      if (r.type == "extended-properties") app = r.target;
    }
    ReadSummary(Parts, core, app);
  }
}

void TMSWordXDocument::LoadWordML(std::string_view Bytes) {
  FOpenLists.clear();
  FParts = nullptr;
  FPartRels.clear();
  if (ParseItems().Contains(wpiText)) {
    FNumbering.Clear();
    ReadNoteSettings(Slice(Bytes, "<w:docPr", "</w:docPr>"));
    FSink.Prologue(Text(), false);
    FOpenLists.push_back(Text());
    LoadXMLFilePart(Bytes, Text(), TextBoxText());
    if (FPartElement != u"wordDocument"sv) throw Exception("The document is not a Word 2003 XML document");
    CloseLists();
  }
  if (ParseItems().Contains(wpiSummaryInformation)) ReadWordMLSummary(Bytes);
}

void TMSWordXDocument::ReadWordMLSummary(std::string_view Bytes) {
  const std::string_view props = Slice(Bytes, "<o:DocumentProperties", "</o:DocumentProperties>");
  if (props.empty()) return;
  TZvXMLEngine engine(this);
  engine.SetBudget(&Budget());
  engine.LoadFromBytes(props);
  TZvXMLItem* anchor = FindXMLItem(engine.RootItem(), u"DocumentProperties", {}, true);
  if (!anchor) return;
  auto text = [&](std::u16string_view local) {
    TZvXMLItem* item = FindXMLItem(anchor, local);
    return item ? item->FullText() : WideString();
  };
  TZvWordSummaryInformation& s = *SummaryInformation();
  s.SetTitle(text(u"Title"));
  s.SetSubject(text(u"Subject"));
  s.SetAuthor(text(u"Author"));
  s.SetKeywords(text(u"Keywords"));
  s.SetComments(text(u"Description"));
  s.SetLastAuthor(text(u"LastAuthor"));
  s.SetRevNumber(text(u"Revision"));
  s.SetCategory(text(u"Category"));
  s.SetCreated(XMLStringToDateTime(text(u"Created")));
  s.SetLastSaved(XMLStringToDateTime(text(u"LastSaved")));
  s.SetTemplate(text(u"Template"));
  s.SetEditTime(ToInt(text(u"TotalTime")));
  s.SetPageCount(ToInt(text(u"Pages")));
  s.SetWordCount(ToInt(text(u"Words")));
  s.SetCharCount(ToInt(text(u"Characters")));
  s.SetLineCount(ToInt(text(u"Lines")));
  s.SetParagraphCount(ToInt(text(u"Paragraphs")));
  s.SetManager(text(u"Manager"));
  s.SetCompany(text(u"Company"));
  s.SetCharCount2(ToInt(text(u"CharactersWithSpaces")));
}

void TMSWordXDocument::ReadNoteSettings(std::string_view SettingsXml) {
  FFootnotes = TNoteKind();
  FFootnotes.Format = u"decimal";
  FEndnotes = TNoteKind();
  FEndnotes.Format = u"lowerRoman";
  if (SettingsXml.empty()) return;
  TZvXMLEngine engine(this);
  engine.SetBudget(&Budget());
  engine.LoadFromBytes(SettingsXml);
  for (auto [kind, name] : {std::pair{&FFootnotes, u"footnotePr"}, std::pair{&FEndnotes, u"endnotePr"}}) {
    TZvXMLItem* pr = FindXMLItem(engine.RootItem(), name, {}, true);
    if (!pr) continue;
    if (TZvXMLItem* f = FindXMLItem(pr, u"numFmt"); f && !f->AttributeValue(u"w:val").empty())
      kind->Format = f->AttributeValue(u"w:val");
    if (TZvXMLItem* st = FindXMLItem(pr, u"numStart"))
      if (const int32_t v = ToInt(st->AttributeValue(u"w:val")); v > 0 && v < 100000) kind->Start = v;
  }
}

void TMSWordXDocument::CloseLists() {
  for (TWideStrings* list : FOpenLists) FSink.Epilogue(list, false);
  FOpenLists.clear();
}

void TMSWordXDocument::Divert(TWideStrings* Target) {
  FSaved.push_back({std::move(FCurrentTextLine), FcurList, IsHiddenText, FParagraphStyle});
  FCurrentTextLine.clear();
  FcurList = Target;
}

void TMSWordXDocument::EndDiversion() {
  if (!FCurrentTextLine.empty()) EndParagraph();
  if (FSaved.empty()) return;
  TSavedLine saved = std::move(FSaved.back());
  FSaved.pop_back();
  FCurrentTextLine = std::move(saved.Line);
  FcurList = saved.List;
  IsHiddenText = saved.Hidden;
  FParagraphStyle = std::move(saved.Style);
}

void TMSWordXDocument::FlushGraphics() {
  std::vector<std::pair<std::string, bool>> graphics;
  graphics.swap(FGraphics);
  if (!FParts) return;
  for (const auto& [part, chart] : graphics) {
    const RawByteString bytes = FParts->Read(part);
    if (bytes.empty()) continue;
    TZvXMLEngine engine(this);
    engine.SetBudget(&Budget());
    engine.LoadFromBytes(bytes);
    for (const WideString& line : GraphicLines(engine.RootItem(), chart)) {
      FCurrentTextLine.assign(FSink.Rendering(kParagraphStart));
      FSink.Text(line, FCurrentTextLine);
      EndParagraph();
    }
  }
}

void TMSWordXDocument::LoadXMLFilePart(std::string_view Bytes, TWideStrings* List, TWideStrings* TextBoxList) {
  FcurList = List;
  FTextBoxList = TextBoxList;
  FCurrentTextLine.clear();
  FParagraphStyle.clear();
  FSaved.clear();
  IsHiddenText = false;
  FPartElement.clear();
  FNoteMark.clear();
  FMarkSpace = false;
  FRubyText.clear();
  FRubyDepth = 0;
  FListLabel.clear();
  FGraphics.clear();
  if (Bytes.empty()) return;
  TZvXMLEngine engine(this);
  engine.SetBudget(&Budget());
  engine.SetOnTag([this](TZvXMLEngine* s, TZvXMLItem* p, std::u16string_view n, std::u16string_view v,
                         std::u16string_view a, bool& accept) { NewRowTag(s, p, n, v, a, accept); });
  engine.SetOnAfterTag([this](TZvXMLEngine* s, TZvXMLItem*& node, bool& cancel) { DeleteRowTag(s, node, cancel); });
  engine.LoadFromBytes(Bytes);
  FPartElement = DocumentElement(engine.RootItem());
  // A part cut short ends inside a paragraph: keep what it had.
  while (!FSaved.empty()) {
    if (!FCurrentTextLine.empty()) EndParagraph();
    TSavedLine saved = std::move(FSaved.back());
    FSaved.pop_back();
    FCurrentTextLine = std::move(saved.Line);
    FcurList = saved.List;
  }
  if (!FCurrentTextLine.empty() && FCurrentTextLine != FSink.Rendering(kParagraphStart)) EndParagraph();
  FlushGraphics();
  FcurList = List;
}

void TMSWordXDocument::StyleTags(const WideString& Style, bool Opening) {
  const bool bold = Contains(Style, u"Bold"), italic = Contains(Style, u"Italic");
  if (!bold && !italic) return;
  WideString& out = FCurrentTextLine;
  if (Opening) FSink.Markup(kStyleStart, out);
  if (bold) FSink.Markup(Opening ? kBold : kBoldEnd, out);
  if (italic) FSink.Markup(Opening ? kItalic : kItalicEnd, out);
  if (!Opening) FSink.Markup(kStyleEnd, out);
}

void TMSWordXDocument::NewRowTag(TZvXMLEngine*, TZvXMLItem* ParentNode, std::u16string_view ATagName,
                                 std::u16string_view ATagValue, std::u16string_view ATagAttributes, bool& Accept) {
  const std::u16string_view n = ATagName;
  // Style elements are only read when the output has markup for them.
  const bool marked = TextFormating() != tfPlainText;
  const bool visible = !IsHiddenText || ParseItems().Contains(wpiHiddenText);
  if (Is(n, u"w:p"sv)) {
    FMarkSpace = false;
    FCurrentTextLine.assign(FSink.Rendering(kParagraphStart));
    FParagraphStyle.clear();
    FNumId = FIlvl = -1;
    IsHiddenText = false;
  } else if (Is(n, u"w:t"sv) || Is(n, u"m:t"sv)) {
    if (FMarkSpace && !ATagValue.empty()) {
      // The note's own mark stays apart from its first word.
      if (ATagValue[0] != u' ' && ATagValue[0] != u'\t') FCurrentTextLine += u' ';
      FMarkSpace = false;
    }
    if (visible) FSink.Text(DecodeEntities(ATagValue), FRubyDepth > 0 ? FRubyText : FCurrentTextLine);
    // Text may come as a CDATA section (Word 2003 XML from other writers): the element is then
    // kept so that the section comes here.
    Accept = ATagValue.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
  } else if (Is(n, u"![CDATA["sv)) {
    if (ParentNode && (Is(ParentNode->TagName, u"w:t"sv) || Is(ParentNode->TagName, u"m:t"sv)) && visible)
      FSink.Text(ATagValue, FRubyDepth > 0 ? FRubyText : FCurrentTextLine);
    Accept = false;
  } else if (Is(n, u"w:footnoteReference"sv) || Is(n, u"w:endnoteReference"sv)) {
    TNoteKind& kind = Is(n, u"w:footnoteReference"sv) ? FFootnotes : FEndnotes;
    // A custom mark follows as the run's text; the reference then has no number.
    const bool custom = IsOnValue(Attribute(ATagAttributes, u"w:customMarkFollows"));
    const WideString mark = custom ? WideString() : kind.Next();
    kind.Marks[ToInt(Attribute(ATagAttributes, u"w:id"))] = mark;
    if (visible) FSink.Text(mark, FCurrentTextLine);
    Accept = false;
  } else if (Is(n, u"w:footnoteRef"sv) || Is(n, u"w:endnoteRef"sv)) {
    if (visible) FSink.Text(FNoteMark, FCurrentTextLine);
    FMarkSpace = !FNoteMark.empty();
    Accept = false;
  } else if (Is(n, u"w:rt"sv)) {
    ++FRubyDepth;
  } else if (Is(n, u"w:ruby"sv)) {
    FRubyText.clear();
  } else if (Is(n, u"c:chart"sv) || Is(n, u"dgm:relIds"sv)) {
    const bool chart = Is(n, u"c:chart"sv);
    auto it = FPartRels.find(WideToUtf8(Attribute(ATagAttributes, chart ? u"r:id" : u"r:dm")));
    if (it != FPartRels.end() && FGraphics.size() < 1000) FGraphics.emplace_back(it->second, chart);
    Accept = false;
  } else if (Is(n, u"wx:t"sv) || Is(n, u"wx:font"sv)) {
    // A Word 2003 list label, unless its font says it is a bullet.
    if (ParentNode && Is(ParentNode->TagName, u"w:listPr"sv)) {
      const WideString v = Attribute(ATagAttributes, u"wx:val");
      if (Is(n, u"wx:t"sv))
        FListLabel = v;
      else if (Contains(v, u"Symbol") || Contains(v, u"Wingdings") || Is(v, u"Courier New"sv))
        FListLabel.clear();
    }
    Accept = false;
  } else if (Is(n, u"w:hdr"sv) || Is(n, u"w:ftr"sv)) {
    // Word 2003 writes headers and footers in the section properties.
    if (ParentNode && Is(ParentNode->TagName, u"w:sectPr"sv)) Divert(Is(n, u"w:hdr"sv) ? HeaderText() : FooterText());
  } else if (Is(n, u"aml:annotation"sv)) {
    // Word 2003 revisions and comments: insertions and comments hold text, deletions are gone.
    const WideString type = Attribute(ATagAttributes, u"w:type");
    Accept = Is(type, u"Word.Insertion"sv) || Is(type, u"Word.Comment"sv);
  } else if (Is(n, u"w:pStyle"sv)) {
    Accept = marked;
    // Word writes the style as an attribute; a child element "w:val" is read as well.
    FParagraphStyle = Attribute(ATagAttributes, u"w:val");
    StyleTags(FParagraphStyle, true);
  } else if (Is(n, u"w:numPr"sv)) {
    // List membership: the label is added when the paragraph properties end.
  } else if (Is(n, u"w:ilvl"sv) || Is(n, u"w:numId"sv)) {
    if (ParentNode && Is(ParentNode->TagName, u"w:numPr"sv)) {
      const WideString v = Attribute(ATagAttributes, u"w:val");
      int value = 0;
      for (char16_t c : v) value = c >= u'0' && c <= u'9' && value < 100000 ? value * 10 + (c - u'0') : value;
      (Is(n, u"w:ilvl"sv) ? FIlvl : FNumId) = v.empty() ? -1 : value;
    }
    Accept = false;
  } else if (Is(n, u"w:val"sv) && ParentNode && Is(ParentNode->TagName, u"w:pStyle"sv)) {
    if (marked) {
      Accept = true;
      // Only HTML output takes the style from this older form.
      if (TextFormating() == tfHTML && FParagraphStyle.empty()) {
        FParagraphStyle = DecodeEntities(ATagValue);
        StyleTags(FParagraphStyle, true);
      }
    }
  } else if (Is(n, u"w:rFonts"sv)) {
    Accept = marked;
  } else if (Is(n, u"w:r"sv)) {
    IsHiddenText = false;
  } else if (Is(n, u"w:vanish"sv)) {
    IsHiddenText = !IsOffValue(Attribute(ATagAttributes, u"w:val"));
    Accept = false;
  } else if (Is(n, u"w:rPr"sv)) {
    Accept = !ParseItems().Contains(wpiHiddenText);
  } else if (Is(n, u"w:tab"sv) || Is(n, u"w:ptab"sv)) {
    FMarkSpace = false;
    // Closed below: a tab in a run, or a tab stop when its parent is "w:tabs".
  } else if (Is(n, u"w:br"sv) || Is(n, u"w:cr"sv)) {
    if (!IsHiddenText || ParseItems().Contains(wpiHiddenText))
      FSink.Mark(tmLine, FCurrentTextLine);
    Accept = false;
  } else if (Is(n, u"w:noBreakHyphen"sv)) {
    if (!IsHiddenText || ParseItems().Contains(wpiHiddenText)) FCurrentTextLine += u'-';
    Accept = false;
  } else if (Is(n, u"w:footnote"sv) || Is(n, u"w:endnote"sv)) {
    // Separator notes hold the rule above the notes, not text.
    const WideString type = Attribute(ATagAttributes, u"w:type");
    Accept = !Is(type, u"separator"sv) && !Is(type, u"continuationSeparator"sv) && !Is(type, u"continuationNotice"sv);
    TNoteKind& kind = Is(n, u"w:footnote"sv) ? FFootnotes : FEndnotes;
    if (Accept && ParentNode && Is(ParentNode->TagName, u"w:r"sv)) {
      // Word 2003 writes the note where it is cited.
      FNoteMark = IsOnValue(Attribute(ATagAttributes, u"w:suppressRef")) ? WideString() : kind.Next();
      if (visible) FSink.Text(FNoteMark, FCurrentTextLine);
      Divert(Is(n, u"w:footnote"sv) ? FootNoteText() : EndNoteText());
    } else if (Accept) {
      auto it = kind.Marks.find(ToInt(Attribute(ATagAttributes, u"w:id")));
      FNoteMark = it == kind.Marks.end() ? WideString() : it->second;
    }
  } else if (Is(n, u"mc:Choice"sv)) {
    // Of alternative renderings only the first choice is read; the others and the fallback
    // repeat its text.
    if (ParentNode)
      for (const auto& c : ParentNode->Items())
        if (Is(c->TagName, u"mc:Choice"sv)) Accept = false;
  } else if (Is(n, u"w:txbxContent"sv)) {
    Divert(FTextBoxList);
  } else if (Is(n, u"aml:content"sv)) {
    if (ParentNode && ParentNode->AttributeValue(u"w:type") == u"Word.Comment"sv) Divert(AnnotationText());
  } else if (PassThrough().count(n)) {
    // kept
  } else if (n.size() > 2 && n[0] == u'm' && n[1] == u':' && !EndsWith(n, u"Pr")) {
    // Equations: their runs hold "m:t" text.
  } else if (ParentNode && SameStrings(false, ParentNode->TagName, u"?xml")) {
    // The document element of a part that starts with a declaration.
  } else {
    Accept = false;
  }
}

void TMSWordXDocument::EndParagraph() {
  if (!FParagraphStyle.empty()) StyleTags(FParagraphStyle, false);
  // Without a paragraph mark an RTF reader runs every paragraph into one.
  FSink.Mark(tmParagraph, FCurrentTextLine);
  AddLine(FcurList, FCurrentTextLine);
  FCurrentTextLine.clear();
  FParagraphStyle.clear();
}

void TMSWordXDocument::AddLine(TWideStrings* List, const WideString& Line) {
  if (std::find(FOpenLists.begin(), FOpenLists.end(), List) == FOpenLists.end()) {
    FOpenLists.push_back(List);
    FSink.Prologue(List, false);
  }
  FSink.Item(List, Line);
}

void TMSWordXDocument::DeleteRowTag(TZvXMLEngine*, TZvXMLItem*& Node, bool& Cancel) {
  const WideString& n = Node->TagName;
  if (Is(n, u"w:tab"sv) || Is(n, u"w:ptab"sv)) {
    TZvXMLItem* parent = Node->ParentItem();
    if (!(parent && Is(parent->TagName, u"w:tabs"sv)) && (!IsHiddenText || ParseItems().Contains(wpiHiddenText))) {
      FSink.Mark(tmTab, FCurrentTextLine);
    }
    TZvXMLItem::Free(Node);
  } else if (Is(n, u"w:pPr"sv)) {
    TZvXMLItem* parent = Node->ParentItem();
    if (parent && Is(parent->TagName, u"w:p"sv)) {
      int numId = FNumId, ilvl = FIlvl < 0 ? 0 : FIlvl;
      if (numId < 0 && !FNumbering.StyleNumbering(FParagraphStyle, numId, ilvl)) numId = -1;
      WideString label = numId > 0 ? FNumbering.NextLabel(numId, ilvl) : WideString();
      if (label.empty()) label = std::move(FListLabel);
      FListLabel.clear();
      if (!label.empty()) {
        FSink.Text(label, FCurrentTextLine);
        FCurrentTextLine += u' ';
      }
    }
  } else if (Is(n, u"w:p"sv)) {
    EndParagraph();
    TZvXMLItem::Free(Node);
    if (!FGraphics.empty()) FlushGraphics();
    if (FSink.Stopped()) Cancel = true;
  } else if (Is(n, u"w:t"sv) || Is(n, u"m:t"sv)) {
    TZvXMLItem::Free(Node);
  } else if (Is(n, u"w:rt"sv)) {
    if (FRubyDepth > 0) --FRubyDepth;
  } else if (Is(n, u"w:ruby"sv)) {
    // The reading follows its base text.
    if (!FRubyText.empty() && FRubyDepth == 0) {
      FCurrentTextLine += u" (";
      FCurrentTextLine += FRubyText;
      FCurrentTextLine += u')';
    }
    FRubyText.clear();
  } else if (Is(n, u"w:txbxContent"sv)) {
    EndDiversion();
    TZvXMLItem::Free(Node);
  } else if (Is(n, u"aml:content"sv) || Is(n, u"w:hdr"sv) || Is(n, u"w:ftr"sv) || Is(n, u"w:footnote"sv) || Is(n, u"w:endnote"sv)) {
    // The inline Word 2003 forms end their diversion.
    TZvXMLItem* parent = Node->ParentItem();
    bool diverted = false;
    if (parent && Is(n, u"aml:content"sv))
      diverted = parent->AttributeValue(u"w:type") == u"Word.Comment"sv;
    else if (parent && (Is(n, u"w:hdr"sv) || Is(n, u"w:ftr"sv)))
      diverted = Is(parent->TagName, u"w:sectPr"sv);
    else if (parent)
      diverted = Is(parent->TagName, u"w:r"sv);
    if (diverted) EndDiversion();
    if (!Is(n, u"aml:content"sv)) TZvXMLItem::Free(Node);
  } else if (Is(n, u"w:tbl"sv) || Is(n, u"w:sdt"sv) || Is(n, u"w:comment"sv)) {
    // Nothing more is read from these; letting them go keeps the tree small.
    TZvXMLItem::Free(Node);
  }
}

void TMSWordXDocument::ReadSummary(const TPackageParts& Parts, const std::string& CorePart, const std::string& AppPart) {
  TZvWordSummaryInformation& s = *SummaryInformation();
  for (const std::string& part : {CorePart, AppPart}) {
    RawByteString bytes = Parts.Read(part);
    if (bytes.empty()) continue;
    TZvXMLEngine engine(this);
    engine.SetBudget(&Budget());
    engine.LoadFromBytes(bytes);
    auto text = [&](TZvXMLItem* anchor, std::u16string_view local) {
      TZvXMLItem* item = FindXMLItem(anchor, local);
      return item ? item->FullText() : WideString();
    };
    if (TZvXMLItem* core = FindXMLItem(engine.RootItem(), u"coreProperties", {}, true)) {
      s.SetTitle(text(core, u"title"));
      s.SetSubject(text(core, u"subject"));
      s.SetAuthor(text(core, u"creator"));
      s.SetKeywords(text(core, u"keywords"));
      s.SetComments(text(core, u"description"));
      s.SetLastAuthor(text(core, u"lastModifiedBy"));
      s.SetRevNumber(text(core, u"revision"));
      s.SetCategory(text(core, u"category"));
      s.SetCreated(XMLStringToDateTime(text(core, u"created")));
      s.SetLastSaved(XMLStringToDateTime(text(core, u"modified")));
    }
    if (TZvXMLItem* props = FindXMLItem(engine.RootItem(), u"Properties", {}, true)) {
      s.SetTemplate(text(props, u"Template"));
      s.SetEditTime(ToInt(text(props, u"TotalTime")));
      s.SetPageCount(ToInt(text(props, u"Pages")));
      s.SetWordCount(ToInt(text(props, u"Words")));
      s.SetCharCount(ToInt(text(props, u"Characters")));
      s.SetAppName(text(props, u"Application"));
      s.SetLineCount(ToInt(text(props, u"Lines")));
      s.SetParagraphCount(ToInt(text(props, u"Paragraphs")));
      s.SetManager(text(props, u"Manager"));
      s.SetCompany(text(props, u"Company"));
      s.SetCharCount2(ToInt(text(props, u"CharactersWithSpaces")));
    }
  }
}

}  // namespace zvword
