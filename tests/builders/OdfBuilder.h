// Builds small OpenDocument packages for tests: the body, automatic styles, master pages and
// metadata, each given as the XML inside its element.
#pragma once
#include <string>

namespace zvword::test {

class OdfBuilder {
 public:
  // kind: "text", "spreadsheet" or "presentation" (names the media type and the body element).
  explicit OdfBuilder(std::string kind = "text") : kind_(std::move(kind)) {}
  OdfBuilder& Body(std::string xml);
  OdfBuilder& AutomaticStyles(std::string xml);
  // The inside of "office:styles" in styles.xml (named styles).
  OdfBuilder& Styles(std::string xml);
  // The inside of "office:master-styles" in styles.xml.
  OdfBuilder& MasterStyles(std::string xml);
  // The inside of "office:meta" in meta.xml.
  OdfBuilder& Meta(std::string xml);
  // Leave the "mimetype" entry out, or put it after the other entries (deflated).
  OdfBuilder& WithoutMimetype();
  OdfBuilder& MimetypeLast();
  // Mark content.xml encrypted in the manifest.
  OdfBuilder& Encrypted();
  std::string Build() const;
  // content.xml as Build writes it.
  std::string Content() const;
  // The same document as one flat XML file ("office:document"), with or without its media type.
  std::string Flat(bool mediaType = true) const;

  // A paragraph with the given (already escaped) inner XML.
  static std::string P(const std::string& inner, const std::string& style = "");

 private:
  std::string kind_, body_, automatic_, styles_, master_, meta_;
  bool mimetype_ = true, mimetypeLast_ = false, encrypted_ = false;
};

}  // namespace zvword::test
