#include "legacy/MSWRI.h"

#include <algorithm>
#include <string>

#include "framework/MSW_CP.h"
#include "platform/ByteReader.h"
#include "platform/CodePages.h"

namespace zvword {
namespace {

const WideString kFcFirstWrong = u"fcFirst wrong";
constexpr size_t kPage = 128;
constexpr size_t kHeaderSize = 98;
// The code page of DOS text, which Write files without a font table hold.
constexpr int kOEM = 437;

// Code page 437, bytes 0x80-0xFF.
constexpr char16_t kCP437[128] = {
    u'Ç', u'ü', u'é', u'â', u'ä', u'à', u'å', u'ç', u'ê', u'ë', u'è', u'ï', u'î', u'ì', u'Ä', u'Å',
    u'É', u'æ', u'Æ', u'ô', u'ö', u'ò', u'û', u'ù', u'ÿ', u'Ö', u'Ü', u'¢', u'£', u'¥', u'₧', u'ƒ',
    u'á', u'í', u'ó', u'ú', u'ñ', u'Ñ', u'ª', u'º', u'¿', u'⌐', u'¬', u'½', u'¼', u'¡', u'«', u'»',
    u'░', u'▒', u'▓', u'│', u'┤', u'╡', u'╢', u'╖', u'╕', u'╣', u'║', u'╗', u'╝', u'╜', u'╛', u'┐',
    u'└', u'┴', u'┬', u'├', u'─', u'┼', u'╞', u'╟', u'╚', u'╔', u'╩', u'╦', u'╠', u'═', u'╬', u'╧',
    u'╨', u'╤', u'╥', u'╙', u'╘', u'╒', u'╓', u'╫', u'╪', u'┘', u'┌', u'█', u'▄', u'▌', u'▐', u'▀',
    u'α', u'ß', u'Γ', u'π', u'Σ', u'σ', u'µ', u'τ', u'Φ', u'Θ', u'Ω', u'δ', u'∞', u'φ', u'ε', u'∩',
    u'≡', u'±', u'≥', u'≤', u'⌠', u'⌡', u'÷', u'≈', u'°', u'∙', u'·', u'√', u'ⁿ', u'²', u'■', u'\u00A0'};

const TMarkTable kMarks = {{
    {u"\r\n", u"\\par \r\n", u"</p>\r\n"},  // paragraph
    {u"\r\n", u"\\line \r\n", u"<br>\r\n"},  // line
    {u"\t", u"\\tab ", u"\t"},               // tab
    {u"\t", u"\\tab ", u"\t"},               // cell
    {u"\r\n", u"\\par \r\n", u"<br>\r\n"},   // row
    {u"\r\n", u"\\page \r\n", u"<br>\r\n"},  // page
}};
const TMarkup kParagraphStart = {u"", u"\\pard ", u"<p>"};
// A paragraph whose text is not shown (a picture, a running head) leaves no empty line behind.
const TMarkup kHiddenParagraphEnd = {u"", u"\\par \r\n", u"</p>\r\n"};

WideString Decimal(uint32_t v) {
  const std::string s = std::to_string(v);
  return WideString(s.begin(), s.end());
}

// The property byte k of the block at Offset (from byte 4) of a run page; -1 when the block
// does not have it.
int PropertyByte(const TByteReader& Page, uint16_t Offset, unsigned k) {
  if (Offset == 0xFFFF) return -1;
  const uint64_t block = 4u + Offset;
  if (!Page.CanReadAt(block, 1)) return -1;
  const unsigned count = Page.U8At(block);
  if (k >= count || !Page.CanReadAt(block + 1 + k, 1)) return -1;
  return Page.U8At(block + 1 + k);
}

// The run entries of one page, after checking that it continues where the previous one ended.
template <class F>
void WalkRunPage(const TByteReader& Page, uint32_t& Expected, F&& OnRun) {
  if (Page.U32LEAt(0) != Expected) throw Exception(kFcFirstWrong);
  const unsigned count = std::min<unsigned>(Page.U8At(127), (127 - 4) / 6);
  for (unsigned i = 0; i < count; ++i) {
    const uint32_t limit = Page.U32LEAt(4 + 6 * i);
    const uint16_t offset = Page.U16LEAt(8 + 6 * i);
    // Runs only go forward: an empty run, or one behind the start (which would replay text), is passed over.
    if (limit <= Expected) continue;
    const bool more = OnRun(Expected, limit, offset);
    Expected = limit;
    if (!more) return;
  }
}

}  // namespace

TWRIFile::TWRIFile(TComponent* AOwner) : TMSWBaseDocument(AOwner), FSink(*this, kMarks) {}

TWRIFile::~TWRIFile() { ClearInternalLists(); }

void TWRIFile::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  FFontTable.clear();
}

bool TWRIFile::IsWriteData(std::string_view Data) {
  if (Data.size() < kPage) return false;
  const auto u16 = [&](size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(Data[at]) | (static_cast<uint8_t>(Data[at + 1]) << 8));
  };
  return (u16(0) == 0xBE31 || u16(0) == 0xBE32) && u16(2) == 0 && u16(4) == 0xAB00;
}

void TWRIFile::LoadFromFile(const WideString& AFileName) { LoadFileThroughStream(AFileName); }

void TWRIFile::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  FHeader = TWRIHeader();
  // The file starts where the stream stands.
  const int64_t start = Stream.Position();
  std::string_view view;
  RawByteString owned;
  if (Stream.MemoryView(view) && start >= 0 && static_cast<uint64_t>(start) <= view.size()) {
    view.remove_prefix(static_cast<size_t>(start));
  } else {
    owned = Stream.ReadAll();
    view = owned;
  }
  const TByteReader file(view, "Write file");
  TByteReader h = file.Sub(0, kHeaderSize, "Write file header");
  FHeader.wIdent = h.U16LE();
  FHeader.dty = h.U16LE();
  FHeader.wTool = h.U16LE();
  for (uint16_t& r : FHeader.Reserved) r = h.U16LE();
  FHeader.fcMac = h.U32LE();
  FHeader.pnPara = h.U16LE();
  FHeader.pnFntb = h.U16LE();
  FHeader.pnSep = h.U16LE();
  FHeader.pnSetb = h.U16LE();
  FHeader.pnPgtb = h.U16LE();
  FHeader.pnFfntb = h.U16LE();
  FHeader.pnMac = h.U16LEAt(96);
  if (FHeader.fcMac < kPage || !file.CanReadAt(kPage, FHeader.fcMac - kPage))
    throw EReadError("Stream read error: the Write text lies beyond the end of the file");
  if (!ParseItems().Contains(wpiText)) return;

  ReadFontTable(file);
  const std::vector<TRun> runs = ReadCharRuns(file);
  FSink.Open(Text());
  try {
    ReadPAP(file, runs);
  } catch (...) {
    FSink.Close(false);
    throw;
  }
  FSink.Close();
} catch (const std::exception&) {
  RethrowAsException();
}

// The font face table: a count, then entries of a length, a family byte and a zero-ended name.
// A table that does not hold together is taken as absent: the text is then DOS text.
void TWRIFile::ReadFontTable(const TByteReader& File) {
  FCodePage = kOEM;
  const uint64_t at = static_cast<uint64_t>(FHeader.pnFfntb) * kPage;
  if (FHeader.pnFfntb == 0 || FHeader.pnFfntb == FHeader.pnMac || !File.CanReadAt(at, 2)) return;
  TByteReader r = File.Sub(at, File.Size() - at, "Write font table");
  const uint16_t count = r.U16LE();
  uint64_t page = FHeader.pnFfntb + 1u;
  TWRIFontList fonts;
  for (uint16_t i = 0; i < count; ++i) {
    if (!r.CanRead(2)) return;
    uint16_t length = r.U16LE();
    if (length == 0xFFFF) {
      const uint64_t next = page++ * kPage;
      if (!File.CanReadAt(next, 2)) return;
      r = File.Sub(next, File.Size() - next, "Write font table");
      length = r.U16LE();
    }
    if (length < 2 || !r.CanRead(length)) return;
    auto font = std::make_unique<TWRIFont>();
    font->ID = r.U8();
    std::string_view name = r.Bytes(length - 1u);
    const size_t zero = name.find('\0');
    if (zero == std::string_view::npos) return;
    name = name.substr(0, zero);
    for (char c : name)
      if (static_cast<uint8_t>(c) < 0x20) return;
    font->Name = RawByteString(name);
    fonts.push_back(std::move(font));
  }
  if (count == 0) return;
  FFontTable = std::move(fonts);
  FCodePage = CP_ACP;
}

// The character runs of the whole document, walked once: they lie on the pages between the text
// and the paragraph runs.
std::vector<TWRIFile::TRun> TWRIFile::ReadCharRuns(const TByteReader& File) {
  std::vector<TRun> runs;
  uint32_t expected = kPage;
  for (uint64_t pn = (FHeader.fcMac + kPage - 1) / kPage; expected < FHeader.fcMac && pn < FHeader.pnPara; ++pn) {
    const TByteReader page = File.Sub(pn * kPage, kPage, "Write character run page");
    WalkRunPage(page, expected, [&](uint32_t start, uint32_t limit, uint16_t offset) {
      TRun run;
      run.Start = start;
      run.Limit = std::min(limit, FHeader.fcMac);
      const int b1 = PropertyByte(page, offset, 1);
      const int b2 = PropertyByte(page, offset, 2);
      const int b3 = PropertyByte(page, offset, 3);
      const int b4 = PropertyByte(page, offset, 4);
      const int b5 = PropertyByte(page, offset, 5);
      if (b1 >= 0) {
        run.Bold = b1 & 1;
        run.Italic = b1 & 2;
        run.Font = static_cast<uint16_t>(b1 >> 2);
      }
      if (b2 >= 0) run.HalfPoints = static_cast<uint8_t>(b2);
      if (b3 >= 0) run.Underline = b3 & 1;
      if (b4 >= 0) run.Font = static_cast<uint16_t>(run.Font | ((b4 & 3) << 6));
      if (b5 >= 0) run.Position = static_cast<uint8_t>(b5);
      runs.push_back(run);
      Budget().ChargeObjects(1);
      return limit < FHeader.fcMac;
    });
  }
  return runs;
}

void TWRIFile::ReadPAP(const TByteReader& File, const std::vector<TRun>& Runs) {
  uint32_t expected = kPage;
  size_t next = 0;  // the first character run that may still cover text
  for (uint64_t pn = FHeader.pnPara; expected < FHeader.fcMac && !FSink.Stopped(); ++pn) {
    const TByteReader page = File.Sub(pn * kPage, kPage, "Write paragraph run page");
    const uint32_t before = expected;
    WalkRunPage(page, expected, [&](uint32_t start, uint32_t limit, uint16_t offset) {
      if (FSink.Stopped()) return false;
      const uint32_t end = std::min(limit, FHeader.fcMac);
      const int b16 = PropertyByte(page, offset, 16);
      // Word for DOS files share Write's identifier but not its paragraph flags: a picture
      // paragraph must also start with a picture header's mapping mode.
      bool picture = false;
      if (b16 >= 0 && (b16 & 0x10) && File.CanReadAt(start, 2)) {
        const uint16_t mm = File.U16LEAt(start);
        picture = (mm >= 1 && mm <= 8) || mm == 0x88 || mm == 0xE3;
      }
      const bool runningHead = b16 >= 0 && (b16 & 0x06);
      FSink.Markup(kParagraphStart);
      if (!picture && !runningHead) {
        while (next < Runs.size() && Runs[next].Limit <= start) ++next;
        for (size_t i = next; i < Runs.size() && Runs[i].Start < end; ++i) ReadCharInfo(File, Runs[i], start, end);
      }
      if (picture || runningHead)
        FSink.Markup(kHiddenParagraphEnd);
      else
        FSink.Mark(tmParagraph);
      return limit < FHeader.fcMac;
    });
    // A page of no runs ends the walk: the next one would be checked against the same offset.
    if (expected == before) break;
  }
}

void TWRIFile::ReadCharInfo(const TByteReader& File, const TRun& Run, uint32_t From, uint32_t To) {
  uint32_t a = std::max(Run.Start, From);
  uint32_t b = std::min(Run.Limit, To);
  // The paragraph's own end (CR LF) becomes the paragraph mark.
  if (b == To)
    while (b > a && (File.U8At(b - 1) == '\n' || File.U8At(b - 1) == '\r')) --b;
  if (a >= b) return;
  const TMSTextFormating mode = FSink.Mode();
  if (mode == tfRTF) {
    FSink.Raw(u"\\f" + Decimal(std::min<uint32_t>(Run.Font, FFontTable.empty() ? 0 : FFontTable.size() - 1)) +
              u"\\fs" + Decimal(Run.HalfPoints) + u" ");
  } else if (mode == tfHTML) {
    WideString tag = u"<font";
    if (!FFontTable.empty()) {
      const TWRIFont& f = *FFontTable[std::min<size_t>(Run.Font, FFontTable.size() - 1)];
      tag += u" face=\"";
      FSink.Text(CodePageToWide(f.Name, CP_ACP), tag);
      tag += u"\"";
    }
    if (Run.HalfPoints > 0) tag += u" size=\"" + GetHTMLFontSize(Run.HalfPoints / 2) + u"\"";
    FSink.Raw(tag + u">");
  }
  static const TMarkup kBold = {u"", u"\\b ", u"<b>"}, kBold0 = {u"", u"\\b0 ", u"</b>"};
  static const TMarkup kItalic = {u"", u"\\i ", u"<i>"}, kItalic0 = {u"", u"\\i0 ", u"</i>"};
  static const TMarkup kUnder = {u"", u"\\ul ", u"<u>"}, kUnder0 = {u"", u"\\ul0 ", u"</u>"};
  static const TMarkup kSub = {u"", u"\\sub ", u"<sub>"}, kSub0 = {u"", u"\\nosupersub ", u"</sub>"};
  static const TMarkup kSup = {u"", u"\\super ", u"<sup>"}, kSup0 = {u"", u"\\nosupersub ", u"</sup>"};
  if (Run.Bold) FSink.Markup(kBold);
  if (Run.Italic) FSink.Markup(kItalic);
  if (Run.Underline) FSink.Markup(kUnder);
  if (Run.Position) FSink.Markup(Run.Position < 128 ? kSub : kSup);
  EmitText(File.BytesAt(a, b - a));
  if (Run.Position) FSink.Markup(Run.Position < 128 ? kSub0 : kSup0);
  if (Run.Underline) FSink.Markup(kUnder0);
  if (Run.Italic) FSink.Markup(kItalic0);
  if (Run.Bold) FSink.Markup(kBold0);
  if (mode == tfHTML) FSink.Raw(u"</font>");
}

// Text bytes: tabs and breaks become marks, the page-number placeholder and soft hyphens vanish.
void TWRIFile::EmitText(std::string_view Bytes) {
  WideString run;
  auto flush = [&] {
    if (!run.empty()) FSink.Text(run);
    run.clear();
  };
  for (size_t i = 0; i < Bytes.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(Bytes[i]);
    if (c >= 0x20 && c < 0x80) {
      run += static_cast<char16_t>(c);
    } else if (c >= 0x80) {
      if (FCodePage == kOEM) {
        run += kCP437[c - 0x80];
      } else {
        size_t j = i;
        while (j < Bytes.size() && static_cast<uint8_t>(Bytes[j]) >= 0x80) ++j;
        AppendCodePageToWide(run, Bytes.substr(i, j - i), CP_ACP);
        i = j - 1;
      }
    } else {
      flush();
      if (c == '\t') {
        FSink.Mark(tmTab);
      } else if (c == '\r' || c == '\n' || c == 0x0B) {
        const size_t len = c == '\r' && i + 1 < Bytes.size() && Bytes[i + 1] == '\n' ? 2 : 1;
        FSink.Break(u"\r\n");
        i += len - 1;
      } else if (c == 0x0C) {
        FSink.Mark(tmPage);
      }
    }
  }
  flush();
}

}  // namespace zvword
