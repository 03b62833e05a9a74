// Messages shared by the readers; modifiable globals initialised with their texts.
#pragma once
#include "platform/Types.h"

namespace zvword {

extern WideString SFileNotFound;        // "File %s is not found."
extern WideString SNotValidWordFile;    // "File %s is not valid MS Word document"
extern WideString SPieceBoundsOutOfRange;  // "Piece Bounds out of range"

}  // namespace zvword
