// The one registry of reader classes the command-line tool knows. Each reader adds one entry in
// Registry.cpp: how to recognise its files, how to create it, and what extra it offers.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/MSW_Sum.h"

namespace zvword::cli {

struct ReaderOptions {
  std::string password;  // PDF user password (UTF-8)
  bool vba = false;
  bool hidden = false;
};

struct ReaderEntry {
  std::string name;                     // the --reader value: doc, docx, pdf, ...
  std::vector<std::string> extensions;  // lower case, without the dot, for the fallback by extension
  // True when the content is this reader's format. `data` is the whole input.
  std::function<bool(std::string_view data)> detect;
  std::function<std::unique_ptr<TMSWBaseDocument>(const ReaderOptions&)> create;
  // The named extra lists ("footnotes", "headers", ...) of a loaded reader, in the CLI's order.
  std::function<std::vector<std::pair<std::string, const TWideStrings*>>(TMSWBaseDocument&)> lists;
  // The summary object of a loaded reader, or nullptr.
  std::function<const TZvWordSummaryInformation*(TMSWBaseDocument&)> summary;
  // True when the reader only ever appends to its body list: the tool may then write the text
  // as it is read instead of holding all of it.
  bool streams = false;
};

// Entries in detection order: the first whose detect() accepts the input wins.
const std::vector<ReaderEntry>& Readers();
const ReaderEntry* FindReader(std::string_view name);

}  // namespace zvword::cli
