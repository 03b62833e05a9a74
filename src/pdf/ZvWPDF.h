// The PDF reader: cross-reference data and object lookup, stream filters, fonts and their
// encodings, content-stream text and page assembly.
//
// Objects are parsed into a small object model (TZvPDFObject) and kept in a per-load cache, so a
// lookup costs one parse however often it is asked for. Everything hostile input can drive (object
// counts, nesting, decoded sizes, recursion through the page tree, forms and references) is bounded
// by the named limits below.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/MSWBase.h"
#include "framework/TextSink.h"
#include "framework/MSW_Sum.h"

namespace zvword {

class TZvPDFReader;
class TZvPDFEncryption;  // the security handler (ZvWPDFSecurity.h)
struct TZvPDFFontProgram;  // glyph tables of an embedded font (ZvWPDFFontProgram.h)
struct TZvPDFFontEntries;  // a font's entries as text (ZvWPDFFontModel.h)

// ---- Limits against hostile files ----
// Per-structure limits; the totals of a load (decoded bytes, objects fetched, operators run,
// fetches nested in each other) are charged to the reader's resource budget.
constexpr int kPDFMaxNesting = 256;                        // arrays/dictionaries inside each other
constexpr int kPDFMaxRefDepth = 64;                        // references followed in a row
constexpr int kPDFMaxPageTreeDepth = 64;                   // levels of the page tree
constexpr int kPDFMaxFormDepth = 16;                       // forms drawn inside forms
constexpr int64_t kPDFMaxObjectNumber = 8 * 1024 * 1024;   // highest object number accepted
constexpr int64_t kPDFMaxDecodedStream = 256ll << 20;      // bytes one stream may decode to
constexpr int64_t kPDFMaxPageOperations = 10'000'000;      // default content operators one page may run
constexpr int kPDFMaxPages = 200000;
constexpr int64_t kPDFMaxFormCache = 8ll << 20;            // decoded form content kept for drawing again

// ---- Object model ----

enum TZvPDFObjKind : uint8_t { pokNull, pokBool, pokInt, pokReal, pokString, pokName, pokArray, pokDict, pokRef, pokStream };

// One PDF object. Dictionaries (and the dictionary of a stream) hold their keys, without the
// slash, in Keys and the values in Items at the same index; arrays hold their elements in Items.
struct TZvPDFObject {
  TZvPDFObjKind Kind = pokNull;
  bool Bool = false;
  int64_t Int = 0;        // integer value; object number of a reference
  int32_t Gen = 0;        // generation of a reference
  double Real = 0;
  RawByteString Str;      // string bytes; a name without its slash
  std::vector<RawByteString> Keys;
  std::vector<TZvPDFObject> Items;
  std::string_view Data;  // a stream's raw bytes (owned by the reader for the whole load)
  int32_t ObjNum = 0;     // for a stream: the object it is, needed by the security handler
  int32_t ObjGen = 0;

  bool IsNumber() const { return Kind == pokInt || Kind == pokReal; }
  double Number(double Default = 0) const { return Kind == pokInt ? static_cast<double>(Int) : Kind == pokReal ? Real : Default; }
  // The number as an integer, clamped so that hostile values convert safely.
  int64_t AsInt(int64_t Default = 0) const {
    double v = Number(static_cast<double>(Default));
    if (!(v == v)) return Default;
    if (v > 9.0e15) return static_cast<int64_t>(9e15);
    if (v < -9.0e15) return static_cast<int64_t>(-9e15);
    return static_cast<int64_t>(v);
  }
  int32_t AsInt32(int32_t Default = 0) const {
    int64_t v = AsInt(Default);
    return static_cast<int32_t>(v > 0x7FFFFFFF ? 0x7FFFFFFF : v < -0x7FFFFFFF ? -0x7FFFFFFF : v);
  }
  bool IsName(std::string_view n) const { return Kind == pokName && Str == n; }
  bool IsDict() const { return Kind == pokDict || Kind == pokStream; }
  // The value of a dictionary key (without slash), or nullptr. References are not followed.
  const TZvPDFObject* Get(std::string_view key) const;
};

// ---- Cross-reference store ----

enum TZvPDFXRefKind { xrkFree, xrkUnCompressed, xrkCompressed };

class TZvPDFXRef {
 public:
  TZvPDFXRefKind Kind() const { return FKind; }
  // Uncompressed: offset of the object in the file. Compressed: index inside its object stream.
  int64_t Offset() const { return FOffset; }
  // Compressed: number of the object stream that holds the object.
  int32_t ObjNumber() const { return FObjNumber; }
  int32_t Generation() const { return FGeneration; }

 private:
  friend class TZvPDFXRefList;
  friend class TZvPDFReader;
  TZvPDFXRefKind FKind = xrkFree;
  int64_t FOffset = 0;
  int32_t FObjNumber = 0;
  int32_t FGeneration = 0;
  bool FSet = false;  // filled by a newer section, which wins over older ones
};

// Slot i answers object i.
class TZvPDFXRefList {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TZvPDFXRef* GetItem(int Index);
  const TZvPDFXRef* GetItem(int Index) const;
  // Grows the list with free slots until Index exists; returns slot Index.
  TZvPDFXRef* AddItem(int Index);
  // File offset of the object, or of the object stream holding it; -1 when unknown or free.
  int64_t GetOffsetForXRef(int Index) const;
  void Clear() { FItems.clear(); }

 private:
  std::vector<TZvPDFXRef> FItems;
};

// ---- Fonts ----

class TZvPDFFont {
 public:
  TZvPDFFont();
  ~TZvPDFFont();

  const WideString& FontName() const { return FFontName; }  // resource name where first met, e.g. /F1
  const RawByteString& Encoding() const { return FEncoding; }  // base encoding or CMap name
  bool Identity() const { return FIdentity; }                 // two-byte codes
  bool HasToUnicode() const { return !FToUnicode.empty(); }
  int CodePage() const { return FCodePage; }                 // CJK code page of the encoding, 0 = none
  const WideString& Differencies() const { return FDifferencies; }

  // One decoded glyph: its Unicode text, its advance in text space (font size 1), whether the
  // code is the single-byte 32 that word spacing applies to.
  struct TGlyph {
    WideString Text;
    double Width = 0;
    bool IsSpace = false;
  };
  // Splits a shown string into codes and decodes each.
  void Decode(std::string_view bytes, std::vector<TGlyph>& out) const;
  // The text of a string without positions (what the summary and simple callers need).
  WideString DecodeText(std::string_view bytes) const;

  // Fills the font from its dictionary (the reader resolves what it refers to).
  void Load(TZvPDFReader& Reader, const TZvPDFObject& Dict);
  // Parses a ToUnicode map (also used for the code space of an embedded CMap).
  void SetCMap(std::string_view Value);
  // Applies a Differences array given as text, e.g. "[24 /breve /caron 39 /quotesingle]".
  void SetDifferencies(const WideString& Value);

  // The font's entries as written (ZvWPDFFontModel.cpp); filled by TZvPDFReader::ReadFonts, empty
  // for fonts only met while pages were read.
  ZVWORD_API const WideString& Content() const;
  ZVWORD_API const WideString& CMap() const;
  ZVWORD_API const WideString& CID() const;
  ZVWORD_API const WideString& DescendantFonts() const;
  ZVWORD_API const WideString& FontDescriptor() const;
  ZVWORD_API const WideString& FontFile() const;
  ZVWORD_API const WideString& FontFile2() const;
  ZVWORD_API const WideString& FontFile3() const;
  ZVWORD_API const WideString& CIDToGIDMap() const;
  ZVWORD_API const WideString& CIDSystemInfo() const;
  const TZvPDFFontEntries* Entries() const { return FEntries.get(); }
  // Codes of a shown string through the ToUnicode map (two bytes each when IsUnicode), through the
  // font as a whole, and through the Differences array alone; AddSpace puts a space between glyphs.
  ZVWORD_API WideString ConvertCMap(bool IsUnicode, bool AddSpace, const RawByteString& AValue) const;
  ZVWORD_API WideString ConvertCID(bool AddSpace, const RawByteString& AValue) const;
  ZVWORD_API WideString ConvertDifferencies(const WideString& AValue) const;

 private:
  friend class TZvPDFReader;
  friend class TZvPDFContentParser;
  void SetDifferencesArray(const TZvPDFObject& arr);
  void ReadWidths(TZvPDFReader& Reader, const TZvPDFObject& Dict, const TZvPDFObject* Desc);
  void ReadCIDWidths(TZvPDFReader& Reader, const TZvPDFObject& Dict);
  void ReadBuiltInEncoding(std::string_view program);
  void ReadProgram(TZvPDFReader& Reader, const TZvPDFObject* Desc);
  void ReadCIDToGIDMap(TZvPDFReader& Reader, const TZvPDFObject& CIDFont);
  int CodeLength(std::string_view s, size_t pos) const;
  WideString SimpleCodeText(uint8_t code) const;
  WideString ProgramCodeText(uint8_t code) const;

  WideString FFontName;
  RawByteString FEncoding;
  WideString FDifferencies;
  bool FIdentity = false;
  bool FComposite = false;
  bool FType3 = false;
  int FCodePage = 0;
  double FWidthScale = 0.001;  // glyph space to text space
  // Simple fonts: one name (or none) and one width per code.
  std::vector<std::string> FGlyphNames;  // 256 entries after Load
  std::vector<double> FWidths;           // 256 entries (simple) in glyph units
  double FMissingWidth = 0;
  // Composite fonts: widths per CID; default width.
  std::unordered_map<uint32_t, double> FCIDWidths;
  double FDefaultWidth = 1000;
  // ToUnicode: code -> text; code space ranges give the code length.
  std::unordered_map<uint32_t, WideString> FToUnicode;
  struct TCodeRange {
    uint32_t Low, High;
    int Bytes;
  };
  std::vector<TCodeRange> FCodeSpace;
  bool FSymbolic = false;
  bool FHasEncodingDict = false;
  // Without a ToUnicode map the embedded program tells what glyphs stand for.
  std::unique_ptr<TZvPDFFontProgram> FProgram;
  bool FTrueTypeProgram = false;
  std::vector<uint16_t> FCIDToGID;  // CID -> glyph id; empty: the same number
  // Fonts using the built-in encoding of the standard Symbol or ZapfDingbats font.
  bool FSymbolSet = false, FDingbats = false;
  // The text and advance of each single-byte code, worked out on first use.
  mutable std::vector<WideString> FCodeText;
  mutable std::vector<double> FCodeWidth;
  mutable std::vector<bool> FCodeTextDone;
  std::shared_ptr<TZvPDFFontEntries> FEntries;
};

// Fonts of one load: each font object is read once (by object number); inline font dictionaries
// are kept too. Names are resolved per page through the page's own resources.
class TZvPDFFonts {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TZvPDFFont* GetItem(int Index) const;
  TZvPDFFont* AddItem();
  // First font first met under this resource name (ASCII case ignored), or nullptr.
  TZvPDFFont* FindFontByName(const WideString& AFontName) const;
  TZvPDFFont* FindByObject(int32_t ObjNum) const;
  void SetObject(int32_t ObjNum, TZvPDFFont* Font) { FByObject[ObjNum] = Font; }
  void Clear();

 private:
  std::vector<std::unique_ptr<TZvPDFFont>> FItems;
  std::unordered_map<int32_t, TZvPDFFont*> FByObject;
};

// ---- Pages and text items ----

enum TZvPDFItemType { itUnknown, itText, itImage, itLine };

class TZvPDFItem {
 public:
  explicit TZvPDFItem(TZvPDFItemType t = itUnknown) : FItemType(t) {}
  virtual ~TZvPDFItem() = default;
  TZvPDFItemType ItemType() const { return FItemType; }
  const WideString& FontName() const { return FFontName; }
  int32_t FontSize() const { return FFontSize; }
  double Left() const { return FLeft; }
  double Top() const { return FTop; }  // distance from the page top

 private:
  friend class TZvPDFContentParser;
  friend class TZvPDFPage;
  TZvPDFItemType FItemType;
  WideString FFontName;
  int32_t FFontSize = 0;
  double FLeft = 0, FTop = 0;

 protected:
  double FRight = 0;     // where the last glyph ends
  double FSize = 0;      // effective font size on the page (for spacing and line tolerances)
};

class TZvPDFItemText : public TZvPDFItem {
 public:
  TZvPDFItemText() : TZvPDFItem(itText) {}
  const WideString& Text() const { return FText; }
  // The item follows the previous one on the same line (no line break between them).
  bool IsContinueBlock() const { return FIsContinueBlock; }
  // A space separates this item from the previous one.
  bool SpaceBefore() const { return FSpaceBefore; }

 private:
  friend class TZvPDFContentParser;
  friend class TZvPDFPage;
  WideString FText;
  bool FIsContinueBlock = false;
  bool FSpaceBefore = false;
};

class TZvPDFItems {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TZvPDFItem* GetItem(int Index) const;
  TZvPDFItem* AddItem(TZvPDFItemType ItemType);
  // Orders items top to bottom, then left to right (tolerances 15 across and 5 down).
  void SortItems();
  // Frees the list's storage too: cleared pages stay listed for the whole load.
  void Clear() { std::vector<std::unique_ptr<TZvPDFItem>>().swap(FItems); }

 private:
  std::vector<std::unique_ptr<TZvPDFItem>> FItems;
};

class TZvPDFPage {
 public:
  TZvPDFItems& Items() { return FItems; }
  const TZvPDFItems& Items() const { return FItems; }
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // The page's text: items on one line joined, lines separated by CR LF.
  WideString GetPlainText() const;
  WideString PlainText() const { return GetPlainText(); }
  // The same with right-to-left runs left in the order they are drawn.
  WideString GetPlainTextVisual() const;

 private:
  friend class TZvPDFPages;
  friend class TZvPDFReader;
  friend class TZvPDFContentParser;
  TZvPDFItems FItems;
  int32_t FLeft = 0, FTop = 0, FWidth = 1224, FHeight = 792;
};

class TZvPDFPages {
 public:
  explicit TZvPDFPages(TZvPDFReader* Reader = nullptr) : FPDFReader(Reader) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  TZvPDFPage* AddPage();
  TZvPDFPage* GetPage(int Index) const;
  void Clear() { FItems.clear(); }
  // Appends a page and fills its items from a content stream that uses only the reader's fonts
  // list (names resolved with FindFontByName). strMediaBox holds the box's numbers.
  void ParseContents(const RawByteString& strContent, const RawByteString& strMediaBox);
  // All pages, each preceded by CR LF, twenty hyphens and CR LF.
  WideString GetPlainText() const;
  WideString PlainText() const { return GetPlainText(); }

 private:
  TZvPDFReader* FPDFReader;
  std::vector<std::unique_ptr<TZvPDFPage>> FItems;
};

// The pending operations of a text item: one line per operation, operands first, operator last.
class TZvWTagValues {
 public:
  int Count() const { return static_cast<int>(FLines.size()); }
  void Add(const WideString& s) { FLines.push_back(s); }
  void Clear() { FLines.clear(); }
  const WideString& Get(int i) const { return FLines[static_cast<size_t>(i)]; }
  // The operands of the first operation ending in strTag, trimmed; empty when none.
  WideString GetValue(const WideString& strTag, bool CaseSensitive) const;
  // The operands of every text-showing operation, concatenated.
  WideString GetAllTextTags() const;
  void RemoveEmptyStrings();

 private:
  std::vector<WideString> FLines;
};

// ---- The reader ----

class ZVWORD_API TZvPDFReader : public TMSWBaseDocument {
 public:
  explicit TZvPDFReader(TComponent* AOwner = nullptr);
  ~TZvPDFReader() override;

  // Published properties.
  const RawByteString& DocID() const { return FDocID; }
  const RawByteString& Password() const { return FPassword; }
  void SetPassword(const RawByteString& v) { FPassword = v; }
  // Content operators one page may run, its forms' as often as they are drawn.
  int64_t MaxPageOperations() const { return FMaxPageOperations; }
  void SetMaxPageOperations(int64_t v) { FMaxPageOperations = v; }
  // Only pages FirstPage to LastPage (counted from 1; 0 = no bound) are read.
  int FirstPage() const { return FFirstPage; }
  void SetFirstPage(int v) { FFirstPage = v; }
  int LastPage() const { return FLastPage; }
  void SetLastPage(int v) { FLastPage = v; }
  // A page break (a form feed in plain text) between pages.
  bool PageBreaks() const { return FPageBreaks; }
  void SetPageBreaks(bool v) { FPageBreaks = v; }
  // Pages keep their text items after their text went out, for callers that look at them. When off
  // (as the registry makes readers), a page's items and the objects read only for it are released
  // once it is written, so memory follows one page.
  bool KeepPages() const { return FKeepPages; }
  void SetKeepPages(bool v) { FKeepPages = v; }
  TZvWordSummaryInformation* SummaryInformation() const override { return FSummaryInformation.get(); }
  void SetSummaryInformation(const TZvWordSummaryInformation& v) { FSummaryInformation->Assign(v); }
  // Public read-only properties.
  TZvPDFXRefList* XRefs() const { return FXRefs.get(); }
  TZvPDFFonts* Fonts() const { return FFonts.get(); }
  TZvPDFPages* Pages() const { return FPages.get(); }
  const RawByteString& Version() const { return FVersion; }

  void ClearInternalLists() override;
  void LoadFromStream(TStream& AStream) override;
  void LoadFromFile(const WideString& AFileName) override;

  // Offset of the "%PDF" header (any case) when it starts within the first 1024 bytes, else npos.
  static size_t FindPDFHeader(std::string_view Data);
  // The format's signature, for detection and for the reader's own check.
  static bool IsPDFData(std::string_view Data) { return FindPDFHeader(Data) != std::string_view::npos; }

  // ---- Object access (valid during and after a load, until the next load) ----
  // The object with this number (cached); nullptr when absent, free or unreadable.
  const TZvPDFObject* GetObject(int32_t ObjNum);
  // Follows references (bounded); never returns nullptr (a null object instead).
  const TZvPDFObject& Resolve(const TZvPDFObject& Obj);
  const TZvPDFObject* ResolveKey(const TZvPDFObject& Dict, std::string_view Key);
  // A stream's data with its filters applied; a failing filter keeps what it decoded before the
  // fault. Raises only for limits.
  RawByteString GetStreamContent(const TZvPDFObject& Stream);
  // The raw text of an object: its bytes in the file or in its decoded object stream.
  RawByteString GetBodyByRefNo(int32_t RefNo);
  const TZvPDFObject& Trailer() const { return FTrailer; }
  // Applies one filter to data. Params: the filter's decode parameters (or nullptr).
  RawByteString DecodeContentByFilter(std::string_view Filter, std::string_view Data, const TZvPDFObject* Params);

  // ---- Hooks of the security handler (ZvWPDFSecurity.cpp) and metadata (ZvWPDFMeta.cpp) ----
  // Creates Encryption when the trailer names an /Encrypt dictionary.
  void ParseEncryption();
  // Fills SummaryInformation from the document information dictionary (and XMP when present).
  void ProcessMetaData();
  // Every stream's raw bytes pass here before their filters run.
  RawByteString DecryptStream(int32_t ObjNum, int32_t Gen, std::string_view Bytes);
  // Every string of an object read from the file (not from an object stream) passes here.
  RawByteString DecryptString(int32_t ObjNum, int32_t Gen, std::string_view Bytes);
  TZvPDFEncryption* Encryption() const { return FEncryption.get(); }
  // The /Encrypt entry of the trailer (a reference or a dictionary); null when absent.
  const TZvPDFObject& EncryptEntry() const { return FEncryptEntry; }
  // The first string of the trailer's /ID, decoded to bytes.
  const RawByteString& FirstID() const { return FDocID; }

  // ---- Text-search operations on raw object text ----
  static RawByteString TokenAfterKey(const RawByteString& Key, const RawByteString& Text);
  static RawByteString RunAfterKey(const RawByteString& Key, const RawByteString& Text);
  static RawByteString CutReference(RawByteString& Text);
  static RawByteString GetRefBody(const RawByteString& Body, const RawByteString& Tag, bool FromEnd);
  static RawByteString GetItemType(const RawByteString& Body);
  static RawByteString GetLastLine(RawByteString& S, int MaxLen, bool Remove);
  static WideString Reverse(const WideString& S);
  // The inside of the dictionary that is the value of Tag in Text, following a reference.
  RawByteString GetDoubleBracketValue(const RawByteString& Tag, const RawByteString& Text);
  // A string value of Tag in Body decoded to bytes (hex strings and escapes resolved).
  static RawByteString GetInfoTag(const RawByteString& Tag, const RawByteString& Body, bool UnHex, bool Strings);

  // ---- Entry points over object text (ZvWPDFFontModel.cpp) ----
  // Object numbers, as text, of the trailer's /Root, /Info and /Encrypt references; empty when the
  // entry is absent or not a reference.
  ZVWORD_API RawByteString RootTag() const;
  ZVWORD_API RawByteString InfoTag() const;
  ZVWORD_API RawByteString EncryptTag() const;
  // The lower-cased filter names of an object's dictionary ("/flatedecode /ascii85decode") and its
  // /Length and /Length1, references followed. After a load, AStream is the document read.
  ZVWORD_API void GetFilterContent(TStream& AStream, const RawByteString& Body, RawByteString& Filter, int32_t& Length,
                                   int32_t& Length1);
  ZVWORD_API RawByteString GetBodyByRefNo(TStream& AStream, int32_t RefNo);
  ZVWORD_API RawByteString GetDoubleBracketValue(TStream& AStream, const RawByteString& Tag, const RawByteString& Text);
  // Adds the fonts a font resource dictionary (given as text) names, with their entries as text; a
  // name already in Fonts keeps its font.
  ZVWORD_API void ReadFonts(TStream& AStream, const RawByteString& Data);

 private:
  friend class TZvPDFContentParser;
  friend class TZvPDFFont;
  friend class TZvPDFPages;

  // Cross-reference loading (ZvWPDFXRef.cpp).
  bool LoadXRefChain(int64_t StartOffset);
  bool LoadSectionAt(int64_t Offset, TZvPDFObject& TrailerOut, int64_t& XRefStm);
  bool LoadCrossXRefTable(size_t Pos, TZvPDFObject& TrailerOut);
  bool LoadCrossXRefStream(int64_t Offset, TZvPDFObject& TrailerOut);
  void ReconstructXRefs();
  void TakeTrailer(const TZvPDFObject& T);
  bool ReadObjectAt(int64_t Offset, int32_t ExpectNum, TZvPDFObject& Out);
  bool ReadCompressed(int32_t StmNum, int32_t Index, int32_t ExpectNum, TZvPDFObject& Out);
  void DecryptObjectStrings(TZvPDFObject& Obj, int32_t Num, int32_t Gen, int Depth);
  bool RootUsable();
  void LoadDocument(TStream& AStream);
  void ReleaseInput();
  // Makes AStream the input of a lookup outside a load; false when a load's input is in place.
  bool BindInput(TStream& AStream);

  // Pages (ZvWPDFContent.cpp).
  void ProcessPages(const TZvPDFObject& Node, const TZvPDFObject* InheritedRes, const TZvPDFObject* InheritedBox,
                    int Depth, std::unordered_set<int64_t>& Visited);
  void ProcessPage(const TZvPDFObject& Page, const TZvPDFObject* Res, const TZvPDFObject* Box);
  void ReadPage(TZvPDFPage& Target, const TZvPDFObject& Page, const TZvPDFObject* Res, const TZvPDFObject* Box);
  TZvPDFFont* FontFor(const TZvPDFObject& FontRef);
  // The decoded content of form object Id (-1: a direct object), decoded on its first drawing
  // and kept while the cache has room; otherwise decoded into Own.
  const RawByteString* FormContent(const TZvPDFObject& Form, int64_t Id, RawByteString& Own);
  // Hands page Index's text on as soon as the page is read; the first page opens the output.
  void EmitPage(int Index);
  // Closes the output (opening it first for a document without pages).
  void EmitPages();

  std::unique_ptr<TZvPDFXRefList> FXRefs;
  std::unique_ptr<TZvPDFFonts> FFonts;
  std::unique_ptr<TZvPDFPages> FPages;
  TTextSink FSink{*this, LineMarks()};
  RawByteString FDocID;
  RawByteString FVersion = "1.0";
  RawByteString FPassword;
  int64_t FMaxPageOperations = kPDFMaxPageOperations;
  int FFirstPage = 0, FLastPage = 0;
  bool FPageBreaks = false;
  bool FKeepPages = true;
  std::unique_ptr<TZvWordSummaryInformation> FSummaryInformation;
  std::unique_ptr<TZvPDFEncryption> FEncryption;

  // Per-load state.
  std::string_view FData;     // the whole file: the caller's memory or FOwnedInput, for the load only
  RawByteString FOwnedInput;  // a copy of the input, made only when the stream has no memory view
  TZvPDFObject FTrailer;
  TZvPDFObject FEncryptEntry;
  TZvPDFObject FNull;
  std::unordered_map<int32_t, std::unique_ptr<TZvPDFObject>> FCache;
  std::unordered_set<int32_t> FLoading;  // objects being parsed (reference loops)
  // Objects in the order they entered the cache: what a page read alone is dropped after it.
  std::vector<int32_t> FFetched;
  void ForgetFetchedSince(size_t Mark);
  struct TObjStm {
    RawByteString Data;
    std::vector<std::pair<int32_t, int64_t>> Offsets;  // object number, offset in Data
    bool Ok = false;
  };
  std::unordered_map<int32_t, std::unique_ptr<TObjStm>> FObjStms;
  struct TFormContent {
    RawByteString Content;
    int64_t Charged;  // decoded bytes its decoding charged
  };
  std::unordered_map<int64_t, TFormContent> FForms;  // see FormContent
  int64_t FFormBytes = 0;
  bool FReconstructed = false;
  int FPagesSeen = 0;  // pages met in the page tree, read or outside the range
  bool FEmitStarted = false;  // the pages went to the output (a limit hit later must not repeat them)
};

}  // namespace zvword
