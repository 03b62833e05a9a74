#include "framework/MSWordCnst.h"

namespace zvword {

WideString SFileNotFound = u"File %s is not found.";
WideString SNotValidWordFile = u"File %s is not valid MS Word document";
WideString SPieceBoundsOutOfRange = u"Piece Bounds out of range";

}  // namespace zvword
