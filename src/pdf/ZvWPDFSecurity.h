// The security handler interface the reader calls for encrypted files.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/Types.h"

namespace zvword {

class TZvPDFEncryption {
 public:
  virtual ~TZvPDFEncryption() = default;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v) { FEnabled = v; }
  // Decrypts the bytes of a stream or string that belongs to object ContentID, generation Gen.
  virtual RawByteString DecryptStream(int32_t ContentID, int32_t Gen, const RawByteString& DocID,
                                      const RawByteString& Password, std::string_view Value) = 0;
  virtual bool CheckAuthentication(const RawByteString& DocID, const RawByteString& Password) {
    (void)DocID;
    (void)Password;
    return true;
  }

 private:
  bool FEnabled = false;
};

}  // namespace zvword
