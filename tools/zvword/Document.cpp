#include "tools/zvword/Document.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "design/Extract.h"
#include "platform/Exception.h"
#include "platform/Unicode.h"

namespace zvword::cli {
namespace {

// Standard input, whole.
std::string ReadStandardInput() {
  std::string data;
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Exception(std::string("read error: ") + std::strerror(errno));
    }
    data.append(buf, static_cast<size_t>(n));
  }
  return data;
}

// Text that is more than line ends and blanks: a failed document that gave only its frame or
// empty page lines gave no partial text.
bool HasText(std::string_view s) { return s.find_first_not_of(" \t\r\n") != std::string_view::npos; }

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

}  // namespace

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

bool CanStream(const Options& o) {
  // Under a length limit the text is short; it is written whole so the cut is tidied in one place.
  return !o.json && !o.summary && !o.listAll && o.maxLength == 0 && !o.utf16 && o.lists.size() == 1 &&
         o.lists[0] == "body";
}

DocumentResult ProcessDocument(const std::string& file, const Options& o, std::FILE* direct) {
  DocumentResult result;
  const bool plain = o.format == tfPlainText;
  TExtractOptions x;
  x.Format = o.format;
  x.Reader = o.reader == "auto" ? "" : o.reader;
  x.ReaderOptions = o.readerOptions;
  x.MaxLength = o.maxLength;
  x.CRLF = o.json ? o.crlf : o.crlf || o.utf16;
  // HTML declares the encoding this tool writes.
  x.Charset = o.utf16 && !o.json ? "utf-16" : "utf-8";
  if (o.listAll) x.Lists = {"all"};
  else x.Lists = o.lists;
  if (direct && CanStream(o))
    x.TextSink = [direct](std::string_view line) { std::fwrite(line.data(), 1, line.size(), direct); };
  TExtractResult r;
  if (file == "-") {
    try {
      r = Extract(ReadStandardInput(), file, x);
    } catch (const Exception& e) {
      r.Error = e.what();
    }
  } else {
    r = Extract(file, x);
  }
  if (r.Format.empty() && r.Error == kUnknownFormatMessage) r.Error += " (name a reader with --reader)";
  if (r.Error == "is a directory") r.Error += " (read the files under it with -R)";
  result.error = r.Error;
  result.warnings = r.Warnings;
  std::string& out = result.output;
  if (o.json) {
    out = "{\"file\":" + JsonString(file) + ",\"reader\":" + (r.Format.empty() ? "null" : JsonString(r.Format)) +
          ",\"text\":" + JsonString(r.Text) + ",\"summary\":{";
    for (size_t i = 0; i < r.Properties.size(); ++i)
      out += (i ? "," : "") + JsonString(r.Properties[i].Name) + ":" +
             (r.Properties[i].Number ? r.Properties[i].Value : JsonString(r.Properties[i].Value));
    out += "},\"lists\":{";
    for (size_t i = 0; i < r.Lists.size(); ++i)
      out += (i ? "," : "") + JsonString(r.Lists[i].first) + ":" + JsonString(r.Lists[i].second);
    result.partial = r.Partial;
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
  const char* eol = x.CRLF ? "\r\n" : "\n";
  if (o.summary)
    for (const auto& p : r.Properties) out += p.Name + ": " + OneLine(p.Value) + eol;
  // A document no reader took has no lists at all, not even an empty body.
  const bool read = !r.Format.empty();
  auto emit = [&](const std::string& name, const std::string& text) {
    // "all" labels each list after the body, so a reader of the text can tell them apart.
    if (o.listAll && plain && name != "body") out += "--- " + name + " ---" + eol;
    out += text;
  };
  if (o.listAll) {
    if (read) emit("body", r.Text);
    for (const auto& [name, text] : r.Lists) emit(name, text);
  } else {
    for (const auto& name : o.lists) {
      if (name == "body") {
        if (read) emit(name, r.Text);
        continue;
      }
      for (const auto& [n, text] : r.Lists)
        if (n == name) emit(n, text);
    }
  }
  result.partial = !result.error.empty() && HasText(out);
  if (o.utf16) out = WideToUtf16LE(Utf8ToWide(out));
  return result;
}

}  // namespace zvword::cli
