// VBA macro projects of Word documents: the module directory, the compressed module source and
// the macro listing the Word reader puts into MacroText.
//
// The Word reader calls, for its "Macros" storage:
//   int cp = ReadVBAProject(*macros, VBAProjectItems(), project);   // fills items and bodies
//   AddMacroText(VBAProjectItems(), cp ? cp : documentCodePage, *MacroText());
#pragma once
#include <string_view>

#include "framework/MSWBase.h"
#include "platform/CompoundFile.h"
#include "word/MSW_Hdr.h"

namespace zvword {

// Decompressed module source larger than this is cut off (a few kilobytes of compressed data
// could otherwise claim gigabytes).
constexpr size_t kMaxMacroSourceSize = 32u << 20;

// Decompresses a compressed container (signature byte 1, then chunks, each with its header's
// compressed flag and size honoured). Returns false when the data does not start a container;
// damaged data ends decoding early and Out keeps what was decoded up to there.
bool DecompressVBAContainer(std::string_view Compressed, RawByteString& Out);
RawByteString DecompressMacros(std::string_view Compressed);

// Walks a macro storage and everything below it. ProjectText gets the "PROJECT" stream; Items get
// the references and module records of the "_VBA_PROJECT" cache stream (module offsets come from
// the "dir" stream when the cache gives none usable) and each module's decompressed source in
// Body. Returns the project's code page from the "dir" stream, 0 when it has none.
// Storages and streams that cannot be read are skipped; nothing here raises for damaged data.
int ReadVBAProject(IStorage& Storage, TVBAProjectItems& Items, WideString& ProjectText);

// For every item with source, in list order: three banner lines naming the module, then the
// source (decoded with CodePage; 0 = the system code page) followed by CR LF.
void AddMacroText(const TVBAProjectItems& Items, int CodePage, TWideStrings& MacroText);

}  // namespace zvword
