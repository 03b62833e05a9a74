// The security handler the reader calls for encrypted files: the password-based standard
// handler with RC4 (40 to 128-bit keys), AES-128 and AES-256 crypt filters.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "platform/Types.h"

namespace zvword {

class TZvPDFEncryption {
 public:
  virtual ~TZvPDFEncryption() = default;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v) { FEnabled = v; }
  // Decrypts the bytes of a stream that belongs to object ContentID, generation Gen.
  // Raises "Password is not valid" when the password opens the document neither as user nor as owner.
  virtual RawByteString DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                      const RawByteString& Password, std::string_view Value);
  // The same for a string inside an object; a handler may use another method for strings.
  virtual RawByteString DecryptString(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                      const RawByteString& Password, std::string_view Value) {
    return DecryptStream(ContentID, Gen, DocID, Password, Value);
  }
  virtual bool CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) {
    (void)DocID;
    (void)Password;
    return true;
  }
  // Whether a stream of /Type /Metadata is encrypted.
  virtual bool MetadataEncrypted() const { return true; }

 private:
  bool FEnabled = false;
};

class TZvPDFStandardEncryption : public TZvPDFEncryption {
 public:
  int Algorithm() const { return FAlgorithm; }
  int KeyLength() const { return FKeyLength; }
  int Revision() const { return FRevision; }
  const RawByteString& OwnerPasswordHash() const { return FOwnerPasswordHash; }
  const RawByteString& UserPasswordHash() const { return FUserPasswordHash; }
  uint32_t Permissions() const { return FPermissions; }
  bool EncryptMetadata() const { return FEncryptMetadata; }
  bool MetadataEncrypted() const override { return FEncryptMetadata; }

  void SetAlgorithm(int v) { FAlgorithm = v; }
  void SetKeyLength(int v) { FKeyLength = v; }
  void SetRevision(int v) { FRevision = v; }
  void SetOwnerPasswordHash(const RawByteString& v) { FOwnerPasswordHash = v; }
  void SetUserPasswordHash(const RawByteString& v) { FUserPasswordHash = v; }
  // The wrapped file keys of revisions 5 and 6 (/OE and /UE).
  void SetOwnerKey(const RawByteString& v) { FOwnerKey = v; }
  void SetUserKey(const RawByteString& v) { FUserKey = v; }
  void SetPermissions(uint32_t v) { FPermissions = v; }
  void SetEncryptMetadata(bool v) { FEncryptMetadata = v; }

  bool CanPrintDocument() const { return FPermissions & 0x4; }
  bool CanModifyDocument() const { return FPermissions & 0x8; }
  bool CanExtractContent() const { return FPermissions & 0x10; }
  bool CanModifyAnnotations() const { return FPermissions & 0x20; }
  bool CanFillInForm() const { return FPermissions & 0x100; }
  bool CanFormFieldFill2() const { return FPermissions & 0x200; }
  bool CanContentCopy2() const { return FPermissions & 0x400; }
  bool CanContentAccessibility() const { return FPermissions & 0x800; }
  bool CanPrintDocumentHighLevel() const { return FPermissions & 0x1000; }

  // The password followed by the padding string, cut to Len bytes; the padding alone for "".
  static RawByteString GetPaddedPassword(const RawByteString& Password, int Len);
  // The file key from a user password (revisions 2 to 4); n = KeyLength / 8 bytes.
  void ComputeKey(const RawByteString& DocID, const RawByteString& Password, RawByteString& Key) const;
  // The /U value a user password gives (revisions 2 to 4); leaves the file key in LastComputedKey.
  RawByteString ComputeUserPassword(const RawByteString& DocID, const RawByteString& Password);
  // The user password an owner password unlocks (revisions 2 to 4).
  RawByteString ComputeOwnerToUserPassword(const RawByteString& Password) const;
  const RawByteString& LastComputedKey() const { return FLastComputedKey; }
  // Whether the last successful authentication was with the owner password.
  bool AuthenticatedAsOwner() const { return FAuthenticatedAsOwner; }

  // The hash revisions 5 and 6 derive keys and check passwords with.
  RawByteString HashR56(const RawByteString& Password, std::string_view Salt, std::string_view UserKey) const;

 protected:
  // Authenticates once per document identifier and password pair and keeps the file key.
  bool Authenticate(const RawByteString& DocID, const RawByteString& Password);
  bool AuthenticateR234(const RawByteString& DocID, const RawByteString& Password);
  bool AuthenticateR56(const RawByteString& Password);
  // The key of one object: RC4 when !Aes, AES-128 when Aes and the file key is short,
  // the file key itself for AES-256.
  const RawByteString& ObjectKey(int32_t Num, int32_t Gen, bool Aes);
  static RawByteString RC4Decrypt(const RawByteString& Key, std::string_view Value);
  static RawByteString AESDecrypt(const RawByteString& Key, std::string_view Value);

  int FAlgorithm = 0;
  int FKeyLength = 40;
  int FRevision = 0;
  RawByteString FOwnerPasswordHash;
  RawByteString FUserPasswordHash;
  RawByteString FOwnerKey;
  RawByteString FUserKey;
  uint32_t FPermissions = 0;
  bool FEncryptMetadata = true;

  RawByteString FLastComputedKey;
  bool FAuthenticatedAsOwner = false;

 private:
  int FAuthState = 0;  // 0 not tried, 1 passed, -1 failed (for FAuthDocID/FAuthPassword)
  RawByteString FAuthDocID;
  RawByteString FAuthPassword;
  // The last object key, reused while consecutive strings belong to one object.
  int32_t FKeyNum = -1;
  int32_t FKeyGen = -1;
  bool FKeyAes = false;
  RawByteString FObjectKey;
};

// Dictionary versions 1 and 2: RC4 with the file key.
class TZvPDFStandardAlgorithm12 : public TZvPDFStandardEncryption {
 public:
  RawByteString DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                              const RawByteString& Password, std::string_view Value) override;
  bool CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) override;
};

class TZvPDFCryptFilter {
 public:
  WideString CFM = u"/None";  // /None, /V2, /AESV2, /AESV3
  WideString AuthEvent;
  int Length = 0;
};

// Dictionary versions 4 and 5: named crypt filters for streams and strings.
class TZvPDFStandardCryptFilter : public TZvPDFStandardEncryption {
 public:
  TZvPDFStandardCryptFilter();
  // The filter StmF names (the standard one when several are defined).
  TZvPDFCryptFilter& CF() { return *FCF; }
  WideString StmF = u"/Identity";
  WideString StrF = u"/Identity";
  WideString EFF;
  // Every filter of the /CF dictionary by name (with its slash).
  std::map<WideString, TZvPDFCryptFilter> Filters;

  RawByteString DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                              const RawByteString& Password, std::string_view Value) override;
  RawByteString DecryptString(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                              const RawByteString& Password, std::string_view Value) override;
  bool CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) override;
  // Checks the filters' length, method and event; raises with the matching message.
  void Validate();

 private:
  RawByteString Apply(const WideString& FilterName, int32_t Num, int32_t Gen, std::string_view Value);
  std::unique_ptr<TZvPDFCryptFilter> FCF;
};

}  // namespace zvword
