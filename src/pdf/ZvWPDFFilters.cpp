#include "pdf/ZvWPDFFilters.h"

#include <zlib.h>
#ifdef ZVWORD_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFParser.h"
#include "pdf/ZvWPDFSecurity.h"
#include "platform/TextHelpers.h"

namespace zvword {

// ---- LZW ----

namespace {
struct TLZWTable {
  uint16_t Prefix[4096];
  uint8_t Last[4096];
  uint8_t First[4096];
  uint16_t Len[4096];
  void Reset() {
    for (int i = 0; i < 256; ++i) {
      Prefix[i] = 4096;
      Last[i] = First[i] = static_cast<uint8_t>(i);
      Len[i] = 1;
    }
  }
  // Appends the string of code to out, bounded by limit.
  void Emit(int code, RawByteString& out, int64_t limit) {
    size_t n = Len[code];
    size_t base = out.size();
    out.resize(base + n);
    for (size_t i = n; i-- > 0;) {
      out[base + i] = static_cast<char>(Last[code]);
      code = Prefix[code];
    }
    if (static_cast<int64_t>(out.size()) > limit) out.resize(static_cast<size_t>(limit));
  }
};

RawByteString LZWDecode(std::string_view src, int64_t limit, bool msbFirst, int early, int minCode) {
  auto t = std::make_unique<TLZWTable>();
  t->Reset();
  const int clear = 1 << minCode, eod = clear + 1;
  int width = minCode + 1, next = eod + 1, prev = -1;
  uint32_t buf = 0;
  int bits = 0;
  RawByteString out;
  size_t i = 0;
  while (static_cast<int64_t>(out.size()) < limit) {
    while (bits < width && i < src.size()) {
      if (msbFirst) buf = buf << 8 | static_cast<uint8_t>(src[i++]);
      else buf |= static_cast<uint32_t>(static_cast<uint8_t>(src[i++])) << bits;
      bits += 8;
    }
    if (bits < width) break;
    int code;
    if (msbFirst) {
      code = static_cast<int>((buf >> (bits - width)) & ((1u << width) - 1));
    } else {
      code = static_cast<int>(buf & ((1u << width) - 1));
      buf >>= width;
    }
    bits -= width;
    if (code == clear) {
      width = minCode + 1;
      next = eod + 1;
      prev = -1;
      continue;
    }
    if (code == eod) break;
    if (prev < 0) {
      if (code >= clear) break;  // a damaged stream: the first code must be a literal
      t->Emit(code, out, limit);
      prev = code;
      continue;
    }
    if (code > next) break;
    uint8_t first = code == next ? t->First[prev] : t->First[code];
    if (next < 4096) {
      t->Prefix[next] = static_cast<uint16_t>(prev);
      t->Last[next] = first;
      t->First[next] = t->First[prev];
      t->Len[next] = static_cast<uint16_t>(std::min(4095, t->Len[prev] + 1));
      ++next;
    }
    t->Emit(code, out, limit);
    prev = code;
    if (next + early >= (1 << width) && width < 12) ++width;
  }
  return out;
}
}  // namespace

RawByteString TZvWLZWDecoder::DecodeTIFF(std::string_view Source, int64_t UnpackedSize, int EarlyChange) {
  return LZWDecode(Source, UnpackedSize, true, EarlyChange ? 1 : 0, 8);
}

RawByteString TZvWLZWDecoder::DecodeGIF(std::string_view Source, int64_t UnpackedSize, int MinCodeSize) {
  if (MinCodeSize < 2 || MinCodeSize > 8) MinCodeSize = 8;
  return LZWDecode(Source, UnpackedSize, false, 0, MinCodeSize);
}

namespace {
// A deflate decoder for what zlib refuses: copies reaching back before the start of the data
// (writers that count on a window of zeros, streams cut from a longer one) take zeros, as
// readers of such files show them. Any other fault ends the output where it happens.
class TLenientInflate {
 public:
  TLenientInflate(std::string_view in, RawByteString& out, int64_t limit) : FIn(in), FOut(out), FLimit(limit) {}

  // Inflates from the first byte; false at a fault or the limit.
  bool Run() {
    for (bool last = false; !last;) {
      last = Bits(1) == 1;
      int type = Bits(2);
      if (FFault) return false;
      bool ok = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : false;
      if (!ok || FFault) return false;
    }
    return true;
  }

 private:
  struct THuffman {
    uint16_t Count[16] = {};
    uint16_t Symbol[320] = {};
  };

  int Bits(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
      if (FPos >= FIn.size()) {
        FFault = true;
        return 0;
      }
      v |= ((static_cast<uint8_t>(FIn[FPos]) >> FBit) & 1) << i;
      if (++FBit == 8) {
        FBit = 0;
        ++FPos;
      }
    }
    return v;
  }

  static bool Build(THuffman& h, const uint8_t* lengths, int n) {
    std::fill(std::begin(h.Count), std::end(h.Count), 0);
    for (int i = 0; i < n; ++i) ++h.Count[lengths[i]];
    uint16_t offs[16] = {};
    for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<uint16_t>(offs[len] + h.Count[len]);
    for (int i = 0; i < n; ++i)
      if (lengths[i]) h.Symbol[offs[lengths[i]]++] = static_cast<uint16_t>(i);
    return true;
  }

  // Canonical codes read a bit at a time, shortest first.
  int Decode(const THuffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      code |= Bits(1);
      if (FFault) return -1;
      int count = h.Count[len];
      if (code - count < first) return h.Symbol[index + (code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

  bool Put(char c) {
    if (static_cast<int64_t>(FOut.size()) >= FLimit) return false;
    FOut += c;
    return true;
  }

  bool Stored() {
    if (FBit) {
      FBit = 0;
      ++FPos;
    }
    if (FPos + 4 > FIn.size()) return false;
    unsigned len = static_cast<uint8_t>(FIn[FPos]) | static_cast<uint8_t>(FIn[FPos + 1]) << 8;
    FPos += 4;
    if (len > FIn.size() - FPos) return false;
    for (unsigned i = 0; i < len; ++i)
      if (!Put(FIn[FPos + i])) return false;
    FPos += len;
    return true;
  }

  bool Codes(const THuffman& lit, const THuffman& dist) {
    static const uint16_t kLenBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t kDistBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    while (true) {
      int sym = Decode(lit);
      if (sym < 0) return false;
      if (sym < 256) {
        if (!Put(static_cast<char>(sym))) return false;
        continue;
      }
      if (sym == 256) return true;
      sym -= 257;
      if (sym >= 29) return false;
      int len = kLenBase[sym] + Bits(kLenExtra[sym]);
      int d = Decode(dist);
      if (d < 0 || d >= 30) return false;
      size_t back = kDistBase[d] + static_cast<size_t>(Bits(kDistExtra[d]));
      if (FFault) return false;
      for (int i = 0; i < len; ++i)
        if (!Put(back <= FOut.size() ? FOut[FOut.size() - back] : '\0')) return false;
    }
  }

  bool Fixed() {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    THuffman lit, dist;
    Build(lit, lengths, 288);
    std::fill(lengths, lengths + 30, 5);
    Build(dist, lengths, 30);
    return Codes(lit, dist);
  }

  bool Dynamic() {
    static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
    if (FFault || nlen > 286 || ndist > 30) return false;
    uint8_t lengths[320] = {};
    for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<uint8_t>(Bits(3));
    THuffman lencode;
    Build(lencode, lengths, 19);
    std::fill(lengths, lengths + 19, 0);
    for (int i = 0; i < nlen + ndist;) {
      int sym = Decode(lencode);
      if (sym < 0) return false;
      if (sym < 16) {
        lengths[i++] = static_cast<uint8_t>(sym);
        continue;
      }
      uint8_t v = 0;
      int rep;
      if (sym == 16) {
        if (i == 0) return false;
        v = lengths[i - 1];
        rep = 3 + Bits(2);
      } else {
        rep = sym == 17 ? 3 + Bits(3) : 11 + Bits(7);
      }
      if (FFault || i + rep > nlen + ndist) return false;
      while (rep--) lengths[i++] = v;
    }
    THuffman lit, dist;
    Build(lit, lengths, nlen);
    Build(dist, lengths + nlen, ndist);
    return Codes(lit, dist);
  }

  std::string_view FIn;
  RawByteString& FOut;
  int64_t FLimit;
  size_t FPos = 0;
  int FBit = 0;
  bool FFault = false;
};
}  // namespace

namespace pdffilters {

// How far into its output zlib may refuse a stream for it to be read again leniently.
constexpr size_t kLenientBefore = 128;

#ifdef ZVWORD_HAVE_LIBDEFLATE
// Whole zlib streams that inflate completely within the limit come from libdeflate, twice
// zlib's speed. Anything else (damage, raw deflate, output past the limit) is left to zlib, so
// what is kept of a damaged stream and where a limit cuts stay as they were. The result is that
// of zlib: true for a sound stream, false when only the check sum is wrong (all data kept).
static std::optional<bool> InflateWhole(std::string_view In, RawByteString& Out, int64_t Limit) {
  thread_local const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!inflater || Limit <= 0 || In.size() < 6) return std::nullopt;
  const uint8_t cmf = static_cast<uint8_t>(In[0]), flg = static_cast<uint8_t>(In[1]);
  // The header zlib accepts with a 32K window; deflate data follows it directly.
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flg & 0x20) || ((cmf << 8) | flg) % 31 != 0) return std::nullopt;
  // Text streams shrink four to eight times; a guess too small is retried four times larger.
  size_t cap = std::min<size_t>(std::max<size_t>(In.size() * 8, 65536), static_cast<size_t>(Limit));
  bool checked = true;
  for (;;) {
    // Not zeroed: only the pages inflated into are touched.
    std::unique_ptr<char[]> buf(new char[cap]);
    size_t got = 0;
    libdeflate_result rc =
        checked ? libdeflate_zlib_decompress(inflater.get(), In.data(), In.size(), buf.get(), cap, &got)
                : libdeflate_deflate_decompress(inflater.get(), In.data() + 2, In.size() - 2, buf.get(), cap, &got);
    if (rc == LIBDEFLATE_SUCCESS) {
      Out.assign(buf.get(), got);
      return checked;
    }
    // Old writers often got the Adler-32 wrong; zlib then keeps all the data and reports it.
    if (rc == LIBDEFLATE_BAD_DATA && checked) {
      checked = false;
      continue;
    }
    if (rc != LIBDEFLATE_INSUFFICIENT_SPACE || cap >= static_cast<size_t>(Limit)) return std::nullopt;
    cap = static_cast<size_t>(std::min<uint64_t>(uint64_t{cap} * 4, static_cast<uint64_t>(Limit)));
  }
}
#endif

bool FlateDecode(std::string_view In, RawByteString& Out, int64_t Limit) {
  Out.clear();
#ifdef ZVWORD_HAVE_LIBDEFLATE
  if (std::optional<bool> whole = InflateWhole(In, Out, Limit)) return *whole;
  Out.clear();
#endif
  for (int attempt = 0; attempt < 2; ++attempt) {
    z_stream zs{};
    // Some writers leave out the zlib header: retry as raw deflate.
    if (inflateInit2(&zs, attempt == 0 ? 15 + 32 : -15) != Z_OK) return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(In.data()));
    zs.avail_in = static_cast<uInt>(std::min<size_t>(In.size(), 0x7FFFFFFF));
    int rc = Z_OK;
    char buf[65536];
    while (rc == Z_OK) {
      zs.next_out = reinterpret_cast<Bytef*>(buf);
      zs.avail_out = sizeof buf;
      rc = inflate(&zs, Z_NO_FLUSH);
      size_t got = sizeof buf - zs.avail_out;
      if (static_cast<int64_t>(Out.size() + got) > Limit) {
        Out.append(buf, static_cast<size_t>(Limit - static_cast<int64_t>(Out.size())));
        inflateEnd(&zs);
        return false;
      }
      Out.append(buf, got);
      if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;  // truncated input
      if (rc == Z_OK && got == 0 && zs.avail_in == 0) break;
    }
    bool tooFar = rc == Z_DATA_ERROR && zs.msg && std::string_view(zs.msg) == "invalid distance too far back";
    inflateEnd(&zs);
    if (rc == Z_STREAM_END) return true;
    // Refused at its very start, a stream is read again leniently: that reading is all the text
    // there is. Refused later, it keeps what came before, as past damage a reading gives noise.
    if (tooFar && Out.size() < kLenientBefore) {
      RawByteString again;
      bool header = attempt == 0 && In.size() >= 2 && (static_cast<uint8_t>(In[0]) & 0x0F) == 8 &&
                    ((static_cast<uint8_t>(In[0]) << 8) | static_cast<uint8_t>(In[1])) % 31 == 0;
      TLenientInflate(header ? In.substr(2) : In, again, Limit).Run();
      if (again.size() > Out.size()) Out = std::move(again);
      return false;
    }
    if (!Out.empty() || attempt == 1) return false;
    if (rc != Z_DATA_ERROR) return false;
  }
  return false;
}

RawByteString ASCIIHexDecode(std::string_view In) {
  RawByteString out;
  out.reserve(In.size() / 2);
  DecodeHexRun(In, out);  // white space and stray characters are skipped
  return out;
}

RawByteString ASCII85Decode(std::string_view In) {
  RawByteString out;
  out.reserve(In.size() * 4 / 5 + 4);
  uint32_t group[5];
  int n = 0;
  auto flush = [&](int count) {
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = v * 85 + (i < count ? group[i] : 84);
    if (v > 0xFFFFFFFFull) v &= 0xFFFFFFFFull;
    char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, static_cast<size_t>(count == 5 ? 4 : count - 1));
  };
  size_t i = 0;
  if (In.substr(0, 2) == "<~") i = 2;
  for (; i < In.size(); ++i) {
    auto c = static_cast<uint8_t>(In[i]);
    if (c == '~') break;
    if (pdfsyntax::IsWhite(c)) continue;
    if (c == 'z' && n == 0) {
      out.append(4, '\0');
      continue;
    }
    if (c < '!' || c > 'u') continue;
    group[n++] = c - 33u;
    if (n == 5) {
      flush(5);
      n = 0;
    }
  }
  if (n > 1) flush(n);
  return out;
}

RawByteString RunLengthDecode(std::string_view In, int64_t Limit) {
  RawByteString out;
  size_t i = 0;
  while (i < In.size() && static_cast<int64_t>(out.size()) < Limit) {
    auto len = static_cast<uint8_t>(In[i++]);
    if (len == 128) break;
    if (len < 128) {
      size_t n = std::min<size_t>(len + 1u, In.size() - i);
      out.append(In.substr(i, n));
      i += n;
    } else if (i < In.size()) {
      out.append(static_cast<size_t>(257 - len), In[i++]);
    }
  }
  if (static_cast<int64_t>(out.size()) > Limit) out.resize(static_cast<size_t>(Limit));
  return out;
}

RawByteString ApplyPredictor(const RawByteString& Data, int Predictor, int Colors, int BitsPerComponent, int Columns) {
  if (Predictor < 2) return Data;
  if (Colors < 1 || Colors > 32) Colors = 1;
  if (BitsPerComponent != 1 && BitsPerComponent != 2 && BitsPerComponent != 4 && BitsPerComponent != 8 && BitsPerComponent != 16)
    BitsPerComponent = 8;
  if (Columns < 1 || Columns > (1 << 24)) Columns = 1;
  size_t bpp = std::max<size_t>(1, static_cast<size_t>(Colors * BitsPerComponent) / 8);
  size_t rowLen = (static_cast<size_t>(Colors) * BitsPerComponent * static_cast<size_t>(Columns) + 7) / 8;
  RawByteString out;
  if (Predictor == 2) {
    out = Data;
    if (BitsPerComponent != 8) return out;  // only whole-byte samples are undone
    for (size_t r = 0; r < out.size(); r += rowLen)
      for (size_t i = r + bpp; i < std::min(out.size(), r + rowLen); ++i)
        out[i] = static_cast<char>(out[i] + out[i - bpp]);
    return out;
  }
  out.reserve(Data.size());
  std::string prev(rowLen, '\0'), cur(rowLen, '\0');
  size_t p = 0;
  while (p < Data.size()) {
    auto type = static_cast<uint8_t>(Data[p++]);
    size_t n = std::min(rowLen, Data.size() - p);
    // A last row cut short is decoded as far as it goes.
    for (size_t i = 0; i < n; ++i) {
      auto x = static_cast<uint8_t>(Data[p + i]);
      int a = i >= bpp ? static_cast<uint8_t>(cur[i - bpp]) : 0;
      int b = static_cast<uint8_t>(prev[i]);
      int c = i >= bpp ? static_cast<uint8_t>(prev[i - bpp]) : 0;
      int v;
      switch (type) {
        case 1: v = x + a; break;
        case 2: v = x + b; break;
        case 3: v = x + (a + b) / 2; break;
        case 4: {
          int pp = a + b - c, pa = std::abs(pp - a), pb = std::abs(pp - b), pc = std::abs(pp - c);
          v = x + ((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
          break;
        }
        default: v = x;
      }
      cur[i] = static_cast<char>(v);
    }
    out.append(cur, 0, n);
    p += n;
    std::swap(prev, cur);
  }
  return out;
}

}  // namespace pdffilters

// ---- The reader's stream decoding ----

namespace {
int ParamInt(const TZvPDFObject* params, std::string_view key, int def) {
  if (!params || !params->IsDict()) return def;
  const TZvPDFObject* v = params->Get(key);
  return v && v->IsNumber() ? v->AsInt32() : def;
}
}  // namespace

RawByteString TZvPDFReader::DecodeContentByFilter(std::string_view Filter, std::string_view Data, const TZvPDFObject* Params) {
  // One byte past what the budget has left, so that output cut there still trips the limit.
  const TResourceBudget& budget = Budget();
  int64_t limit = kPDFMaxDecodedStream;
  if (budget.Limits().MaxDecodedBytes > 0)
    limit = std::min(limit, std::max<int64_t>(0, budget.Limits().MaxDecodedBytes - budget.Decoded()) + 1);
  RawByteString out;
  int predictor = ParamInt(Params, "Predictor", 1);
  if (Filter == "FlateDecode" || Filter == "Fl") {
    pdffilters::FlateDecode(Data, out, limit);
  } else if (Filter == "LZWDecode" || Filter == "LZW") {
    out = TZvWLZWDecoder::DecodeTIFF(Data, limit, ParamInt(Params, "EarlyChange", 1));
  } else if (Filter == "ASCIIHexDecode" || Filter == "AHx") {
    out = pdffilters::ASCIIHexDecode(Data);
    predictor = 1;
  } else if (Filter == "ASCII85Decode" || Filter == "A85") {
    out = pdffilters::ASCII85Decode(Data);
    predictor = 1;
  } else if (Filter == "RunLengthDecode" || Filter == "RL") {
    out = pdffilters::RunLengthDecode(Data, limit);
    predictor = 1;
  } else {
    return RawByteString(Data);  // images and the like: text extraction has no use for them decoded
  }
  if (predictor > 1)
    out = pdffilters::ApplyPredictor(out, predictor, ParamInt(Params, "Colors", 1), ParamInt(Params, "BitsPerComponent", 8),
                                     ParamInt(Params, "Columns", 1));
  Budget().ChargeDecoded(static_cast<int64_t>(out.size()));
  // Cut by the budget, the charge above has thrown; cut by the per-stream cap, the text goes on
  // without the stream's rest, and the caller is told.
  if (limit == kPDFMaxDecodedStream && static_cast<int64_t>(out.size()) >= limit) {
    static_assert(kPDFMaxDecodedStream == 256ll << 20, "the warning names the cap");
    const WideString w = u"A stream decodes to more than 256 MiB: only that much of it is read";
    if (std::find(Warnings().begin(), Warnings().end(), w) == Warnings().end()) AddWarning(w);
  }
  return out;
}

RawByteString TZvPDFReader::GetStreamContent(const TZvPDFObject& Stream) {
  if (Stream.Kind != pokStream) return {};
  const TZvPDFObject* type = Stream.Get("Type");
  bool clear = type && type->IsName("XRef");
  // Metadata may be left unencrypted, and a stream may name the identity crypt filter itself.
  if (FEncryption && type && type->IsName("Metadata") && !FEncryption->MetadataEncrypted()) clear = true;
  const TZvPDFObject* f = ResolveKey(Stream, "Filter");
  if (FEncryption && f) {
    const TZvPDFObject& f0 = f->Kind == pokArray && !f->Items.empty() ? Resolve(f->Items[0]) : *f;
    if (f0.IsName("Crypt")) {
      const TZvPDFObject* dp0 = ResolveKey(Stream, "DecodeParms");
      if (dp0 && dp0->Kind == pokArray) dp0 = dp0->Items.empty() ? nullptr : &Resolve(dp0->Items[0]);
      const TZvPDFObject* nm = dp0 && dp0->IsDict() ? ResolveKey(*dp0, "Name") : nullptr;
      if (!nm || nm->IsName("Identity")) clear = true;
    }
  }
  RawByteString data = clear ? RawByteString(Stream.Data) : DecryptStream(Stream.ObjNum, Stream.ObjGen, Stream.Data);
  if (!f) return data;
  const TZvPDFObject* dp = ResolveKey(Stream, "DecodeParms");
  if (!dp) dp = ResolveKey(Stream, "DP");
  if (f->Kind == pokName) return DecodeContentByFilter(f->Str, data, dp && dp->IsDict() ? dp : nullptr);
  if (f->Kind != pokArray) return data;
  for (size_t i = 0; i < f->Items.size() && i < 16; ++i) {
    const TZvPDFObject& fi = Resolve(f->Items[i]);
    if (fi.Kind != pokName) continue;
    const TZvPDFObject* p = nullptr;
    if (dp && dp->Kind == pokArray && i < dp->Items.size()) {
      const TZvPDFObject& pi = Resolve(dp->Items[i]);
      if (pi.IsDict()) p = &pi;
    }
    data = DecodeContentByFilter(fi.Str, data, p);
  }
  return data;
}

}  // namespace zvword
