// The stream decoders of the PDF reader, usable on their own.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/Types.h"

namespace zvword {

// LZW as PDF and TIFF (codes most significant bit first) and GIF (least significant bit first) use it.
class TZvWLZWDecoder {
 public:
  // EarlyChange 1 (the PDF default) widens the code one entry early.
  static RawByteString DecodeTIFF(std::string_view Source, int64_t UnpackedSize, int EarlyChange = 1);
  static RawByteString DecodeGIF(std::string_view Source, int64_t UnpackedSize, int MinCodeSize = 8);
};

namespace pdffilters {
// Inflates zlib (or raw deflate) data into out, at most Limit bytes. A corrupt tail keeps what
// inflated before it; returns false when the data were damaged or cut at the limit.
bool FlateDecode(std::string_view In, RawByteString& Out, int64_t Limit);
RawByteString ASCIIHexDecode(std::string_view In);
RawByteString ASCII85Decode(std::string_view In);
RawByteString RunLengthDecode(std::string_view In, int64_t Limit);
// PNG (10..15) and TIFF (2) predictors.
RawByteString ApplyPredictor(const RawByteString& Data, int Predictor, int Colors, int BitsPerComponent, int Columns);
}  // namespace pdffilters

}  // namespace zvword
