// Requests to the control server from arbitrary bytes: the access rules and the
// routes never fail on them, whatever gets through is a command a reader could
// have made, and every answer that carries the request's text is JSON that reads
// back as the same text.
//   input: method, path, query, Host, Origin, Authorization and body, separated by
//          '\n' (a missing part: no such header); "-" for an absent Origin
// Run by hand for longer: scripts/run-fuzzer.sh build/native/remote_request_fuzzer tests/native/corpus/remote_request 600
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "remote/http_request.h"
#include "remote/remote_json.h"
#include "remote/utf8.h"

namespace {

using namespace kivora::remote;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "remote request: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (parts.size() < 6) {
    const size_t end = input.find('\n', at);
    if (end == std::string_view::npos) break;
    parts.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  const std::string_view rest = input.substr(std::min(at, input.size()));
  HttpRequestView request;
  request.method = parts.size() > 0 ? parts[0] : rest;
  request.path = parts.size() > 1 ? parts[1] : std::string_view{};
  request.query = parts.size() > 2 ? parts[2] : std::string_view{};
  if (parts.size() > 3) request.host = parts[3];
  if (parts.size() > 4 && parts[4] != "-") request.origin = parts[4];
  if (parts.size() > 5) request.authorization = parts[5];
  request.body = parts.size() == 6 ? rest : std::string_view{};

  const Refusal refusal = CheckAccess(request, "0123456789abcdef", 47110);
  if (!refusal) {
    if (request.origin) Fail("a request with an Origin got in");
    if (!request.host) Fail("a request without a Host got in");
  }
  const RoutedRequest routed = RouteRequest(request);
  if (!routed.refusal && !routed.events && !Acceptable(routed.command)) Fail("a route made a command no reader could");
  if (routed.command.verb == RemoteVerb::Play && !routed.refusal) {
    const std::string name = ToUtf8(routed.command.name);
    const auto answer = nlohmann::json::parse(ErrorJson(Failure::UnknownSound, name), nullptr, false);
    if (answer.is_discarded() || answer["reason"] != name) Fail("an answer naming the sound is no JSON of it");
    if (FromUtf8(name) != routed.command.name) Fail("a name does not survive UTF-8");
  }
  // Whatever text a refusal quotes comes out as JSON.
  const std::string quoted(input);
  if (nlohmann::json::parse(ErrorJson(Failure::BadValue, quoted), nullptr, false).is_discarded()) {
    Fail("an answer quoting raw bytes is no JSON");
  }
  return 0;
}
