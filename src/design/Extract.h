// One call from a document to its text, lists and properties as UTF-8, for hosts that want the
// result rather than a reader to drive. Built on the registry: detection, then the reader.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "design/MSWordReg.h"
#include "framework/MSWBase.h"
#include "framework/ResourceBudget.h"
#include "platform/Types.h"

namespace zvword {

class TZvWordSummaryInformation;

// The lists a reader can deliver, in the order "all" selects them; "body" is the text itself.
ZVWORD_API const std::vector<std::string>& ExtractListNames();

struct TExtractOptions {
  TMSTextFormating Format = tfPlainText;
  // Lists besides the text, by name (see ExtractListNames); "all" = every non-empty one the
  // document has. "body" is ignored: the text is always delivered.
  std::vector<std::string> Lists;
  std::string Reader;               // a reader's name; empty = detect from the bytes, then the name
  TZvReaderOptions ReaderOptions;   // the PDF password, macros, hidden text
  int32_t MaxLength = 0;            // characters of text; 0 = all of it
  TResourceLimits Limits;           // what one document may take
  bool CRLF = false;                // CR LF line ends instead of LF
  std::string Charset = "utf-8";    // the encoding HTML output declares
  // When set, each line of the text (with its line end) goes here as soon as it is read and the
  // result's Text stays empty; bytes that are not the named reader's format are still collected,
  // so that they can be refused.
  std::function<void(std::string_view)> TextSink;
};

struct TExtractProperty {
  std::string Name;
  std::string Value;    // UTF-8; dates ISO 8601 in UTC with Z
  bool Number = false;  // Value is a decimal integer
};

struct TExtractResult {
  std::string Format;  // the reader's name ("docx", "pdf", ...); empty when none was chosen
  std::string Text;    // UTF-8
  std::vector<std::pair<std::string, std::string>> Lists;  // the selected lists the format has
  std::vector<TExtractProperty> Properties;                 // non-empty ones only
  std::string Error;     // empty when the document was read
  bool Partial = false;  // the text is incomplete: an error after some text came out, or warnings
  std::vector<std::string> Warnings;  // what the reader read through
};

// The message of bytes no reader takes.
inline constexpr std::string_view kUnknownFormatMessage = "Unknown document format";

// Never throw for a document's faults (unreadable file, damaged or hostile content, memory):
// those end in Error with whatever text came out before them, so a batch goes on.
ZVWORD_API TExtractResult Extract(const std::string& Path, const TExtractOptions& Options = {});
// Bytes held by the caller; NameHint (may be empty) helps detection by its extension and names
// the document in messages.
ZVWORD_API TExtractResult Extract(std::string_view Data, std::string_view NameHint, const TExtractOptions& Options = {});

// The summary properties as Extract delivers them.
ZVWORD_API std::vector<TExtractProperty> ExtractProperties(const TZvWordSummaryInformation& Summary);
// ISO 8601 in UTC with Z, to the second.
ZVWORD_API std::string FormatDateTimeUtc(TDateTime Value);

}  // namespace zvword
