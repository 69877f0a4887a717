#include "decor/web_resource.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <memory>
#include <optional>

namespace kivora {
namespace {

constexpr wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// WinInet's entry points. The library is loaded by the first fetch, on its worker
// and off the start-up path, and stays loaded for the rest of the process: a worker
// is never joined, so it may still be inside WinInet as the program ends.
struct WinInet {
  decltype(::InternetOpenW)* InternetOpenW;
  decltype(::InternetConnectW)* InternetConnectW;
  decltype(::InternetCrackUrlW)* InternetCrackUrlW;
  decltype(::InternetSetOptionW)* InternetSetOptionW;
  decltype(::HttpOpenRequestW)* HttpOpenRequestW;
  decltype(::HttpSendRequestW)* HttpSendRequestW;
  decltype(::HttpQueryInfoW)* HttpQueryInfoW;
  decltype(::InternetReadFile)* InternetReadFile;
  decltype(::InternetCloseHandle)* InternetCloseHandle;
};

// Null when the library or one of the entry points is missing.
const WinInet* LoadWinInet() {
  static const std::optional<WinInet> loaded = []() -> std::optional<WinInet> {
    HMODULE module = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return std::nullopt;
    auto find = [module]<typename Function>(Function*& entry, const char* name) {
      entry = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
      return entry != nullptr;
    };
    WinInet api{};
    const bool complete = find(api.InternetOpenW, "InternetOpenW") && find(api.InternetConnectW, "InternetConnectW") &&
                          find(api.InternetCrackUrlW, "InternetCrackUrlW") &&
                          find(api.InternetSetOptionW, "InternetSetOptionW") &&
                          find(api.HttpOpenRequestW, "HttpOpenRequestW") &&
                          find(api.HttpSendRequestW, "HttpSendRequestW") && find(api.HttpQueryInfoW, "HttpQueryInfoW") &&
                          find(api.InternetReadFile, "InternetReadFile") &&
                          find(api.InternetCloseHandle, "InternetCloseHandle");
    if (!complete) return std::nullopt;
    return api;
  }();
  return loaded ? &*loaded : nullptr;
}

struct InternetCloser {
  void operator()(HINTERNET handle) const { LoadWinInet()->InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Milliseconds left until the deadline, 0 once it has passed.
class Deadline {
 public:
  explicit Deadline(unsigned long milliseconds) : end_(GetTickCount64() + milliseconds) {}
  DWORD Remaining() const {
    const ULONGLONG now = GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
  }

 private:
  ULONGLONG end_;
};

// WinInet's own limits apply per step; bounding each step by what is left of the
// deadline bounds the exchange as a whole.
void LimitEachStep(const WinInet& api, HINTERNET handle, DWORD milliseconds) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    api.InternetSetOptionW(handle, option, &milliseconds, sizeof(milliseconds));
  }
}

struct AddressParts {
  std::wstring host;
  std::wstring path;  // with the query, if any
  INTERNET_PORT port = 0;
  bool secure = false;
};

bool SplitAddress(const WinInet& api, const std::wstring& address, AddressParts& parts) {
  URL_COMPONENTSW components{};
  components.dwStructSize = sizeof(components);
  components.dwHostNameLength = 1;
  components.dwUrlPathLength = 1;
  components.dwExtraInfoLength = 1;
  if (!api.InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &components)) return false;
  if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (!components.lpszHostName || components.dwHostNameLength == 0) return false;
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  if (components.lpszUrlPath) parts.path.assign(components.lpszUrlPath, components.dwUrlPathLength);
  if (components.lpszExtraInfo) parts.path.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  if (parts.path.empty()) parts.path = L"/";
  parts.port = components.nPort;
  parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

// The Content-Length header as a number; false when the server announced none.
bool AnnouncedLength(const WinInet& api, HINTERNET request, std::int64_t& length) {
  wchar_t text[32] = {};
  DWORD size = sizeof(text);
  if (!api.HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
  wchar_t* end = nullptr;
  length = std::wcstoll(text, &end, 10);
  return end != text;
}

}  // namespace

std::vector<unsigned char> ReadWebResource(const std::wstring& address, const std::atomic<bool>& cancelled,
                                           const FetchLimits& limits) {
  const Deadline deadline(limits.totalMilliseconds);
  const WinInet* loaded = LoadWinInet();
  if (!loaded) return {};
  const WinInet& api = *loaded;
  AddressParts parts;
  if (!SplitAddress(api, address, parts)) return {};

  InternetHandle session(api.InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) return {};
  LimitEachStep(api, session.get(), deadline.Remaining());
  InternetHandle connection(api.InternetConnectW(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};

  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  // A forced reload that the cache neither answers nor keeps; no dialog may come
  // up from a worker thread.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI;
  if (parts.secure) flags |= INTERNET_FLAG_SECURE;
  InternetHandle request(api.HttpOpenRequestW(connection.get(), L"GET", parts.path.c_str(), L"HTTP/1.0", nullptr,
                                          acceptTypes, flags, 0));
  if (!request) return {};
  LimitEachStep(api, request.get(), deadline.Remaining());
  if (!api.HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0) || cancelled || deadline.Remaining() == 0) return {};

  std::int64_t length = 0;
  const bool announced = AnnouncedLength(api, request.get(), length);
  if (announced && length > 0 && static_cast<std::uint64_t>(length) > limits.maxBodyBytes) return {};

  BodyCollector body(limits.maxBodyBytes);
  std::vector<unsigned char> chunk(ReadChunkSize(length, announced));
  for (;;) {
    const DWORD remaining = deadline.Remaining();
    if (remaining == 0 || cancelled) return {};
    LimitEachStep(api, request.get(), remaining);
    DWORD read = 0;
    if (!api.InternetReadFile(request.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read)) return {};
    if (read == 0) break;
    if (!body.Append(std::span(chunk.data(), read))) return {};
  }
  return body.Take();
}

}  // namespace kivora
