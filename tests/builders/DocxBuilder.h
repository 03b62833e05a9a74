// Builds small Word 2007+ packages for tests: body, notes, headers, footers, comments and
// property parts, each given as the XML inside its part's document element.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zvword::test {

class DocxBuilder {
 public:
  DocxBuilder& Body(std::string xml);
  DocxBuilder& Footnotes(std::string xml);
  DocxBuilder& Endnotes(std::string xml);
  DocxBuilder& Header(std::string xml);
  DocxBuilder& Footer(std::string xml);
  DocxBuilder& Comments(std::string xml);
  DocxBuilder& Core(std::string xml);
  DocxBuilder& App(std::string xml);
  // Leave out the main part's relationships (parts are then found by name).
  DocxBuilder& WithoutRelationships();
  // Store the parts instead of deflating them.
  DocxBuilder& Stored();
  // The settings part (note numbering).
  DocxBuilder& Settings(std::string xml);
  // A chart ("charts/chart1.xml") or diagram data part ("diagrams/data1.xml") given whole; the
  // main part's relationships name the n-th one added "gn" (g1, g2...).
  DocxBuilder& Graphic(std::string name, std::string xml);
  std::string Build() const;
  // The same parts as one flat XML package.
  std::string BuildFlat() const;
  // A Word 2003 XML document of the given body (inside a section) and document properties.
  static std::string WordML(const std::string& body, const std::string& properties = "");

  // A paragraph of one run with the given text (already escaped for XML).
  static std::string P(const std::string& text);
  // A note of the given type ("" for a normal one).
  static std::string Note(const char* element, int id, const std::string& text, const char* type = "");

 private:
  std::vector<std::pair<std::string, std::string>> Parts() const;
  std::string body_;
  std::string footnotes_, endnotes_, comments_, core_, app_;
  std::vector<std::string> headers_, footers_;
  std::vector<std::pair<std::string, std::string>> extra_;
  std::string settings_;
  bool rels_ = true;
  bool deflate_ = true;
};

}  // namespace zvword::test
