// Command-line options of the zvword tool.
#pragma once
#include <string>
#include <vector>

#include "framework/MSWBase.h"
#include "design/Extract.h"
#include "design/MSWordReg.h"

namespace zvword::cli {

// The lists a reader can deliver, in the order they are printed.
inline const std::vector<std::string>& ListOrder() { return ExtractListNames(); }

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
  bool recursive = false;
  std::string filesFrom;  // a list of input names; "-" = standard input
  bool nulSeparated = false;
  std::string passwordFile;
  bool isolate = false;
  double timeout = 0;  // seconds per document; 0 = none
  int maxMemory = 0;   // MB of a worker's address space; 0 = no limit
  std::vector<std::string> files;
};

// One option as --help, the man page and the shell completion show it.
struct OptionInfo {
  const char* shortName;  // "-f", or "" when there is none
  const char* longName;   // "--format"
  const char* value;      // what it takes ("N", "PATH"), or "" for a switch
  const char* help;       // lines separated by \n
};
const std::vector<OptionInfo>& OptionTable();

// Thrown for a usage error; the tool prints the message and exits with status 2.
struct UsageError {
  std::string message;
};

// Parses argv; returns false when --help or --version was handled (exit 0).
bool ParseOptions(int argc, char** argv, Options& options);
std::string HelpText();
std::string ManPage();
std::string BashCompletion();

}  // namespace zvword::cli
