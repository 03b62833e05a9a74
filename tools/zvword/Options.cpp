#include "tools/zvword/Options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/CodePages.h"
#include "platform/Version.h"

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

const std::vector<OptionInfo>& OptionTable() {
  static const std::vector<OptionInfo> table = {
      {"-f", "--format", "plain|rtf|html", "output mode (default plain)"},
      {"-r", "--reader", "auto", "reader (default auto: by content, then by extension)"},
      {"-p", "--password", "PW", "PDF user password (others see it in ps: prefer --password-file)"},
      {"", "--password-file", "FILE", "the password: the first line of FILE (- for standard input)"},
      {"-l", "--list", "NAME[,NAME...]",
       "lists to print, in this order: body (the default), footnotes,\nheaders, footers, annotations, endnotes, "
       "textboxes, macros;\n\"all\" is the body followed by every non-empty list, in plain\ntext each after a line "
       "\"--- NAME ---\""},
      {"", "--summary", "",
       "print the summary properties (\"Name: value\", non-empty only;\ndates in UTC as 2024-01-31T12:00:00Z; line "
       "breaks, tabs\nand backslashes as \\n \\t \\\\); alone it prints no text,\nwith --list it prints both"},
      {"", "--json", "",
       "one JSON object per input line: file, reader, text, summary,\nlists, error; numbers are numbers; a file "
       "name's bytes that\nare not UTF-8 are written as \\u00XX (their Latin-1 value)"},
      {"", "--vba", "", "also read macro source"},
      {"", "--hidden", "", "also read text formatted as hidden"},
      {"", "--max-length", "N", "stop after N characters of text"},
      {"", "--first-page", "N", "PDF: the first page to read (counted from 1)"},
      {"", "--last-page", "N", "PDF: the last page to read"},
      {"", "--page-breaks", "", "PDF: a form feed between pages (in RTF a page break, in\nHTML a rule)"},
      {"", "--codepage", "N", "the system ANSI code page (default 1252)"},
      {"", "--crlf", "", "CR LF line ends (default: LF)"},
      {"", "--utf16", "", "write UTF-16LE with a byte-order mark"},
      {"-o", "--output", "PATH",
       "a file (one input, or the JSON lines of all with --json), or\na directory: PATH ends in / or is one, or "
       "several inputs\nwithout --json; created when missing. Each input gets\nDIR/NAME.EXT, NAME with as many of "
       "its folders as tell it\nfrom the other inputs. Nothing is written for a failed\ndocument; an output that "
       "is also an input is refused"},
      {"-R", "--recursive", "", "read the files under directory arguments (in name order)"},
      {"", "--files-from", "FILE", "input names from FILE (- for standard input), one a line"},
      {"-0", "--null", "", "names in --files-from are separated by NUL characters"},
      {"-j", "--jobs", "N", "documents in parallel (default: the CPUs this process may use)"},
      {"", "--isolate", "",
       "read each document in a worker process, so a crash or hang\ncosts only that document (the default with "
       "a limit below)"},
      {"", "--timeout", "SEC",
       "a document not read within SEC seconds fails; the batch\ngoes on"},
      {"", "--max-memory", "MB",
       "a worker's address space limit; a document needing more\nfails, the batch goes on. A failed document's "
       "JSON line\nsays why, and \"partial\" whether its text was cut short"},
      {"", "--progress", "", "progress bar on standard error"},
      {"", "--man", "", "print the manual page (roff)"},
      {"", "--completion", "", "print the bash completion script"},
      {"", "--version", "", "print the version"},
      {"-h", "--help", "", "print this help"},
  };
  return table;
}

namespace {

std::string ReaderChoice() {
  std::string readers = "auto";
  for (const auto& e : ReaderEntries()) readers += "|" + std::string(e.Name);
  return readers;
}

std::string ValueOf(const OptionInfo& info) {
  return std::string(info.longName) == "--reader" ? ReaderChoice() : info.value;
}

std::vector<std::string> Lines(const char* text) {
  std::vector<std::string> lines;
  std::string s = text;
  size_t from = 0;
  for (size_t nl; (nl = s.find('\n', from)) != std::string::npos; from = nl + 1) lines.push_back(s.substr(from, nl - from));
  lines.push_back(s.substr(from));
  return lines;
}

}  // namespace

std::string HelpText() {
  constexpr size_t kColumn = 36;
  std::string help =
      "usage: zvword [OPTIONS] FILE...            FILE may be - for standard input\n"
      "Extracts the text and properties of office documents and e-books.\n";
  for (const auto& info : OptionTable()) {
    std::string left = std::string("  ") + (*info.shortName ? std::string(info.shortName) + ", " : "    ") + info.longName;
    if (!ValueOf(info).empty()) left += " " + ValueOf(info);
    const auto lines = Lines(info.help);
    help += left;
    if (left.size() + 1 > kColumn) help += "\n" + std::string(kColumn, ' ');
    else help += std::string(kColumn - left.size(), ' ');
    for (size_t i = 0; i < lines.size(); ++i) help += (i ? std::string(kColumn, ' ') : "") + lines[i] + "\n";
  }
  help +=
      "Exit status: 0 all documents read; 1 some failed (each as \"FILE: message\" on standard error);\n"
      "2 usage error.\n";
  return help;
}

std::string ManPage() {
  auto roff = [](std::string s) {
    std::string out;
    for (char c : s) {
      if (c == '\\') out += "\\e";
      else if (c == '-') out += "\\-";
      else out += c;
    }
    // A line starting with a dot or quote would be read as a request.
    for (size_t at = 0; at < out.size(); at = out.find('\n', at) + 1) {
      if (out[at] == '.' || out[at] == '\'') out.insert(at, "\\&");
      if (out.find('\n', at) == std::string::npos) break;
    }
    return out;
  };
  std::string man =
      ".TH ZVWORD 1 \"\" \"zvword " + std::string(LibraryVersion()) + "\" \"User Commands\"\n"
      ".SH NAME\nzvword \\- extract the text and properties of office documents\n"
      ".SH SYNOPSIS\n.B zvword\n[\\fIOPTIONS\\fR] \\fIFILE\\fR...\n"
      ".SH DESCRIPTION\nPrints the text of each FILE (\\- for standard input) as UTF\\-8, RTF or HTML.\n"
      ".SH OPTIONS\n";
  for (const auto& info : OptionTable()) {
    man += ".TP\n\\fB";
    if (*info.shortName) man += roff(info.shortName) + "\\fR, \\fB";
    man += roff(info.longName) + "\\fR";
    if (!ValueOf(info).empty()) man += " \\fI" + roff(ValueOf(info)) + "\\fR";
    std::string text;
    for (const auto& line : Lines(info.help)) text += (text.empty() ? "" : " ") + line;
    man += "\n" + roff(text) + "\n";
  }
  man +=
      ".SH EXIT STATUS\n0 when every document was read; 1 when some failed, each reported on standard error as "
      "\"FILE: message\"; 2 for a usage error.\n";
  return man;
}

std::string BashCompletion() {
  std::string words;
  for (const auto& info : OptionTable()) {
    if (*info.shortName) words += std::string(words.empty() ? "" : " ") + info.shortName;
    words += std::string(words.empty() ? "" : " ") + info.longName;
  }
  std::string lists;
  for (const auto& name : ListOrder()) lists += name + " ";
  std::string readers = ReaderChoice();
  for (char& c : readers)
    if (c == '|') c = ' ';
  return "# bash completion for zvword\n"
         "_zvword() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  case $prev in\n"
         "    -f|--format) COMPREPLY=($(compgen -W 'plain rtf html' -- \"$cur\")); return;;\n"
         "    -r|--reader) COMPREPLY=($(compgen -W '" + readers + "' -- \"$cur\")); return;;\n"
         "    -l|--list) COMPREPLY=($(compgen -W '" + lists + "all' -- \"$cur\")); return;;\n"
         "    -o|--output|--files-from|--password-file) COMPREPLY=($(compgen -f -- \"$cur\")); return;;\n"
         "    -p|--password|-j|--jobs|--max-length|--first-page|--last-page|--codepage) return;;\n"
         "  esac\n"
         "  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W '" + words + "' -- \"$cur\")); return; fi\n"
         "  COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "}\n"
         "complete -o filenames -F _zvword zvword\n";
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
    } else if (name == "--man") {
      std::fputs(ManPage().c_str(), stdout);
      return false;
    } else if (name == "--completion") {
      std::fputs(BashCompletion().c_str(), stdout);
      return false;
    } else if (name == "--version") {
      std::printf("zvword %s\n", LibraryVersion());
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
    } else if (name == "--first-page") {
      o.readerOptions.FirstPage = ParseInt(name, needValue(), 1);
    } else if (name == "--last-page") {
      o.readerOptions.LastPage = ParseInt(name, needValue(), 1);
    } else if (name == "--page-breaks") {
      noValue();
      o.readerOptions.PageBreaks = true;
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
    } else if (name == "-R" || name == "--recursive") {
      noValue();
      o.recursive = true;
    } else if (name == "--files-from") {
      o.filesFrom = needValue();
    } else if (name == "-0" || name == "--null") {
      noValue();
      o.nulSeparated = true;
    } else if (name == "--isolate") {
      noValue();
      o.isolate = true;
    } else if (name == "--timeout") {
      const std::string v = needValue();
      char* end = nullptr;
      o.timeout = std::strtod(v.c_str(), &end);
      if (v.empty() || *end || !(o.timeout > 0) || o.timeout > 1e6)
        throw UsageError{"invalid value for " + name + ": '" + v + "'"};
      o.isolate = true;
    } else if (name == "--max-memory") {
      o.maxMemory = ParseInt(name, needValue(), 1);
      o.isolate = true;
    } else if (name == "--password-file") {
      o.passwordFile = needValue();
    } else {
      throw UsageError{"unknown option '" + arg + "'"};
    }
  }
  if (o.files.empty() && o.filesFrom.empty()) throw UsageError{"no input files"};
  if (o.readerOptions.LastPage > 0 && o.readerOptions.LastPage < o.readerOptions.FirstPage)
    throw UsageError{"--last-page is before --first-page"};
  if (!o.filesFrom.empty() && o.filesFrom == o.passwordFile)
    throw UsageError{"--files-from and --password-file cannot both read " + o.filesFrom};
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
