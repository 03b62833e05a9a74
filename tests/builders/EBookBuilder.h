// Builds EPUB books in memory for tests: a container, one package document with its metadata,
// manifest and spine, and the content documents.
#pragma once
#include <string>
#include <vector>

#include "framework/MSWBase.h"

namespace zvword::test {

// The non-empty lines of a list, each ended by "\n".
std::string Lines(const TWideStrings& List);
// Loads Bytes in the mode and gives the body's non-empty lines without the output's frame (the
// RTF or HTML prologue and epilogue); a load that throws gives "error: " and its message.
std::string BodyLines(TMSWBaseDocument& Doc, const std::string& Bytes, TMSTextFormating Mode);
// Loads Bytes and gives the message of the exception that ended the load; empty when none did.
std::string LoadError(TMSWBaseDocument& Doc, const std::string& Bytes);

class EPubBuilder {
 public:
  // Where the package document goes (the container names it).
  EPubBuilder& PackagePath(const std::string& path);
  // Elements placed inside <metadata>.
  EPubBuilder& Metadata(const std::string& xml);
  // A manifest item and, when content is not empty, the file it names (relative to the package).
  EPubBuilder& Item(const std::string& id, const std::string& href, const std::string& content,
                    const std::string& mediaType = "application/xhtml+xml", const std::string& properties = "");
  // The spine's itemrefs; without a call the package has no spine.
  EPubBuilder& Spine(const std::vector<std::string>& idrefs);
  // Any other archive entry, by its full name.
  EPubBuilder& File(const std::string& name, const std::string& content);
  // Leaves META-INF/container.xml out.
  EPubBuilder& NoContainer();
  std::string Build() const;

  // A content document whose body holds the given markup.
  static std::string XHTML(const std::string& body);

 private:
  std::string packagePath_ = "OEBPS/content.opf";
  std::string metadata_;
  std::string manifest_;
  std::string spine_;
  bool hasSpine_ = false;
  bool container_ = true;
  std::vector<std::pair<std::string, std::string>> files_;  // relative to the package
  std::vector<std::pair<std::string, std::string>> raw_;    // full names
};

}  // namespace zvword::test
