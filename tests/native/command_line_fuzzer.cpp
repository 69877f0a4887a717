// Command lines and the command a second process hands over, from arbitrary
// bytes: whatever reads as a command is one a reader could have made, and it
// crosses WM_COPYDATA unchanged; what arrives there from anyone else is either
// refused or such a command.
//   input: UTF-16 code units, two bytes each, little-endian; NUL separates the
//          arguments; the whole input is also read as a WM_COPYDATA text
// Run by hand for longer: scripts/run-fuzzer.sh build/native/command_line_fuzzer tests/native/corpus/command_line 600
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "remote/command_line.h"
#include "remote/command_wire.h"

namespace {

using namespace kivora::remote;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "command line: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  std::vector<std::wstring> arguments;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == L'\0') {
      arguments.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (text.empty()) arguments.clear();
  const CommandLineRequest request = ParseCommandLine(arguments);
  if (request.kind == CommandLineRequest::Kind::Invalid && request.reason.empty()) Fail("a refusal without a reason");
  if (request.kind == CommandLineRequest::Kind::Command) {
    if (!Acceptable(request.command)) Fail("a command no reader could have made");
    if (DecodeCommand(EncodeCommand(request.command)) != request.command) Fail("a command changed on its way over");
  }
  if (auto received = DecodeCommand(text)) {
    if (!Acceptable(*received)) Fail("a received command that no reader could have made");
    if (DecodeCommand(EncodeCommand(*received)) != received) Fail("a received command does not cross again");
  }
  return 0;
}
