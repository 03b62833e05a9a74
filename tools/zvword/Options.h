// Command-line options of the zvword tool.
#pragma once
#include <string>
#include <vector>

#include "framework/MSWBase.h"
#include "design/MSWordReg.h"

namespace zvword::cli {

// The lists a reader can deliver, in the order they are printed.
inline const std::vector<std::string>& ListOrder() {
  static const std::vector<std::string> order = {"body",      "footnotes", "headers",   "footers",
                                                 "annotations", "endnotes", "textboxes", "macros"};
  return order;
}

struct Options {
  TMSTextFormating format = tfPlainText;
  std::string reader = "auto";
  TZvReaderOptions readerOptions;
  std::vector<std::string> lists;  // in ListOrder(); empty = body
  bool listAll = false;
  bool listsGiven = false;
  bool summary = false;
  bool json = false;
  int32_t maxLength = 0;
  int codePage = 1252;
  bool crlf = false;
  bool utf16 = false;
  std::string output;
  int jobs = 0;  // 0 = the CPUs this process may use
  int progress = -1;  // -1 = automatic
  std::vector<std::string> files;
};

// Thrown for a usage error; the tool prints the message and exits with status 2.
struct UsageError {
  std::string message;
};

// Parses argv; returns false when --help or --version was handled (exit 0).
bool ParseOptions(int argc, char** argv, Options& options);
std::string HelpText();

}  // namespace zvword::cli
