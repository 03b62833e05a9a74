#include "framework/MSW_Sum.h"

#include <algorithm>
#include <limits>

#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "platform/LocalTime.h"

namespace zvword {

namespace {

// Property types of the property-set format that carry the values we keep.
constexpr uint32_t VT_I2 = 2, VT_I4 = 3, VT_UI4 = 19, VT_INT = 22, VT_UINT = 23, VT_LPSTR = 30, VT_LPWSTR = 31,
                   VT_FILETIME = 64;
constexpr uint32_t kCodePageID = 1;
// Seconds between 1601-01-01 (FILETIME epoch) and 1970-01-01.
constexpr int64_t kFileTimeToUnix = 11644473600;
constexpr uint64_t kTicksPerSecond = 10000000;

WideString Utf16LE(std::string_view bytes) {
  WideString out;
  out.reserve(bytes.size() / 2);
  for (TByteReader r(bytes, "property set string"); r.CanRead(2);) {
    const char16_t c = r.U16LE();
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

bool IsStringType(uint32_t type) { return type == 0 || type == VT_LPSTR || type == VT_LPWSTR; }

// Wide strings are UTF-16LE; 8-bit strings end at their first zero and use the set's code page,
// where 1200 means they too are UTF-16LE.
WideString DecodeString(std::string_view v, uint32_t type, int codePage) {
  if (type == VT_LPWSTR || codePage == CP_UTF16LE) return Utf16LE(v);
  const size_t zero = v.find('\0');
  return CodePageToWide(v.substr(0, zero), codePage);
}

bool DecodeInt(std::string_view v, uint32_t type, int32_t& out) {
  if (type == VT_I2) {
    if (v.size() < 2) return false;
    out = TByteReader(v).I16LEAt(0);
    return true;
  }
  if (type != 0 && type != VT_I4 && type != VT_UI4 && type != VT_INT && type != VT_UINT) return false;
  if (v.size() < 4) return false;
  out = TByteReader(v).I32LEAt(0);
  return true;
}

bool DecodeFileTime(std::string_view v, uint32_t type, uint64_t& out) {
  if ((type != 0 && type != VT_FILETIME) || v.size() < 8) return false;
  out = TByteReader(v).U64LEAt(0);
  return true;
}

}  // namespace

TDateTime TZvWordSummaryInformation::FileTimeToDateTime(uint64_t FileTime) {
  // The date passes through a DOS date: 2-second steps, years 1980 to 2107. It stays in UTC, as
  // the other formats' dates do: through local time it would move with the reading machine's zone.
  if (FileTime / kTicksPerSecond > static_cast<uint64_t>(kFileTimeToUnix) + 5000000000ull) return 0;
  const TSystemTime t = DecodeDateTime(FileTimeToDateTimeUTC(FileTime));
  if (t.Year < 1980 || t.Year > 2107) return 0;
  TSystemTime dos = t;
  dos.Second -= dos.Second % 2;
  dos.Milliseconds = 0;
  TDateTime result = 0;
  return TryEncodeDateTime(dos, result) ? result : 0;
}

int32_t TZvWordSummaryInformation::FileTimeToElapsedTime(uint64_t FileTime) {
  // Editing time is a duration, not a date: whole minutes.
  const uint64_t minutes = FileTime / (kTicksPerSecond * 60);
  return static_cast<int32_t>(std::min<uint64_t>(minutes, std::numeric_limits<int32_t>::max()));
}

void TZvWordSummaryInformation::ParseProperty(uint32_t propID, std::string_view Value, bool IsDocSummary, uint32_t type,
                                              int codePage) {
  if (IsDocSummary) {
    ParseDocProperty(propID, Value, type, codePage);
    return;
  }
  auto str = [&](void (TZvWordSummaryInformation::*set)(const WideString&)) {
    if (IsStringType(type)) (this->*set)(DecodeString(Value, type, codePage));
  };
  auto num = [&](void (TZvWordSummaryInformation::*set)(const int32_t&)) {
    int32_t v = 0;
    if (DecodeInt(Value, type, v)) (this->*set)(v);
  };
  auto date = [&](void (TZvWordSummaryInformation::*set)(const TDateTime&)) {
    uint64_t ft = 0;
    if (DecodeFileTime(Value, type, ft)) (this->*set)(FileTimeToDateTime(ft));
  };
  switch (propID) {
    case 2: str(&TZvWordSummaryInformation::SetTitle); break;
    case 3: str(&TZvWordSummaryInformation::SetSubject); break;
    case 4: str(&TZvWordSummaryInformation::SetAuthor); break;
    case 5: str(&TZvWordSummaryInformation::SetKeywords); break;
    case 6: str(&TZvWordSummaryInformation::SetComments); break;
    case 7: str(&TZvWordSummaryInformation::SetTemplate); break;
    case 8: str(&TZvWordSummaryInformation::SetLastAuthor); break;
    case 9: str(&TZvWordSummaryInformation::SetRevNumber); break;
    case 10: {
      uint64_t ft = 0;
      if (DecodeFileTime(Value, type, ft)) SetEditTime(FileTimeToElapsedTime(ft));
      break;
    }
    case 11: date(&TZvWordSummaryInformation::SetLastPrinted); break;
    case 12: date(&TZvWordSummaryInformation::SetCreated); break;
    case 13: date(&TZvWordSummaryInformation::SetLastSaved); break;
    case 14: num(&TZvWordSummaryInformation::SetPageCount); break;
    case 15: num(&TZvWordSummaryInformation::SetWordCount); break;
    case 16: num(&TZvWordSummaryInformation::SetCharCount); break;
    case 18: str(&TZvWordSummaryInformation::SetAppName); break;
    default: break;
  }
}

void TZvWordSummaryInformation::ParseDocProperty(uint32_t propID, std::string_view Value, uint32_t type, int codePage) {
  auto str = [&](void (TZvWordSummaryInformation::*set)(const WideString&)) {
    if (IsStringType(type)) (this->*set)(DecodeString(Value, type, codePage));
  };
  auto num = [&](void (TZvWordSummaryInformation::*set)(const int32_t&)) {
    int32_t v = 0;
    if (DecodeInt(Value, type, v)) (this->*set)(v);
  };
  switch (propID) {
    case 2: str(&TZvWordSummaryInformation::SetCategory); break;
    case 3: str(&TZvWordSummaryInformation::SetPresentationTarget); break;
    case 4: num(&TZvWordSummaryInformation::SetByteCount); break;
    case 5: num(&TZvWordSummaryInformation::SetLineCount); break;
    case 6: num(&TZvWordSummaryInformation::SetParagraphCount); break;
    case 7: num(&TZvWordSummaryInformation::SetSlideCount); break;
    case 8: num(&TZvWordSummaryInformation::SetNoteCount); break;
    case 9: num(&TZvWordSummaryInformation::SetHiddenSlideCount); break;
    case 10: num(&TZvWordSummaryInformation::SetMMClipCount); break;
    case 14: str(&TZvWordSummaryInformation::SetManager); break;
    case 15: str(&TZvWordSummaryInformation::SetCompany); break;
    case 17: num(&TZvWordSummaryInformation::SetCharCount2); break;
    default: break;
  }
}

void TZvWordSummaryInformation::ReadPropertySet(TStream& Stream, bool IsDocSummary) {
  // Property sets are small; a stream claiming more than this is not one we trust.
  constexpr int64_t kMaxPropertySetSize = 16 << 20;
  Stream.SetPosition(0);
  const int64_t size = Stream.Size();
  if (size <= 0) return;
  if (size > kMaxPropertySetSize) throw Exception("Property set is too large");
  const RawByteString data = Stream.ReadBytes(size);
  const TByteReader set(data, "property set");
  // A damaged property set loses its properties, never the document: out-of-range structures are
  // skipped rather than raised.
  if (set.Size() < 48) return;
  const uint32_t section = set.U32LEAt(44);
  if (!set.CanReadAt(section, 8)) return;
  const TByteReader body = set.Sub(section, set.Size() - section, "property set section");
  const uint32_t count = std::min<uint32_t>(body.U32LEAt(4), static_cast<uint32_t>((body.Size() - 8) / 8));

  auto valueAt = [&](uint32_t offset, uint32_t& type, std::string_view& value) {
    if (!body.CanReadAt(offset, 4)) return false;
    type = body.U32LEAt(offset);
    TByteReader rest = body.Sub(offset + 4, body.Size() - offset - 4);
    switch (type) {
      case VT_I2: value = rest.SubUpTo(0, 2).Rest(); return rest.CanRead(2);
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: value = rest.SubUpTo(0, 4).Rest(); return rest.CanRead(4);
      case VT_FILETIME: value = rest.SubUpTo(0, 8).Rest(); return rest.CanRead(8);
      case VT_LPSTR: case VT_LPWSTR: {
        if (!rest.CanRead(4)) return false;
        // The length counts bytes for 8-bit strings and characters for wide ones.
        const uint64_t n = rest.U32LE() * uint64_t{type == VT_LPWSTR ? 2u : 1u};
        value = rest.SubUpTo(4, n).Rest();
        return true;
      }
      default: return false;
    }
  };

  int codePage = CP_ACP;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t type = 0;
    std::string_view value;
    if (body.U32LEAt(8 + 8 * uint64_t{i}) == kCodePageID && valueAt(body.U32LEAt(12 + 8 * uint64_t{i}), type, value)) {
      int32_t cp = 0;
      // Stored as a 16-bit value; 65001 and the like come back negative.
      if (DecodeInt(value, type, cp)) codePage = type == VT_I2 ? static_cast<uint16_t>(cp) : cp;
      break;
    }
  }
  // 1252 is what most sets say; an unknown code page decodes as the system's.
  if (codePage != CP_UTF16LE && !IsCodePageSupported(codePage)) codePage = CP_ACP;

  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t id = body.U32LEAt(8 + 8 * uint64_t{i});
    uint32_t type = 0;
    std::string_view value;
    if (id == kCodePageID || !valueAt(body.U32LEAt(12 + 8 * uint64_t{i}), type, value)) continue;
    ParseProperty(id, value, IsDocSummary, type, codePage);
  }
}

}  // namespace zvword
