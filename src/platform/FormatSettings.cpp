#include "platform/FormatSettings.h"

#include <atomic>

namespace zvword {
namespace {
std::atomic<char16_t> g_decimalSeparator{u'.'};
}

char16_t DecimalSeparator() { return g_decimalSeparator.load(std::memory_order_relaxed); }
void SetDecimalSeparator(char16_t separator) { g_decimalSeparator.store(separator, std::memory_order_relaxed); }

}  // namespace zvword
