#include "tools/zvword/Options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/CodePages.h"

namespace zvword::cli {
namespace {

int ParseInt(const std::string& option, const std::string& value, int min) {
  int n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n < min)
    throw UsageError{"invalid value for " + option + ": '" + value + "'"};
  return n;
}

void AddLists(Options& o, const std::string& value) {
  size_t from = 0;
  while (from <= value.size()) {
    size_t comma = value.find(',', from);
    if (comma == std::string::npos) comma = value.size();
    const std::string name = value.substr(from, comma - from);
    if (name == "all") {
      o.listAll = true;
    } else if (std::find(ListOrder().begin(), ListOrder().end(), name) != ListOrder().end()) {
      if (std::find(o.lists.begin(), o.lists.end(), name) == o.lists.end()) o.lists.push_back(name);
    } else {
      throw UsageError{"unknown list '" + name + "' (body, footnotes, headers, footers, annotations, endnotes, "
                       "textboxes, macros, all)"};
    }
    from = comma + 1;
  }
  o.listsGiven = true;
}

}  // namespace

std::string HelpText() {
  std::string readers;
  for (const auto& e : ReaderEntries()) readers += "|" + std::string(e.Name);
  std::string help = "usage: zvword [OPTIONS] FILE...            FILE may be - for standard input\n"
         "Extracts the text and properties of office documents and e-books.\n"
         "  -f, --format plain|rtf|html       output mode (default plain)\n"
         "  -r, --reader auto" + readers + "\n"
         "                                    reader (default auto: by content, then by extension)\n"
         "  -p, --password PW                 PDF user password\n"
         "  -l, --list NAME[,NAME...]         lists to print, in this order: body (the default), footnotes,\n"
         "                                    headers, footers, annotations, endnotes, textboxes, macros;\n"
         "                                    \"all\" is the body followed by every non-empty list\n"
         "      --summary                     print the summary properties (\"Name: value\", non-empty only);\n"
         "                                    alone it prints no text, with --list it prints both\n"
         "      --json                        one JSON object per input line: file, reader, text, summary,\n"
         "                                    lists, error\n"
         "      --vba  --hidden               also read macro source / hidden text\n"
         "      --max-length N                stop after N characters of text\n"
         "      --codepage N                  the system ANSI code page (default 1252)\n"
         "      --crlf                        keep CR LF line ends (default: LF)\n"
         "      --utf16                       write UTF-16LE with a byte-order mark\n"
         "  -o, --output PATH                 a file (one input) or a directory (many inputs)\n"
         "  -j, --jobs N                      documents in parallel (default: the CPUs this process may use)\n"
         "      --progress                    progress bar on standard error\n"
         "      --version  --help\n"
         "Exit status: 0 all documents read; 1 some failed (each as \"FILE: message\" on standard error);\n"
         "2 usage error.\n";
  return help;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  bool noMoreOptions = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (noMoreOptions || arg == "-" || arg.empty() || arg[0] != '-') {
      o.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      noMoreOptions = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else if (arg.size() > 2) {  // -fhtml
      name = arg.substr(0, 2);
      value = arg.substr(2);
      hasValue = true;
    }
    auto needValue = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= argc) throw UsageError{"option " + name + " needs a value"};
      return argv[++i];
    };
    auto noValue = [&] {
      if (hasValue) throw UsageError{"option " + name + " takes no value"};
    };

    if (name == "-h" || name == "--help") {
      std::fputs(HelpText().c_str(), stdout);
      return false;
    } else if (name == "--version") {
      std::puts("zvword 1.47");
      return false;
    } else if (name == "-f" || name == "--format") {
      const std::string v = needValue();
      if (v == "plain" || v == "text" || v == "txt") o.format = tfPlainText;
      else if (v == "rtf") o.format = tfRTF;
      else if (v == "html") o.format = tfHTML;
      else throw UsageError{"unknown format '" + v + "' (plain, rtf, html)"};
    } else if (name == "-r" || name == "--reader") {
      o.reader = needValue();
      if (o.reader != "auto" && !FindReaderEntry(o.reader)) {
        std::string known;
        for (const auto& e : ReaderEntries()) known += (known.empty() ? "" : ", ") + std::string(e.Name);
        throw UsageError{"unknown reader '" + o.reader + "' (auto" + (known.empty() ? "" : ", " + known) + ")"};
      }
    } else if (name == "-p" || name == "--password") {
      o.readerOptions.Password = needValue();
    } else if (name == "-l" || name == "--list") {
      AddLists(o, needValue());
    } else if (name == "--summary") {
      noValue();
      o.summary = true;
    } else if (name == "--json") {
      noValue();
      o.json = true;
    } else if (name == "--vba") {
      noValue();
      o.readerOptions.VBA = true;
    } else if (name == "--hidden") {
      noValue();
      o.readerOptions.Hidden = true;
    } else if (name == "--max-length") {
      o.maxLength = ParseInt(name, needValue(), 0);
    } else if (name == "--codepage") {
      o.codePage = ParseInt(name, needValue(), 1);
      if (!IsCodePageSupported(o.codePage)) throw UsageError{"code page " + std::to_string(o.codePage) + " is not supported"};
    } else if (name == "--crlf") {
      noValue();
      o.crlf = true;
    } else if (name == "--utf16") {
      noValue();
      o.utf16 = true;
    } else if (name == "-o" || name == "--output") {
      o.output = needValue();
      if (o.output.empty()) throw UsageError{"option " + name + " needs a path"};
    } else if (name == "-j" || name == "--jobs") {
      o.jobs = ParseInt(name, needValue(), 1);
    } else if (name == "--progress") {
      noValue();
      o.progress = 1;
    } else {
      throw UsageError{"unknown option '" + arg + "'"};
    }
  }
  if (o.files.empty()) throw UsageError{"no input files"};
  // Keep the lists in their fixed print order.
  std::vector<std::string> ordered;
  for (const auto& n : ListOrder())
    if (std::find(o.lists.begin(), o.lists.end(), n) != o.lists.end()) ordered.push_back(n);
  o.lists = ordered;
  if (!o.listsGiven && !o.summary) o.lists = {"body"};
  if (std::find(o.lists.begin(), o.lists.end(), "macros") != o.lists.end()) o.readerOptions.VBA = true;
  return true;
}

}  // namespace zvword::cli
