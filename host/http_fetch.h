// Online transfers through libcurl: HTTP and HTTPS only, redirects followed,
// bounded in time and size. The library is loaded by the first transfer.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "host/host_files.h"

namespace host {

struct TTransferLimits {
  long totalMilliseconds = 60000;
  long connectMilliseconds = 15000;  ///< never more than totalMilliseconds
  std::size_t maxBytes = 0;  ///< 0: no limit
  /// Non-zero (set by a signal handler) abandons the transfer; may be null.
  const volatile std::sig_atomic_t* stop = nullptr;
};

/// Told the bytes received so far and the expected total (0 when unknown).
using TProgressSink = std::function<void(int64_t received, int64_t total)>;

enum class FetchResult {
  Arrived,  ///< a final 200 with a body
  Missing,  ///< the server has nothing there (404 or 410)
  Failed,   ///< anything else: no answer, another status, an empty body, a failed sink
};

/// Fetches `url` into `sink`. Only the body of a final 200 reaches the sink;
/// any other answer that brings a body is abandoned at its first byte.
/// On failure `error` holds one line naming the URL and the cause; when the
/// sink stopped the transfer, `error` is left for the sink to have set.
FetchResult httpFetch(const std::string& url, const TTransferLimits& limits,
                      const TBodySink& sink, const TProgressSink& progress, std::string& error);

}  // namespace host
