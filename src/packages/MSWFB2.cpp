#include "packages/MSWFB2.h"

#include <algorithm>
#include <unordered_map>

#include "packages/MarkupText.h"
#include "support/ZvWZipFile.h"

namespace zvword {
namespace {

TMarkupRole ClassifyFB2(std::u16string_view name) {
  static const std::unordered_map<std::u16string_view, TMarkupRole> roles = {
      // The description is read for the summary; pictures and styles are no text.
      {u"description", mrSkip}, {u"binary", mrSkip},     {u"stylesheet", mrSkip},  {u"p", mrBlock},
      {u"v", mrBlock},          {u"subtitle", mrBlock},  {u"text-author", mrBlock}, {u"title", mrBlock},
      {u"epigraph", mrBlock},   {u"cite", mrBlock},      {u"poem", mrBlock},       {u"stanza", mrBlock},
      {u"annotation", mrBlock}, {u"date", mrBlock},      {u"body", mrBlock},       {u"table", mrBlock},
      {u"section", mrSection},  {u"empty-line", mrEmptyLine}, {u"tr", mrRow},     {u"td", mrCell},
      {u"th", mrCell},
  };
  const auto it = roles.find(name);
  return it == roles.end() ? mrInline : it->second;
}

bool EndsWithFB2(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  return tail == ".fb2";
}

// The first element named Local (any prefix) at or below Block; nullptr when none.
TZvXMLItem* Find(TZvXMLItem* Block, std::u16string_view Local) {
  return Block ? FindXMLItem(Block, Local) : nullptr;
}

WideString ValueOf(TZvXMLItem* Block, std::u16string_view Local) {
  TZvXMLItem* item = Find(Block, Local);
  return item ? TrimmedText(item->FullText()) : WideString();
}

// The names of every author of a block: given, middle and family names, else the nickname.
WideString Authors(TZvXMLItem* Block) {
  WideString all;
  if (!Block) return all;
  for (TZvXMLItem* author : FindXMLItems(Block, u"author")) {
    if (author->ParentItem() != Block) continue;
    WideString name;
    for (std::u16string_view part : {u"first-name", u"middle-name", u"last-name"}) {
      const WideString v = ValueOf(author, part);
      if (v.empty()) continue;
      if (!name.empty()) name += u' ';
      name += v;
    }
    if (name.empty()) name = ValueOf(author, u"nickname");
    if (name.empty()) name = ValueOf(author, u"nicname");
    AppendValue(all, name);
  }
  return all;
}

}  // namespace

TFictionBook::TFictionBook(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FSummaryInformation(std::make_unique<TZvWordSummaryInformation>()),
      FSink(*this, kMarkupMarks) {}

TFictionBook::~TFictionBook() = default;

void TFictionBook::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  if (FSummaryInformation) FSummaryInformation->Clear();
}

bool TFictionBook::IsFictionBookData(std::string_view Bytes) {
  if (BytesAreZipArchive(Bytes)) {
    // A zipped book: its first entry's name (local header) ends with ".fb2".
    if (Bytes.size() < 30) return false;
    const size_t nameLength = static_cast<uint8_t>(Bytes[26]) | static_cast<size_t>(static_cast<uint8_t>(Bytes[27])) << 8;
    return Bytes.size() >= 30 + nameLength && EndsWithFB2(std::string(Bytes.substr(30, nameLength)));
  }
  std::string_view name = XMLRootName(Bytes);
  const size_t colon = name.find(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  return name == "FictionBook";
}

void TFictionBook::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

void TFictionBook::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  RawByteString bytes;  // only when the stream is not in memory
  const std::string_view view = Stream.ReadAllView(bytes);
  if (BytesAreZipArchive(view)) {
    TZipArchive zip;
    zip.SetBudget(&Budget());
    zip.LoadFromView(view);
    int index = -1;
    for (int i = 0; i < zip.Count() && index < 0; ++i)
      if (EndsWithFB2(zip.Files.Items(i).Name())) index = i;
    if (index < 0) throw Exception("The archive holds no FictionBook (.fb2) file");
    const RawByteString book = zip.GetUncompressed(index);
    LoadXMLFilePart(book, Text());
    return;
  }
  LoadXMLFilePart(view, Text());
} catch (const std::exception&) {
  RethrowAsException();
}

void TFictionBook::LoadXMLFilePart(std::string_view Bytes, TWideStrings* List) {
  TZvXMLEngine engine;
  engine.SetBudget(&Budget());
  const char* const kNoBook = "Not a FictionBook document: it has no FictionBook element";
  bool described = !ParseItems().Contains(wpiSummaryInformation);
  if (!ParseItems().Contains(wpiText)) {
    engine.LoadFromBytes(Bytes);
    TZvXMLItem* book = FindXMLItem(engine.RootItem(), u"FictionBook", {}, true);
    if (!book) throw Exception(kNoBook);
    if (!described) ReadSummary(FindXMLItem(book, u"description"));
    return;
  }
  // Every body in order, the main text and then the notes, read as the book is parsed; the
  // description comes first and is read as it closes.
  FSink.Open(List);
  TZvXMLItem* book = TMarkupText(FSink, ClassifyFB2).Stream(engine, Bytes, u"FictionBook", u"description",
                                                            [&](TZvXMLItem& description) {
                                                              if (!described) ReadSummary(&description);
                                                              described = true;
                                                            });
  FSink.Close();
  if (!book) {
    List->Clear();
    throw Exception(kNoBook);
  }
}

void TFictionBook::ReadSummary(TZvXMLItem* Description) {
  if (!Description) return;
  TZvWordSummaryInformation& s = *FSummaryInformation;
  if (TZvXMLItem* title = Find(Description, u"title-info")) {
    s.SetTitle(ValueOf(title, u"book-title"));
    s.SetAuthor(Authors(title));
    s.SetKeywords(ValueOf(title, u"keywords"));
    WideString genres;
    for (TZvXMLItem* g : FindXMLItems(title, u"genre")) AppendValue(genres, TrimmedText(g->FullText()));
    if (genres.empty()) genres = ValueOf(title, u"gentre");
    s.SetCategory(genres);
    if (TZvXMLItem* annotation = Find(title, u"annotation")) {
      // Paragraphs of the annotation, one per line.
      WideString text;
      for (TZvXMLItem* p : FindXMLItems(annotation, u"p")) {
        if (!text.empty()) text += u"\r\n";
        text += TrimmedText(p->FullText());
      }
      s.SetComments(text.empty() ? TrimmedText(annotation->FullText()) : text);
    }
    if (TZvXMLItem* date = Find(title, u"date")) {
      TDateTime d = BookDate(date->AttributeValue(u"value"));
      if (d == 0) d = BookDate(date->FullText());
      s.SetCreated(d);
    }
  }
  if (TZvXMLItem* doc = Find(Description, u"document-info")) {
    s.SetManager(Authors(doc));
    s.SetRevNumber(ValueOf(doc, u"version"));
    s.SetAppName(ValueOf(doc, u"program-used"));
  }
  if (TZvXMLItem* publish = Find(Description, u"publish-info")) {
    s.SetSubject(ValueOf(publish, u"book-name"));
    s.SetCompany(ValueOf(publish, u"publisher"));
  }
}

}  // namespace zvword
