// Builds PDF files in memory for tests: objects, streams with filters, classic or stream
// cross-references, object streams and incremental updates.
#pragma once
#include <string>
#include <vector>

namespace zvword::testing {

enum class PdfFilter { None, Flate, ASCIIHex, ASCII85 };
enum class PdfXRef { Table, Stream };

class PdfBuilder {
 public:
  explicit PdfBuilder(std::string version = "1.4") : version_(std::move(version)) {}

  // Adds an object with its body as written ("<< /Type /Catalog ... >>"); returns its number.
  int Add(const std::string& body);
  // Adds a stream; dict holds the dictionary's entries without "<<" ">>" (Length and Filter are added).
  int AddStream(const std::string& dict, const std::string& data, PdfFilter filter = PdfFilter::None);
  // Adds an object that goes into an object stream of the current section (stream cross-references only).
  int AddCompressed(const std::string& body);
  // Reserves a number to define later with Set.
  int Reserve() { return next_++; }
  void Set(int num, const std::string& body);
  void SetStream(int num, const std::string& dict, const std::string& data, PdfFilter filter = PdfFilter::None);
  void SetRoot(int num) { root_ = num; }
  void SetInfo(int num) { info_ = num; }
  // Starts an incremental update: later objects go into a new section that points back to this one.
  void BeginUpdate() { sections_.emplace_back(); }
  // The file. With startxref false the file ends without a startxref line.
  std::string Build(PdfXRef kind = PdfXRef::Table, bool startxref = true);

  static std::string Encode(const std::string& data, PdfFilter filter);
  static std::string FilterName(PdfFilter filter);

 private:
  struct Obj {
    int num;
    std::string body;
    bool compressed;
  };
  std::string version_;
  int next_ = 1;
  int root_ = 0, info_ = 0;
  std::vector<std::vector<Obj>> sections_{1};
};

// A document with one page per content string, all using one Helvetica font named /F1 (WinAnsi).
std::string MakeTextPdf(const std::vector<std::string>& pageContents, PdfXRef kind = PdfXRef::Table,
                        PdfFilter filter = PdfFilter::None);

}  // namespace zvword::testing
