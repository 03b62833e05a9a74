#include "builders/DocxBuilder.h"

#include "builders/ZipBuilder.h"

namespace zvword::test {
namespace {
const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kNs =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
    " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
    " xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\"";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Part(const std::string& element, const std::string& inner) {
  return kDecl + ("<" + element + kNs + ">" + inner + "</" + element + ">");
}
}  // namespace

DocxBuilder& DocxBuilder::Body(std::string xml) { body_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::Footnotes(std::string xml) { footnotes_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::Endnotes(std::string xml) { endnotes_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::Header(std::string xml) { headers_.push_back(std::move(xml)); return *this; }
DocxBuilder& DocxBuilder::Footer(std::string xml) { footers_.push_back(std::move(xml)); return *this; }
DocxBuilder& DocxBuilder::Comments(std::string xml) { comments_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::Core(std::string xml) { core_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::App(std::string xml) { app_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::WithoutRelationships() { rels_ = false; return *this; }
DocxBuilder& DocxBuilder::Stored() { deflate_ = false; return *this; }
DocxBuilder& DocxBuilder::Settings(std::string xml) { settings_ = std::move(xml); return *this; }
DocxBuilder& DocxBuilder::Graphic(std::string name, std::string xml) {
  extra_.emplace_back(std::move(name), std::move(xml));
  return *this;
}

std::string DocxBuilder::P(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

std::string DocxBuilder::Note(const char* element, int id, const std::string& text, const char* type) {
  std::string t = *type ? std::string(" w:type=\"") + type + "\"" : "";
  return std::string("<") + element + t + " w:id=\"" + std::to_string(id) + "\">" + P(text) + "</" + element + ">";
}

std::string DocxBuilder::Build() const {
  ZipBuilder zip;
  for (const auto& [name, data] : Parts()) zip.Add(name, data, deflate_);
  return zip.Build();
}

std::string DocxBuilder::BuildFlat() const {
  std::string out = std::string(kDecl) + "<?mso-application progid=\"Word.Document\"?>"
                    "<pkg:package xmlns:pkg=\"http://schemas.microsoft.com/office/2006/xmlPackage\">";
  for (const auto& [name, data] : Parts()) {
    // Inline parts go without their declaration.
    const std::string xml = data.compare(0, 5, "<?xml") == 0 ? data.substr(data.find("?>") + 2) : data;
    out += "<pkg:part pkg:name=\"/" + name + "\" pkg:contentType=\"application/xml\"><pkg:xmlData>" + xml +
           "</pkg:xmlData></pkg:part>";
  }
  return out + "</pkg:package>";
}

std::string DocxBuilder::WordML(const std::string& body, const std::string& properties) {
  return std::string(kDecl) + "<?mso-application progid=\"Word.Document\"?>"
         "<w:wordDocument xmlns:w=\"http://schemas.microsoft.com/office/word/2003/wordml\""
         " xmlns:wx=\"http://schemas.microsoft.com/office/word/2003/auxHint\""
         " xmlns:aml=\"http://schemas.microsoft.com/aml/2001/core\" xmlns:o=\"urn:schemas-microsoft-com:office:office\">"
         "<o:DocumentProperties>" + properties + "</o:DocumentProperties><w:fonts><w:font w:name=\"Arial\"/></w:fonts>"
         "<w:body><wx:sect>" + body + "</wx:sect></w:body></w:wordDocument>";
}

std::vector<std::pair<std::string, std::string>> DocxBuilder::Parts() const {
  std::vector<std::pair<std::string, std::string>> zip;
  auto add = [&zip](const std::string& name, const std::string& data, bool) { zip.emplace_back(name, data); };
  std::string rels = std::string(kDecl) +
                     "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  std::string docRels = rels;
  int id = 1;
  auto rel = [&](std::string& to, const std::string& type, const std::string& target) {
    to += "<Relationship Id=\"rId" + std::to_string(id++) + "\" Type=\"" + kRelNs + type + "\" Target=\"" + target + "\"/>";
  };
  rel(rels, "officeDocument", "word/document.xml");
  add("[Content_Types].xml", std::string(kDecl) + "<Types/>", deflate_);
  add("word/document.xml", Part("w:document", "<w:body>" + body_ + "</w:body>"), deflate_);
  if (!footnotes_.empty()) {
    add("word/footnotes.xml", Part("w:footnotes", footnotes_), deflate_);
    rel(docRels, "footnotes", "footnotes.xml");
  }
  if (!endnotes_.empty()) {
    add("word/endnotes.xml", Part("w:endnotes", endnotes_), deflate_);
    rel(docRels, "endnotes", "endnotes.xml");
  }
  for (size_t i = 0; i < headers_.size(); ++i) {
    const std::string name = "header" + std::to_string(i + 1) + ".xml";
    add("word/" + name, Part("w:hdr", headers_[i]), deflate_);
    rel(docRels, "header", name);
  }
  for (size_t i = 0; i < footers_.size(); ++i) {
    const std::string name = "footer" + std::to_string(i + 1) + ".xml";
    add("word/" + name, Part("w:ftr", footers_[i]), deflate_);
    rel(docRels, "footer", "/word/" + name);
  }
  if (!comments_.empty()) {
    add("word/comments.xml", Part("w:comments", comments_), deflate_);
    rel(docRels, "comments", "comments.xml");
  }
  rel(docRels, "hyperlink", "http://example.com/\" TargetMode=\"External");
  if (!core_.empty()) {
    add("docProps/core.xml",
            std::string(kDecl) +
                "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\""
                " xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\">" +
                core_ + "</cp:coreProperties>",
            deflate_);
    rel(rels, "metadata/core-properties", "docProps/core.xml");
  }
  if (!app_.empty()) {
    add("docProps/app.xml",
            std::string(kDecl) +
                "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">" +
                app_ + "</Properties>",
            deflate_);
    rel(rels, "extended-properties", "docProps/app.xml");
  }
  add("_rels/.rels", rels + "</Relationships>", deflate_);
  if (!settings_.empty()) {
    add("word/settings.xml", Part("w:settings", settings_), deflate_);
    rel(docRels, "settings", "settings.xml");
  }
  for (size_t i = 0; i < extra_.size(); ++i) {
    const auto& [name, data] = extra_[i];
    add("word/" + name, data, deflate_);
    docRels += "<Relationship Id=\"g" + std::to_string(i + 1) + "\" Type=\"" + kRelNs +
               (name.compare(0, 7, "charts/") == 0 ? "chart" : "diagramData") + "\" Target=\"" + name + "\"/>";
  }
  if (rels_) add("word/_rels/document.xml.rels", docRels + "</Relationships>", deflate_);
  return zip;
}

}  // namespace zvword::test
