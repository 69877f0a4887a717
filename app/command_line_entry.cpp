#include "app/command_line_entry.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "remote/command_line.h"
#include "remote/console_output.h"
#include "remote/utf8.h"

namespace kivora {
namespace {

std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; words && i < count; ++i) arguments.emplace_back(words[i]);
  if (words) LocalFree(words);
  return arguments;
}

std::string Line(std::string text) {
  if (text.empty() || text.back() != '\n') text += '\n';
  return text;
}

CommandLineOutcome Done(int exitCode) { return {exitCode, std::nullopt}; }

}  // namespace

CommandLineOutcome HandleCommandLine(const remote::RunningMark& mark) {
  using Kind = remote::CommandLineRequest::Kind;
  const remote::CommandLineRequest request = remote::ParseCommandLine(Arguments());
  switch (request.kind) {
    case Kind::Start: return {std::nullopt, std::nullopt};
    case Kind::Help:
      remote::WriteOut(remote::ToUtf8(remote::CommandLineUsage()));
      return Done(0);
    case Kind::Invalid:
      remote::WriteOut(Line("Kivora: " + remote::ToUtf8(request.reason)), true);
      return Done(remote::ExitCode(remote::Failure::BadValue));
    case Kind::Command: break;
  }
  if (request.command.verb == remote::RemoteVerb::Play && !mark.OthersRan()) return {std::nullopt, request.command};
  const remote::ForwardResult result = remote::Forward(request.command, mark.OthersRan());
  if (result.exitCode == 0) {
    if (!result.output.empty()) remote::WriteOut(Line(result.output));
  } else {
    remote::WriteOut(Line("Kivora: " + result.output), true);
  }
  return Done(result.exitCode);
}

}  // namespace kivora
