#include "packages/MSWEPub.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "packages/MarkupText.h"

namespace zvword {
namespace {

TMarkupRole ClassifyXHTML(std::u16string_view name) {
  static const std::unordered_map<std::u16string_view, TMarkupRole> roles = {
      {u"head", mrSkip},         {u"script", mrSkip},      {u"style", mrSkip},      {u"template", mrSkip},
      {u"p", mrBlock},           {u"div", mrBlock},        {u"section", mrBlock},   {u"article", mrBlock},
      {u"aside", mrBlock},       {u"header", mrBlock},     {u"footer", mrBlock},    {u"nav", mrBlock},
      {u"main", mrBlock},        {u"h1", mrBlock},         {u"h2", mrBlock},        {u"h3", mrBlock},
      {u"h4", mrBlock},          {u"h5", mrBlock},         {u"h6", mrBlock},        {u"hgroup", mrBlock},
      {u"li", mrBlock},          {u"ul", mrBlock},         {u"ol", mrBlock},        {u"dl", mrBlock},
      {u"dt", mrBlock},          {u"dd", mrBlock},         {u"blockquote", mrBlock}, {u"figure", mrBlock},
      {u"figcaption", mrBlock},  {u"table", mrBlock},      {u"caption", mrBlock},   {u"thead", mrBlock},
      {u"tbody", mrBlock},       {u"tfoot", mrBlock},      {u"hr", mrBlock},        {u"address", mrBlock},
      {u"center", mrBlock},      {u"body", mrBlock},       {u"html", mrBlock},      {u"form", mrBlock},
      {u"fieldset", mrBlock},    {u"legend", mrBlock},     {u"details", mrBlock},   {u"summary", mrBlock},
      {u"pre", mrPre},           {u"br", mrBreak},         {u"tr", mrRow},          {u"td", mrCell},
      {u"th", mrCell},           {u"a", mrLink},
  };
  // Older books write their tags in capitals.
  char16_t lower[12];
  if (name.size() > sizeof lower / sizeof lower[0]) return mrInline;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    lower[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  }
  const auto it = roles.find(std::u16string_view(lower, name.size()));
  return it == roles.end() ? mrInline : it->second;
}

bool IsContentType(std::u16string_view mediaType) {
  return SameStrings(false, mediaType, u"application/xhtml+xml") || SameStrings(false, mediaType, u"text/html") ||
         SameStrings(false, mediaType, u"application/x-dtbook+xml");
}

bool HasToken(std::u16string_view list, std::u16string_view token) {
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && list[i] == u' ') ++i;
    size_t j = i;
    while (j < list.size() && list[j] != u' ') ++j;
    if (list.substr(i, j - i) == token) return true;
    i = j;
  }
  return false;
}

}  // namespace

TZvWEPub::TZvWEPub(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FSummaryInformation(std::make_unique<TZvWordSummaryInformation>()),
      FCoverImage(std::make_unique<TMemoryStream>()),
      FSink(*this, kMarkupMarks) {}

TZvWEPub::~TZvWEPub() = default;

void TZvWEPub::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  if (FSummaryInformation) FSummaryInformation->Clear();
  if (FCoverImage) {
    FCoverImage->Bytes().clear();
    FCoverImage->SetPosition(0);
  }
}

bool TZvWEPub::IsEPubData(std::string_view Bytes) {
  if (!BytesAreZipArchive(Bytes)) return false;
  // The first entry is the media type, stored, by the format's rule; the container is looked
  // for too, for books that were zipped carelessly.
  if (Bytes.size() >= 38 && Bytes.substr(30, 8) == "mimetype" && Bytes.substr(38, 64).find("application/epub+zip") != std::string_view::npos)
    return true;
  return Bytes.find("META-INF/container.xml") != std::string_view::npos;
}

void TZvWEPub::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

RawByteString TZvWEPub::ReadPart(const TZipArchive& Zip, std::string_view Name) {
  const int index = Zip.GetIndexByFileName(Name);
  return index < 0 ? RawByteString() : Zip.GetUncompressed(index);
}

void TZvWEPub::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  FContentDocuments = 0;
  RawByteString bytes;  // only when the stream is not in memory
  const std::string_view view = Stream.ReadAllView(bytes);
  TZipArchive zip;
  zip.SetBudget(&Budget());
  zip.LoadFromView(view);
  if (zip.Count() == 0) throw Exception("Not an EPUB book: the data is no ZIP archive");

  std::vector<std::string> packages;
  if (const RawByteString container = ReadPart(zip, "META-INF/container.xml"); !container.empty()) {
    TZvXMLEngine engine;
    engine.SetBudget(&Budget());
    engine.LoadFromBytes(container);
    for (TZvXMLItem* rootfile : FindXMLItems(engine.RootItem(), u"rootfile", {}, true)) {
      const std::string path = ResolvePartPath("", WideToUtf8(rootfile->AttributeValue(u"full-path")));
      if (!path.empty() && zip.GetIndexByFileName(std::string_view(path)) >= 0) packages.push_back(path);
    }
  }
  // Without a usable container the first package document of the archive is the book.
  if (packages.empty())
    for (int i = 0; i < zip.Count(); ++i) {
      const std::string& name = zip.Files.Items(i).Name();
      if (name.size() > 4 && SameStrings(false, Utf8ToWide(name.substr(name.size() - 4)), u".opf")) {
        packages.push_back(name);
        break;
      }
    }
  if (packages.empty()) throw Exception("The EPUB book names no package document (META-INF/container.xml)");

  const bool text = ParseItems().Contains(wpiText);
  if (text) FSink.Open(Text());
  for (const std::string& p : packages) {
    if (FSink.Stopped()) break;
    ReadPackage(zip, p);
  }
  if (text) FSink.Close();
} catch (const std::exception&) {
  RethrowAsException();
}

void TZvWEPub::ReadPackage(const TZipArchive& Zip, const std::string& Path) {
  TZvXMLEngine engine;
  engine.SetBudget(&Budget());
  engine.LoadFromBytes(ReadPart(Zip, Path));
  TZvXMLItem* root = engine.RootItem();

  WideString coverId;
  if (TZvXMLItem* metadata = FindXMLItem(root, u"metadata", {}, true)) {
    TZvWordSummaryInformation& s = *FSummaryInformation;
    WideString title, author, subject, publisher, description, contributor;
    TDateTime created = 0, timestamp = 0, modified = 0;
    WalkXMLItems(
        metadata,
        [&](TZvXMLItem& item, int depth) {
          if (depth == 0 || item.Kind != ikProperty) return depth == 0 ? waContinue : waSkipChildren;
          std::u16string_view name = XMLLocalName(item.TagName);
          auto is = [&](std::u16string_view n) { return SameStrings(false, name, n); };
          if (is(u"meta")) {
            const WideString metaName = item.AttributeValue(u"name");
            if (SameStrings(false, metaName, u"cover")) coverId = item.AttributeValue(u"content");
            else if (SameStrings(false, metaName, u"calibre:timestamp"))
              timestamp = BookDate(item.AttributeValue(u"content"));
            else if (item.AttributeValue(u"property") == u"dcterms:modified")
              modified = BookDate(item.FullText());
            return waSkipChildren;
          }
          const WideString value = TrimmedText(item.FullText());
          if (is(u"title")) AppendValue(title, value);
          else if (is(u"creator")) AppendValue(author, value);
          else if (is(u"contributor")) AppendValue(contributor, value);
          else if (is(u"subject")) AppendValue(subject, value);
          else if (is(u"publisher")) AppendValue(publisher, value);
          else if (is(u"description")) AppendValue(description, value);
          else if (is(u"date") && created == 0) created = BookDate(value);
          else return waContinue;  // an EPUB 2 grouping element (dc-metadata)
          return waSkipChildren;
        },
        [](TZvXMLItem&, std::u16string_view, int) { return waContinue; },
        [](TZvXMLItem&, int) { return waContinue; }, [](TZvXMLItem&, std::u16string_view, int) { return waContinue; });
    if (ParseItems().Contains(wpiSummaryInformation)) {
      s.SetTitle(title);
      s.SetAuthor(author);
      s.SetSubject(subject);
      s.SetCompany(publisher);
      s.SetComments(description);
      s.SetLastAuthor(contributor);
      s.SetCreated(created != 0 ? created : timestamp);
      s.SetLastSaved(modified);
    }
  }

  struct TManifestItem {
    std::string Path;
    WideString MediaType;
    bool Nav;
  };
  std::unordered_map<WideString, TManifestItem> manifest;
  std::vector<const TManifestItem*> manifestOrder;
  std::string coverPath;
  if (TZvXMLItem* m = FindXMLItem(root, u"manifest", {}, true)) {
    for (TZvXMLItem* item : FindXMLItems(m, u"item")) {
      const WideString id = item->AttributeValue(u"id");
      const WideString properties = item->AttributeValue(u"properties");
      TManifestItem entry{ResolvePartPath(Path, WideToUtf8(item->AttributeValue(u"href"))),
                          item->AttributeValue(u"media-type"), HasToken(properties, u"nav")};
      if (coverPath.empty() && (HasToken(properties, u"cover-image") || (!coverId.empty() && SameStrings(false, id, coverId))))
        coverPath = entry.Path;
      const auto [it, added] = manifest.emplace(id, std::move(entry));
      if (added) manifestOrder.push_back(&it->second);
    }
  }

  if (ParseItems().Contains(wpiText)) {
    std::vector<const TManifestItem*> order;
    if (TZvXMLItem* spine = FindXMLItem(root, u"spine", {}, true))
      for (TZvXMLItem* ref : FindXMLItems(spine, u"itemref")) {
        const auto it = manifest.find(ref->AttributeValue(u"idref"));
        if (it != manifest.end()) order.push_back(&it->second);
      }
    if (order.empty())
      for (const TManifestItem* item : manifestOrder)
        if (!item->Nav && IsContentType(item->MediaType)) order.push_back(item);
    // A spine may name a document many times; it is read once, where it first comes.
    std::unordered_set<std::string> read;
    for (const TManifestItem* item : order) {
      if (FSink.Stopped()) break;
      if (!IsContentType(item->MediaType) || !read.insert(item->Path).second) continue;
      ReadContentDocument(ReadPart(Zip, item->Path));
    }
  }

  if (coverPath.empty()) coverPath = ResolvePartPath(Path, "images/cover.jpg");
  if (FCoverImage->Bytes().empty()) {
    FCoverImage->Bytes() = ReadPart(Zip, coverPath);
    FCoverImage->SetPosition(0);
  }
}

void TZvWEPub::ReadContentDocument(const RawByteString& Bytes) {
  ++FContentDocuments;
  if (Bytes.empty()) return;
  TZvXMLEngine engine;
  engine.SetBudget(&Budget());
  TMarkupText text(FSink, ClassifyXHTML);
  // A chapter of one huge body is read as it is parsed; one without a body is read whole.
  if (text.Stream(engine, Bytes, u"body")) return;
  TZvXMLItem* root = engine.RootItem();
  if (!root || root->TagName.empty() || root->TagName[0] != u'?') {
    text.Walk(root);
    return;
  }
  // The declaration heads the tree and holds the document: its own text is none.
  for (const auto& child : root->Items()) text.Walk(child.get());
}

}  // namespace zvword
