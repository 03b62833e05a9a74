// The Word 2007+ reader: package parts, the element filter and the text of paragraphs.
#include "packages/MSWordX.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <unordered_set>

#include "framework/MSWordCnst.h"
#include "platform/CodePages.h"
#include "platform/CompoundFile.h"

namespace zvword {
namespace {

using Names = std::set<std::u16string_view>;

// Containers whose content is document text: kept, their children filtered in turn.
const Names& PassThrough() {
  static const Names names = {
      u"w:document", u"w:body", u"w:hdr", u"w:ftr", u"w:footnotes", u"w:endnotes", u"w:comments",
      u"w:comment", u"w:tbl", u"w:tr", u"w:tc", u"w:tabs", u"w:pPr", u"w:hyperlink",
      // Content controls, tracked insertions and moves, smart tags, custom XML and simple fields
      // hold ordinary runs.
      u"w:sdt", u"w:sdtContent", u"w:ins", u"w:moveTo", u"w:smartTag", u"w:customXml",
      u"w:fldSimple", u"w:dir", u"w:bdo", u"w:ruby", u"w:rubyBase",
      // Drawings and VML shapes on the way to a text box.
      u"w:drawing", u"wp:inline", u"wp:anchor", u"a:graphic", u"a:graphicData", u"wps:wsp",
      u"wps:txbx", u"wpg:wgp", u"wpg:grpSp", u"wpc:wpc", u"w:pict", u"w:object", u"v:shape",
      u"v:rect", u"v:roundrect", u"v:oval", u"v:group", u"v:textbox",
      // Of alternative renderings the first (mc:Choice) is read, the fallback dropped.
      u"mc:AlternateContent", u"mc:Choice"};
  return names;
}

bool EndsWith(std::u16string_view s, std::u16string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool Contains(std::u16string_view s, std::u16string_view part) { return s.find(part) != std::u16string_view::npos; }

WideString Attribute(std::u16string_view Attrs, std::u16string_view Name) { return AttributeValueOf(Attrs, Name); }

bool IsOffValue(const WideString& v) { return v == u"0" || v == u"false" || v == u"off"; }

struct Relationship {
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
    out.push_back({type, ResolvePartPath(sourcePart, WideToUtf8(item->AttributeValue(u"Target")))});
  }
  return out;
}

// Parts named like "word/header12.xml", in the order of their numbers.
std::vector<std::string> NumberedParts(const TZipArchive& zip, const std::string& stem) {
  std::vector<std::pair<int, std::string>> found;
  for (int i = 0; i < zip.Count(); ++i) {
    const std::string& n = zip.Files.Items(i).Name();
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

}  // namespace

bool IsCompoundBytes(std::string_view bytes) {
  return IsCompoundFileSignature(bytes);
}

TMSWordXDocument::TMSWordXDocument(TComponent* AOwner) : TMSCustomWordDocument(AOwner), FSink(*this, kMarks) {}
TMSWordXDocument::~TMSWordXDocument() = default;

bool TMSWordXDocument::IsWordXPackage(std::string_view Bytes) {
  return BytesAreZipArchive(Bytes) && Bytes.find("word/document") != std::string_view::npos;
}

void TMSWordXDocument::LoadFromFile(const WideString& AFileName) try {
  TMSWBaseDocument::LoadFromFile(AFileName);
  TFileStream stream(AFileName);
  const RawByteString head = stream.ReadBytes(8);
  stream.SetPosition(0);
  if (!BytesAreZipArchive(head)) {
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

RawByteString TMSWordXDocument::ReadPart(const TZipArchive& Zip, std::string_view Name) {
  const int index = Zip.GetIndexByFileName(Name);
  if (index < 0) return {};
  return Zip.GetUncompressed(index);
}

void TMSWordXDocument::LoadPackage(std::string_view Bytes) {
  TZipArchive zip;
  // The archive charges what it inflates to this document's budget.
  zip.SetBudget(&Budget());
  zip.LoadFromView(Bytes);
  if (zip.Recovered())
    AddWarning(u"The package is damaged: its parts were recovered from what is intact, and text may be missing");
  const bool text = ParseItems().Contains(wpiText);

  // The main part as the package's relationships name it, else the usual name.
  std::string mainPart = "word/document.xml";
  const auto packageRels = ReadRelationships(ReadPart(zip, "_rels/.rels"), "", Budget());
  for (const auto& r : packageRels)
    if (r.type == "officeDocument" && zip.GetIndexByFileName(std::string_view(r.target)) >= 0) {
      mainPart = r.target;
      break;
    }
  if (zip.GetIndexByFileName(std::string_view(mainPart)) < 0)
    throw Exception("The package has no main document part (" + mainPart + ")");
  const size_t slash = mainPart.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : mainPart.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? mainPart : mainPart.substr(slash + 1);
  const auto rels = ReadRelationships(ReadPart(zip, dir + "_rels/" + name + ".rels"), mainPart, Budget());

  auto partsOf = [&](const char* type, const char* fallback) {
    std::vector<std::string> out;
    for (const auto& r : rels)
      if (r.type == type && std::find(out.begin(), out.end(), r.target) == out.end()) out.push_back(r.target);
    if (out.empty() && rels.empty()) {
      if (std::string(type) == "header" || std::string(type) == "footer")
        out = NumberedParts(zip, dir + type);
      else if (zip.GetIndexByFileName(std::string_view(dir + fallback)) >= 0)
        out.push_back(dir + fallback);
    }
    return out;
  };

  if (text) {
    auto firstPart = [&](const char* type, const char* fallback) {
      for (const auto& r : rels)
        if (r.type == type) return ReadPart(zip, r.target);
      return rels.empty() ? ReadPart(zip, dir + fallback) : RawByteString();
    };
    FNumbering.Load(firstPart("numbering", "numbering.xml"), firstPart("styles", "styles.xml"), &Budget());
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
    FTextBoxFramed = false;
    for (const Target& t : targets) {
      // Past the length limit no more parts are read.
      if (FSink.Stopped()) break;
      const bool isBody = t.list == Text();
      if (t.parts.empty() && !isBody) continue;
      FSink.Prologue(t.list, false);
      for (const std::string& part : t.parts) {
        const RawByteString bytes = ReadPart(zip, part);
        LoadXMLFilePart(bytes, t.list, t.boxes);
        // A missing main part reads as an empty document; one that holds no Word markup is forged.
        if (isBody && !bytes.empty() && FPartElement != u"document")
          throw Exception("The main part " + mainPart + " of the package is not a Word document");
      }
      FSink.Epilogue(t.list, false);
    }
    // The text-box list got its prologue with its first line.
    if (FTextBoxFramed) FSink.Epilogue(TextBoxText(), false);
  }

  if (ParseItems().Contains(wpiSummaryInformation)) {
    std::string core = "docProps/core.xml", app = "docProps/app.xml";
    for (const auto& r : packageRels) {
      if (r.type == "core-properties") core = r.target;
      if (r.type == "extended-properties") app = r.target;
    }
    ReadSummary(zip, core, app);
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
  if (n == u"w:p") {
    FCurrentTextLine.assign(FSink.Rendering(kParagraphStart));
    FParagraphStyle.clear();
    FNumId = FIlvl = -1;
    IsHiddenText = false;
  } else if (n == u"w:t" || n == u"m:t") {
    if (!IsHiddenText || ParseItems().Contains(wpiHiddenText)) FSink.Text(DecodeEntities(ATagValue), FCurrentTextLine);
    Accept = false;
  } else if (n == u"w:pStyle") {
    Accept = marked;
    // Word writes the style as an attribute; a child element "w:val" is read as well.
    FParagraphStyle = Attribute(ATagAttributes, u"w:val");
    StyleTags(FParagraphStyle, true);
  } else if (n == u"w:numPr") {
    // List membership: the label is added when the paragraph properties end.
  } else if (n == u"w:ilvl" || n == u"w:numId") {
    if (ParentNode && ParentNode->TagName == u"w:numPr") {
      const WideString v = Attribute(ATagAttributes, u"w:val");
      int value = 0;
      for (char16_t c : v) value = c >= u'0' && c <= u'9' && value < 100000 ? value * 10 + (c - u'0') : value;
      (n == u"w:ilvl" ? FIlvl : FNumId) = v.empty() ? -1 : value;
    }
    Accept = false;
  } else if (n == u"w:val" && ParentNode && ParentNode->TagName == u"w:pStyle") {
    if (marked) {
      Accept = true;
      // Only HTML output takes the style from this older form.
      if (TextFormating() == tfHTML && FParagraphStyle.empty()) {
        FParagraphStyle = DecodeEntities(ATagValue);
        StyleTags(FParagraphStyle, true);
      }
    }
  } else if (n == u"w:rFonts") {
    Accept = marked;
  } else if (n == u"w:r") {
    IsHiddenText = false;
  } else if (n == u"w:vanish") {
    IsHiddenText = !IsOffValue(Attribute(ATagAttributes, u"w:val"));
    Accept = false;
  } else if (n == u"w:rPr") {
    Accept = !ParseItems().Contains(wpiHiddenText);
  } else if (n == u"w:tab" || n == u"w:ptab") {
    // Closed below: a tab in a run, or a tab stop when its parent is "w:tabs".
  } else if (n == u"w:br" || n == u"w:cr") {
    if (!IsHiddenText || ParseItems().Contains(wpiHiddenText))
      FSink.Mark(tmLine, FCurrentTextLine);
    Accept = false;
  } else if (n == u"w:noBreakHyphen") {
    if (!IsHiddenText || ParseItems().Contains(wpiHiddenText)) FCurrentTextLine += u'-';
    Accept = false;
  } else if (n == u"w:footnote" || n == u"w:endnote") {
    // Separator notes hold the rule above the notes, not text.
    const WideString type = Attribute(ATagAttributes, u"w:type");
    Accept = type != u"separator" && type != u"continuationSeparator" && type != u"continuationNotice";
  } else if (n == u"w:txbxContent") {
    FSaved.push_back({std::move(FCurrentTextLine), FcurList, IsHiddenText, FParagraphStyle});
    FCurrentTextLine.clear();
    FcurList = FTextBoxList;
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
  if (List == TextBoxText() && !FTextBoxFramed) {
    FTextBoxFramed = true;
    FSink.Prologue(List, false);
  }
  FSink.Item(List, Line);
}

void TMSWordXDocument::DeleteRowTag(TZvXMLEngine*, TZvXMLItem*& Node, bool& Cancel) {
  const WideString& n = Node->TagName;
  if (n == u"w:tab" || n == u"w:ptab") {
    TZvXMLItem* parent = Node->ParentItem();
    if (!(parent && parent->TagName == u"w:tabs") && (!IsHiddenText || ParseItems().Contains(wpiHiddenText))) {
      FSink.Mark(tmTab, FCurrentTextLine);
    }
    TZvXMLItem::Free(Node);
  } else if (n == u"w:pPr") {
    TZvXMLItem* parent = Node->ParentItem();
    if (parent && parent->TagName == u"w:p") {
      int numId = FNumId, ilvl = FIlvl < 0 ? 0 : FIlvl;
      if (numId < 0 && !FNumbering.StyleNumbering(FParagraphStyle, numId, ilvl)) numId = -1;
      if (numId > 0)
        if (WideString label = FNumbering.NextLabel(numId, ilvl); !label.empty())
        {
          FSink.Text(label, FCurrentTextLine);
          FCurrentTextLine += u' ';
        }
    }
  } else if (n == u"w:p") {
    EndParagraph();
    TZvXMLItem::Free(Node);
    if (FSink.Stopped()) Cancel = true;
  } else if (n == u"w:txbxContent") {
    if (!FCurrentTextLine.empty()) EndParagraph();
    if (!FSaved.empty()) {
      TSavedLine saved = std::move(FSaved.back());
      FSaved.pop_back();
      FCurrentTextLine = std::move(saved.Line);
      FcurList = saved.List;
      IsHiddenText = saved.Hidden;
      FParagraphStyle = std::move(saved.Style);
    }
    TZvXMLItem::Free(Node);
  } else if (n == u"w:tbl" || n == u"w:sdt" || n == u"w:footnote" || n == u"w:endnote" || n == u"w:comment") {
    // Nothing more is read from these; letting them go keeps the tree small.
    TZvXMLItem::Free(Node);
  }
}

void TMSWordXDocument::ReadSummary(const TZipArchive& Zip, const std::string& CorePart, const std::string& AppPart) {
  TZvWordSummaryInformation& s = *SummaryInformation();
  for (const std::string& part : {CorePart, AppPart}) {
    RawByteString bytes = ReadPart(Zip, part);
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
