// The C interface: a handle over Extract that keeps the last result for the caller to read.
#include "zvword_c.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "design/Extract.h"
#include "platform/Version.h"

struct zvword_document {
  zvword::TExtractOptions Options;
  zvword::TExtractResult Result;
  std::string Error;  // of the last call: an option refused, or the extraction's
};

namespace {

// The C caller cannot catch: whatever escapes (memory) becomes the handle's error.
template <typename F>
int Guarded(zvword_document* doc, F&& f) {
  if (!doc) return -1;
  try {
    doc->Error.clear();
    return f();
  } catch (const std::exception& e) {
    doc->Error = e.what();
  } catch (...) {
    doc->Error = "unexpected failure";
  }
  return -1;
}

int Finish(zvword_document* doc, zvword::TExtractResult&& result) {
  doc->Result = std::move(result);
  doc->Error = doc->Result.Error;
  return doc->Error.empty() ? 0 : -1;
}

}  // namespace

extern "C" {

zvword_document* zvword_new(void) { return new (std::nothrow) zvword_document(); }

void zvword_free(zvword_document* doc) { delete doc; }

int zvword_set_format(zvword_document* doc, const char* format) {
  return Guarded(doc, [&] {
    const std::string f = format ? format : "";
    if (f == "plain") doc->Options.Format = zvword::tfPlainText;
    else if (f == "rtf") doc->Options.Format = zvword::tfRTF;
    else if (f == "html") doc->Options.Format = zvword::tfHTML;
    else throw zvword::Exception("unknown format \"" + f + "\" (plain, rtf or html)");
    return 0;
  });
}

int zvword_set_password(zvword_document* doc, const char* password) {
  return Guarded(doc, [&] {
    doc->Options.ReaderOptions.Password = password ? password : "";
    return 0;
  });
}

int zvword_set_max_length(zvword_document* doc, long max_length) {
  return Guarded(doc, [&] {
    if (max_length < 0 || max_length > INT32_MAX) throw zvword::Exception("max length out of range");
    doc->Options.MaxLength = static_cast<int32_t>(max_length);
    return 0;
  });
}

int zvword_extract_file(zvword_document* doc, const char* path) {
  return Guarded(doc, [&] {
    if (!path) throw zvword::Exception("no path");
    return Finish(doc, zvword::Extract(std::string(path), doc->Options));
  });
}

int zvword_extract_buffer(zvword_document* doc, const void* data, size_t size, const char* name) {
  return Guarded(doc, [&] {
    if (!data && size) throw zvword::Exception("no data");
    const std::string_view bytes(static_cast<const char*>(data), data ? size : 0);
    return Finish(doc, zvword::Extract(bytes, name ? name : "", doc->Options));
  });
}

const char* zvword_text(const zvword_document* doc, size_t* length) {
  if (length) *length = doc ? doc->Result.Text.size() : 0;
  return doc ? doc->Result.Text.c_str() : "";
}

const char* zvword_format(const zvword_document* doc) { return doc ? doc->Result.Format.c_str() : ""; }

size_t zvword_property_count(const zvword_document* doc) { return doc ? doc->Result.Properties.size() : 0; }

const char* zvword_property_name(const zvword_document* doc, size_t index) {
  return doc && index < doc->Result.Properties.size() ? doc->Result.Properties[index].Name.c_str() : nullptr;
}

const char* zvword_property_value(const zvword_document* doc, size_t index) {
  return doc && index < doc->Result.Properties.size() ? doc->Result.Properties[index].Value.c_str() : nullptr;
}

const char* zvword_property(const zvword_document* doc, const char* name) {
  if (!doc || !name) return nullptr;
  for (const auto& p : doc->Result.Properties)
    if (p.Name == name) return p.Value.c_str();
  return nullptr;
}

const char* zvword_last_error(const zvword_document* doc) { return doc ? doc->Error.c_str() : "no handle"; }

int zvword_partial(const zvword_document* doc) { return doc && doc->Result.Partial ? 1 : 0; }

const char* zvword_version(void) { return zvword::LibraryVersion(); }

}  // extern "C"
