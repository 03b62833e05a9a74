// The registry of reader components: each format's name, extensions, signature and factory, and
// format detection over them. A program that links the library picks and creates readers here.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/MSWBase.h"

namespace zvword {

// What the factory sets on the reader it creates; options a format has no use for are ignored.
struct TZvReaderOptions {
  RawByteString Password;  // the PDF user password (UTF-8)
  bool VBA = false;        // adds wpiVBA to ParseItems
  bool Hidden = false;     // adds wpiHiddenText to ParseItems
  int FirstPage = 0;       // PDF: the first and last page read (from 1; 0 = no bound)
  int LastPage = 0;
  bool PageBreaks = false;  // PDF: a page break between pages
};

struct TZvReaderEntry {
  std::string_view Name;                     // the reader's short name: doc, docx, pdf, ...
  std::vector<std::string_view> Extensions;  // lower case, without the dot
  // True when the bytes are this format. Cheap: it looks at the first bytes or the directory.
  bool (*Signature)(std::string_view Data);
  std::unique_ptr<TMSWBaseDocument> (*Create)(const TZvReaderOptions& Options);
};

// Every reader of this build, in detection order: fixed-offset signatures before scans.
ZVWORD_API const std::vector<TZvReaderEntry>& ReaderEntries();
// The entry of that name; nullptr when there is none.
ZVWORD_API const TZvReaderEntry* FindReaderEntry(std::string_view Name);
// The first entry whose signature accepts Data, else the first claiming FileName's extension
// (case-insensitive); nullptr when nothing fits. FileName may be empty.
ZVWORD_API const TZvReaderEntry* DetectFormat(std::string_view Data, std::string_view FileName = {});

// A new reader of the entry's format with the options applied.
ZVWORD_API std::unique_ptr<TMSWBaseDocument> CreateReader(const TZvReaderEntry& Entry, const TZvReaderOptions& Options = {});
// By name; nullptr for an unknown name.
ZVWORD_API std::unique_ptr<TMSWBaseDocument> CreateReader(std::string_view Name, const TZvReaderOptions& Options = {});
// By detection (see DetectFormat); nullptr when no reader fits.
ZVWORD_API std::unique_ptr<TMSWBaseDocument> CreateReaderFor(std::string_view Data, std::string_view FileName = {},
                                                  const TZvReaderOptions& Options = {});

}  // namespace zvword
