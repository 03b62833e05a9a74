// Loading Word binary documents: flat files, compound files on disk and in memory, and the
// order in which the body, the stories, the macros and the summary are read.
#include "word/MSWord.h"

#include <algorithm>

#include "framework/MSWordCnst.h"
#include "platform/CodePages.h"
#include "platform/CompoundFile.h"
#include "platform/TextHelpers.h"
#include "word/MSWordVBA.h"

namespace zvword {
namespace {

const WideString SPasswordProtected = u"Could not read the password protected file";
const WideString SNotValidWordStream = u"The stream is not a valid MS Word document";

// Identifiers of the flat files of the Word family.
bool IsFlatWordIdent(uint16_t ident) {
  return ident == 0xBE31 || ident == 0xBE32 || ident == 0x6031 || ident == 0xA59B || ident == 0xA5DB;
}

// Word for DOS and Write keep their text from byte 128 up to the offset at byte 14.
bool IsDosWordIdent(uint16_t ident) { return ident == 0xBE31 || ident == 0xBE32 || ident == 0x6031; }

// The code page a property set declares (property 1 of its first section); 0 when it has none.
int PropertySetCodePage(TStream& stream) {
  stream.Seek(0, TSeekOrigin::soBeginning);
  const RawByteString d = stream.ReadBytes(64 * 1024);
  auto u32 = [&d](size_t off) -> uint32_t {
    if (off + 4 > d.size()) return 0;
    return static_cast<uint32_t>(static_cast<uint8_t>(d[off])) | (static_cast<uint32_t>(static_cast<uint8_t>(d[off + 1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[off + 2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[off + 3])) << 24);
  };
  const uint64_t section = u32(44);
  const uint32_t count = u32(section + 4);
  for (uint64_t i = 0; i < count && section + 16 + i * 8 <= d.size(); ++i) {
    if (u32(section + 8 + i * 8) != 1) continue;
    const uint64_t value = section + u32(section + 12 + i * 8);
    if (value + 6 > d.size() || (u32(value) & 0xFFFF) != 2) return 0;  // a 16-bit integer
    return static_cast<int>(u32(value + 4) & 0xFFFF);
  }
  return 0;
}

bool IsWindowsAnsiCodePage(int cp) {
  return cp == 874 || cp == 932 || cp == 936 || cp == 949 || cp == 950 || (cp >= 1250 && cp <= 1258) || cp == 10000;
}

}  // namespace

bool TMSWordDocument::IsWordData(std::string_view Data) {
  if (IsCompoundFileSignature(Data)) {
    // A directory entry (128 bytes, aligned on 128 in the file) named "WordDocument" whose type is
    // a stream. Looking for it costs far less than opening the storage.
    static const std::u16string_view kName = u"WORDDOCUMENT";
    for (size_t off = 512; off + 128 <= Data.size(); off += 128) {
      const auto* e = reinterpret_cast<const uint8_t*>(Data.data() + off);
      if (e[64] != 26 || e[65] != 0 || e[66] != STGTY_STREAM) continue;
      bool same = true;
      for (size_t i = 0; i < kName.size() && same; ++i) {
        same = AsciiUpper(static_cast<char16_t>(e[2 * i] | (e[2 * i + 1] << 8))) == kName[i];
      }
      if (same) return true;
    }
    return false;
  }
  if (Data.size() < 32) return false;
  const uint16_t ident = static_cast<uint16_t>(static_cast<uint8_t>(Data[0]) | (static_cast<uint8_t>(Data[1]) << 8));
  const uint16_t nFib = static_cast<uint16_t>(static_cast<uint8_t>(Data[2]) | (static_cast<uint8_t>(Data[3]) << 8));
  // Word 1 and 2 files stand alone; later versions only when taken out of their compound file.
  if (ident == 0xA59B || ident == 0xA5DB) return nFib < 101;
  if (ident == 0xA5DC || ident == 0xA5EC) return nFib >= 101 && nFib < 0x200;
  return false;
}

Exception TMSWordDocument::NotValid() const {
  // A stream has no file name of its own; the caller may have given it one.
  const WideString& name = FLoadName.empty() ? FileName() : FLoadName;
  return Exception(name.empty() ? SNotValidWordStream : FormatMessage(SNotValidWordFile, {name}));
}

TMSWordDocument::TMSWordDocument(TComponent* AOwner) : TMSCustomWordDocument(AOwner) {}

TMSWordDocument::~TMSWordDocument() = default;

void TMSWordDocument::ClearInternalLists() {
  TMSCustomWordDocument::ClearInternalLists();
  FFields.clear();
  FCLX.Clear();
  FSummaryCodePage = 0;
  FLabels.clear();
  FNextLabel = 0;
  FNoteRefMarks.clear();
  FNoteTextMarks.clear();
  FFontRuns.clear();
}

void TMSWordDocument::LoadFromFile(const WideString& AFileName) try {
  TMSWBaseDocument::LoadFromFile(AFileName);
  if (StgIsStorageFile(AFileName) == 0) {
    std::unique_ptr<IStorage> root = StgOpenStorage(AFileName);
    ClearInternalLists();
    FLoadName = AFileName;
    LoadIStorage(*root);
    return;
  }
  TFileStream file(AFileName);
  uint8_t head[2] = {};
  file.Read(head, 2);
  if (!IsFlatWordIdent(static_cast<uint16_t>(head[0] | (head[1] << 8))))
    throw Exception(FormatMessage(SNotValidWordFile, {AFileName}));
  file.Seek(0, TSeekOrigin::soBeginning);
  ClearInternalLists();
  FLoadName = AFileName;
  ReadDocFromStream(file, nullptr);
} catch (const std::exception&) {
  RethrowAsException();
}

void TMSWordDocument::LoadFromStream(TStream& Stream) try {
  TMSWBaseDocument::LoadFromStream(Stream);
  FLoadName.clear();
  const int64_t start = Stream.Position();
  std::unique_ptr<IStorage> root;
  std::string_view memory;
  if (Stream.MemoryView(memory) && start >= 0 && static_cast<uint64_t>(start) <= memory.size()) {
    // Bytes already in memory are read in place; the stream outlives the storage.
    memory.remove_prefix(static_cast<size_t>(start));
    if (IsCompoundFileSignature(memory)) root = OpenStorageOnView(memory);
  } else {
    RawByteString bytes = Stream.ReadAll();
    if (IsCompoundFileSignature(bytes)) root = OpenStorageOnBytes(std::move(bytes));
  }
  if (root) {
    LoadIStorage(*root);
    return;
  }
  Stream.Seek(start, TSeekOrigin::soBeginning);
  uint8_t head[2] = {};
  const int64_t got = Stream.Read(head, 2);
  Stream.Seek(start, TSeekOrigin::soBeginning);
  const uint16_t ident = static_cast<uint16_t>(head[0] | (head[1] << 8));
  // Bytes of another program must not be decoded as Word text.
  if (got < 2 || !(IsFlatWordIdent(ident) || ident == 0xA5DC || ident == 0xA5EC || ident == 0xA699))
    throw NotValid();
  // A flat document read from a stream starts where the stream stood.
  if (start == 0) {
    ReadDocFromStream(Stream, nullptr);
  } else {
    TMemoryStream rest(Stream.ReadAll());
    ReadDocFromStream(rest, nullptr);
  }
} catch (const std::exception&) {
  RethrowAsException();
}

void TMSWordDocument::LoadIStorage(IStorage& Root) {
  SummaryInformation()->Clear();
  // Element names of compound files compare without regard to case; some writers lower-case them.
  WideString wordDocument, table0, table1, macros;
  auto e = Root.EnumElements();
  TStatStg st;
  while (e->Next(st) == 0) {
    if (st.Name.empty()) continue;
    if (st.Type == STGTY_STORAGE) {
      if (SameAsciiText(st.Name, u"Macros")) macros = st.Name;
    } else if (st.Type == STGTY_STREAM) {
      if (SameAsciiText(st.Name, u"WordDocument")) {
        wordDocument = st.Name;
      } else if (SameAsciiText(st.Name, u"1Table")) {
        table1 = st.Name;
      } else if (SameAsciiText(st.Name, u"0Table")) {
        table0 = st.Name;
      } else if (ParseItems().Contains(wpiSummaryInformation) && st.Name.size() > 1) {
        const std::u16string_view name = std::u16string_view(st.Name).substr(1);
        const bool doc = name == u"DocumentSummaryInformation";
        if (doc || name == u"SummaryInformation") {
          if (auto s = Root.OpenStream(st.Name)) SummaryInformation()->ReadPropertySet(*s, doc);
        }
      }
      if (st.Name.size() > 1 && std::u16string_view(st.Name).substr(1) == u"SummaryInformation") {
        if (auto s = Root.OpenStream(st.Name)) {
          const int cp = PropertySetCodePage(*s);
          FSummaryCodePage = IsWindowsAnsiCodePage(cp) ? cp : 0;
        }
      }
    }
  }
  // A compound file without the Word stream is some other program's document.
  if (wordDocument.empty()) throw NotValid();

  std::unique_ptr<IStream> doc = Root.OpenStream(wordDocument);
  const bool hasText = doc && doc->Size() > 0;
  // The FIB names the table stream in use (a fast-saved file may still hold the stale other one)
  // and the language that macro source falls back to.
  if (hasText) ReadFIB(*doc);

  if (!macros.empty() && ParseItems().Contains(wpiVBA)) {
    if (auto storage = Root.OpenStorage(macros)) {
      const int projectCodePage = LoadVBA(*storage);
      AddMacroText(VBAProjectItems(), projectCodePage ? projectCodePage : (hasText ? DocLangToCodePage() : 0),
                   *MacroText());
    }
  }

  if (!hasText) return;
  const bool one = IsUseTableStream();
  std::unique_ptr<IStream> table;
  if (!(one ? table1 : table0).empty()) table = Root.OpenStream(one ? table1 : table0);
  if (!table && !(one ? table0 : table1).empty()) table = Root.OpenStream(one ? table0 : table1);
  ReadDocFromStream(*doc, table.get());
}

void TMSWordDocument::ReadDocFromStream(TStream& Stream, TStream* TableStream) {
  ReadFIB(Stream);
  if (IsPasswordProtected()) throw Exception(SPasswordProtected);
  if (!ParseItems().Contains(wpiText)) return;

  // Text is read piece by piece from the stream itself, never copied whole.
  struct TDocStreamScope {
    TStream*& slot;
    TDocStreamScope(TStream*& s, TStream& stream) : slot(s) { slot = &stream; }
    ~TDocStreamScope() { slot = nullptr; }
  } scope(FDocStream, Stream);
  const uint64_t streamSize = static_cast<uint64_t>(std::max<int64_t>(Stream.Size(), 0));

  if (IsDosWordIdent(FFIB.wIdent)) {
    // Word for DOS and Write: one run of 8-bit text, no stories of its own.
    uint8_t d[4] = {};
    Stream.Seek(14, TSeekOrigin::soBeginning);
    Stream.Read(d, 4);
    const uint64_t fcMac = d[0] | (d[1] << 8) | (d[2] << 16) | (uint64_t{d[3]} << 24);
    FFIB.fcMin = 128;
    FFIB.fcMac = static_cast<uint32_t>(std::min<uint64_t>(std::max<uint64_t>(fcMac, 128), streamSize));
    FFIB.ccpText = static_cast<int32_t>(FFIB.fcMac - FFIB.fcMin);
    FFIB.ccpFtn = FFIB.ccpHdr = FFIB.ccpMcr = FFIB.ccpAtn = 0;
    FDocVersion = 2;
  }

  if (FDocVersion >= 5 && FDocVersion <= 7) {
    // Word 6/95 keeps its piece table in the document stream itself.
    ReadCLX(&Stream);
  } else if (FDocVersion == 8) {
    if (TableStream) {
      TableStream->Seek(0, TSeekOrigin::soBeginning);
      ReadCLX(TableStream);
    } else {
      ReadCLX(nullptr);
    }
  } else {
    ReadCLX(nullptr);
  }

  ReadFormatting(Stream, TableStream);
  ReadSimpleText(Stream);
  ReadSubDocuments();
}

void TMSWordDocument::AddStory(uint64_t& cp, int32_t ccp, TWideStrings* List) {
  if (ccp <= 0) return;
  const uint64_t start = cp;
  cp += static_cast<uint64_t>(ccp);
  if (IsCancelExtract) return;
  BeginStory(List, false, start);
  ReadCPChunks(start, cp, [this](std::u16string_view chunk) { FeedStory(chunk); });
  EndStory(false, false);
}

void TMSWordDocument::ReadSubDocuments() {
  // The stories follow the main text in character positions, in this fixed order.
  uint64_t cp = static_cast<uint64_t>(std::max(FFIB.ccpText, 0));
  AddStory(cp, FFIB.ccpFtn, FootNoteText());
  AddStory(cp, FFIB.ccpHdr, HeaderText());
  AddStory(cp, FFIB.ccpMcr, MacroText());
  AddStory(cp, FFIB.ccpAtn, AnnotationText());
  AddStory(cp, FFIB.ccpEdn, EndNoteText());
  AddStory(cp, FFIB.ccpTxbx, TextBoxText());
  AddStory(cp, FFIB.ccpHdrTxbx, HeaderTextBoxText());
}

int TMSWordDocument::LoadVBA(IStorage& Storage) {
  WideString project;
  const int codePage = ReadVBAProject(Storage, VBAProjectItems(), project);
  SetVBAProject(project);
  return codePage;
}

}  // namespace zvword
