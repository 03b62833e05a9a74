// extract.cpp: prints a document's properties and text, whatever its supported format.
#include <zvword/zvword.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    const std::string bytes = zvword::TFileStream(std::string(argv[1])).ReadAll();
    std::unique_ptr<zvword::TMSWBaseDocument> reader = zvword::CreateReaderFor(bytes, argv[1]);
    if (!reader) throw zvword::Exception("not a format this build reads");
    zvword::TBytesView stream(bytes);
    reader->LoadFromStream(stream);
    if (const zvword::TZvWordSummaryInformation* summary = reader->SummaryInformation())
      std::cout << "Title: " << zvword::WideToUtf8(summary->Title()) << '\n';
    std::cout << zvword::WideToUtf8(reader->Text()->WideText()) << '\n';
  } catch (const zvword::Exception& e) {
    std::cerr << argv[1] << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}
