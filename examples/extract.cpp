// Prints the text of each file named on the command line, whatever its supported format.
#include <iostream>

#include "zvword.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    try {
      const std::string bytes = zvword::TFileStream(std::string(argv[i])).ReadAll();
      std::unique_ptr<zvword::TMSWBaseDocument> reader = zvword::CreateReaderFor(bytes, argv[i]);
      if (!reader) throw zvword::Exception("not a format this build reads");
      zvword::TBytesView stream(bytes);
      reader->LoadFromStream(stream);
      std::cout << zvword::WideToUtf8(reader->Text()->WideText()) << '\n';
    } catch (const zvword::Exception& e) {
      std::cerr << argv[i] << ": " << e.what() << '\n';
      status = 1;
    }
  }
  return status;
}
