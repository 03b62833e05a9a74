#include "framework/MSWBase.h"

#include <new>
#include <string>

#include "framework/MSWordCnst.h"
#include "framework/TextSink.h"
#include "platform/CaseFold.h"
#include "platform/CodePages.h"
#include "platform/LocalTime.h"
#include "platform/Unicode.h"
#include "platform/Version.h"

namespace zvword {
namespace {
const WideString kCRLF = u"\r\n";
const WideString kGenerator = u"Orvantis Word Document Parser";

WideString Num(int64_t n) { return AsciiToWide(std::to_string(n)); }
}  // namespace

// ---- TWideStrings ----

WideString TWideStrings::Get(int Index) const {
  if (Index < 0 || Index >= Count()) return {};
  return *FWideStringList[static_cast<size_t>(Index)];
}

void TWideStrings::Put(int Index, const WideString& S) {
  if (Index < 0 || Index >= Count()) throw Exception(u"WideStrings index out of bounds");
  auto& item = FWideStringList[static_cast<size_t>(Index)];
  FTextLength += static_cast<int64_t>(S.size()) - static_cast<int64_t>(item->size());
  *item = S;
}

int TWideStrings::Add(const WideString& S) {
  if (FConsumer) {
    FTextLength += static_cast<int64_t>(S.size()) + 2;
    FConsumer(S);
    return Count();
  }
  FWideStringList.push_back(std::make_unique<WideString>(S));
  FTextLength += static_cast<int64_t>(S.size()) + 2;
  return Count() - 1;
}

int TWideStrings::Add(WideString&& S) {
  if (FConsumer) {
    FTextLength += static_cast<int64_t>(S.size()) + 2;
    FConsumer(S);
    return Count();
  }
  FTextLength += static_cast<int64_t>(S.size()) + 2;
  FWideStringList.push_back(std::make_unique<WideString>(std::move(S)));
  return Count() - 1;
}

void TWideStrings::Insert(int Index, const WideString& S) {
  if (Index < 0 || Index > Count()) throw Exception(u"WideStrings index out of bounds");
  FWideStringList.insert(FWideStringList.begin() + Index, std::make_unique<WideString>(S));
  FTextLength += static_cast<int64_t>(S.size()) + 2;
}

void TWideStrings::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw Exception(u"WideStrings index out of bounds");
  FTextLength -= static_cast<int64_t>(FWideStringList[static_cast<size_t>(Index)]->size()) + 2;
  FWideStringList.erase(FWideStringList.begin() + Index);
}

void TWideStrings::Clear() {
  FWideStringList.clear();
  FTextLength = 0;
}

int TWideStrings::IndexOf(const WideString& S) const {
  for (int i = 0; i < Count(); ++i)
    if (*FWideStringList[static_cast<size_t>(i)] == S) return i;
  return -1;
}

int TWideStrings::IndexOfIgnoreCase(const WideString& S) const {
  for (int i = 0; i < Count(); ++i)
    if (WideCompareText(S, *FWideStringList[static_cast<size_t>(i)]) == 0) return i;
  return -1;
}

int TWideStrings::WideCompareText(const WideString& S1, const WideString& S2) {
  return CompareTextIgnoreCase(S1, S2);
}

WideString TWideStrings::GetText() const { return GetTextStr(); }

WideString TWideStrings::GetTextStr() const {
  WideString out;
  out.reserve(static_cast<size_t>(FTextLength));
  for (const auto& item : FWideStringList) {
    out += *item;
    out += kCRLF;
  }
  return out;
}

void TWideStrings::SaveToFile(const WideString& FileName) const {
  TFileStream f(FileName, TFileStream::Mode::fmCreate);
  SaveToStream(f);
}

void TWideStrings::SaveToStream(TStream& Stream) const {
  if (FSaveUnicode) {
    const RawByteString bytes = WideToUtf16LE(GetTextStr(), true);
    Stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  } else {
    const RawByteString bytes = WideToCodePage(GetText(), CP_ACP);
    Stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
}

// ---- escaping ----

WideString EscapeText(std::u16string_view s, TMSTextFormating mode) {
  WideString out;
  out.reserve(s.size() + (mode == tfPlainText ? 0 : s.size() / 8));
  AppendEscaped(out, s, mode);
  return out;
}

void RethrowAsException() {
  try {
    throw;
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory while reading the document");
  } catch (const std::exception& e) {
    throw Exception(std::string("Could not read the document: ") + e.what());
  }
}

// ---- TMSWBaseDocument ----

TMSWBaseDocument::TMSWBaseDocument(TComponent* AOwner)
    : TComponent(AOwner), FAbout(AsciiToWide(LibraryVersion())), FText(std::make_unique<TWideStrings>()) {}

TMSWBaseDocument::~TMSWBaseDocument() { FText.reset(); }

void TMSWBaseDocument::SetFileName(const WideString& Value) {
  if (Value != FFileName) FFileName = Value;
}

void TMSWBaseDocument::ClearInternalLists() {
  if (FText) FText->Clear();
  IsCancelExtract = false;
  FWarnings.clear();
}

void TMSWBaseDocument::AddText(const WideString& AText, TWideStrings* Strings) {
  if (!Strings) return;
  if (FMaxTextLength <= 0) {
    Strings->Add(AText);
    return;
  }
  // The item that reaches the limit is cut so that the list's joined text stops at MaxTextLength
  // characters (its own line end counts, as it is part of the joined text); a full list takes
  // nothing more, and items already handed on stay as they are.
  const int64_t room = FMaxTextLength - Strings->TextLength();
  if (room <= 0) return;
  if (static_cast<int64_t>(AText.size()) + 2 < room) {
    Strings->Add(AText);
    return;
  }
  // Only the document's text stops the reader; a side list (notes, text boxes) just fills up.
  if (Strings == FText.get()) IsCancelExtract = true;
  WideString cut = AText.substr(0, static_cast<size_t>(room));
  if (cut.size() < static_cast<size_t>(room)) cut += kCRLF.substr(0, static_cast<size_t>(room) - cut.size());
  Strings->Add(std::move(cut));
}

void TMSWBaseDocument::InternalLoadFromOLEStream(TStream& Stream) { LoadFromStream(Stream); }

void TMSWBaseDocument::LoadFromStream(TStream&) {
  ClearInternalLists();
  FBudget.Reset();
}

void TMSWBaseDocument::LoadFromOLEStream(TStream& Stream) {
  char head[12] = {};
  const int64_t got = Stream.Read(head, 12);
  if (!(got >= 4 && head[0] == 'B' && head[1] == 'D' && head[2] == 'O' && head[3] == 'C'))
    Stream.Seek(-got, TSeekOrigin::soCurrent);
  InternalLoadFromOLEStream(Stream);
}

void TMSWBaseDocument::LoadFromFile(const WideString& AFileName) {
  if (!FileExists(AFileName)) throw Exception(FormatMessage(SFileNotFound, {AFileName}));
}

void TMSWBaseDocument::LoadFileThroughStream(const WideString& AFileName) try {
  TMSWBaseDocument::LoadFromFile(AFileName);
  TFileStream stream(AFileName);
  LoadFromStream(stream);
} catch (const std::exception&) {
  RethrowAsException();
}

bool TMSWBaseDocument::IsPasswordProtected() { return false; }

void TMSWBaseDocument::Execute() {
  if (FOnBeforeExecute) FOnBeforeExecute(this);
  LoadFromFile(FFileName);
  if (FOnAfterExecute) FOnAfterExecute(this);
}

WideString TMSWBaseDocument::GetTextStart() {
  WideString s;
  const WideString acp = Num(SystemCodePage());
  if (FTextFormating == tfRTF) {
    const TSystemTime now = DecodeDateTime(NowLocal());
    WideString date = u"yr" + Num(now.Year) + u"\\mo" + Num(now.Month) + u"\\dy" + Num(now.Day);
    if (now.Hour != 0 || now.Minute != 0 || now.Second != 0 || now.Milliseconds != 0)
      date += u"\\hr" + Num(now.Hour) + u"\\min" + Num(now.Minute);
    s = u"{\\rtf1\\ansi\\ansicpg" + acp + u"\\uc1" + kCRLF + u"{\\*\\generator " + kGenerator + u";}" +
        u"{\\info{\\operator " + kGenerator + u"}" + u"{\\*\\company Orvantis Software}" + u"{\\creatim\\" + date +
        u"}" + u"{\\title " + kGenerator + u"}}" + kCRLF;
  } else if (FTextFormating == tfHTML) {
    s = u"<html>" + kCRLF + u"<head>" + kCRLF + u"<meta http-equiv=\"Content-Type\"" + kCRLF +
        u"content=\"text/html; charset=windows-" + acp + u"\">" + kCRLF + u"<meta name=\"GENERATOR\" content=\"" +
        kGenerator + u"\">" + kCRLF + u"<title>" + kGenerator + u"</title>" + kCRLF + u"</head>" + kCRLF + kCRLF +
        u"<body bgcolor=\"#FFFFFF\">" + kCRLF;
  }
  if (FOnBeforeText) FOnBeforeText(this, s);
  return s;
}

WideString TMSWBaseDocument::GetTextFinish() {
  WideString s;
  if (FTextFormating == tfRTF) s = kCRLF + u"}";
  else if (FTextFormating == tfHTML) s = kCRLF + u"</body>" + kCRLF + u"</html>";
  if (FOnAfterText) FOnAfterText(this, s);
  return s;
}

}  // namespace zvword
