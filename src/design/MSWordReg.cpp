#include "design/MSWordReg.h"

#include "legacy/MSPalmDoc.h"
#include "packages/MSWOO.h"
#include "legacy/MSWPD.h"
#include "legacy/MSWRI.h"
#include "packages/MSWEPub.h"
#include "packages/MSWFB2.h"
#include "packages/MSWordX.h"
#include "pdf/ZvWPDF.h"
#include "word/MSWord.h"

namespace zvword {
namespace {

template <class T>
std::unique_ptr<TMSWBaseDocument> Make(const TZvReaderOptions&) {
  return std::make_unique<T>();
}

std::unique_ptr<TMSWBaseDocument> MakePDF(const TZvReaderOptions& Options) {
  auto r = std::make_unique<TZvPDFReader>();
  r->SetPassword(Options.Password);
  r->SetFirstPage(Options.FirstPage);
  r->SetLastPage(Options.LastPage);
  r->SetPageBreaks(Options.PageBreaks);
  r->SetKeepPages(false);
  return r;
}

// The lower-case extension of the last path component, without the dot; empty when it has none.
std::string LowerExtension(std::string_view FileName) {
  const size_t slash = FileName.find_last_of('/');
  const size_t dot = FileName.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(FileName.substr(dot + 1));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return ext;
}

}  // namespace

const std::vector<TZvReaderEntry>& ReaderEntries() {
  // One entry per reader. An encrypted Word 2007+ package is a compound file too, so it goes
  // before the binary Word reader; PDF scans for its header, so it goes after the fixed offsets.
  static const std::vector<TZvReaderEntry> entries = {
      {"docx", {"docx", "docm", "dotx", "dotm"}, TMSWordXDocument::IsWordXData, Make<TMSWordXDocument>},
      {"odt", {"odt", "ott", "odm", "fodt"}, TCustomOpenOfficeDocument::IsTextData, Make<TOpenOfficeTextDocument>},
      {"ods", {"ods", "ots", "fods"}, TCustomOpenOfficeDocument::IsSpreadsheetData, Make<TOpenOfficeSpreadsheet>},
      {"odp", {"odp", "otp", "fodp"}, TCustomOpenOfficeDocument::IsPresentationData, Make<TOpenOfficePresentation>},
      // WordPerfect and Write files are often named .doc: their content decides before Word's.
      {"wpd", {"wpd", "wp", "wp5", "wp6", "wpt"}, TWordPerfectFile::IsWordPerfectData, Make<TWordPerfectFile>},
      {"wri", {"wri"}, TWRIFile::IsWriteData, Make<TWRIFile>},
      {"epub", {"epub"}, TZvWEPub::IsEPubData, Make<TZvWEPub>},
      {"fb2", {"fb2"}, TFictionBook::IsFictionBookData, Make<TFictionBook>},
      {"doc", {"doc", "dot"}, TMSWordDocument::IsWordData, Make<TMSWordDocument>},
      {"pdb", {"pdb", "prc"}, TPalmDocFile::IsPalmDocData, Make<TPalmDocFile>},
      {"pdf", {"pdf"}, TZvPDFReader::IsPDFData, MakePDF},
  };
  return entries;
}

const TZvReaderEntry* FindReaderEntry(std::string_view Name) {
  for (const auto& e : ReaderEntries())
    if (e.Name == Name) return &e;
  return nullptr;
}

const TZvReaderEntry* DetectFormat(std::string_view Data, std::string_view FileName) {
  for (const auto& e : ReaderEntries())
    if (e.Signature(Data)) return &e;
  const std::string ext = LowerExtension(FileName);
  if (!ext.empty())
    for (const auto& e : ReaderEntries())
      for (std::string_view x : e.Extensions)
        if (x == ext) return &e;
  return nullptr;
}

std::unique_ptr<TMSWBaseDocument> CreateReader(const TZvReaderEntry& Entry, const TZvReaderOptions& Options) {
  std::unique_ptr<TMSWBaseDocument> r = Entry.Create(Options);
  TZvWParseItems items = r->ParseItems();
  if (Options.VBA) items.Include(wpiVBA);
  if (Options.Hidden) items.Include(wpiHiddenText);
  r->SetParseItems(items);
  return r;
}

std::unique_ptr<TMSWBaseDocument> CreateReader(std::string_view Name, const TZvReaderOptions& Options) {
  const TZvReaderEntry* e = FindReaderEntry(Name);
  return e ? CreateReader(*e, Options) : nullptr;
}

std::unique_ptr<TMSWBaseDocument> CreateReaderFor(std::string_view Data, std::string_view FileName,
                                                  const TZvReaderOptions& Options) {
  const TZvReaderEntry* e = DetectFormat(Data, FileName);
  return e ? CreateReader(*e, Options) : nullptr;
}

}  // namespace zvword
