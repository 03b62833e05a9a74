#include "builders/OdfBuilder.h"

#include "builders/ZipBuilder.h"

namespace zvword::test {
namespace {

const char* kNamespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " xmlns:xlink=\"http://www.w3.org/1999/xlink\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
    " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\"";
const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

OdfBuilder& OdfBuilder::Body(std::string xml) { body_ = std::move(xml); return *this; }
OdfBuilder& OdfBuilder::AutomaticStyles(std::string xml) { automatic_ = std::move(xml); return *this; }
OdfBuilder& OdfBuilder::Styles(std::string xml) { styles_ = std::move(xml); return *this; }
OdfBuilder& OdfBuilder::MasterStyles(std::string xml) { master_ = std::move(xml); return *this; }
OdfBuilder& OdfBuilder::Meta(std::string xml) { meta_ = std::move(xml); return *this; }
OdfBuilder& OdfBuilder::WithoutMimetype() { mimetype_ = false; return *this; }
OdfBuilder& OdfBuilder::MimetypeLast() { mimetypeLast_ = true; return *this; }
OdfBuilder& OdfBuilder::Encrypted() { encrypted_ = true; return *this; }

std::string OdfBuilder::P(const std::string& inner, const std::string& style) {
  return "<text:p" + (style.empty() ? std::string() : " text:style-name=\"" + style + "\"") + ">" + inner + "</text:p>";
}

std::string OdfBuilder::Content() const {
  return std::string(kDeclaration) + "<office:document-content" + kNamespaces + " office:version=\"1.2\">" +
         "<office:automatic-styles>" + automatic_ + "</office:automatic-styles><office:body><office:" + kind_ + ">" +
         body_ + "</office:" + kind_ + "></office:body></office:document-content>";
}

std::string OdfBuilder::Flat(bool mediaType) const {
  return std::string(kDeclaration) + "<office:document" + kNamespaces + " office:version=\"1.2\"" +
         (mediaType ? " office:mimetype=\"application/vnd.oasis.opendocument." + kind_ + "\"" : "") +
         "><office:meta>" + meta_ + "</office:meta><office:styles>" + styles_ +
         "</office:styles><office:automatic-styles>" + automatic_ + "</office:automatic-styles><office:master-styles>" +
         master_ + "</office:master-styles><office:body><office:" + kind_ + ">" + body_ + "</office:" + kind_ +
         "></office:body></office:document>";
}

std::string OdfBuilder::Build() const {
  const std::string mediaType = "application/vnd.oasis.opendocument." + kind_;
  const std::string manifest =
      std::string(kDeclaration) +
      "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
      "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" + mediaType + "\"/>"
      "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">" +
      (encrypted_ ? "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\"/>" : "") +
      "</manifest:file-entry></manifest:manifest>";
  ZipBuilder zip;
  if (mimetype_ && !mimetypeLast_) zip.Add("mimetype", mediaType, false);
  zip.Add("content.xml", Content());
  zip.Add("styles.xml", std::string(kDeclaration) + "<office:document-styles" + kNamespaces +
                            "><office:styles>" + styles_ + "</office:styles><office:master-styles>" + master_ + "</office:master-styles></office:document-styles>");
  zip.Add("meta.xml", std::string(kDeclaration) + "<office:document-meta" + kNamespaces + "><office:meta>" + meta_ +
                          "</office:meta></office:document-meta>");
  zip.Add("META-INF/manifest.xml", manifest);
  if (mimetype_ && mimetypeLast_) zip.Add("mimetype", mediaType, true);
  return zip.Build();
}

}  // namespace zvword::test
