#include "host/http_fetch.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>

namespace host {
namespace {

constexpr long kHttpOk = 200;

// The transfer library is loaded, and its global state set up, by the first
// transfer, and torn down at exit: a run that stays offline never loads it
// and the many libraries it brings, which spares it about half its resident
// memory. The host runs one thread.
class TCurlLibrary {
 public:
  /// The library's name for its lasting binary interface.
  static constexpr const char* kFileName = "libcurl.so.4";

  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  decltype(&curl_easy_setopt) setOption = nullptr;
  decltype(&curl_easy_getinfo) getInfo = nullptr;
  decltype(&curl_easy_perform) perform = nullptr;
  decltype(&curl_easy_strerror) describe = nullptr;

  TCurlLibrary() : handle_(dlopen(kFileName, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) return;
    resolve(easyInit, "curl_easy_init");
    resolve(easyCleanup, "curl_easy_cleanup");
    resolve(setOption, "curl_easy_setopt");
    resolve(getInfo, "curl_easy_getinfo");
    resolve(perform, "curl_easy_perform");
    resolve(describe, "curl_easy_strerror");
    resolve(globalInit_, "curl_global_init");
    resolve(globalCleanup_, "curl_global_cleanup");
    ready_ = easyInit && easyCleanup && setOption && getInfo && perform && describe && globalInit_ &&
             globalCleanup_ && globalInit_(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  }
  ~TCurlLibrary() {
    if (ready_) globalCleanup_();
    if (handle_) dlclose(handle_);
  }
  TCurlLibrary(const TCurlLibrary&) = delete;
  TCurlLibrary& operator=(const TCurlLibrary&) = delete;

  bool ready() const { return ready_; }

 private:
  template <class Function>
  void resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(handle_, name));
  }

  void* const handle_;
  decltype(&curl_global_init) globalInit_ = nullptr;
  decltype(&curl_global_cleanup) globalCleanup_ = nullptr;
  bool ready_ = false;
};

/// The library, loaded on first use.
const TCurlLibrary& curl() {
  static const TCurlLibrary library;
  return library;
}

struct TTransfer {
  CURL* handle = nullptr;
  const TBodySink* sink = nullptr;
  const TProgressSink* progress = nullptr;
  const volatile std::sig_atomic_t* stop = nullptr;
  std::size_t maxBytes = 0;
  std::size_t received = 0;
  long otherStatus = 0;  ///< the status of an answer whose body was refused
  bool tooLarge = false;
  bool sinkFailed = false;
};

long responseCode(CURL* handle) {
  long status = 0;
  curl().getInfo(handle, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

size_t receiveBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<TTransfer*>(context);
  const size_t bytes = size * count;
  // A 206 or a redirect without a Location brings a body that is not the
  // file asked for, and of any length: the transfer stops at once.
  const long status = responseCode(transfer.handle);
  if (status != kHttpOk) {
    transfer.otherStatus = status;
    return 0;  // anything but `bytes` makes curl abort with a write error
  }
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
  void operator()(CURL* handle) const { curl().easyCleanup(handle); }
};

void limitProtocols(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500  // the string forms replaced the bit masks in 7.85
  curl().setOption(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl().setOption(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
  curl().setOption(handle, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
  curl().setOption(handle, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
#endif
}

void configure(CURL* handle, const std::string& url, const TTransferLimits& limits,
               TTransfer& transfer, char* errorBuffer) {
  curl().setOption(handle, CURLOPT_URL, url.c_str());
  curl().setOption(handle, CURLOPT_NOSIGNAL, 1L);
  curl().setOption(handle, CURLOPT_ERRORBUFFER, errorBuffer);
  curl().setOption(handle, CURLOPT_USERAGENT, "lexoradx-lookup/0.1");
  curl().setOption(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl().setOption(handle, CURLOPT_MAXREDIRS, 10L);
  curl().setOption(handle, CURLOPT_FAILONERROR, 1L);
  curl().setOption(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl().setOption(handle, CURLOPT_TIMEOUT_MS, limits.totalMilliseconds);
  curl().setOption(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   std::min(limits.connectMilliseconds, limits.totalMilliseconds));
  if (limits.maxBytes != 0)
    curl().setOption(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  limitProtocols(handle);
  curl().setOption(handle, CURLOPT_WRITEFUNCTION, receiveBody);
  curl().setOption(handle, CURLOPT_WRITEDATA, &transfer);
  curl().setOption(handle, CURLOPT_XFERINFOFUNCTION, reportProgress);
  curl().setOption(handle, CURLOPT_XFERINFODATA, &transfer);
  curl().setOption(handle, CURLOPT_NOPROGRESS, 0L);  // the callback also watches `stop`
}

std::string describeFailure(CURL* handle, CURLcode code, const TTransfer& transfer,
                            const TTransferLimits& limits, const char* errorBuffer) {
  if (code == CURLE_ABORTED_BY_CALLBACK) return "interrupted";
  if (transfer.otherStatus != 0) return "HTTP status " + std::to_string(transfer.otherStatus);
  if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    return "larger than " + std::to_string(limits.maxBytes >> 20) + " MiB";
  if (code == CURLE_HTTP_RETURNED_ERROR) return "HTTP status " + std::to_string(responseCode(handle));
  return errorBuffer[0] ? errorBuffer : curl().describe(code);
}

bool isMissing(long status) { return status == 404 || status == 410; }

}  // namespace

FetchResult httpFetch(const std::string& url, const TTransferLimits& limits,
                      const TBodySink& sink, const TProgressSink& progress, std::string& error) {
  if (!curl().ready()) {
    error = "cannot fetch " + url + ": cannot load the transfer library " + TCurlLibrary::kFileName;
    return FetchResult::Failed;
  }
  std::unique_ptr<CURL, TEasyDeleter> handle(curl().easyInit());
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
  const CURLcode code = curl().perform(handle.get());
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
