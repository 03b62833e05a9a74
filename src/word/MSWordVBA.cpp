#include "word/MSWordVBA.h"

#include <algorithm>

#include "platform/ByteReader.h"
#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "platform/TextHelpers.h"

namespace zvword {

namespace {

constexpr size_t kChunkSize = 4096;
// Macro streams are read whole; anything larger is not a macro project we can use.
constexpr int64_t kMaxMacroStreamSize = 64 << 20;
const WideString kMacroBanner = u"'===================================";

WideString Utf16(std::string_view bytes) {
  WideString out;
  for (TByteReader r(bytes, "VBA name"); r.CanRead(2);) out.push_back(static_cast<char16_t>(r.U16LE()));
  return out;
}

RawByteString ReadWhole(IStream& s) {
  const int64_t size = s.Size();
  if (size > kMaxMacroStreamSize) return {};
  s.SetPosition(0);
  return s.ReadBytes(size);
}

// What the "dir" stream says about one module.
struct TDirModule {
  WideString Name;
  WideString StreamName;
  uint32_t Offset = 0;
  bool HasOffset = false;
};

struct TProjectState {
  std::vector<TDirModule> dirModules;
  int codePage = 0;
  bool cacheUsable = false;  // the cache stream gave a module record for every module
  bool sawCache = false;
  RawByteString projectText;
  bool sawProject = false;
};

// The record walk of the decompressed "dir" stream: id, 32-bit size, data.
void ParseDir(std::string_view dir, TProjectState& state) {
  TByteReader c(dir, "VBA directory");
  std::vector<TDirModule> modules;
  TDirModule current;
  bool inModule = false;
  RawByteString mbcsName, mbcsStream;
  while (c.CanRead(6)) {
    const uint16_t id = c.U16LE();
    uint32_t size = c.U32LE();
    // The version record's size field says 4 but 6 bytes follow.
    if (id == 0x0009) size = 6;
    if (!c.CanRead(size)) break;
    const std::string_view data = c.Bytes(size);
    switch (id) {
      case 0x0003:  // project code page
        if (size >= 2) state.codePage = TByteReader(data).U16LEAt(0);
        break;
      case 0x0019:  // module name, 8-bit
        if (inModule) modules.push_back(current);
        current = TDirModule();
        inModule = true;
        mbcsStream.clear();
        current.Name = CodePageToWide(data, state.codePage);
        break;
      case 0x0047:  // module name, UTF-16
        if (inModule && size > 0) current.Name = Utf16(data);
        break;
      case 0x001A:  // stream name, 8-bit
        if (inModule) current.StreamName = CodePageToWide(data, state.codePage);
        break;
      case 0x0032:  // stream name, UTF-16
        if (inModule && size > 0) current.StreamName = Utf16(data);
        break;
      case 0x0031:  // offset of the source in the module stream
        if (inModule && size >= 4) {
          current.Offset = TByteReader(data).U32LEAt(0);
          current.HasOffset = true;
        }
        break;
      case 0x002B:  // module end
        if (inModule) modules.push_back(current);
        inModule = false;
        break;
      default:
        break;
    }
    if (id == 0x0010) break;  // end of the directory
  }
  if (inModule) modules.push_back(current);
  for (auto& m : modules)
    if (m.StreamName.empty()) m.StreamName = m.Name;
  state.dirModules.insert(state.dirModules.end(), modules.begin(), modules.end());
}

bool StartsWith(const WideString& s, std::u16string_view p) { return s.compare(0, p.size(), p) == 0; }

// The project's cache stream: references, then one record per module.
void ParseCache(std::string_view data, TVBAProjectItems& items, TProjectState& state) {
  state.sawCache = true;
  if (data.size() < 34) return;
  TByteReader c(data, "VBA project cache");
  c.Seek(34);
  const int firstItem = items.Count();
  bool secondControl = false;
  auto skipIfThere = [&](uint64_t n) {
    if (c.CanRead(n)) c.Skip(n);
  };
  while (c.CanRead(2)) {
    const uint16_t length = c.U16LEAt(c.Position());
    if (length < 6) break;
    c.Skip(2);
    if (!c.CanRead(length)) break;
    TVBAProjectItem& item = items.Add();
    item.Entry = Utf16(c.Bytes(length));
    if (StartsWith(item.Entry, u"*\\G") || StartsWith(item.Entry, u"*\\H")) {
      skipIfThere(12);
    } else if (StartsWith(item.Entry, u"*\\C") || StartsWith(item.Entry, u"*\\D")) {
      // Of these references only every second one is followed by 12 bytes.
      if (secondControl) skipIfThere(12);
      secondControl = !secondControl;
    }
  }
  if (!c.CanRead(134)) return;
  c.Skip(132);
  const uint16_t modules = c.U16LE();
  // A module record takes at least 27 bytes; a count beyond that is not believed.
  constexpr size_t kMinRecord = 27;
  bool complete = modules > 0;
  for (uint32_t i = 0; i < modules; ++i) {
    if (!c.CanRead(kMinRecord)) {
      complete = false;
      break;
    }
    const int index = firstItem + static_cast<int>(i);
    TVBAProjectItem& item = index < items.Count() ? items.Items(index) : items.Add();
    std::string_view name, moduleId;
    bool ok = true;
    try {
      name = c.Bytes(c.U16LE());
      moduleId = c.Bytes(c.U16LE());
      const uint16_t w = c.U16LE();
      if (w == 0xFFFF) {
        c.Skip(2);
        c.Skip(c.U16LE());
      } else {
        c.Skip(uint64_t{w} + 2);
      }
      c.Skip(8);
      c.Skip(uint64_t{c.U8()} * 8 + 6);
      item.Offset = c.U32LE();
      c.Skip(2);
    } catch (const EReadError&) {
      ok = false;  // a record cut off by the end of the stream
    }
    item.ModuleName = Utf16(name);
    item.ModuleID = Utf16(moduleId);
    if (!ok || item.ModuleName.empty()) {
      complete = false;
      break;
    }
  }
  state.cacheUsable = state.cacheUsable || complete;
}

void LoadWalk(IStorage& storage, TVBAProjectItems& items, TProjectState& state) {
  auto e = storage.EnumElements();
  e->Reset();
  TStatStg st;
  while (e->Next(st) == 0 && !st.Name.empty()) {
    if (st.Type == STGTY_STORAGE) {
      // The compound-file reader bounds the nesting, so this recursion is bounded too.
      if (auto sub = storage.OpenStorage(st.Name)) LoadWalk(*sub, items, state);
      continue;
    }
    if (st.Type != STGTY_STREAM) continue;
    if (st.Name == u"PROJECT") {
      if (auto s = storage.OpenStream(st.Name)) {
        state.projectText = ReadWhole(*s);
        state.sawProject = true;
      }
    } else if (st.Name == u"_VBA_PROJECT") {
      if (auto s = storage.OpenStream(st.Name)) ParseCache(ReadWhole(*s), items, state);
    } else if (st.Name == u"dir") {
      if (auto s = storage.OpenStream(st.Name)) {
        RawByteString dir;
        if (DecompressVBAContainer(ReadWhole(*s), dir)) ParseDir(dir, state);
      }
    }
  }
}

// When the cache gave no usable module records, the directory's take their place, item by item.
void ApplyDirModules(TVBAProjectItems& items, const TProjectState& state) {
  if (state.cacheUsable || state.dirModules.empty()) return;
  for (size_t i = 0; i < state.dirModules.size(); ++i) {
    const auto index = static_cast<int>(i);
    TVBAProjectItem& item = index < items.Count() ? items.Items(index) : items.Add();
    item.ModuleName = state.dirModules[i].Name;
    item.ModuleID = state.dirModules[i].StreamName;
    item.Offset = state.dirModules[i].Offset;
  }
  for (int i = static_cast<int>(state.dirModules.size()); i < items.Count(); ++i) items.Items(i).ModuleName.clear();
}

const TDirModule* DirModuleFor(const TProjectState& state, const WideString& streamName) {
  for (const auto& m : state.dirModules)
    if (SameAsciiText(m.StreamName, streamName)) return &m;
  return nullptr;
}

// The first position holding a container (signature, then a compressed chunk header) whose
// text begins like module source; npos when there is none.
size_t FindSourceContainer(std::string_view data) {
  constexpr std::string_view kSourceStart = "Attribute VB_";
  constexpr int kMaxCandidates = 256;
  int candidates = 0;
  for (size_t at = data.find('\x01'); at != std::string_view::npos && at + 3 <= data.size() && candidates < kMaxCandidates;
       at = data.find('\x01', at + 1)) {
    if ((static_cast<uint8_t>(data[at + 2]) & 0xF0) != 0xB0) continue;
    ++candidates;
    RawByteString head;
    DecompressVBAContainer(data.substr(at, 32), head);
    if (head.compare(0, kSourceStart.size(), kSourceStart) == 0) return at;
  }
  return std::string_view::npos;
}

void DecompressWalk(IStorage& storage, TVBAProjectItems& items, const TProjectState& state) {
  auto e = storage.EnumElements();
  e->Reset();
  TStatStg st;
  while (e->Next(st) == 0 && !st.Name.empty()) {
    if (st.Type == STGTY_STORAGE) {
      if (auto sub = storage.OpenStorage(st.Name)) DecompressWalk(*sub, items, state);
      continue;
    }
    if (st.Type != STGTY_STREAM) continue;
    const TDirModule* dir = DirModuleFor(state, st.Name);
    TVBAProjectItem* item = nullptr;
    for (int i = 0; i < items.Count() && !item; ++i)
      if (!items.Items(i).ModuleName.empty() &&
          (SameAsciiText(items.Items(i).ModuleName, st.Name) || (dir && items.Items(i).ModuleName == dir->Name)))
        item = &items.Items(i);
    if (!item) continue;
    item->Body.clear();
    auto s = storage.OpenStream(st.Name);
    if (!s) continue;
    const RawByteString data = ReadWhole(*s);
    auto decode = [&](uint32_t offset) {
      item->Body.clear();
      return offset < data.size() && DecompressVBAContainer(std::string_view(data).substr(offset), item->Body) &&
             !item->Body.empty();
    };
    // A cache offset that does not lead to source gives way to the directory's.
    if (decode(item->Offset) || (dir && dir->HasOffset && dir->Offset != item->Offset && decode(dir->Offset)))
      continue;
    // Some writers leave both offsets stale; the source still follows the compiled code as a
    // container whose text starts with the module's attributes.
    if (const size_t at = FindSourceContainer(data); at != std::string::npos) decode(static_cast<uint32_t>(at));
  }
}

}  // namespace

bool DecompressVBAContainer(std::string_view in, RawByteString& out) {
  out.clear();
  if (in.empty() || in[0] != 1) return false;
  const TByteReader r(in, "VBA compressed container");
  size_t pos = 1;
  while (r.CanReadAt(pos, 2) && out.size() < kMaxMacroSourceSize) {
    const uint16_t header = r.U16LEAt(pos);
    // Every chunk header carries the signature 3 in bits 12 to 14; anything else (zero padding
    // after the last chunk, say) is not part of the container.
    if ((header >> 12 & 7) != 3) break;
    const size_t chunkEnd = std::min(in.size(), pos + (header & 0x0FFF) + 3);
    pos += 2;
    if ((header & 0x8000) == 0) {
      // A stored chunk: 4096 bytes as they are.
      const size_t n = std::min(kChunkSize, in.size() - pos);
      out.append(in.substr(pos, n));
      pos += n;
      continue;
    }
    const size_t chunkStart = out.size();
    while (pos < chunkEnd) {
      const auto flags = static_cast<uint8_t>(in[pos++]);
      for (int bit = 0; bit < 8 && pos < chunkEnd; ++bit) {
        if ((flags >> bit & 1) == 0) {
          if (out.size() - chunkStart >= kChunkSize) return true;  // a chunk never holds more
          out.push_back(in[pos++]);
          continue;
        }
        if (pos + 2 > chunkEnd) return true;  // a token cut off by the end of the chunk
        const uint16_t token = r.U16LEAt(pos);
        pos += 2;
        const size_t done = out.size() - chunkStart;
        unsigned offsetBits = 4;
        while ((size_t{1} << offsetBits) < done) ++offsetBits;
        const unsigned lengthBits = 16 - offsetBits;
        const size_t length = (token & ((1u << lengthBits) - 1)) + 3;
        const size_t distance = (token >> lengthBits) + 1;
        // Copies reach back only into the current chunk and never past its 4096 bytes.
        if (distance > done || done + length > kChunkSize) return true;
        for (size_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
      }
    }
    pos = chunkEnd;
  }
  if (out.size() > kMaxMacroSourceSize) out.resize(kMaxMacroSourceSize);
  return true;
}

RawByteString DecompressMacros(std::string_view Compressed) {
  RawByteString out;
  DecompressVBAContainer(Compressed, out);
  return out;
}

int ReadVBAProject(IStorage& Storage, TVBAProjectItems& Items, WideString& ProjectText) {
  TProjectState state;
  LoadWalk(Storage, Items, state);
  ApplyDirModules(Items, state);
  DecompressWalk(Storage, Items, state);
  const int codePage = state.codePage && IsCodePageSupported(state.codePage) ? state.codePage : 0;
  if (state.sawProject) ProjectText = CodePageToWide(state.projectText, codePage);
  return codePage;
}

void AddMacroText(const TVBAProjectItems& Items, int CodePage, TWideStrings& MacroText) {
  for (int i = 0; i < Items.Count(); ++i) {
    const TVBAProjectItem& item = Items.Items(i);
    if (item.Body.empty()) continue;
    MacroText.Add(kMacroBanner);
    MacroText.Add(u"'  Macro(s) from " + item.ModuleName);
    MacroText.Add(kMacroBanner);
    MacroText.Add(CodePageToWide(item.Body, CodePage) + u"\r\n");
  }
}

}  // namespace zvword
