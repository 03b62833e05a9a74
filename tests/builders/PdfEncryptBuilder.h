// Builds encrypted one-page PDF files in memory, the way a writer applies the standard
// security handler: RC4 (revisions 2 to 4), AES-128 (revision 4) and AES-256 (revisions 5, 6).
#pragma once
#include <cstdint>
#include <string>

namespace zvword::testing {

struct PdfEncryptOptions {
  int V = 2;
  int R = 3;
  int KeyBits = 128;
  std::string Cfm = "V2";  // crypt filter method for V 4 and 5: V2, AESV2, AESV3
  std::string UserPassword;
  std::string OwnerPassword = "owner";
  int32_t P = -4;
  bool EncryptMetadata = true;
  std::string ID = std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF\xFE\xDC\xBA\x98\x76\x54\x32\x10", 16);
  bool IDAsLiteral = false;  // write the identifier as a literal string instead of hex
  int ContentGen = 0;        // generation number of the content stream object
  std::string Title = "Encrypted title";
  std::string Text = "Hello encrypted world";
  std::string XmpTitle;          // when set, a metadata stream carries this title and the
  bool InfoWithoutTitle = false;  // information dictionary may leave its own out
  std::string ExtraEncryptEntries;  // put first in the encryption dictionary, as written
  std::string CryptFilterEntries = "/AuthEvent /DocOpen";  // entries put first in /StdCF
};

std::string MakeEncryptedPdf(const PdfEncryptOptions& o);

}  // namespace zvword::testing
