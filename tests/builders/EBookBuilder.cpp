#include "builders/EBookBuilder.h"

#include "builders/ZipBuilder.h"
#include "platform/Exception.h"
#include "platform/Streams.h"

namespace zvword::test {

std::string Lines(const TWideStrings& List) {
  std::string out;
  for (int i = 0; i < List.Count(); ++i)
    if (!List.Item(i).empty()) out += WideToUtf8(List.Item(i)) + "\n";
  return out;
}

std::string BodyLines(TMSWBaseDocument& Doc, const std::string& Bytes, TMSTextFormating Mode) {
  Doc.SetTextFormating(Mode);
  TBytesView stream(Bytes);
  try {
    Doc.LoadFromStream(stream);
  } catch (const Exception& e) {
    return std::string("error: ") + e.what();
  }
  std::string body = Lines(*Doc.Text());
  const std::string start = WideToUtf8(Doc.GetTextStart()), finish = WideToUtf8(Doc.GetTextFinish());
  if (!start.empty() && body.starts_with(start + "\n")) body.erase(0, start.size() + 1);
  if (!finish.empty() && body.ends_with(finish + "\n")) body.resize(body.size() - finish.size() - 1);
  return body;
}

std::string LoadError(TMSWBaseDocument& Doc, const std::string& Bytes) {
  TBytesView stream(Bytes);
  try {
    Doc.LoadFromStream(stream);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

EPubBuilder& EPubBuilder::PackagePath(const std::string& path) {
  packagePath_ = path;
  return *this;
}

EPubBuilder& EPubBuilder::Metadata(const std::string& xml) {
  metadata_ += xml;
  return *this;
}

EPubBuilder& EPubBuilder::Item(const std::string& id, const std::string& href, const std::string& content,
                               const std::string& mediaType, const std::string& properties) {
  manifest_ += "<item id=\"" + id + "\" href=\"" + href + "\" media-type=\"" + mediaType + "\"";
  if (!properties.empty()) manifest_ += " properties=\"" + properties + "\"";
  manifest_ += "/>\n";
  if (!content.empty()) files_.emplace_back(href, content);
  return *this;
}

EPubBuilder& EPubBuilder::Spine(const std::vector<std::string>& idrefs) {
  hasSpine_ = true;
  spine_.clear();
  for (const auto& id : idrefs) spine_ += "<itemref idref=\"" + id + "\"/>";
  return *this;
}

EPubBuilder& EPubBuilder::File(const std::string& name, const std::string& content) {
  raw_.emplace_back(name, content);
  return *this;
}

EPubBuilder& EPubBuilder::NoContainer() {
  container_ = false;
  return *this;
}

std::string EPubBuilder::Build() const {
  ZipBuilder zip;
  zip.Add("mimetype", "application/epub+zip", false);
  if (container_)
    zip.Add("META-INF/container.xml",
            "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
            "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile full-path=\"" +
                packagePath_ + "\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
  std::string opf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<package xmlns=\"http://www.idpf.org/2007/opf\" "
                    "version=\"3.0\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                    "xmlns:opf=\"http://www.idpf.org/2007/opf\">" +
                    metadata_ + "</metadata><manifest>" + manifest_ + "</manifest>";
  if (hasSpine_) opf += "<spine>" + spine_ + "</spine>";
  opf += "</package>";
  zip.Add(packagePath_, opf);
  const size_t slash = packagePath_.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : packagePath_.substr(0, slash + 1);
  for (const auto& [href, content] : files_) zip.Add(dir + href, content);
  for (const auto& [name, content] : raw_) zip.Add(name, content);
  return zip.Build();
}

std::string EPubBuilder::XHTML(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">"
         "<head><title>Head title</title><style>p { color: red }</style></head><body>" +
         body + "</body></html>";
}

}  // namespace zvword::test
