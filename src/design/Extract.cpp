#include "design/Extract.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "framework/MSW_Sum.h"
#include "framework/MSWordCnst.h"
#include "platform/LocalTime.h"
#include "platform/Streams.h"

namespace zvword {
namespace {

// The whole file: a regular file is mapped, anything else read. The name is opened by its bytes,
// so a name that is not valid UTF-8 still opens.
class TInputFile {
 public:
  explicit TInputFile(const std::string& file) {
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
      throw Exception("is a directory");
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
  ~TInputFile() {
    if (map_) ::munmap(map_, view_.size());
  }
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;
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

// Whether the four units at p are ASCII and none is a control character (so no line end either):
// most text is, and such units copy as their low bytes.
bool FourPlainAscii(const char16_t* p) {
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return (x & 0xFF80FF80FF80FF80ull) == 0 && ((x - 0x0020002000200020ull) & ~x & 0x8000800080008000ull) == 0;
}

// Appends UTF-8 of a wide string; CR LF becomes LF unless crlf is set. Lone surrogates become U+FFFD.
// The text is converted through a reused scratch buffer, so `out` only ever grows by appends.
void AppendUtf8(std::string& out, std::u16string_view s, bool crlf) {
  thread_local std::string scratch;
  if (scratch.size() < s.size() * 3) scratch.resize(s.size() * 3);
  char* const start = scratch.data();
  char* d = start;
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
#ifdef __SSE2__
    // Sixteen plain ASCII units at a time, narrowed to their bytes in one pack.
    while (i + 16 <= n) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i + 8));
      const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80)), space = _mm_set1_epi16(0x1F);
      const __m128i plain = _mm_and_si128(
          _mm_and_si128(_mm_cmpeq_epi16(_mm_and_si128(a, high), _mm_setzero_si128()), _mm_cmpgt_epi16(a, space)),
          _mm_and_si128(_mm_cmpeq_epi16(_mm_and_si128(b, high), _mm_setzero_si128()), _mm_cmpgt_epi16(b, space)));
      if (_mm_movemask_epi8(plain) != 0xFFFF) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
      d += 16;
      i += 16;
    }
    if (i >= n) break;
#endif
    if (i + 4 <= n && FourPlainAscii(s.data() + i)) {
      for (int k = 0; k < 4; ++k) d[k] = static_cast<char>(s[i + k]);
      d += 4;
      i += 3;
      continue;
    }
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

// Plain text has an empty frame, which the library still hands on as an empty first line; it is
// marked so that it can be left out without also dropping an empty first paragraph.
constexpr char16_t kFrameMark = 0xFFFF;
// The marked frame is one character and a line end of the joined text a length limit counts.
constexpr int32_t kFrameMarkLength = 3;

// The list's text: every item followed by a line end. `plain` drops what plain text should not
// start with: the empty prologue line (whole, or the line end it leaves at the front of a text cut
// to a length limit) and a CR left alone at the end by that cut.
void AppendList(std::string& out, const TWideStrings& list, bool crlf, bool plain) {
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

// The selected lists of the document: the named ones it has, or with "all" every non-empty one.
std::vector<std::pair<std::string, std::string>> SelectedLists(const TMSWBaseDocument& doc, const TExtractOptions& o) {
  const auto lists = doc.Lists();
  const bool all = std::find(o.Lists.begin(), o.Lists.end(), "all") != o.Lists.end();
  std::vector<std::pair<std::string, std::string>> out;
  auto add = [&](const std::string& name, bool nonEmptyOnly) {
    for (const auto& [n, l] : lists)
      if (n == name && l && (!nonEmptyOnly || l->Count() > 0)) {
        std::string text;
        AppendList(text, *l, o.CRLF, o.Format == tfPlainText);
        out.emplace_back(name, std::move(text));
      }
  };
  if (all) {
    for (const auto& name : ExtractListNames())
      if (name != "body") add(name, true);
  } else {
    for (const auto& name : o.Lists)
      if (name != "body") add(name, false);
  }
  return out;
}

// Reads the file at `path` when given, else the caller's bytes; `name` names the document.
TExtractResult Run(const std::string* path, std::string_view bytes, std::string_view name, const TExtractOptions& o) {
  TExtractResult result;
  const TZvReaderEntry* entry = nullptr;
  // The input outlives the reader, so nothing a reader keeps from its stream can dangle.
  std::optional<TInputFile> input;
  std::unique_ptr<TMSWBaseDocument> doc;
  bool streamed = false;
  bool foreign = false;  // the bytes lack the chosen reader's signature
  WideString prologue, epilogue;
  const bool plain = o.Format == tfPlainText;
  try {
    std::string_view data = bytes;
    if (path) {
      input.emplace(*path);
      data = input->View();
    }
    entry = o.Reader.empty() ? DetectFormat(data, name) : FindReaderEntry(o.Reader);
    if (!entry) throw Exception(std::string(kUnknownFormatMessage));
    result.Format = entry->Name;
    foreign = entry->Signature && !entry->Signature(data);
    doc = CreateReader(*entry, o.ReaderOptions);
    doc->SetTextFormating(o.Format);
    doc->SetResourceLimits(o.Limits);
    doc->SetMaxTextLength(plain && o.MaxLength > 0 ? std::min(o.MaxLength, INT32_MAX - kFrameMarkLength) + kFrameMarkLength
                                                  : o.MaxLength);
    if (path) doc->SetFileName(Utf8ToWide(*path));
    // HTML declares the encoding the text is delivered in, not the code page the reader assumes.
    const std::u16string charset = Utf8ToWide(o.Charset);
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
    if (!foreign && (o.TextSink || o.MaxLength <= 0)) {
      // Each line is converted as soon as the reader adds it and goes out at once to a caller that
      // takes the text line by line. The list stays empty: a text of millions of short lines would
      // cost a string each there. Text cut to a length limit is tidied whole, below.
      streamed = true;
      doc->Text()->SetConsumer([&o, &result, plain, first = true](const WideString& item) mutable {
        const bool skip = plain && first && item.size() == 1 && item[0] == kFrameMark;
        first = false;
        if (skip) return;
        thread_local std::string chunk;
        std::string& to = o.TextSink ? chunk : result.Text;
        if (o.TextSink) chunk.clear();
        AppendUtf8(to, item, o.CRLF);
        to += o.CRLF ? "\r\n" : "\n";
        if (o.TextSink) o.TextSink(chunk);
      });
    }
    TBytesView stream(data);
    doc->LoadFromStream(stream);
  } catch (const Exception& e) {
    result.Error = e.what();
  } catch (const std::bad_alloc&) {
    result.Error = "Out of memory";
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  // A reader reading from a stream may not know the name its message should give.
  if (const size_t at = result.Error.find("File  "); at != std::string::npos) result.Error.insert(at + 5, name);
  if (foreign && doc && (result.Error.empty() || !o.Reader.empty())) {
    // Bytes without the reader's signature that give nothing but the frame were not that format;
    // a reader named by the caller is told so even when it failed its own way.
    bool text = false;
    const TWideStrings& body = *doc->Text();
    for (int i = 0; i < body.Count() && !text; ++i)
      text = !body.Item(i).empty() && body.Item(i) != prologue && body.Item(i) != epilogue;
    if (!text)
      result.Error = "not a " + std::string(entry->Name) + " document" +
                     (result.Error.empty() ? "" : " (" + result.Error + ")");
  }
  if (!doc) return result;
  // What a failed load produced so far is still delivered: partial text beats none.
  try {
    for (const WideString& w : doc->Warnings()) result.Warnings.push_back(WideToUtf8(w));
    if (!streamed) AppendList(result.Text, *doc->Text(), o.CRLF, plain);
    result.Lists = SelectedLists(*doc, o);
    if (const TZvWordSummaryInformation* s = doc->SummaryInformation()) result.Properties = ExtractProperties(*s);
  } catch (const std::bad_alloc&) {
    if (result.Error.empty()) result.Error = "Out of memory";
  }
  result.Partial = (!result.Error.empty() && HasText(result.Text)) || !result.Warnings.empty();
  return result;
}

}  // namespace

TExtractResult Extract(const std::string& Path, const TExtractOptions& Options) {
  return Run(&Path, {}, Path, Options);
}

TExtractResult Extract(std::string_view Data, std::string_view NameHint, const TExtractOptions& Options) {
  return Run(nullptr, Data, NameHint, Options);
}

const std::vector<std::string>& ExtractListNames() {
  static const std::vector<std::string> names = {"body",        "footnotes", "headers",   "footers",
                                                 "annotations", "endnotes",  "textboxes", "macros"};
  return names;
}

std::string FormatDateTimeUtc(TDateTime value) {
  const TSystemTime t = DecodeDateTime(value);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
  return buf;
}

std::vector<TExtractProperty> ExtractProperties(const TZvWordSummaryInformation& s) {
  std::vector<TExtractProperty> lines;
  auto text = [&](const char* name, const WideString& v) {
    if (!v.empty()) lines.push_back({name, WideToUtf8(v)});
  };
  auto number = [&](const char* name, int32_t v) {
    if (v != 0) lines.push_back({name, std::to_string(v), true});
  };
  auto date = [&](const char* name, TDateTime v) {
    if (v != 0) lines.push_back({name, FormatDateTimeUtc(v)});
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

}  // namespace zvword
