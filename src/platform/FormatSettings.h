// Number format settings of the process (the locale's decimal separator).
#pragma once

namespace zvword {

// '.' unless changed; readers that parse numbers ask for it.
char16_t DecimalSeparator();
void SetDecimalSeparator(char16_t separator);

}  // namespace zvword
