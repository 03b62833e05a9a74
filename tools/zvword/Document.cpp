#include "tools/zvword/Document.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "framework/MSW_Sum.h"
#include "framework/MSWordCnst.h"
#include "platform/CodePages.h"
#include "platform/LocalTime.h"
#include "platform/Streams.h"
#include "platform/Unicode.h"

namespace zvword::cli {
namespace {

// The whole input: a regular file is mapped, anything else read. The name is opened by its bytes,
// so a name that is not valid UTF-8 still opens.
class InputData {
 public:
  explicit InputData(const std::string& file) {
    if (file == "-") {
      ReadAll(STDIN_FILENO);
      return;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT || errno == ENOTDIR) {
        const std::string message = WideToUtf8(SFileNotFound);
        const size_t at = message.find("%s");
        throw Exception(at == std::string::npos ? message : message.substr(0, at) + file + message.substr(at + 2));
      }
      throw Exception(std::string("cannot open: ") + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      throw Exception("is a directory (read the files under it with -R)");
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (p != MAP_FAILED) {
        map_ = p;
        view_ = std::string_view(static_cast<const char*>(p), static_cast<size_t>(st.st_size));
        ::close(fd);
        return;
      }
    }
    try {
      ReadAll(fd);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
  }
  ~InputData() {
    if (map_) ::munmap(map_, view_.size());
  }
  InputData(const InputData&) = delete;
  InputData& operator=(const InputData&) = delete;
  std::string_view View() const { return view_; }

 private:
  void ReadAll(int fd) {
    char buf[1 << 16];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        throw Exception(std::string("read error: ") + std::strerror(errno));
      }
      owned_.append(buf, static_cast<size_t>(n));
    }
    view_ = owned_;
  }

  std::string owned_;
  void* map_ = nullptr;
  std::string_view view_;
};

// Appends UTF-8 of a wide string; CR LF becomes LF unless crlf is set. Lone surrogates become U+FFFD.
// The text is converted through a reused scratch buffer, so `out` only ever grows by appends.
void AppendUtf8(std::string& out, std::u16string_view s, bool crlf) {
  thread_local std::string scratch;
  if (scratch.size() < s.size() * 3) scratch.resize(s.size() * 3);
  char* const start = scratch.data();
  char* d = start;
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = s[i];
    if (c < 0x80) {
      if (c == '\r' && !crlf && i + 1 < n && s[i + 1] == u'\n') continue;
      if (c == '\n' && crlf && (i == 0 || s[i - 1] != u'\r')) *d++ = '\r';  // one kind of line end
      *d++ = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x800) {
      *d++ = static_cast<char>(0xC0 | (c >> 6));
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *d++ = static_cast<char>(0xE0 | (c >> 12));
      *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {  // a surrogate pair: 2 units in, 4 bytes out, within the 6 reserved
      *d++ = static_cast<char>(0xF0 | (c >> 18));
      *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *d++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out.append(start, static_cast<size_t>(d - start));
}

// Text that is more than line ends and blanks: a failed document that gave only its frame or
// empty page lines gave no partial text.
bool HasText(std::string_view s) { return s.find_first_not_of(" \t\r\n") != std::string_view::npos; }

// Plain text has an empty frame, which the library still hands on as an empty first line; the
// tool marks it so that it can leave it out without also dropping an empty first paragraph.
constexpr char16_t kFrameMark = 0xFFFF;
// The marked frame is one character and a line end of the joined text a length limit counts.
constexpr int32_t kFrameMarkLength = 3;

// The list's text: every item followed by a line end. `plain` drops what plain text should not
// start with: the empty prologue line (whole, or the line end it leaves at the front of a text cut
// to --max-length) and a CR left alone at the end by that cut.
void AppendList(std::string& out, const TWideStrings& list, bool crlf, bool plain = false) {
  const std::u16string_view eol = crlf ? u"\r\n" : u"\n";
  // Most text is ASCII: one allocation of about the final size instead of repeated doubling.
  out.reserve(out.size() + static_cast<size_t>(list.TextLength()) + static_cast<size_t>(list.TextLength()) / 8 + 64);
  for (int i = 0; i < list.Count(); ++i) {
    std::u16string_view item = list.Item(i);
    if (plain && i == 0) {
      if (item.size() == 1 && item[0] == kFrameMark) continue;
      if (item.substr(0, 2) == u"\r\n") item.remove_prefix(2);
      else if (item == u"\r") continue;
    }
    if (plain && i + 1 == list.Count() && !item.empty() && item.back() == u'\r') item.remove_suffix(1);
    AppendUtf8(out, item, crlf);
    AppendUtf8(out, eol, crlf);
  }
}

// A property value on one line: line breaks, tabs and other controls escaped C-style, so is "\\".
std::string OneLine(const std::string& v) {
  std::string out;
  for (char ch : v) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

struct Property {
  std::string name, value;
  bool number = false;
};

std::vector<Property> SummaryLines(const TZvWordSummaryInformation& s) {
  std::vector<Property> lines;
  auto text = [&](const char* name, const WideString& v) {
    if (!v.empty()) lines.push_back({name, WideToUtf8(v)});
  };
  auto number = [&](const char* name, int32_t v) {
    if (v != 0) lines.push_back({name, std::to_string(v), true});
  };
  auto date = [&](const char* name, TDateTime v) {
    if (v != 0) lines.push_back({name, FormatDateTime(v)});
  };
  text("Title", s.Title());
  text("Subject", s.Subject());
  text("Author", s.Author());
  text("Keywords", s.Keywords());
  text("Comments", s.Comments());
  text("Template", s.Template());
  text("LastAuthor", s.LastAuthor());
  text("RevNumber", s.RevNumber());
  text("AppName", s.AppName());
  text("Category", s.Category());
  text("PresentationTarget", s.PresentationTarget());
  text("Manager", s.Manager());
  text("Company", s.Company());
  date("Created", s.Created());
  date("LastSaved", s.LastSaved());
  date("LastPrinted", s.LastPrinted());
  number("EditTime", s.EditTime());
  number("PageCount", s.PageCount());
  number("WordCount", s.WordCount());
  number("CharCount", s.CharCount());
  number("CharCount2", s.CharCount2());
  number("ByteCount", s.ByteCount());
  number("LineCount", s.LineCount());
  number("ParagraphCount", s.ParagraphCount());
  number("SlideCount", s.SlideCount());
  number("NoteCount", s.NoteCount());
  number("HiddenSlideCount", s.HiddenSlideCount());
  number("MMClipCount", s.MMClipCount());
  return lines;
}

}  // namespace

std::string FormatDateTime(TDateTime value) {
  const TSystemTime t = DecodeDateTime(value);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  return buf;
}

// Length of the valid UTF-8 sequence at s[i], 0 when the bytes there are not one.
static size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned c = b(i);
  size_t n;
  uint32_t cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  // No overlong forms, surrogates or values past U+10FFFF.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  out.reserve(s.size() + 2);
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = Utf8SequenceLength(s, i);
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || n == 0) {  // a control, or a byte of no valid sequence: its Latin-1 character
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonErrorLine(const std::string& file, const std::string& error) {
  return "{\"file\":" + JsonString(file) + ",\"reader\":null,\"text\":\"\",\"summary\":{},\"lists\":{},\"error\":" +
         JsonString(error) + ",\"partial\":false}\n";
}

const TZvReaderEntry* ChooseReader(const std::string& file, std::string_view data, const std::string& readerName) {
  if (readerName != "auto") return FindReaderEntry(readerName);
  return DetectFormat(data, file);
}

bool CanStream(const Options& o) {
  // Under a length limit the text is short; it is written whole so the cut is tidied in one place.
  return !o.json && !o.summary && !o.listAll && o.maxLength == 0 && !o.utf16 && o.lists.size() == 1 &&
         o.lists[0] == "body";
}

DocumentResult ProcessDocument(const std::string& file, const Options& o, std::FILE* direct) {
  DocumentResult result;
  const TZvReaderEntry* entry = nullptr;
  // The input outlives the reader, so nothing a reader keeps from its stream can dangle.
  std::optional<InputData> input;
  std::unique_ptr<TMSWBaseDocument> doc;
  bool streamed = false;
  bool foreign = false;  // the bytes lack the chosen reader's signature
  WideString prologue, epilogue;
  const bool plain = o.format == tfPlainText;
  try {
    input.emplace(file);
    const std::string_view data = input->View();
    entry = ChooseReader(file, data, o.reader);
    if (!entry) throw Exception("Unknown document format (name a reader with --reader)");
    foreign = entry->Signature && !entry->Signature(data);
    doc = CreateReader(*entry, o.readerOptions);
    doc->SetTextFormating(o.format);
    doc->SetMaxTextLength(plain && o.maxLength > 0 ? std::min(o.maxLength, INT32_MAX - kFrameMarkLength) + kFrameMarkLength
                                                  : o.maxLength);
    if (file != "-") doc->SetFileName(Utf8ToWide(file));
    // HTML declares the encoding this tool writes, not the code page the library assumes.
    const std::u16string charset = o.utf16 && !o.json ? u"utf-16" : u"utf-8";
    doc->SetOnBeforeText([&prologue, &charset, plain](TMSWBaseDocument*, WideString& s) {
      if (plain && s.empty()) s.assign(1, kFrameMark);
      const size_t at = s.find(u"charset=");
      if (at != WideString::npos) {
        const size_t end = s.find(u'"', at);
        s.replace(at + 8, (end == WideString::npos ? s.size() : end) - (at + 8), charset);
      }
      prologue = s;
    });
    doc->SetOnAfterText([&epilogue](TMSWBaseDocument*, WideString& s) { epilogue = s; });
    if (direct && CanStream(o) && !foreign) {
      // Each line goes out as soon as the reader adds it; the list stays empty.
      streamed = true;
      doc->Text()->SetConsumer([direct, &o, plain, first = true](const WideString& item) mutable {
        const bool skip = plain && first && item.size() == 1 && item[0] == kFrameMark;
        first = false;
        if (skip) return;
        thread_local std::string chunk;
        chunk.clear();
        AppendUtf8(chunk, item, o.crlf);
        chunk += o.crlf ? "\r\n" : "\n";
        std::fwrite(chunk.data(), 1, chunk.size(), direct);
      });
    }
    TBytesView stream(data);
    doc->LoadFromStream(stream);
  } catch (const Exception& e) {
    result.error = e.what();
  } catch (const std::bad_alloc&) {
    result.error = "Out of memory";
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  if (result.error.empty() && !doc) result.error = "No reader";
  // A reader reading from a stream may not know the name its message should give.
  if (const size_t at = result.error.find("File  "); at != std::string::npos) result.error.insert(at + 5, file);
  if (foreign && doc && (result.error.empty() || o.reader != "auto")) {
    // Bytes without the reader's signature that give nothing but the frame were not that format;
    // a reader named on the command line is told so even when it failed its own way.
    bool text = false;
    const TWideStrings& body = *doc->Text();
    for (int i = 0; i < body.Count() && !text; ++i)
      text = !body.Item(i).empty() && body.Item(i) != prologue && body.Item(i) != epilogue;
    if (!text)
      result.error = "not a " + std::string(entry->Name) + " document" +
                     (result.error.empty() ? "" : " (" + result.error + ")");
  }

  if (doc)
    for (const WideString& w : doc->Warnings()) result.warnings.push_back(WideToUtf8(w));
  if (streamed) return result;
  // What a failed load produced so far is still printed: partial text beats none.
  std::vector<std::pair<std::string, TWideStrings*>> extra;
  const TZvWordSummaryInformation* summary = nullptr;
  if (doc) {
    extra = doc->Lists();
    summary = doc->SummaryInformation();
  }
  auto findList = [&](const std::string& name) -> const TWideStrings* {
    if (!doc) return nullptr;
    if (name == "body") return doc->Text();
    for (const auto& [n, l] : extra)
      if (n == name) return l;
    return nullptr;
  };
  std::vector<std::pair<std::string, const TWideStrings*>> selected;
  if (o.listAll) {
    selected.emplace_back("body", findList("body"));
    for (const auto& name : ListOrder())
      if (name != "body")
        if (const TWideStrings* l = findList(name); l && l->Count() > 0) selected.emplace_back(name, l);
  } else {
    for (const auto& name : o.lists) selected.emplace_back(name, findList(name));
  }

  const auto lines = summary ? SummaryLines(*summary) : std::vector<Property>{};
  std::string& out = result.output;
  if (o.json) {
    std::string text;
    if (const TWideStrings* body = findList("body")) AppendList(text, *body, o.crlf, plain);
    out = "{\"file\":" + JsonString(file) + ",\"reader\":" + (entry ? JsonString(entry->Name) : "null") +
          ",\"text\":" + JsonString(text) + ",\"summary\":{";
    for (size_t i = 0; i < lines.size(); ++i)
      out += (i ? "," : "") + JsonString(lines[i].name) + ":" +
             (lines[i].number ? lines[i].value : JsonString(lines[i].value));
    out += "},\"lists\":{";
    bool first = true;
    for (const auto& [name, list] : selected) {
      if (name == "body" || !list) continue;
      std::string t;
      AppendList(t, *list, o.crlf, plain);
      out += (first ? "" : ",") + JsonString(name) + ":" + JsonString(t);
      first = false;
    }
    result.partial = (!result.error.empty() && HasText(text)) || !result.warnings.empty();
    out += "}";
    if (!result.warnings.empty()) {
      out += ",\"warnings\":[";
      for (size_t i = 0; i < result.warnings.size(); ++i) out += (i ? "," : "") + JsonString(result.warnings[i]);
      out += "]";
    }
    out += ",\"error\":" + (result.error.empty() ? std::string("null") : JsonString(result.error));
    if (!result.error.empty() || result.partial) out += std::string(",\"partial\":") + (result.partial ? "true" : "false");
    out += "}\n";
    return result;
  }
  const bool crlf = o.crlf || o.utf16;
  const char* eol = crlf ? "\r\n" : "\n";
  if (o.summary)
    for (const auto& p : lines) out += p.name + ": " + OneLine(p.value) + eol;
  for (const auto& [name, list] : selected) {
    if (!list) continue;
    // "all" labels each list after the body, so a reader of the text can tell them apart.
    if (o.listAll && plain && name != "body") out += "--- " + name + " ---" + eol;
    AppendList(out, *list, crlf, plain);
  }
  result.partial = !result.error.empty() && HasText(out);
  if (o.utf16) out = WideToUtf16LE(Utf8ToWide(out));
  return result;
}

}  // namespace zvword::cli
