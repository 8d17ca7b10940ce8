// Pages fetched online, kept on disk so that a repeated lookup needs no
// transfer and a failed one can still show the page. Each page is one file
// named by a hash of its URL, written beside its final name and renamed into
// place, so that several hosts may share the folder: a reader sees a whole
// page or none. The folder is kept under a bound by removing the pages
// fetched longest ago.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_files.h"

namespace host {

class TPageCache {
 public:
  static constexpr int64_t kFreshSeconds = 24 * 60 * 60;
  static constexpr int64_t kDefaultLimitBytes = 64 << 20;

  /// A cache in `folder` (created on the first store); an empty folder makes
  /// a cache that holds nothing.
  explicit TPageCache(std::string folder = {}, int64_t limitBytes = kDefaultLimitBytes);

  /// The age in seconds of the copy of `url`; false when there is none.
  bool age(const std::string& url, int64_t& seconds) const;
  /// Hands the copy of `url` to `sink`; false when it cannot.
  bool read(const std::string& url, const TBodySink& sink) const;
  /// Keeps `page` as the copy of `url`, then trims the folder to its bound;
  /// a failure leaves the cache as it was.
  void store(const std::string& url, std::string_view page) const;

 private:
  std::string pathOf(const std::string& url) const;
  void trim(const std::string& kept) const;

  std::string folder_;
  int64_t limitBytes_;
};

/// "40 seconds", "12 minutes", "5 hours", "3 days": an age for a person.
std::string describeAge(int64_t seconds);

}  // namespace host
