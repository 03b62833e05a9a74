// Exceptions: one general class carrying a message; specific failures derive from it.
#pragma once
#include <exception>
#include <string>

#include "platform/Types.h"

namespace zvword {

class ZVWORD_API Exception : public std::exception {
 public:
  explicit Exception(WideString message);
  explicit Exception(std::string_view utf8Message);
  const WideString& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  WideString message_;
  std::string utf8_;
};

// A stream could not deliver the bytes asked for.
class ZVWORD_API EReadError : public Exception {
 public:
  using Exception::Exception;
};

// A file could not be opened or created.
class ZVWORD_API EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// Replaces each "%s" of a message pattern with the next argument.
WideString FormatMessage(const WideString& pattern, std::initializer_list<WideString> args);

}  // namespace zvword
