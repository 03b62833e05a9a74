// The standard security handler: password checks, file and object keys, RC4 and AES decryption.
#include "pdf/ZvWPDFSecurity.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pdf/ZvWPDF.h"
#include "platform/Exception.h"
#include "platform/TextHelpers.h"
#include "support/ZvWCrypt.h"

namespace zvword {

namespace {

// The 32 bytes a password is padded with.
const char kPadding[33] =
    "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A";

RawByteString Padding() { return RawByteString(kPadding, 32); }

[[noreturn]] void Fail(std::string_view message) { throw Exception(message); }

[[noreturn]] void FailWith(const char* pattern, const WideString& value) {
  throw Exception(FormatMessage(AsciiToWide(pattern), {value}));
}

WideString IntText(int64_t v) { return AsciiToWide(std::to_string(v)); }

const char* const kPasswordInvalid = "Password is not valid";
const char* const kNotImplemented = "CryptFilter algorithm for Standard encryption is not implemented in current version";
const char* const kInvalidLength = "Invalid key length (%s) for Standard encryption";

// Whether two names are equal ignoring ASCII case (the slash included).
bool SameName(const WideString& a, std::u16string_view b) {
  return SameAsciiText(a, b);
}

}  // namespace

// ---- Base ----

RawByteString TZvPDFEncryption::DecryptStream(int32_t, int32_t, const RawByteString& DocID,
                                              const RawByteString& Password, std::string_view Value) {
  if (!CheckAuthentication(DocID, Password)) Fail(kPasswordInvalid);
  return RawByteString(Value);
}

// ---- Standard handler: keys ----

RawByteString TZvPDFStandardEncryption::GetPaddedPassword(const RawByteString& Password, int Len) {
  if (Password.empty()) return Padding();
  RawByteString s = Password + Padding();
  return s.substr(0, static_cast<size_t>(std::max(0, Len)));
}

void TZvPDFStandardEncryption::ComputeKey(const RawByteString& DocID, const RawByteString& Password,
                                          RawByteString& Key) const {
  size_t n = FRevision <= 2 ? 5 : std::clamp<size_t>(static_cast<size_t>(FKeyLength / 8), 5, 16);
  MD5Context ctx;
  MD5Init(ctx);
  RawByteString padded = GetPaddedPassword(Password, 32);
  MD5Update(ctx, padded.data(), uint32_t(padded.size()));
  // Only the 32 bytes the standard defines take part, whatever a writer appended.
  size_t olen = std::min<size_t>(FOwnerPasswordHash.size(), 32);
  MD5Update(ctx, FOwnerPasswordHash.data(), uint32_t(olen));
  uint8_t p[4] = {uint8_t(FPermissions), uint8_t(FPermissions >> 8), uint8_t(FPermissions >> 16),
                  uint8_t(FPermissions >> 24)};
  MD5Update(ctx, p, 4);
  MD5Update(ctx, DocID.data(), uint32_t(std::min<size_t>(DocID.size(), 0xFFFFFFu)));
  if (FRevision >= 4 && !FEncryptMetadata) {
    static const uint8_t ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    MD5Update(ctx, ff, 4);
  }
  MD5Digest d;
  MD5Final(ctx, d);
  if (FRevision >= 3)
    for (int i = 0; i < 50; ++i) {
      MD5Init(ctx);
      MD5Update(ctx, d.data(), uint32_t(n));
      MD5Final(ctx, d);
    }
  Key.assign(reinterpret_cast<const char*>(d.data()), n);
}

RawByteString TZvPDFStandardEncryption::ComputeUserPassword(const RawByteString& DocID, const RawByteString& Password) {
  ComputeKey(DocID, Password, FLastComputedKey);
  if (FRevision <= 2) return RC4Decrypt(FLastComputedKey, Padding());
  RawByteString h = MD5Of(Padding() + DocID);
  RawByteString key = FLastComputedKey;
  for (int i = 0; i < 20; ++i) {
    for (size_t k = 0; k < key.size(); ++k) key[k] = char(uint8_t(FLastComputedKey[k]) ^ i);
    h = RC4Decrypt(key, h);
  }
  return h;
}

RawByteString TZvPDFStandardEncryption::ComputeOwnerToUserPassword(const RawByteString& Password) const {
  size_t n = FRevision <= 2 ? 5 : std::clamp<size_t>(static_cast<size_t>(FKeyLength / 8), 5, 16);
  RawByteString d = MD5Of(GetPaddedPassword(Password, 32));
  if (FRevision >= 3)
    for (int i = 0; i < 50; ++i) d = MD5Of(d);
  RawByteString key = d.substr(0, n);
  RawByteString o = FOwnerPasswordHash.substr(0, 32);
  if (FRevision <= 2) return RC4Decrypt(key, o);
  RawByteString k = key;
  for (int i = 19; i >= 0; --i) {
    for (size_t j = 0; j < k.size(); ++j) k[j] = char(uint8_t(key[j]) ^ i);
    o = RC4Decrypt(k, o);
  }
  return o;
}

bool TZvPDFStandardEncryption::AuthenticateR234(const RawByteString& DocID, const RawByteString& Password) {
  auto userMatches = [&](const RawByteString& pw) {
    RawByteString u = ComputeUserPassword(DocID, pw);
    size_t cmp = FRevision <= 2 ? 32 : 16;
    return FUserPasswordHash.size() >= cmp && u.size() >= cmp && std::memcmp(u.data(), FUserPasswordHash.data(), cmp) == 0;
  };
  FAuthenticatedAsOwner = false;
  // Passwords of these revisions are single-byte text; one typed as UTF-8 is tried as Latin-1 too.
  std::vector<RawByteString> tries{Password};
  if (std::any_of(Password.begin(), Password.end(), [](char c) { return uint8_t(c) >= 0x80; })) {
    WideString w = Utf8ToWide(Password);
    if (std::all_of(w.begin(), w.end(), [](char16_t c) { return c <= 0xFF; })) tries.emplace_back(w.begin(), w.end());
  }
  for (const RawByteString& pw : tries) {
    if (userMatches(pw)) return true;
    // Many users know only the owner password: it unlocks the user password.
    if (FOwnerPasswordHash.size() >= 32 && userMatches(ComputeOwnerToUserPassword(pw))) {
      FAuthenticatedAsOwner = true;
      return true;
    }
  }
  return false;
}

RawByteString TZvPDFStandardEncryption::HashR56(const RawByteString& Password, std::string_view Salt,
                                                std::string_view UserKey) const {
  RawByteString pw = Password.substr(0, 127);
  RawByteString k = SHA256Of(pw + RawByteString(Salt) + RawByteString(UserKey));
  if (FRevision < 6) return k;
  RawByteString block, e;
  for (int round = 1;; ++round) {
    RawByteString unit = pw + k + RawByteString(UserKey);
    block.clear();
    block.reserve(unit.size() * 64);
    for (int i = 0; i < 64; ++i) block += unit;
    AESContext aes;
    AES_SetKey_Enc(aes, reinterpret_cast<const uint8_t*>(k.data()), 128);
    uint8_t iv[16];
    std::memcpy(iv, k.data() + 16, 16);
    e.resize(block.size());
    AES_CBC_Encrypt(aes, iv, reinterpret_cast<const uint8_t*>(block.data()), reinterpret_cast<uint8_t*>(e.data()),
                    block.size() / 16);
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += uint8_t(e[size_t(i)]);
    switch (sum % 3) {
      case 0: k = SHA256Of(e); break;
      case 1: k = SHA384Of(e); break;
      default: k = SHA512Of(e); break;
    }
    if (round >= 64 && uint8_t(e.back()) <= round - 32) break;
  }
  return k.substr(0, 32);
}

bool TZvPDFStandardEncryption::AuthenticateR56(const RawByteString& Password) {
  if (FUserPasswordHash.size() < 48 || FOwnerPasswordHash.size() < 48) return false;
  std::string_view u(FUserPasswordHash), o(FOwnerPasswordHash);
  auto unwrap = [&](const RawByteString& intermediate, const RawByteString& wrapped) {
    if (wrapped.size() < 32) return false;
    AESContext aes;
    AES_SetKey_Dec(aes, reinterpret_cast<const uint8_t*>(intermediate.data()), 256);
    uint8_t iv[16] = {0};
    FLastComputedKey.assign(32, '\0');
    AES_CBC_Decrypt(aes, iv, reinterpret_cast<const uint8_t*>(wrapped.data()),
                    reinterpret_cast<uint8_t*>(FLastComputedKey.data()), 2);
    return true;
  };
  FAuthenticatedAsOwner = false;
  if (HashR56(Password, u.substr(32, 8), {}) == u.substr(0, 32))
    return unwrap(HashR56(Password, u.substr(40, 8), {}), FUserKey);
  std::string_view u48 = u.substr(0, 48);
  if (HashR56(Password, o.substr(32, 8), u48) == o.substr(0, 32)) {
    FAuthenticatedAsOwner = true;
    return unwrap(HashR56(Password, o.substr(40, 8), u48), FOwnerKey);
  }
  return false;
}

bool TZvPDFStandardEncryption::Authenticate(const RawByteString& DocID, const RawByteString& Password) {
  // The file key is derived once per document and password, not once per stream.
  if (FAuthState != 0 && DocID == FAuthDocID && Password == FAuthPassword) return FAuthState > 0;
  bool ok = FRevision >= 5 ? AuthenticateR56(Password) : AuthenticateR234(DocID, Password);
  FAuthState = ok ? 1 : -1;
  FAuthDocID = DocID;
  FAuthPassword = Password;
  FKeyNum = FKeyGen = -1;
  return ok;
}

const RawByteString& TZvPDFStandardEncryption::ObjectKey(int32_t Num, int32_t Gen, bool Aes) {
  if (Aes && FLastComputedKey.size() == 32) return FLastComputedKey;
  if (Num == FKeyNum && Gen == FKeyGen && Aes == FKeyAes) return FObjectKey;
  RawByteString s = FLastComputedKey;
  s += char(Num & 0xFF);
  s += char((Num >> 8) & 0xFF);
  s += char((Num >> 16) & 0xFF);
  s += char(Gen & 0xFF);
  s += char((Gen >> 8) & 0xFF);
  if (Aes) s += "sAlT";
  FObjectKey = MD5Of(s).substr(0, std::min<size_t>(FLastComputedKey.size() + 5, 16));
  FKeyNum = Num;
  FKeyGen = Gen;
  FKeyAes = Aes;
  return FObjectKey;
}

RawByteString TZvPDFStandardEncryption::RC4Decrypt(const RawByteString& Key, std::string_view Value) {
  TRC4Context ctx;
  RC4Init(ctx, reinterpret_cast<const uint8_t*>(Key.data()), uint32_t(Key.size()));
  RawByteString out;
  RC4Crypt3(ctx, reinterpret_cast<const uint8_t*>(Value.data()), out, int(std::min<size_t>(Value.size(), 0x7FFFFFFF)));
  RC4Done(ctx);
  return out;
}

RawByteString TZvPDFStandardEncryption::AESDecrypt(const RawByteString& Key, std::string_view Value) {
  // The first block is the initialisation vector; a damaged tail shorter than a block is dropped.
  if (Value.size() < 32) return {};
  AESContext ctx;
  if (!AES_SetKey_Dec(ctx, reinterpret_cast<const uint8_t*>(Key.data()), int(Key.size() * 8))) return {};
  uint8_t iv[16];
  std::memcpy(iv, Value.data(), 16);
  size_t blocks = (Value.size() - 16) / 16;
  RawByteString out(blocks * 16, '\0');
  AES_CBC_Decrypt(ctx, iv, reinterpret_cast<const uint8_t*>(Value.data() + 16), reinterpret_cast<uint8_t*>(out.data()),
                  blocks);
  uint8_t pad = uint8_t(out.back());
  if (pad >= 1 && pad <= 16) out.resize(out.size() - pad);
  return out;
}

// ---- Versions 1 and 2 ----

bool TZvPDFStandardAlgorithm12::CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) {
  if (!TZvPDFEncryption::CheckAuthentication(DocID, Password)) return false;
  if (FAlgorithm != 1 && FAlgorithm != 2) return true;
  if (FRevision >= 5) Fail("Unknown (or nonsupported) revision for Standard encryption (Algorithm 1)");
  if (FRevision < 2) return false;
  return Authenticate(DocID, Password);
}

RawByteString TZvPDFStandardAlgorithm12::DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                                       const RawByteString& Password, std::string_view Value) {
  if (!CheckAuthentication(DocID, Password)) Fail(kPasswordInvalid);
  return RC4Decrypt(ObjectKey(ContentID, Gen, false), Value);
}

// ---- Versions 4 and 5: crypt filters ----

TZvPDFStandardCryptFilter::TZvPDFStandardCryptFilter() : FCF(std::make_unique<TZvPDFCryptFilter>()) {}

void TZvPDFStandardCryptFilter::Validate() {
  auto check = [](const TZvPDFCryptFilter& f) {
    // Lengths up to 32 count bytes, as most writers put them; larger ones count bits.
    if (f.Length > 32 && f.Length % 8 != 0) FailWith(kInvalidLength, IntText(f.Length));
    if (!SameName(f.CFM, u"/None") && !SameName(f.CFM, u"/V2") && !SameName(f.CFM, u"/AESV2") &&
        !SameName(f.CFM, u"/AESV3"))
      FailWith("Invalid method used (%s) for Standard encryption", f.CFM);
    // An absent event means opening the document.
    if (!f.AuthEvent.empty() && !SameName(f.AuthEvent, u"/DocOpen") && !SameName(f.AuthEvent, u"/EFOpen"))
      FailWith("Invalid event (%s) to be to trigger the authorization for Standard encryption", f.AuthEvent);
  };
  check(*FCF);
  for (const auto& [name, f] : Filters) check(f);
  for (const WideString* n : {&StmF, &StrF})
    if (!SameName(*n, u"/Identity") && Filters.find(*n) == Filters.end()) Fail(kNotImplemented);
}

bool TZvPDFStandardCryptFilter::CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) {
  if (!TZvPDFEncryption::CheckAuthentication(DocID, Password)) return false;
  Validate();
  // When streams and strings are in the clear (the password guards only embedded files),
  // the document opens whatever the password.
  if (SameName(StmF, u"/Identity") && SameName(StrF, u"/Identity")) return true;
  if (FRevision < 2 || FRevision > 6) return false;
  return Authenticate(DocID, Password);
}

RawByteString TZvPDFStandardCryptFilter::Apply(const WideString& FilterName, int32_t Num, int32_t Gen,
                                               std::string_view Value) {
  if (SameName(FilterName, u"/Identity")) return RawByteString(Value);
  auto it = Filters.find(FilterName);
  if (it == Filters.end()) Fail(kNotImplemented);
  const WideString& m = it->second.CFM;
  if (SameName(m, u"/V2")) return RC4Decrypt(ObjectKey(Num, Gen, false), Value);
  if (SameName(m, u"/AESV2") || SameName(m, u"/AESV3")) return AESDecrypt(ObjectKey(Num, Gen, true), Value);
  return RawByteString(Value);  // /None: the data is not encrypted by this handler
}

RawByteString TZvPDFStandardCryptFilter::DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                                       const RawByteString& Password, std::string_view Value) {
  if (!CheckAuthentication(DocID, Password)) Fail(kPasswordInvalid);
  return Apply(StmF, ContentID, Gen, Value);
}

RawByteString TZvPDFStandardCryptFilter::DecryptString(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                                       const RawByteString& Password, std::string_view Value) {
  if (!CheckAuthentication(DocID, Password)) Fail(kPasswordInvalid);
  return Apply(StrF, ContentID, Gen, Value);
}

// ---- The reader's side ----

void TZvPDFReader::ParseEncryption() {
  if (FEncryptEntry.Kind == pokNull) return;
  const char* unsupported = "The encryption method is not supported in current version";
  const TZvPDFObject& d = Resolve(FEncryptEntry);
  if (!d.IsDict()) Fail(unsupported);
  const TZvPDFObject* filter = ResolveKey(d, "Filter");
  if (!filter || !filter->IsName("Standard")) Fail(unsupported);
  auto intOf = [&](const char* key, int64_t def) {
    const TZvPDFObject* v = ResolveKey(d, key);
    return v && v->IsNumber() ? static_cast<int64_t>(v->Number()) : def;
  };
  auto strOf = [&](const char* key) {
    const TZvPDFObject* v = ResolveKey(d, key);
    return v && v->Kind == pokString ? v->Str : RawByteString();
  };
  auto nameOf = [&](const TZvPDFObject& dict, const char* key, const char16_t* def) {
    const TZvPDFObject* v = ResolveKey(dict, key);
    return v && v->Kind == pokName ? u"/" + AsciiToWide(v->Str) : WideString(def);
  };
  int64_t v = intOf("V", 0);
  std::unique_ptr<TZvPDFStandardEncryption> h;
  TZvPDFStandardCryptFilter* cf = nullptr;
  if (v == 1 || v == 2) {
    h = std::make_unique<TZvPDFStandardAlgorithm12>();
  } else if (v == 3) {
    Fail("Algorithm 3 for Standard encryption is not supported");
  } else if (v == 4 || v == 5) {
    auto c = std::make_unique<TZvPDFStandardCryptFilter>();
    cf = c.get();
    h = std::move(c);
  } else {
    FailWith("Unknown algorithm (%s) for Standard encryption", IntText(v));
  }
  h->SetAlgorithm(static_cast<int>(v));
  int64_t length = intOf("Length", 40);
  // A key must have at least 40 bits and whole bytes; keys derived with MD5 stop at 128 bits.
  if (length < 40 || length > 256 || length % 8 != 0) FailWith(kInvalidLength, IntText(length));
  if (v == 1) length = 40;
  h->SetKeyLength(static_cast<int>(length));
  h->SetRevision(static_cast<int>(intOf("R", 0)));
  h->SetOwnerPasswordHash(strOf("O"));
  h->SetUserPasswordHash(strOf("U"));
  h->SetOwnerKey(strOf("OE"));
  h->SetUserKey(strOf("UE"));
  h->SetPermissions(static_cast<uint32_t>(intOf("P", 0)));
  const TZvPDFObject* em = ResolveKey(d, "EncryptMetadata");
  h->SetEncryptMetadata(!(em && em->Kind == pokBool && !em->Bool));
  if (cf) {
    const TZvPDFObject* cfs = ResolveKey(d, "CF");
    if (cfs && cfs->IsDict())
      for (size_t i = 0; i < cfs->Keys.size(); ++i) {
        const TZvPDFObject& fd = Resolve(cfs->Items[i]);
        if (!fd.IsDict()) continue;
        TZvPDFCryptFilter f;
        f.CFM = nameOf(fd, "CFM", u"/None");
        f.AuthEvent = nameOf(fd, "AuthEvent", u"");
        const TZvPDFObject* l = ResolveKey(fd, "Length");
        f.Length = l && l->IsNumber() ? static_cast<int>(l->Number()) : 0;
        cf->Filters[u"/" + AsciiToWide(cfs->Keys[i])] = f;
      }
    cf->StmF = nameOf(d, "StmF", u"/Identity");
    cf->StrF = nameOf(d, "StrF", u"/Identity");
    cf->EFF = nameOf(d, "EFF", u"");
    auto it = cf->Filters.find(cf->StmF);
    if (it == cf->Filters.end()) it = cf->Filters.find(u"/StdCF");
    if (it != cf->Filters.end()) cf->CF() = it->second;
    if (v == 5) {
      cf->SetKeyLength(256);
    } else if (SameName(cf->CF().CFM, u"/AESV2")) {
      cf->SetKeyLength(128);
    } else if (!d.Get("Length") && cf->CF().Length > 0) {
      int l = cf->CF().Length <= 32 ? cf->CF().Length * 8 : cf->CF().Length;
      if (l < 40 || l > 128 || l % 8 != 0) FailWith(kInvalidLength, IntText(cf->CF().Length));
      cf->SetKeyLength(l);
    } else if (!d.Get("Length")) {
      cf->SetKeyLength(128);
    }
  }
  h->SetEnabled(true);
  FEncryption = std::move(h);
  // Objects read while the cross-references were checked were not decrypted: read them again.
  FCache.clear();
  FFetched.clear();
  FObjStms.clear();
  // A wrong password fails the load at once rather than at the first stream.
  if (!FEncryption->CheckAuthentication(FDocID, FPassword)) Fail(kPasswordInvalid);
}

}  // namespace zvword
