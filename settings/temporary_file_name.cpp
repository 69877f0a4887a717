#include "settings/temporary_file_name.h"

namespace kivora {
namespace {

// The decimal number at the start of text, without a leading zero unless it is
// "0" itself, and no larger than limit; advances text past it.
std::optional<unsigned long long> TakeNumber(std::wstring_view& text, unsigned long long limit) {
  size_t digits = 0;
  unsigned long long value = 0;
  while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') {
    value = value * 10 + static_cast<unsigned long long>(text[digits] - L'0');
    if (value > limit) return std::nullopt;
    ++digits;
  }
  if (digits == 0 || (digits > 1 && text[0] == L'0')) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

bool TakePrefix(std::wstring_view& text, std::wstring_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

}  // namespace

std::wstring TemporaryFileName(std::wstring_view target, unsigned long processId, int attempt) {
  std::wstring name(target);
  name += L'.';
  name += std::to_wstring(processId);
  name += L'-';
  name += std::to_wstring(attempt);
  name += L".tmp";
  return name;
}

std::optional<unsigned long> TemporaryFileOwner(std::wstring_view name, std::wstring_view target) {
  if (target.empty() || !TakePrefix(name, target) || !TakePrefix(name, L".")) return std::nullopt;
  const std::optional<unsigned long long> processId = TakeNumber(name, 0xFFFFFFFFull);
  if (!processId || *processId == 0 || !TakePrefix(name, L"-")) return std::nullopt;
  const std::optional<unsigned long long> attempt = TakeNumber(name, kTemporaryFileAttempts - 1);
  if (!attempt || name != L".tmp") return std::nullopt;
  return static_cast<unsigned long>(*processId);
}

}  // namespace kivora
