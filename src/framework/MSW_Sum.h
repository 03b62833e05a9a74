// The descriptive properties of the last document read (title, author, dates, counts, ...).
#pragma once
#include <cstdint>

#include "platform/Streams.h"
#include "platform/Types.h"

namespace zvword {

#define ZVW_SUM_PROP(Type, Name) \
 public:                         \
  const Type& Name() const { return F##Name; } \
  void Set##Name(const Type& v) { F##Name = v; } \
 private:                        \
  Type F##Name{};

class ZVWORD_API TZvWordSummaryInformation {
 public:
  TZvWordSummaryInformation() = default;
  virtual ~TZvWordSummaryInformation() = default;

  void Clear() { *this = TZvWordSummaryInformation(); }
  // Copies all 28 properties from another summary object.
  void Assign(const TZvWordSummaryInformation& Source) { *this = Source; }

  // Stores one raw property-set value (integers 4 bytes, FILETIME 8 bytes, strings their bytes).
  // codePage: the property set's code page (0 = the system code page, 1200 = UTF-16LE).
  void ParseProperty(uint32_t propID, std::string_view Value, bool IsDocSummary, uint32_t type = 0, int codePage = 0);
  void ParseDocProperty(uint32_t propID, std::string_view Value, uint32_t type = 0, int codePage = 0);
  // Reads the first section of a property-set stream ("SummaryInformation" or
  // "DocumentSummaryInformation") into this object.
  void ReadPropertySet(TStream& Stream, bool IsDocSummary);

  static TDateTime FileTimeToDateTime(uint64_t FileTime);
  // Total editing time in minutes.
  static int32_t FileTimeToElapsedTime(uint64_t FileTime);

  ZVW_SUM_PROP(WideString, AppName)
  ZVW_SUM_PROP(WideString, Author)
  ZVW_SUM_PROP(int32_t, CharCount)
  ZVW_SUM_PROP(WideString, Comments)
  ZVW_SUM_PROP(TDateTime, Created)
  ZVW_SUM_PROP(int32_t, EditTime)
  ZVW_SUM_PROP(WideString, Keywords)
  ZVW_SUM_PROP(WideString, LastAuthor)
  ZVW_SUM_PROP(TDateTime, LastPrinted)
  ZVW_SUM_PROP(TDateTime, LastSaved)
  ZVW_SUM_PROP(int32_t, PageCount)
  ZVW_SUM_PROP(WideString, RevNumber)
  ZVW_SUM_PROP(WideString, Subject)
  ZVW_SUM_PROP(WideString, Template)
  ZVW_SUM_PROP(WideString, Title)
  ZVW_SUM_PROP(int32_t, WordCount)
  ZVW_SUM_PROP(WideString, Category)
  ZVW_SUM_PROP(WideString, PresentationTarget)
  ZVW_SUM_PROP(int32_t, ByteCount)
  ZVW_SUM_PROP(int32_t, LineCount)
  ZVW_SUM_PROP(int32_t, ParagraphCount)
  ZVW_SUM_PROP(int32_t, SlideCount)
  ZVW_SUM_PROP(int32_t, NoteCount)
  ZVW_SUM_PROP(int32_t, HiddenSlideCount)
  ZVW_SUM_PROP(int32_t, MMClipCount)
  ZVW_SUM_PROP(WideString, Manager)
  ZVW_SUM_PROP(WideString, Company)
  ZVW_SUM_PROP(int32_t, CharCount2)
};

#undef ZVW_SUM_PROP

}  // namespace zvword
