#include "remote/remote_command.h"

#include <array>

namespace kivora::remote {
namespace {

struct FailureRow {
  Failure failure;
  int httpStatus;
  int exitCode;
  std::string_view code;
};

// Exit codes: 1 is left to a crash or a start that failed; 2 a usage error.
constexpr std::array kFailures{
    FailureRow{Failure::None, 200, 0, "ok"},
    FailureRow{Failure::BadValue, 400, 2, "bad_value"},
    FailureRow{Failure::UnknownSound, 404, 3, "unknown_sound"},
    FailureRow{Failure::Ambiguous, 409, 3, "ambiguous_caption"},
    FailureRow{Failure::EmptySlot, 409, 4, "empty_slot"},
    FailureRow{Failure::Muted, 409, 5, "muted"},
    FailureRow{Failure::NotRunning, 503, 6, "not_running"},
    FailureRow{Failure::Busy, 503, 7, "busy"},
    FailureRow{Failure::Unauthorized, 401, 8, "unauthorized"},
    FailureRow{Failure::Forbidden, 403, 8, "forbidden"},
    FailureRow{Failure::NoSuchPath, 404, 2, "no_such_path"},
    FailureRow{Failure::WrongMethod, 405, 2, "wrong_method"},
    FailureRow{Failure::TooLarge, 413, 2, "too_large"},
};

const FailureRow& RowOf(Failure failure) {
  for (const FailureRow& row : kFailures) {
    if (row.failure == failure) return row;
  }
  return kFailures[1];
}

}  // namespace

bool Acceptable(const RemoteCommand& command) {
  switch (command.verb) {
    case RemoteVerb::Play: return !command.name.empty() && command.name.find(L'\0') == std::wstring::npos;
    case RemoteVerb::Volume: return command.value >= 0 && command.value <= 100;
    case RemoteVerb::VolumeStep: return command.value >= -100 && command.value <= 100;
    default: return true;
  }
}

int HttpStatus(Failure failure) { return RowOf(failure).httpStatus; }
int ExitCode(Failure failure) { return RowOf(failure).exitCode; }
std::string_view FailureCode(Failure failure) { return RowOf(failure).code; }

}  // namespace kivora::remote
