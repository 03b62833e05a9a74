#include "legacy/MSWPD.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/MSW_CP.h"
#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "platform/CompoundFile.h"

namespace zvword {
namespace {

const WideString kPasswordProtected = u"Could not read the password protected file";
const WideString kNotValid = u"File stream is not valid WordPerfect 6/7/8/9 document.";
const WideString kBadExtended = u"Incorrect character instead WP_TOP_EXTENDED_CHARACTER";
const WideString kBadPIDs = u"Incorrect value for numPIDs";
const WideString kNo42Text = u"WordPerfect 4.2 document without readable text";
const WideString kMainStream = u"PerfectOffice_MAIN";
constexpr size_t kHeaderSize = 24;
constexpr size_t kIndexItemSize = 14;
constexpr uint8_t kSubDocumentPacket = 0x08;

const TMarkTable kMarks = {{
    {u"\r\n", u"\\par \r\n", u"<p></p>\r\n"},  // paragraph
    {u"\r\n", u"\\line \r\n", u"<br>\r\n"},    // line
    {u"\t", u"\\tab ", u"\t"},                 // tab
    {u"\t", u"\\tab ", u"\t"},                 // cell
    {u"\r\n", u"\\par \r\n", u"<br>\r\n"},     // row
    {u"\r\n", u"\\page \r\n", u"<br>\r\n"},    // page
}};

const TMarkup kJustifyEnd = {u"", u"", u"</div>"};

struct TAttributeMarkup {
  uint8_t Number;
  TMarkup On, Off;
};
const TAttributeMarkup kAttributes[] = {
    {5, {u"", u"\\super ", u"<sup>"}, {u"", u"\\nosupersub ", u"</sup>"}},
    {6, {u"", u"\\sub ", u"<sub>"}, {u"", u"\\nosupersub ", u"</sub>"}},
    {8, {u"", u"\\i ", u"<i>"}, {u"", u"\\i0 ", u"</i>"}},
    {12, {u"", u"\\b ", u"<b>"}, {u"", u"\\b0 ", u"</b>"}},
    {13, {u"", u"\\strike ", u"<s>"}, {u"", u"\\strike0 ", u"</s>"}},
    {14, {u"", u"\\ul ", u"<u>"}, {u"", u"\\ul0 ", u"</u>"}},
};

WideString Decimal(uint32_t v) {
  const std::string s = std::to_string(v);
  return WideString(s.begin(), s.end());
}

}  // namespace

TWordPerfectFile::TWordPerfectFile(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FFootnotes(std::make_unique<TWideStrings>()),
      FEndnotes(std::make_unique<TWideStrings>()),
      FHeaders(std::make_unique<TWideStrings>()),
      FFooters(std::make_unique<TWideStrings>()),
      FSink(*this, kMarks) {}

TWordPerfectFile::~TWordPerfectFile() { ClearInternalLists(); }

void TWordPerfectFile::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  FFontDescriptorList.clear();
  FHeaderPacketList.clear();
  FSubDocPackets.clear();
  FSubDocuments.clear();
  for (TWideStrings* list : {FFootnotes.get(), FEndnotes.get(), FHeaders.get(), FFooters.get()})
    if (list) list->Clear();
  FFileData = {};
  FInSubDocument = false;
  FUndoOn = false;
  FParagraphChanged = false;
  FFontChanged = false;
  FJustifyOpen = false;
}

bool TWordPerfectFile::IsPasswordProtected() { return FHeader.EncryptionPosition != 0; }

bool TWordPerfectFile::IsWordPerfectData(std::string_view Data) {
  if (IsCompoundFileSignature(Data)) {
    // The root's own streams, as the loader reads them; only the directory's sectors are touched,
    // not every sector of what is usually a Word file.
    try {
      std::unique_ptr<IStorage> root = OpenStorageOnView(Data);
      if (!root) return false;
      std::unique_ptr<IEnumStatStg> elements = root->EnumElements();
      TStatStg element;
      while (elements->Next(element) == 0)
        if (element.Type == STGTY_STREAM && element.Name == kMainStream) return true;
    } catch (const Exception&) {
    }
    return false;
  }
  // Only the versions this reader takes: 5.x (major 0) and 6+ (major 2).
  if (Data.size() >= 16 && Data.substr(0, 4) == "\xFFWPC") return Data[10] == 0 || Data[10] == 2;
  return IsWordPerfect42Data(Data);
}

namespace {
// The end of the 4.2 function whose code is at At: just after the next byte with the same code,
// found within a bounded distance; 0 when there is none.
size_t End42(std::string_view Data, size_t At, size_t Reach) {
  const size_t close = Data.find(Data[At], At + 1);
  return close == std::string_view::npos || close - At > Reach ? 0 : close + 1;
}
constexpr size_t kReach42 = 1024;
}  // namespace

bool TWordPerfectFile::IsWordPerfect42Data(std::string_view Data) {
  // Three well-formed short functions in a row, from the first byte on.
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (at >= Data.size() || static_cast<uint8_t>(Data[at]) < 0xC0 || static_cast<uint8_t>(Data[at]) == 0xFF)
      return false;
    const size_t end = End42(Data, at, 32);
    if (end == 0 || end - at < 3) return false;
    at = end;
  }
  return true;
}

void TWordPerfectFile::LoadFromFile(const WideString& AFileName) try {
  TMSWBaseDocument::LoadFromFile(AFileName);
  if (StgIsStorageFile(AFileName) == 0) {
    std::unique_ptr<IStorage> root = StgOpenStorage(AFileName);
    ClearInternalLists();
    LoadIStorage(*root);
    return;
  }
  TFileStream stream(AFileName);
  stream.SetPosition(0);
  ReadDocFromStream(stream);
} catch (const std::exception&) {
  RethrowAsException();
}

void TWordPerfectFile::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  const int64_t start = Stream.Position();
  std::string_view memory;
  std::unique_ptr<IStorage> root;
  RawByteString bytes;
  if (Stream.MemoryView(memory) && start >= 0 && static_cast<uint64_t>(start) <= memory.size()) {
    memory.remove_prefix(static_cast<size_t>(start));
    if (IsCompoundFileSignature(memory)) root = OpenStorageOnView(memory);
  } else {
    bytes = Stream.ReadAll();
    if (IsCompoundFileSignature(bytes)) root = OpenStorageOnBytes(bytes);
    memory = bytes;
  }
  if (root) {
    LoadIStorage(*root);
    return;
  }
  // A document read from a stream starts where the stream stood.
  TBytesView rest(memory);
  ReadDocFromStream(rest);
} catch (const std::exception&) {
  RethrowAsException();
}

void TWordPerfectFile::LoadIStorage(IStorage& Storage) try {
  std::unique_ptr<IEnumStatStg> elements = Storage.EnumElements();
  TStatStg element;
  while (elements->Next(element) == 0) {
    if (element.Type != STGTY_STREAM || element.Name != kMainStream) continue;
    if (std::unique_ptr<IStream> stream = Storage.OpenStream(element.Name)) ReadDocFromStream(*stream);
  }
} catch (const std::exception&) {
  RethrowAsException();
}

void TWordPerfectFile::ReadDocFromStream(TStream& Stream) {
  ClearInternalLists();
  Stream.SetPosition(0);
  std::string_view view;
  RawByteString owned;
  if (!Stream.MemoryView(view)) {
    owned = Stream.ReadAll();
    view = owned;
  }
  FFileData = view;
  const TByteReader file(view, "WordPerfect file");
  TByteReader h = file.SubUpTo(0, kHeaderSize, "WordPerfect file header");
  if (h.Size() < 16) throw EReadError("Stream read error: the WordPerfect file header is cut off");
  h.ReadInto(FHeader.Ident, 4);
  FHeader.DocumentPointerPosition = h.U32LE();
  FHeader.ProductID = h.U8();
  FHeader.FileType = h.U8();
  FHeader.MajorVersion = h.U8();
  FHeader.MinorVersion = h.U8();
  FHeader.EncryptionPosition = h.U16LE();
  const bool wp6 = FHeader.MajorVersion == 2;
  FHeader.IndexHeaderPosition = 0;
  FHeader.Reserved = 0;
  FHeader.DocumentEnd = static_cast<int32_t>(std::min<size_t>(view.size(), INT32_MAX));
  if (std::memcmp(FHeader.Ident, "\xFFWPC", 4) != 0 && IsWordPerfect42Data(view)) {
    FHeader = TWPDFileHeader();
    if (!ParseItems().Contains(wpiText)) return;
    TByteReader body = file;
    FSink.Open(Text());
    if (!ReadText42(body)) {
      FSink.Close(false);
      throw Exception(kNo42Text);
    }
    CloseOpenElements();
    FSink.Close();
    return;
  }
  if (std::memcmp(FHeader.Ident, "\xFFWPC", 4) != 0 || (FHeader.MajorVersion != 0 && !wp6))
    throw Exception(kNotValid);
  if (wp6) {
    if (h.Size() < kHeaderSize) throw EReadError("Stream read error: the WordPerfect file header is cut off");
    FHeader.IndexHeaderPosition = h.U16LE();
    FHeader.Reserved = h.U32LE();
    FHeader.DocumentEnd = h.I32LE();
  }
  if (IsPasswordProtected()) throw Exception(kPasswordProtected);
  if (wp6) ReadIndex(file);
  if (!ParseItems().Contains(wpiText)) return;

  int64_t end = FHeader.DocumentEnd;
  if (end > static_cast<int64_t>(view.size()) || end < 0) end = static_cast<int64_t>(view.size());
  const uint64_t begin = std::min<uint64_t>(FHeader.DocumentPointerPosition, static_cast<uint64_t>(end));
  TByteReader body = file.Sub(begin, static_cast<uint64_t>(end) - begin, "WordPerfect document area");
  FSink.Open(Text());
  try {
    if (wp6)
      ReadText6(body);
    else
      ReadText5(body);
  } catch (...) {
    FSink.Close(false);
    throw;
  }
  CloseOpenElements();
  FSink.Close();
  ReadSubDocuments(file, wp6);
}

// Each kind goes to its own list, in the order the body cites them.
void TWordPerfectFile::ReadSubDocuments(const TByteReader& File, bool WP6) {
  TWideStrings* const lists[sdKinds] = {FFootnotes.get(), FHeaders.get(), FFooters.get(), FEndnotes.get()};
  FInSubDocument = true;
  for (int kind = 0; kind < sdKinds; ++kind) {
    bool open = false;
    for (const TSubDocument& d : FSubDocuments) {
      if (d.Kind != kind || FSink.Stopped()) continue;
      if (!open) FSink.Open(lists[kind]);
      open = true;
      TByteReader text = File.Sub(d.Position, d.Size, "WordPerfect sub-document");
      FUndoOn = false;  // each sub-document starts with its text shown
      try {
        if (WP6)
          ReadText6(text);
        else
          ReadText5(text);
      } catch (...) {
        FSink.Close(false);
        throw;
      }
      CloseOpenElements();
      FSink.EndLineIfAny();
    }
    if (open) FSink.Close();
  }
  FInSubDocument = false;
}

void TWordPerfectFile::SubDocument(TSubDocKind Kind, const TByteReader& Text) {
  if (FInSubDocument || Text.Size() == 0) return;
  const auto* base = reinterpret_cast<const uint8_t*>(FFileData.data());
  FSubDocuments.push_back({Kind, static_cast<uint64_t>(Text.Data() - base), Text.Size()});
}

// The function's prefix IDs name the sub-document packets that hold its text; a packet cited
// again is not read again.
void TWordPerfectFile::SubDocumentPIDs6(const TByteReader& F, TSubDocKind Kind) {
  // A citation inside undo text was deleted; its packet may still be cited for real later.
  if (FUndoOn || !F.CanReadAt(4, 2) || (F.U8At(4) & 0x80) == 0) return;
  const uint8_t count = F.U8At(5);
  for (uint8_t i = 0; i < count && F.CanReadAt(6 + 2u * i, 2); ++i) {
    const auto packet = FSubDocPackets.find(F.U16LEAt(6 + 2u * i));
    if (packet == FSubDocPackets.end()) continue;
    const auto [position, size] = packet->second;
    FSubDocPackets.erase(packet);
    // The packet starts with its text's offset and length.
    const TByteReader file(FFileData, "WordPerfect file");
    const TByteReader data = file.SubUpTo(position, size, "WordPerfect sub-document packet");
    if (!data.CanReadAt(2, 8)) continue;
    const uint32_t offset = data.U32LEAt(2);
    if (offset > data.Size()) continue;
    SubDocument(Kind, data.SubUpTo(offset, data.U32LEAt(6), "WordPerfect sub-document"));
  }
}

void TWordPerfectFile::ReadIndex(const TByteReader& File) {
  if (FHeader.IndexHeaderPosition == 0) return;
  const uint32_t at = FHeader.IndexHeaderPosition;
  const uint16_t count = File.U16LEAt(at + 2);
  TByteReader items = File.SubUpTo(at + 14, static_cast<uint64_t>(count) * kIndexItemSize, "WordPerfect index");
  for (uint32_t pid = 1; pid < count; ++pid) {
    TWPDIndexItem item;
    item.Flags = items.U8();
    item.PacketType = items.U8();
    item.UseCount = items.U16LE();
    item.HiddenCount = items.U16LE();
    item.DataPacketSize = items.U32LE();
    item.DataPointer = items.U32LE();
    if (item.PacketType == 0x20 || item.PacketType == 0x55)
      ParseFontDescriptor(File, static_cast<uint16_t>(pid), item.DataPacketSize, item.DataPointer);
    if (item.PacketType == kSubDocumentPacket)
      FSubDocPackets[static_cast<uint16_t>(pid)] = {item.DataPointer, item.DataPacketSize};
    auto packet = std::make_unique<TWPDHeaderPacket>();
    packet->PID = static_cast<uint16_t>(pid);
    packet->PacketType = item.PacketType;
    packet->PacketPosition = item.DataPointer;
    packet->HasChildren = (item.Flags & 1) != 0;
    FHeaderPacketList.push_back(std::move(packet));
    Budget().ChargeObjects(1);
  }
}

void TWordPerfectFile::ParseFontDescriptor(const TByteReader& File, uint16_t PID, uint32_t, uint32_t Position) {
  TByteReader r = File.SubUpTo(Position, File.Size(), "WordPerfect font descriptor");
  auto d = std::make_unique<TWPDFontDescriptor>();
  d->PacketID = PID;
  d->CharacterWidth = r.U16LE();
  d->AscenderHeight = r.U16LE();
  d->xHeight = r.U16LE();
  d->DescenderHeight = r.U16LE();
  d->ItalicsAdjust = r.U16LE();
  d->PrimaryFamilyId = r.U8();
  d->PrimaryFamilyMemberId = r.U8();
  d->ScriptingSystem = r.U8();
  d->PrimaryCharacterSet = r.U8();
  d->Width = r.U8();
  d->Weight = r.U8();
  d->Attributes = r.U8();
  d->GeneralCharacteristics = r.U8();
  d->Classification = r.U8();
  d->FillByte = r.U8();
  d->FontType = r.U8();
  d->FontSourceFileType = r.U8();
  const uint16_t length = r.U16LE();
  if (length > 0) d->FontName = CodePageToWide(r.Bytes(length), CP_ACP);
  FFontDescriptorList.push_back(std::move(d));
}

// ---- WordPerfect 6+ ----

void TWordPerfectFile::ReadText6(TByteReader& R) {
  WideString run;
  auto flush = [&] {
    if (!run.empty()) FSink.Text(run);
    run.clear();
  };
  while (!R.AtEnd() && !FSink.Stopped()) {
    const uint8_t c = R.U8();
    if (c >= 0x21 && c <= 0x7E) {
      if (!FUndoOn) run += static_cast<char16_t>(c);
    } else if (c >= 0x01 && c <= 0x1F) {
      // The commonest accented letters, one byte each.
      if (const char16_t ch = WPOneByteToUnicode(c); !FUndoOn && ch) run += ch;
    } else {
      flush();
      ProcessSysCharacter(R, c);
    }
  }
  flush();
}

void TWordPerfectFile::ProcessSysCharacter(TByteReader& R, uint8_t Code) {
  const bool show = !FUndoOn;
  if (Code < 0xD0) {
    switch (Code) {
      case 0x80:  // soft space
      case 0x81:  // hard space
        if (show) FSink.Text(Code == 0x80 ? u" " : u"\u00A0");
        break;
      case 0x82:  // soft hyphen: kept, so a word broken at it stays marked
        if (show) FSink.Text(u"\u00AD");
        break;
      case 0x83:  // hard hyphen
      case 0x84:
        if (show) FSink.Text(u"-");
        break;
      case 0x87:
      case 0xCC:  // hard end of line
        FSink.Mark(tmParagraph);
        break;
      case 0xC7:  // hard end of page
        FSink.Mark(tmPage);
        break;
      case 0xCF:  // soft end of line: a word wrap
        if (show) FSink.Text(u" ");
        break;
      default:
        break;
    }
    return;
  }
  if (Code >= 0xF0) {
    switch (Code) {
      case 0xF0: {
        const uint8_t number = R.U8();
        const uint8_t set = R.U8();
        if (show) ExtendedCharacter(number, set);
        if (R.U8() != 0xF0) throw Exception(kBadExtended);
        break;
      }
      case 0xF1: {
        const uint8_t type = R.U8();
        R.Skip(3);
        if (type == 0 && !FUndoOn)
          FUndoOn = true;
        else if (type == 1 && FUndoOn)
          FUndoOn = false;
        break;
      }
      case 0xF2:
      case 0xF3: {
        const uint8_t number = R.U8();
        R.Skip(1);
        if (show) Attribute(number, Code == 0xF2);
        break;
      }
      default:
        break;
    }
    return;
  }
  if (Code >= 0xE3 || Code == 0xDE) return;
  // A variable-length function: subgroup, a size counting the whole function, flags, data.
  const size_t start = R.Position() - 1;
  const uint8_t sub = R.U8();
  const uint16_t size = R.U16LE();
  if (size < 4 || !R.CanReadAt(start, size)) throw EReadError("Stream read error: a WordPerfect function is cut off");
  const TByteReader f = R.Sub(start, size, "WordPerfect function");
  R.Seek(start + size);
  switch (Code) {
    case 0xD0:  // end of line / page group
      if (!show) break;
      if (sub <= 0x03)
        FSink.Text(u" ");  // soft ends: word wraps
      else if (sub >= 0x14 && sub <= 0x16)
        break;  // soft ends after a hyphen: the word goes on
      else if ((sub >= 0x04 && sub <= 0x06) || (sub >= 0x17 && sub <= 0x19))
        FSink.Mark(tmParagraph);
      else if (sub == 0x07)
        FSink.Text(u" ");
      else if (sub == 0x09 || sub == 0x1C)
        FSink.Mark(tmPage);
      else if (sub >= 0x0A && sub <= 0x13)
        FSink.Mark(tmParagraph);  // table cells and rows: hard ends inside a table
      break;
    case 0xD2:  // margins
      if (show && sub <= 1 && FSink.Mode() == tfRTF && f.CanReadAt(7, 2))
        FSink.Raw((sub == 0 ? u"\\pard\\fi" : u"\\pard\\ri") + Decimal(f.U16LEAt(7) / 1200) + u" ");
      if (sub <= 2) FParagraphChanged = true;
      break;
    case 0xD3:  // justification
      if (sub == 5 && f.CanReadAt(7, 1)) {
        if (show) Justify(f.U8At(7));
        FParagraphChanged = true;
      }
      break;
    case 0xD4:  // font change
      if ((sub == 0x1A || sub == 0x1B) && f.CanReadAt(14, 4)) FontSize(f.U16LEAt(16) / 50u, f.U16LEAt(14));
      break;
    case 0xD6:  // headers A and B, footers A and B; watermarks are no text
      if (sub <= 3) SubDocumentPIDs6(f, sub <= 1 ? sdHeader : sdFooter);
      break;
    case 0xD7:
      if (sub <= 1) SubDocumentPIDs6(f, sub == 0 ? sdFootnote : sdEndnote);
      break;
    case 0xDF:
      if (!f.CanReadAt(5, 1) || f.U8At(5) == 0) throw Exception(kBadPIDs);
      break;
    case 0xE0:  // tab group
      if (!show) break;
      switch (sub / 8) {
        case 8:
          if (FSink.Mode() == tfRTF) FSink.Raw(u"\\pard\\qc ");
          else if (FSink.Mode() == tfPlainText) FSink.Mark(tmTab);
          break;
        case 16:
          if (FSink.Mode() == tfRTF) FSink.Raw(u"\\pard\\qr ");
          else if (FSink.Mode() == tfPlainText) FSink.Mark(tmTab);
          break;
        case 0: case 1: case 2: case 4: case 6: case 7: case 9: case 10: case 18: case 26:
          FSink.Mark(tmTab);
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

void TWordPerfectFile::ExtendedCharacter(uint8_t Number, uint8_t Set) {
  // 5.x (major version 0) numbers some sets apart from 6+.
  const std::u16string_view text = WPCharToUnicode(Set, Number, FHeader.MajorVersion == 0);
  if (!text.empty()) FSink.Text(text);
}

void TWordPerfectFile::Attribute(uint8_t Number, bool On) {
  for (const auto& a : kAttributes)
    if (a.Number == Number) FSink.Markup(On ? a.On : a.Off);
}

void TWordPerfectFile::FontSize(uint32_t PointSize, uint16_t FontNumber) {
  const TMSTextFormating mode = FSink.Mode();
  if (mode == tfHTML) {
    if (FFontChanged) FSink.Raw(u"</font>");
    FFontTag = u"<font size=\"" + GetHTMLFontSize(static_cast<int32_t>(PointSize)) + u"\">";
    FSink.Raw(FFontTag);
  } else if (mode == tfRTF) {
    FSink.Raw(u"\\f" + Decimal(FontNumber) + u"\\fs" + Decimal(PointSize * 2) + u" ");
  }
  FFontChanged = true;
}

void TWordPerfectFile::Justify(uint8_t Value) {
  // Left, full, centre, right.
  static const TMarkup kJustify[] = {
      {u"", u"\\ql ", u"<div style=\"text-align:left\">"},
      {u"", u"\\qj ", u"<div style=\"text-align:justify\">"},
      {u"", u"\\qc ", u"<div style=\"text-align:center\">"},
      {u"", u"\\qr ", u"<div style=\"text-align:right\">"},
  };
  // The font element goes inside the block, so the two never overlap.
  const bool reopen = FFontChanged && FSink.Mode() == tfHTML;
  if (reopen) FSink.Raw(u"</font>");
  CloseJustify();
  if (Value <= 3) {
    FSink.Markup(kJustify[Value]);
    FJustifyOpen = FSink.Mode() == tfHTML;
  }
  if (reopen) FSink.Raw(FFontTag);
}

void TWordPerfectFile::CloseJustify() {
  if (FJustifyOpen) FSink.Markup(kJustifyEnd);
  FJustifyOpen = false;
}

// HTML output stays well formed: what the document left open is closed at its end.
void TWordPerfectFile::CloseOpenElements() {
  if (FSink.Mode() != tfHTML) return;
  if (FFontChanged) FSink.Raw(u"</font>");
  CloseJustify();
  FFontChanged = false;
}

// ---- WordPerfect 5.x ----

namespace {
// Total lengths of the fixed-length functions 0xC0-0xCF, which begin and end with their code.
constexpr uint8_t kFixedLength5[16] = {4, 9, 11, 3, 3, 5, 6, 7, 4, 5, 6, 7, 8, 9, 10, 11};
// The bytes of a header or footer function ahead of its text.
constexpr size_t kHeaderFooterPrefix5 = 18;
}  // namespace

void TWordPerfectFile::ReadText5(TByteReader& R) {
  WideString run;
  auto flush = [&] {
    if (!run.empty()) FSink.Text(run);
    run.clear();
  };
  while (!R.AtEnd() && !FSink.Stopped()) {
    const uint8_t c = R.U8();
    if (c >= 0x20 && c <= 0x7E) {
      run += static_cast<char16_t>(c);
      continue;
    }
    flush();
    ProcessSysCharacter5(R, c);
  }
  flush();
}

void TWordPerfectFile::ProcessSysCharacter5(TByteReader& R, uint8_t Code) {
  if (Code < 0x20) {
    switch (Code) {
      case 0x0A:  // hard return
        FSink.Mark(tmParagraph);
        break;
      case 0x0C:  // hard page
        FSink.Mark(tmPage);
        break;
      case 0x0B:  // soft page
      case 0x0D:  // soft return: a word wrap
        FSink.Text(u" ");
        break;
      case 0x09:
        FSink.Mark(tmTab);
        break;
      default:
        break;
    }
    return;
  }
  if (Code < 0xC0) {
    switch (Code) {
      case 0x8C:  // hard return at a soft page end
        FSink.Mark(tmParagraph);
        break;
      case 0xA0:  // hard space
        FSink.Text(u"\u00A0");
        break;
      case 0xA9:  // hard hyphens
      case 0xAA:
        FSink.Text(u"-");
        break;
      default:
        break;
    }
    return;
  }
  const size_t start = R.Position() - 1;
  if (Code < 0xD0) {
    const uint8_t length = kFixedLength5[Code - 0xC0];
    if (!R.CanReadAt(start, length)) throw EReadError("Stream read error: a WordPerfect function is cut off");
    const TByteReader f = R.Sub(start, length, "WordPerfect function");
    R.Seek(start + length);
    switch (Code) {
      case 0xC0:
        ExtendedCharacter(f.U8At(1), f.U8At(2));
        break;
      case 0xC1: {
        // Tabs, centring and flush right; only tabs (flags in the top two bits 0 or 3) leave a tab.
        const uint8_t flags = f.U8At(1);
        if ((flags & 0xC0) == 0xC0 || (flags & 0xC0) == 0x00) FSink.Mark(tmTab);
        break;
      }
      case 0xC2:  // indent
        FSink.Mark(tmTab);
        break;
      case 0xC3:
      case 0xC4:
        Attribute(f.U8At(1), Code == 0xC3);
        break;
      default:
        break;
    }
    return;
  }
  // Variable length: subgroup, a length counting what follows it (including the closing
  // length, subgroup and code), the data.
  const uint8_t sub = R.U8();
  const uint16_t length = R.U16LE();
  uint64_t end = 0;
  if (!CheckedAdd(start + 4, length, end) || !R.CanReadAt(start, end - start))
    throw EReadError("Stream read error: a WordPerfect function is cut off");
  // The data between the opening and the closing four bytes.
  const TByteReader f = R.Sub(start + 4, length < 4 ? 0 : length - 4u, "WordPerfect function");
  R.Seek(end);
  // Notes: flags (bit 1: an endnote), the note's number, its line count per page and two bytes
  // per count, then the note's own text. The footnote/endnote group says the kind by subgroup;
  // its footnotes keep 11 bytes of layout after the line counts, its endnotes 4 after the number.
  if (((Code == 0xE2 && sub == 0) || (Code == 0xD6 && sub <= 1)) && f.CanReadAt(0, 4)) {
    const bool endnote = Code == 0xD6 ? sub == 1 : (f.U8At(0) & 0x02) != 0;
    const uint64_t text = Code == 0xE2 ? 4 + 2u * f.U8At(3) : endnote ? 7 : 15 + 2u * f.U8At(3);
    if (text <= f.Size()) SubDocument(endnote ? sdEndnote : sdFootnote, f.Sub(text, f.Size() - text));
  }
  if (Code == 0xD5 && sub <= 3 && f.Size() > kHeaderFooterPrefix5) {
    // Headers A and B, footers A and B: their text follows the occurrence and layout bytes.
    SubDocument(sub <= 1 ? sdHeader : sdFooter, f.Sub(kHeaderFooterPrefix5, f.Size() - kHeaderFooterPrefix5));
  }
  if (Code == 0xDC || Code == 0xDD) {
    // Table ends inside a line or at a page: a new cell, a new row, the table's end.
    if (sub == 0)
      FSink.Mark(tmCell);
    else
      FSink.Mark(tmRow);
  }
}

// ---- WordPerfect 4.2 ----

bool TWordPerfectFile::ReadText42(TByteReader& R) {
  WideString run;
  bool found = false;
  auto flush = [&] {
    found = found || run.find_first_not_of(u' ') != WideString::npos;
    if (!run.empty()) FSink.Text(run);
    run.clear();
  };
  const std::string_view data(reinterpret_cast<const char*>(R.Data()), R.Size());
  while (!R.AtEnd() && !FSink.Stopped()) {
    const size_t at = R.Position();
    const uint8_t c = R.U8();
    if (c >= 0x20 && c <= 0x7E) {
      run += static_cast<char16_t>(c);
      continue;
    }
    flush();
    switch (c) {
      case 0x0A:  // hard return
        FSink.Mark(tmParagraph);
        break;
      case 0x0C:
        FSink.Mark(tmPage);
        break;
      case 0x0D:  // soft return: a word wrap
        FSink.Text(u" ");
        break;
      case 0x09:
        FSink.Mark(tmTab);
        break;
      case 0xA9:
        FSink.Text(u"-");
        break;
      default:
        // Functions run to the next byte of their own code; one left open ends the text.
        if (c >= 0xC0 && c < 0xFF) {
          const size_t end = End42(data, at, kReach42);
          if (end == 0) return found;
          R.Seek(end);
        }
        break;
    }
  }
  flush();
  return found;
}

}  // namespace zvword
