#include "base/leading_integer.h"

#include <limits>

namespace kivora {

int LeadingInteger(std::wstring_view text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
  // The magnitude stops growing just past INT_MAX, which is enough to saturate
  // either end of int and keeps long texts of digits from overflowing.
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  long long magnitude = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    magnitude = magnitude * 10 + (text[at] - L'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(value);
}

}  // namespace kivora
