// The C interface gives what Extract gives, through its handle and C strings.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "builders/PdfEncryptBuilder.h"
#include "design/Extract.h"
#include "zvword_c.h"

namespace zvword {
namespace {

using Handle = std::unique_ptr<zvword_document, decltype(&zvword_free)>;
Handle NewHandle() { return Handle(zvword_new(), &zvword_free); }

TEST(CApi, EverySampleInEveryFormatMatchesExtract) {
  const struct { const char* Name; TMSTextFormating Format; } formats[] = {
      {"plain", tfPlainText}, {"rtf", tfRTF}, {"html", tfHTML}};
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(ZVWORD_SOURCE_DIR) + "/samples")) {
    const std::string path = entry.path().string();
    const std::string ext = entry.path().extension().string();
    if (ext.empty() || !FindReaderEntry(ext.substr(1))) continue;
    ++files;
    for (const auto& f : formats) {
      SCOPED_TRACE(path + " " + f.Name);
      TExtractOptions options;
      options.Format = f.Format;
      const TExtractResult expected = Extract(path, options);
      Handle doc = NewHandle();
      ASSERT_EQ(zvword_set_format(doc.get(), f.Name), 0);
      EXPECT_EQ(zvword_extract_file(doc.get(), path.c_str()), expected.Error.empty() ? 0 : -1);
      size_t length = 0;
      const char* text = zvword_text(doc.get(), &length);
      EXPECT_EQ(std::string(text, length), expected.Text);
      EXPECT_EQ(text[length], '\0');
      EXPECT_EQ(zvword_format(doc.get()), expected.Format);
      EXPECT_EQ(zvword_last_error(doc.get()), expected.Error);
      ASSERT_EQ(zvword_property_count(doc.get()), expected.Properties.size());
      for (size_t i = 0; i < expected.Properties.size(); ++i) {
        EXPECT_EQ(zvword_property_name(doc.get(), i), expected.Properties[i].Name);
        EXPECT_STREQ(zvword_property(doc.get(), expected.Properties[i].Name.c_str()), expected.Properties[i].Value.c_str());
      }
    }
  }
  EXPECT_GE(files, 8) << "samples/ lacks the sample documents";
}

TEST(CApi, OptionsAndFailures) {
  testing::PdfEncryptOptions pdf;
  pdf.UserPassword = "secret";
  const std::string encrypted = testing::MakeEncryptedPdf(pdf);
  const std::string odt = std::string(ZVWORD_SOURCE_DIR) + "/samples/harbour.odt";
  const struct {
    const char* Name;
    const char* Format;     // set first; nullptr leaves the default
    const char* Password;
    long MaxLength;
    const std::string* Buffer;  // else the file
    const char* Path;
    int Result;
    const char* InText;   // expected in the text
    const char* InError;  // expected in the message
  } rows[] = {
      {"unknown format option", "pdf", nullptr, 0, nullptr, nullptr, -1, "", "plain, rtf or html"},
      {"negative length", nullptr, nullptr, -1, nullptr, nullptr, -1, "", "max length"},
      {"missing file", nullptr, nullptr, 0, nullptr, "/nonexistent/x.doc", -1, "", "x.doc"},
      {"no path", nullptr, nullptr, 0, nullptr, nullptr, -1, "", "no path"},
      {"password missing", nullptr, nullptr, 0, &encrypted, nullptr, -1, "", "assword"},
      {"password given", nullptr, "secret", 0, &encrypted, nullptr, 0, "Hello encrypted world", ""},
      {"length cut", "plain", nullptr, 40, nullptr, odt.c_str(), 0, "Harbour Notes", ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    Handle doc = NewHandle();
    int result = 0;
    if (r.Format) result = zvword_set_format(doc.get(), r.Format);
    if (result == 0 && r.Password) result = zvword_set_password(doc.get(), r.Password);
    if (result == 0 && r.MaxLength) result = zvword_set_max_length(doc.get(), r.MaxLength);
    if (result == 0)
      result = r.Buffer ? zvword_extract_buffer(doc.get(), r.Buffer->data(), r.Buffer->size(), "x.pdf")
                        : zvword_extract_file(doc.get(), r.Path);
    EXPECT_EQ(result, r.Result);
    size_t length = 0;
    const char* chars = zvword_text(doc.get(), &length);
    const std::string text(chars, length);
    EXPECT_NE(text.find(r.InText), std::string::npos) << text;
    EXPECT_NE(std::string(zvword_last_error(doc.get())).find(r.InError), std::string::npos) << zvword_last_error(doc.get());
    if (r.MaxLength > 0) {
      EXPECT_LE(length, static_cast<size_t>(r.MaxLength) * 3);
    }
  }
}

}  // namespace
}  // namespace zvword
