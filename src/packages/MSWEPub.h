// The EPUB reader: the text of an e-book's content documents in reading order, its summary
// properties from the package metadata and the bytes of its cover image.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "framework/MSW_Sum.h"
#include "framework/TextSink.h"
#include "support/ZvWXML.h"
#include "support/ZvWZipFile.h"

namespace zvword {

class ZVWORD_API TZvWEPub : public TMSWBaseDocument {
 public:
  explicit TZvWEPub(TComponent* AOwner = nullptr);
  ~TZvWEPub() override;

  void ClearInternalLists() override;
  void LoadFromFile(const WideString& AFileName) override;
  void LoadFromStream(TStream& Stream) override;

  TZvWordSummaryInformation* SummaryInformation() const override { return FSummaryInformation.get(); }
  void SetSummaryInformation(const TZvWordSummaryInformation& Value) { FSummaryInformation->Assign(Value); }
  // The cover image's bytes as stored; empty when the book has none.
  TMemoryStream* CoverImage() const { return FCoverImage.get(); }
  // Content documents read by the last load (each is read once, however often the spine lists it).
  int ContentDocumentCount() const { return FContentDocuments; }

  // True when the bytes are a ZIP holding an EPUB container (or declaring the EPUB media type).
  static bool IsEPubData(std::string_view Bytes);

 private:
  void ReadPackage(const TZipArchive& Zip, const std::string& Path);
  void ReadContentDocument(const RawByteString& Bytes);
  RawByteString ReadPart(const TZipArchive& Zip, std::string_view Name);

  std::unique_ptr<TZvWordSummaryInformation> FSummaryInformation;
  std::unique_ptr<TMemoryStream> FCoverImage;
  int FContentDocuments = 0;
  TTextSink FSink;
};

}  // namespace zvword
