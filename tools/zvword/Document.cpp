#include "tools/zvword/Document.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "framework/MSW_Sum.h"
#include "framework/MSWordCnst.h"
#include "platform/LocalTime.h"
#include "platform/Streams.h"

namespace zvword::cli {
namespace {

// The whole input: a regular file is mapped, standard input read.
class InputData {
 public:
  explicit InputData(const std::string& file) {
    if (file == "-") {
      char buf[1 << 16];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) owned_.append(buf, n);
      view_ = owned_;
      return;
    }
    const WideString name = Utf8ToWide(file);
    if (!FileExists(name)) throw Exception(FormatMessage(SFileNotFound, {name}));
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (p != MAP_FAILED) {
        map_ = p;
        view_ = std::string_view(static_cast<const char*>(p), static_cast<size_t>(st.st_size));
        ::close(fd);
        return;
      }
    }
    if (fd >= 0) ::close(fd);
    TFileStream stream(file);  // raises the stream's own error for what cannot be opened
    owned_ = stream.ReadAll();
    view_ = owned_;
  }
  ~InputData() {
    if (map_) ::munmap(map_, view_.size());
  }
  InputData(const InputData&) = delete;
  InputData& operator=(const InputData&) = delete;
  std::string_view View() const { return view_; }

 private:
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

// The list's text: every item followed by a line end.
void AppendList(std::string& out, const TWideStrings& list, bool crlf) {
  const std::u16string_view eol = crlf ? u"\r\n" : u"\n";
  // Most text is ASCII: one allocation of about the final size instead of repeated doubling.
  out.reserve(out.size() + static_cast<size_t>(list.TextLength()) + static_cast<size_t>(list.TextLength()) / 8 + 64);
  for (int i = 0; i < list.Count(); ++i) {
    AppendUtf8(out, list.Item(i), crlf);
    AppendUtf8(out, eol, true);
  }
}

std::vector<std::pair<std::string, std::string>> SummaryLines(const TZvWordSummaryInformation& s) {
  std::vector<std::pair<std::string, std::string>> lines;
  auto text = [&](const char* name, const WideString& v) {
    if (!v.empty()) lines.emplace_back(name, WideToUtf8(v));
  };
  auto number = [&](const char* name, int32_t v) {
    if (v != 0) lines.emplace_back(name, std::to_string(v));
  };
  auto date = [&](const char* name, TDateTime v) {
    if (v != 0) lines.emplace_back(name, FormatDateTime(v));
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

std::string ToUtf16(std::string_view utf8, bool bom) {
  const WideString w = Utf8ToWide(utf8);
  std::string out;
  out.reserve(w.size() * 2 + 2);
  if (bom) out += "\xFF\xFE";
  for (char16_t c : w) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

}  // namespace

std::string FormatDateTime(TDateTime value) {
  const TSystemTime t = DecodeDateTime(value);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  return buf;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  out.reserve(s.size() + 2);
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
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

const TZvReaderEntry* ChooseReader(const std::string& file, std::string_view data, const std::string& readerName) {
  if (readerName != "auto") return FindReaderEntry(readerName);
  return DetectFormat(data, file);
}

bool CanStream(const Options& o) {
  return !o.json && !o.summary && !o.listAll && !o.utf16 && o.lists.size() == 1 &&
         o.lists[0] == "body";
}

DocumentResult ProcessDocument(const std::string& file, const Options& o, std::FILE* direct) {
  DocumentResult result;
  const TZvReaderEntry* entry = nullptr;
  // The input outlives the reader, so nothing a reader keeps from its stream can dangle.
  std::optional<InputData> input;
  std::unique_ptr<TMSWBaseDocument> doc;
  bool streamed = false;
  try {
    input.emplace(file);
    const std::string_view data = input->View();
    entry = ChooseReader(file, data, o.reader);
    if (!entry) throw Exception("Unknown document format (name a reader with --reader)");
    doc = CreateReader(*entry, o.readerOptions);
    doc->SetTextFormating(o.format);
    doc->SetMaxTextLength(o.maxLength);
    if (file != "-") doc->SetFileName(Utf8ToWide(file));
    if (direct && CanStream(o)) {
      // Each line goes out as soon as the reader adds it; the list stays empty.
      streamed = true;
      doc->Text()->SetConsumer([direct, &o](const WideString& item) {
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

  const auto lines = summary ? SummaryLines(*summary) : std::vector<std::pair<std::string, std::string>>{};
  std::string& out = result.output;
  if (o.json) {
    std::string text;
    if (const TWideStrings* body = findList("body")) AppendList(text, *body, o.crlf);
    out = "{\"file\":" + JsonString(file) + ",\"reader\":" + (entry ? JsonString(entry->Name) : "null") +
          ",\"text\":" + JsonString(text) + ",\"summary\":{";
    for (size_t i = 0; i < lines.size(); ++i)
      out += (i ? "," : "") + JsonString(lines[i].first) + ":" + JsonString(lines[i].second);
    out += "},\"lists\":{";
    bool first = true;
    for (const auto& [name, list] : selected) {
      if (name == "body" || !list) continue;
      std::string t;
      AppendList(t, *list, o.crlf);
      out += (first ? "" : ",") + JsonString(name) + ":" + JsonString(t);
      first = false;
    }
    out += "},\"error\":" + (result.error.empty() ? std::string("null") : JsonString(result.error)) + "}\n";
    return result;
  }
  const char* eol = o.crlf || o.utf16 ? "\r\n" : "\n";
  if (o.summary)
    for (const auto& [name, value] : lines) out += name + ": " + value + eol;
  for (const auto& [name, list] : selected)
    if (list) AppendList(out, *list, o.crlf || o.utf16);
  if (o.utf16) out = ToUtf16(out, false);
  return result;
}

}  // namespace zvword::cli
