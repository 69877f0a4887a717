// One HTTP GET of a web resource over WinInet, returning the whole body.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "decor/banner_body.h"

namespace kivora {

struct FetchLimits {
  // The whole exchange (connect, request, every read) ends within about this long.
  unsigned long totalMilliseconds = 5000;
  size_t maxBodyBytes = kMaxBannerBodyBytes;
};

// Sends "GET" with HTTP/1.0 and "Accept: */*", straight to the server (no proxy,
// the cache neither read nor written), and reads the body whatever the status
// code. Any failure, a body past the cap, the time limit or a raised `cancelled`
// gives an empty result. Blocks: run it on a worker thread.
std::vector<unsigned char> ReadWebResource(const std::wstring& address, const std::atomic<bool>& cancelled,
                                           const FetchLimits& limits = {});

}  // namespace kivora
