// Names of the temporary files a settings write makes beside its target, and
// the recognition of such a name, so that files an interrupted write left
// behind can be told apart from anything else in the folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivora {

// A write tries this many names before it gives up.
inline constexpr int kTemporaryFileAttempts = 100;

// "<target>.<processId>-<attempt>.tmp", both numbers in decimal.
std::wstring TemporaryFileName(std::wstring_view target, unsigned long processId, int attempt);

// The process id in name when name is exactly what TemporaryFileName makes for
// target: decimal numbers without leading zeros, a process id of 1..4294967295
// and an attempt below kTemporaryFileAttempts. Nothing for any other name.
std::optional<unsigned long> TemporaryFileOwner(std::wstring_view name, std::wstring_view target);

}  // namespace kivora
