#include "remote/command_line.h"

#include <array>

#include "remote/http_request.h"

namespace kivora::remote {
namespace {

using Kind = CommandLineRequest::Kind;

enum class Value { None, Needed, Optional };

struct Option {
  std::wstring_view word;
  RemoteVerb verb;
  Value value;
};

constexpr std::array kOptions{
    Option{L"--play", RemoteVerb::Play, Value::Needed},      Option{L"--stop", RemoteVerb::Stop, Value::None},
    Option{L"--stop-all", RemoteVerb::StopAll, Value::None}, Option{L"--pause", RemoteVerb::Pause, Value::None},
    Option{L"--mute", RemoteVerb::Mute, Value::None},        Option{L"--volume", RemoteVerb::Volume, Value::Needed},
    Option{L"--list", RemoteVerb::Sounds, Value::None},      Option{L"--state", RemoteVerb::State, Value::None},
    Option{L"--mic-mute", RemoteVerb::MicrophoneMute, Value::Optional},
};

// --mic-mute's value: nothing toggles, on and off set.
std::optional<MuteChoice> MuteChoiceOf(const std::wstring& value) {
  if (value.empty()) return MuteChoice::Toggle;
  if (value == L"on") return MuteChoice::On;
  if (value == L"off") return MuteChoice::Off;
  return std::nullopt;
}

CommandLineRequest Invalid(std::wstring reason) { return {Kind::Invalid, {}, std::move(reason)}; }

CommandLineRequest Ask(Kind kind, RemoteCommand command = {}) { return {kind, std::move(command), {}}; }

}  // namespace

std::wstring_view CommandLineUsage() {
  return L"Kivora.exe [--play <name or caption> | --stop | --stop-all | --pause | --mute | --volume <0-100> |\n"
         L"            --mic-mute [on|off] | --list | --state | --help]\n"
         L"With an option, Kivora hands the command to the copy that runs and exits: 0 when it was done,\n"
         L"otherwise a code and one line saying why (2 bad argument, 3 unknown sound, 4 empty slot,\n"
         L"5 muted, 6 Kivora is not running, 7 Kivora did not answer). --play starts Kivora when none runs.\n"
         L"--list and --state write JSON (UTF-8) to standard output. Without options Kivora starts as usual.\n";
}

CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments) {
  if (arguments.empty()) return {};
  std::wstring_view word = arguments[0];
  if (word == L"--help" || word == L"-h" || word == L"/?") {
    if (arguments.size() > 1) return Invalid(L"--help takes nothing after it");
    return Ask(Kind::Help);
  }
  // Words that are no option were ignored before there were options, and still are.
  if (!word.starts_with(L"--")) return {};
  std::optional<std::wstring> inlineValue;
  if (const size_t equals = word.find(L'='); equals != std::wstring_view::npos) {
    inlineValue = std::wstring(word.substr(equals + 1));
    word = word.substr(0, equals);
  }
  for (const Option& option : kOptions) {
    if (word != option.word) continue;
    std::wstring value;
    size_t used = 1;
    if (option.value != Value::None) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (arguments.size() > 1) {
        value = arguments[1];
        used = 2;
      } else if (option.value == Value::Needed) {
        return Invalid(std::wstring(option.word) + L" needs a value");
      }
    } else if (inlineValue) {
      return Invalid(std::wstring(option.word) + L" takes no value");
    }
    if (arguments.size() > used) return Invalid(L"one command at a time: \"" + arguments[used] + L"\" is too many");
    RemoteCommand command = MakeCommand(option.verb);
    if (option.verb == RemoteVerb::Play) {
      if (value.empty()) return Invalid(L"--play needs the name or caption of a sound");
      command.name = std::move(value);
    } else if (option.verb == RemoteVerb::Volume) {
      const std::optional<int> volume = ParseVolume(value);
      if (!volume) return Invalid(L"--volume wants a whole number from 0 to 100, not \"" + value + L"\"");
      command.value = *volume;
    } else if (option.verb == RemoteVerb::MicrophoneMute) {
      const std::optional<MuteChoice> choice = MuteChoiceOf(value);
      if (!choice) return Invalid(L"--mic-mute takes on, off or nothing (to toggle), not \"" + value + L"\"");
      command.mute = *choice;
    }
    return Ask(Kind::Command, std::move(command));
  }
  return Invalid(L"unknown option \"" + arguments[0] + L"\" (see --help)");
}

}  // namespace kivora::remote
