// The library's version: "major.minor" of the project version CMake is configured with.
#pragma once

namespace zvword {

const char* LibraryVersion();

}  // namespace zvword
