#include "host/http_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace host {
namespace {

constexpr long kHttpOk = 200;

struct TTransfer {
  CURL* handle = nullptr;
  const TBodySink* sink = nullptr;
  const TProgressSink* progress = nullptr;
  const volatile std::sig_atomic_t* stop = nullptr;
  std::size_t maxBytes = 0;
  std::size_t received = 0;
  bool tooLarge = false;
  bool sinkFailed = false;
};

long responseCode(CURL* handle) {
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

size_t receiveBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<TTransfer*>(context);
  const size_t bytes = size * count;
  // A 204, a 206 or a redirect without a Location brings a body that is not
  // the file asked for: it is read and dropped, and the fetch then fails.
  if (responseCode(transfer.handle) != kHttpOk) return bytes;
  if (transfer.maxBytes != 0 && bytes > transfer.maxBytes - transfer.received) {
    transfer.tooLarge = true;
    return 0;  // anything but `bytes` makes curl abort with a write error
  }
  transfer.received += bytes;
  if (!(*transfer.sink)(data, bytes)) {
    transfer.sinkFailed = true;
    return 0;
  }
  return bytes;
}

int reportProgress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<TTransfer*>(context);
  if (transfer.progress && *transfer.progress) (*transfer.progress)(now, total);
  return transfer.stop && *transfer.stop ? 1 : 0;  // non-zero aborts the transfer
}

struct TEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

void limitProtocols(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500  // the string forms replaced the bit masks in 7.85
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
#endif
}

void configure(CURL* handle, const std::string& url, const TTransferLimits& limits,
               TTransfer& transfer, char* errorBuffer) {
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "lexoradx-lookup/0.1");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, limits.totalSeconds);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT,
                   std::min(limits.connectSeconds, limits.totalSeconds));
  if (limits.maxBytes != 0)
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  limitProtocols(handle);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, receiveBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, reportProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);  // the callback also watches `stop`
}

std::string describeFailure(CURL* handle, CURLcode code, const TTransfer& transfer,
                            const TTransferLimits& limits, const char* errorBuffer) {
  if (code == CURLE_ABORTED_BY_CALLBACK) return "interrupted";
  if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    return "larger than " + std::to_string(limits.maxBytes >> 20) + " MiB";
  if (code == CURLE_HTTP_RETURNED_ERROR) return "HTTP status " + std::to_string(responseCode(handle));
  return errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
}

bool isMissing(long status) { return status == 404 || status == 410; }

// The library's global state, set up by the first transfer and torn down at
// exit: a run that stays offline never starts it, which spares it some
// megabytes of resident memory. The host runs one thread.
class TCurlLibrary {
 public:
  TCurlLibrary() : ready_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
  ~TCurlLibrary() {
    if (ready_) curl_global_cleanup();
  }
  TCurlLibrary(const TCurlLibrary&) = delete;
  TCurlLibrary& operator=(const TCurlLibrary&) = delete;
  bool ready() const { return ready_; }

 private:
  const bool ready_;
};

bool curlReady() {
  static const TCurlLibrary library;
  return library.ready();
}

}  // namespace

FetchResult httpFetch(const std::string& url, const TTransferLimits& limits,
                      const TBodySink& sink, const TProgressSink& progress, std::string& error) {
  std::unique_ptr<CURL, TEasyDeleter> handle(curlReady() ? curl_easy_init() : nullptr);
  if (!handle) {
    error = "cannot fetch " + url + ": the transfer library did not start";
    return FetchResult::Failed;
  }
  TTransfer transfer;
  transfer.handle = handle.get();
  transfer.sink = &sink;
  transfer.progress = &progress;
  transfer.maxBytes = limits.maxBytes;
  transfer.stop = limits.stop;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  configure(handle.get(), url, limits, transfer, errorBuffer);
  const CURLcode code = curl_easy_perform(handle.get());
  const long status = responseCode(handle.get());
  if (code == CURLE_OK && status == kHttpOk && transfer.received > 0) return FetchResult::Arrived;
  if (transfer.sinkFailed) return FetchResult::Failed;  // the sink has set `error` itself
  std::string cause;
  if (code != CURLE_OK) {
    cause = describeFailure(handle.get(), code, transfer, limits, errorBuffer);
  } else if (status != kHttpOk) {
    cause = "HTTP status " + std::to_string(status);
  } else {
    cause = "HTTP status 200 without a body";
  }
  error = "cannot fetch " + url + ": " + cause;
  return isMissing(status) ? FetchResult::Missing : FetchResult::Failed;
}

}  // namespace host
