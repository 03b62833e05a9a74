// Reading one input document and rendering what the options ask for.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/zvword/Options.h"

namespace zvword::cli {

struct DocumentResult {
  std::string output;  // bytes to write (UTF-8 text, UTF-16LE, or one JSON line)
  std::string error;   // empty when the document was read
  bool partial = false;  // with an error: the output holds the text read before it
  std::vector<std::string> warnings;  // what the reader read through (its text may be incomplete)
};

// The JSON line of a document that gave no result at all.
std::string JsonErrorLine(const std::string& file, const std::string& error);

// Reads `file` ("-" = standard input) with its own reader instance; never throws. With `direct`,
// a reader that only appends writes its text straight there as it reads (when the options ask
// for nothing but the body), and the result holds only the error.
DocumentResult ProcessDocument(const std::string& file, const Options& options, std::FILE* direct = nullptr);

// A JSON string of UTF-8 text; bytes of no valid sequence are written as their Latin-1 character.
std::string JsonString(std::string_view utf8);

}  // namespace zvword::cli
