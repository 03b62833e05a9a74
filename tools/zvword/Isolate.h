// Reading a document in a worker process, so a hang, a crash or a memory blow-up costs only that
// document.
#pragma once
#include <string>

#include "tools/zvword/Document.h"
#include "tools/zvword/Options.h"

namespace zvword::cli {

// ProcessDocument in a forked worker under --max-memory (its address space), killed past
// --timeout. A worker that dies or is killed gives an error saying why, and no text.
DocumentResult ProcessIsolated(const std::string& file, const Options& options);

}  // namespace zvword::cli
