#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "builders/Corpus.h"
#include "builders/PdfEncryptBuilder.h"
#include "pdf/PdfTestUtil.h"
#include "pdf/ZvWPDFSecurity.h"
#include "support/ZvWCrypt.h"

using namespace zvword;
using namespace zvword::testing;

namespace {

struct Opened {
  std::string text;
  std::string title;
  std::string error;
  bool owner = false;
};

Opened Open(const std::string& pdf, const std::string& password) {
  Opened r;
  TZvPDFReader reader;
  reader.SetPassword(password);
  try {
    r.text = PdfText(pdf, tfPlainText, &reader);
    r.title = WideToUtf8(reader.SummaryInformation()->Title());
    if (auto* s = dynamic_cast<TZvPDFStandardEncryption*>(reader.Encryption())) r.owner = s->AuthenticatedAsOwner();
  } catch (const Exception& e) {
    r.error = e.what();
  }
  return r;
}

struct HandlerCase {
  const char* name;
  int V, R, bits;
  const char* cfm;
};

class EncryptedDocument : public ::testing::TestWithParam<HandlerCase> {
 protected:
  PdfEncryptOptions Options(const std::string& user) const {
    PdfEncryptOptions o;
    o.V = GetParam().V;
    o.R = GetParam().R;
    o.KeyBits = GetParam().bits;
    o.Cfm = GetParam().cfm;
    o.UserPassword = user;
    return o;
  }
};

TEST_P(EncryptedDocument, OpensWithEmptyUserPassword) {
  Opened r = Open(MakeEncryptedPdf(Options("")), "");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.text, "Hello encrypted world");
  EXPECT_EQ(r.title, "Encrypted title");  // information strings decrypted with their object's key
  EXPECT_FALSE(r.owner);
}

TEST_P(EncryptedDocument, OpensWithUserPassword) {
  std::string pdf = MakeEncryptedPdf(Options("s3cr\xE9t"));
  Opened r = Open(pdf, "s3cr\xE9t");
  EXPECT_EQ(r.text, "Hello encrypted world") << r.error;
  EXPECT_EQ(r.title, "Encrypted title");
  EXPECT_EQ(Open(pdf, "").error, "Password is not valid");
  EXPECT_EQ(Open(pdf, "s3cret").error, "Password is not valid");
}

TEST_P(EncryptedDocument, Latin1PasswordTypedAsUtf8) {
  if (GetParam().R >= 5) GTEST_SKIP() << "these revisions take UTF-8 passwords";
  std::string pdf = MakeEncryptedPdf(Options("caf\xE9"));
  EXPECT_EQ(Open(pdf, "caf\xC3\xA9").text, "Hello encrypted world");
  EXPECT_EQ(Open(pdf, "caf\xC3\xA8").error, "Password is not valid");
}

TEST_P(EncryptedDocument, OpensWithOwnerPassword) {
  Opened r = Open(MakeEncryptedPdf(Options("user")), "owner");
  EXPECT_EQ(r.text, "Hello encrypted world") << r.error;
  EXPECT_TRUE(r.owner);
}

TEST_P(EncryptedDocument, WrongPasswordFails) {
  EXPECT_EQ(Open(MakeEncryptedPdf(Options("")), "wrong").error, "Password is not valid");
}

TEST_P(EncryptedDocument, NonZeroGenerationTakesPartInTheKey) {
  PdfEncryptOptions o = Options("");
  o.ContentGen = 7;
  EXPECT_EQ(Open(MakeEncryptedPdf(o), "").text, "Hello encrypted world");
}

TEST_P(EncryptedDocument, IdentifierAsLiteralStringIsUsedAsWritten) {
  PdfEncryptOptions o = Options("");
  o.ID = "AbC(x)\\Zq 0123456";  // mixed case and escapes: the key needs these exact bytes
  o.IDAsLiteral = true;
  EXPECT_EQ(Open(MakeEncryptedPdf(o), "").text, "Hello encrypted world");
}

INSTANTIATE_TEST_SUITE_P(Handlers, EncryptedDocument,
                         ::testing::Values(HandlerCase{"Rc4_40_R2", 1, 2, 40, "V2"},
                                           HandlerCase{"Rc4_40_R3", 2, 3, 40, "V2"},
                                           HandlerCase{"Rc4_128_R3", 2, 3, 128, "V2"},
                                           HandlerCase{"Rc4_56_R3", 2, 3, 56, "V2"},
                                           HandlerCase{"Rc4_128_R4", 4, 4, 128, "V2"},
                                           HandlerCase{"Aes128_R4", 4, 4, 128, "AESV2"},
                                           HandlerCase{"Aes256_R5", 5, 5, 256, "AESV3"},
                                           HandlerCase{"Aes256_R6", 5, 6, 256, "AESV3"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncryptedDocument, UnencryptedMetadataStaysReadableAndChangesTheKey) {
  for (const char* cfm : {"V2", "AESV2"}) {
    PdfEncryptOptions o;
    o.V = o.R = 4;
    o.Cfm = cfm;
    o.EncryptMetadata = false;
    o.XmpTitle = "Title from XMP";
    o.InfoWithoutTitle = true;
    TZvPDFReader reader;
    EXPECT_EQ(PdfText(MakeEncryptedPdf(o), tfPlainText, &reader), "Hello encrypted world");
    EXPECT_EQ(WideToUtf8(reader.SummaryInformation()->Title()), "Title from XMP") << cfm;
    EXPECT_EQ(WideToUtf8(reader.SummaryInformation()->Author()), "Ann; Bob");
  }
}

struct RefusalCase {
  const char* what;
  int V, R;
  const char* cfm;
  const char* extra;
  const char* cfEntries;
  const char* message;
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, RaiseTheirMessage) {
  const RefusalCase& c = GetParam();
  PdfEncryptOptions o;
  o.V = c.V;
  o.R = c.R;
  o.Cfm = c.cfm;
  o.ExtraEncryptEntries = c.extra;
  o.CryptFilterEntries = c.cfEntries;
  EXPECT_EQ(PdfError(MakeEncryptedPdf(o)), c.message) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Refusals,
    ::testing::Values(
        RefusalCase{"another handler", 2, 3, "V2", "/Filter /Adobe.PubSec", "",
                    "The encryption method is not supported in current version"},
        RefusalCase{"V 3", 3, 3, "V2", "", "", "Algorithm 3 for Standard encryption is not supported"},
        RefusalCase{"V 9", 9, 3, "V2", "", "", "Unknown algorithm (9) for Standard encryption"},
        RefusalCase{"V 0", 0, 3, "V2", "", "", "Unknown algorithm (0) for Standard encryption"},
        RefusalCase{"V 2 R 5", 2, 5, "V2", "", "",
                    "Unknown (or nonsupported) revision for Standard encryption (Algorithm 1)"},
        RefusalCase{"R 1 never authenticates", 2, 1, "V2", "", "", "Password is not valid"},
        RefusalCase{"key below 40 bits", 2, 3, "V2", "/Length 32", "", "Invalid key length (32) for Standard encryption"},
        RefusalCase{"key not whole bytes", 2, 3, "V2", "/Length 44", "", "Invalid key length (44) for Standard encryption"},
        RefusalCase{"key above 256 bits", 2, 3, "V2", "/Length 512", "",
                    "Invalid key length (512) for Standard encryption"},
        RefusalCase{"crypt filter length", 4, 4, "V2", "", "/Length 130",
                    "Invalid key length (130) for Standard encryption"},
        RefusalCase{"crypt filter method", 4, 4, "Foo", "", "", "Invalid method used (/Foo) for Standard encryption"},
        RefusalCase{"crypt filter event", 4, 4, "V2", "", "/AuthEvent /Never",
                    "Invalid event (/Never) to be to trigger the authorization for Standard encryption"},
        RefusalCase{"unknown stream filter", 4, 4, "V2", "/StmF /Missing", "",
                    "CryptFilter algorithm for Standard encryption is not implemented in current version"}));

TEST(EncryptedDocument, CryptFilterWithoutEventMeansDocumentOpen) {
  PdfEncryptOptions o;
  o.V = o.R = 4;
  o.Cfm = "AESV2";
  o.CryptFilterEntries = "";
  EXPECT_EQ(Open(MakeEncryptedPdf(o), "").text, "Hello encrypted world");
}

TEST(EncryptedDocument, IdentityFiltersNeedNoPassword) {
  PdfEncryptOptions o;
  o.V = o.R = 4;
  o.UserPassword = "attachments only";
  o.ExtraEncryptEntries = "/StmF /Identity /StrF /Identity";
  std::string pdf = MakeEncryptedPdf(o);
  // The builder encrypted the content; under identity filters it is taken as it stands.
  Opened r = Open(pdf, "");
  EXPECT_EQ(r.error, "");
}

TEST(StandardEncryption, PaddedPassword) {
  RawByteString pad = TZvPDFStandardEncryption::GetPaddedPassword("", 32);
  ASSERT_EQ(pad.size(), 32u);
  EXPECT_EQ(uint8_t(pad[0]), 0x28);
  EXPECT_EQ(uint8_t(pad[31]), 0x7A);
  EXPECT_EQ(TZvPDFStandardEncryption::GetPaddedPassword("", 5), pad);  // the padding whatever Len is
  EXPECT_EQ(TZvPDFStandardEncryption::GetPaddedPassword("abc", 32), "abc" + pad.substr(0, 29));
  EXPECT_EQ(TZvPDFStandardEncryption::GetPaddedPassword("abc", 2), "ab");
  EXPECT_EQ(TZvPDFStandardEncryption::GetPaddedPassword(std::string(40, 'x'), 32), std::string(32, 'x'));
}

TEST(StandardEncryption, PermissionQueries) {
  TZvPDFStandardAlgorithm12 h;
  h.SetPermissions(uint32_t(-3904));  // print, modify, copy, annotate off; form and high-quality print off too
  EXPECT_FALSE(h.CanPrintDocument());
  EXPECT_FALSE(h.CanExtractContent());
  h.SetPermissions(0x4 | 0x10 | 0x800);
  EXPECT_TRUE(h.CanPrintDocument());
  EXPECT_FALSE(h.CanModifyDocument());
  EXPECT_TRUE(h.CanExtractContent());
  EXPECT_FALSE(h.CanModifyAnnotations());
  EXPECT_FALSE(h.CanFillInForm());
  EXPECT_TRUE(h.CanContentAccessibility());
  EXPECT_FALSE(h.CanPrintDocumentHighLevel());
  h.SetPermissions(0x8 | 0x20 | 0x100 | 0x200 | 0x400 | 0x1000);
  EXPECT_TRUE(h.CanModifyDocument());
  EXPECT_TRUE(h.CanModifyAnnotations());
  EXPECT_TRUE(h.CanFillInForm());
  EXPECT_TRUE(h.CanFormFieldFill2());
  EXPECT_TRUE(h.CanContentCopy2());
  EXPECT_TRUE(h.CanPrintDocumentHighLevel());
  EXPECT_FALSE(h.CanPrintDocument());
}

TEST(StandardEncryption, PermissionsFromTheFileKeepTheirBitPattern) {
  PdfEncryptOptions o;
  o.P = -3392;  // 0xFFFFF2C0
  TZvPDFReader reader;
  PdfText(MakeEncryptedPdf(o), tfPlainText, &reader);
  auto* h = dynamic_cast<TZvPDFStandardEncryption*>(reader.Encryption());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->Permissions(), 0xFFFFF2C0u);
  EXPECT_EQ(h->Revision(), 3);
  EXPECT_EQ(h->KeyLength(), 128);
  EXPECT_TRUE(h->CanPrintDocumentHighLevel());
  EXPECT_FALSE(h->CanPrintDocument());
}

// The generated corpus holds files encrypted by other writers (qpdf, LibreOffice, Ghostscript).
TEST(EncryptedCorpus, EveryFileOpensWithEachPasswordItAccepts) {
  std::string dir = (corpus::CorpusDir() / "generated").string() + "/";
  ZVWORD_REQUIRE_CORPUS(dir);
  std::ifstream manifest(dir + "manifest.tsv");
  ASSERT_TRUE(manifest) << "no manifest.tsv in " << dir;
  std::string line;
  int files = 0;
  while (std::getline(manifest, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) f.push_back(cell);
    if (f.size() < 15 || f[1] != "pdf" || f[12].empty() || f[0] == "file") continue;
    std::ifstream in(dir + f[0], std::ios::binary);
    std::string pdf((std::istreambuf_iterator<char>(in)), {});
    std::ifstream tin(dir + f[3]);
    std::string truth((std::istreambuf_iterator<char>(tin)), {});
    std::string firstWord = truth.substr(0, truth.find_first_of(" \n"));
    ++files;
    for (const std::string& pw : {f[13], f[14]}) {
      Opened r = Open(pdf, pw);
      EXPECT_EQ(r.error, "") << f[0] << " with '" << pw << "'";
      EXPECT_NE(r.text.find(firstWord), std::string::npos) << f[0];
      EXPECT_EQ(r.title, f[6]) << f[0];
    }
    EXPECT_EQ(Open(pdf, "not-the-password").error, "Password is not valid") << f[0];
  }
  EXPECT_GE(files, 10);
}

}  // namespace

namespace {

// The file key of a revision 2 document is MD5 over the padded password, the owner hash, the
// permissions and the identifier; its user hash is the padding encrypted with that key.
TEST(StandardEncryption, UserHashIsThePaddingUnderTheFileKey) {
  PdfEncryptOptions o;
  o.V = 1;
  o.R = 2;
  o.KeyBits = 40;
  const std::string pdf = MakeEncryptedPdf(o);
  TZvPDFReader reader;
  PdfText(pdf, tfPlainText, &reader);
  auto* s = dynamic_cast<TZvPDFStandardEncryption*>(reader.Encryption());
  ASSERT_NE(s, nullptr);
  MD5Context ctx;
  MD5Init(ctx);
  const RawByteString pad = PASSWORD_PADDING();
  MD5Update(ctx, pad.data(), static_cast<uint32_t>(pad.size()));
  MD5Update(ctx, s->OwnerPasswordHash().data(), static_cast<uint32_t>(s->OwnerPasswordHash().size()));
  const uint32_t p = s->Permissions();
  const uint8_t pBytes[4] = {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)};
  MD5Update(ctx, pBytes, 4);
  MD5Update(ctx, o.ID.data(), static_cast<uint32_t>(o.ID.size()));
  MD5Digest key;
  MD5Final(ctx, key);
  TRC4Context rc4;
  RC4Init(rc4, key.data(), 5);
  RawByteString u;
  RC4Crypt3(rc4, reinterpret_cast<const uint8_t*>(pad.data()), u, 32);
  EXPECT_EQ(u, s->UserPasswordHash());
}

}  // namespace
