// The FictionBook 2 reader: the text of every body of the book (the main text, then the notes)
// and the summary properties of its description. A book zipped alone (.fb2.zip) is read too.
#pragma once
#include <memory>
#include <string_view>

#include "framework/MSW_Sum.h"
#include "framework/TextSink.h"
#include "support/ZvWXML.h"

namespace zvword {

class ZVWORD_API TFictionBook : public TMSWBaseDocument {
 public:
  explicit TFictionBook(TComponent* AOwner = nullptr);
  ~TFictionBook() override;

  void ClearInternalLists() override;
  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;
  // Reads the book's bytes (XML, not zipped) into List.
  void LoadXMLFilePart(std::string_view Bytes, TWideStrings* List);

  TZvWordSummaryInformation* SummaryInformation() const override { return FSummaryInformation.get(); }
  void SetSummaryInformation(const TZvWordSummaryInformation& Value) { FSummaryInformation->Assign(Value); }

  // True for XML whose document element is FictionBook, or a ZIP holding a .fb2 file.
  static bool IsFictionBookData(std::string_view Bytes);

 private:
  void ReadSummary(TZvXMLItem* Description);

  std::unique_ptr<TZvWordSummaryInformation> FSummaryInformation;
  TTextSink FSink;
};

}  // namespace zvword
