#include "tools/zvword/Registry.h"

#include "legacy/MSPalmDoc.h"
#include "packages/MSWordX.h"
#include "pdf/ZvWPDF.h"
#include "word/MSWord.h"

namespace zvword::cli {

// A reader plugs in with one entry below: its --reader name, its file extensions, a content test
// on the whole input (keep it cheap: look at the first bytes), how to create it, and optionally its
// extra lists and summary. Entries are tried in order, the most specific signature first.
const std::vector<ReaderEntry>& Readers() {
  static const std::vector<ReaderEntry> readers = [] {
    std::vector<ReaderEntry> r;

    // Before the binary Word reader: an encrypted package is a compound file too.
    r.push_back({
        "docx",
        {"docx", "docm", "dotx", "dotm"},
        [](std::string_view data) {
          return TMSWordXDocument::IsWordXPackage(data) || TMSWordXDocument::IsEncryptedPackage(data);
        },
        [](const ReaderOptions&) { return std::make_unique<TMSWordXDocument>(); },
        [](TMSWBaseDocument& d) {
          auto& w = static_cast<TMSWordXDocument&>(d);
          return std::vector<std::pair<std::string, const TWideStrings*>>{
              {"footnotes", w.FootNoteText()}, {"headers", w.HeaderText()}, {"footers", w.FooterText()},
              {"annotations", w.AnnotationText()}, {"endnotes", w.EndNoteText()}, {"textboxes", w.TextBoxText()}};
        },
        [](TMSWBaseDocument& d) -> const TZvWordSummaryInformation* {
          return static_cast<TMSWordXDocument&>(d).SummaryInformation();
        },
    });

    r.push_back({
        "doc",
        {"doc", "dot"},
        [](std::string_view data) { return TMSWordDocument::IsWordData(data); },
        [](const ReaderOptions&) { return std::make_unique<TMSWordDocument>(); },
        [](TMSWBaseDocument& d) {
          auto& w = static_cast<TMSWordDocument&>(d);
          return std::vector<std::pair<std::string, const TWideStrings*>>{
              {"footnotes", w.FootNoteText()}, {"headers", w.HeaderText()},   {"annotations", w.AnnotationText()},
              {"endnotes", w.EndNoteText()},   {"textboxes", w.TextBoxText()}, {"macros", w.MacroText()}};
        },
        [](TMSWBaseDocument& d) -> const TZvWordSummaryInformation* {
          return static_cast<TMSWordDocument&>(d).SummaryInformation();
        },
    });

    r.push_back({
        "pdf",
        {"pdf"},
        [](std::string_view data) { return data.substr(0, 1024).find("%PDF") != std::string_view::npos; },
        [](const ReaderOptions& o) {
          auto r = std::make_unique<TZvPDFReader>();
          r->SetPassword(o.password);
          return r;
        },
        nullptr,
        [](TMSWBaseDocument& d) -> const TZvWordSummaryInformation* {
          return static_cast<TZvPDFReader&>(d).SummaryInformation();
        },
    });

    r.push_back({
        "pdb",
        {"pdb", "prc"},
        [](std::string_view data) { return TPalmDocFile::IsPalmDocData(data); },
        [](const ReaderOptions&) { return std::make_unique<TPalmDocFile>(); },
        nullptr,
        nullptr,
        true,
    });

    return r;
  }();
  return readers;
}

const ReaderEntry* FindReader(std::string_view name) {
  for (const auto& e : Readers())
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace zvword::cli
