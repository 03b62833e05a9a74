#include "platform/Version.h"

#ifndef ZVWORD_VERSION
#error "ZVWORD_VERSION comes from the build (project(zvword VERSION ...))"
#endif

namespace zvword {

const char* LibraryVersion() { return ZVWORD_VERSION; }

}  // namespace zvword
