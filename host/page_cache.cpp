#include "host/page_cache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace host {
namespace {

constexpr const char* kSuffix = ".html";

/// FNV-1a, 64 bits: a file name for a URL of any length.
uint64_t hashOf(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

struct TCachedFile {
  std::string path;
  int64_t bytes;
  time_t used;
};

std::vector<TCachedFile> cachedFiles(const std::string& folder) {
  std::vector<TCachedFile> files;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return files;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    // Pages only: unfinished files of other hosts begin with a dot.
    if (name[0] == '.' || name.size() <= 5 || name.compare(name.size() - 5, 5, kSuffix) != 0) continue;
    struct stat info {};
    const std::string path = folder + name;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      files.push_back({path, static_cast<int64_t>(info.st_size), info.st_mtime});
  }
  ::closedir(dir);
  return files;
}

}  // namespace

TPageCache::TPageCache(std::string folder, int64_t limitBytes)
    : folder_(std::move(folder)), limitBytes_(limitBytes) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

std::string TPageCache::pathOf(const std::string& url) const {
  static const char kHex[] = "0123456789abcdef";
  std::string name(16, '0');
  uint64_t hash = hashOf(url);
  for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = kHex[hash & 0xF];
  return folder_ + name + kSuffix;
}

bool TPageCache::age(const std::string& url, int64_t& seconds) const {
  struct stat info {};
  if (folder_.empty() || ::stat(pathOf(url).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  seconds = std::max<int64_t>(0, static_cast<int64_t>(std::time(nullptr) - info.st_mtime));
  return true;
}

bool TPageCache::read(const std::string& url, const TBodySink& sink) const {
  std::string error;
  return !folder_.empty() && readWholeFile(pathOf(url), kMaxTransferBytes, sink, error);
}

void TPageCache::store(const std::string& url, std::string_view page) const {
  std::string error;
  if (folder_.empty() || !makeDirectories(folder_.substr(0, folder_.size() - 1), error)) return;
  const std::string path = pathOf(url);
  if (storeWhole(path, page, error)) trim(path);
}

void TPageCache::trim(const std::string& kept) const {
  std::vector<TCachedFile> files = cachedFiles(folder_);
  int64_t total = 0;
  for (const auto& file : files) total += file.bytes;
  std::sort(files.begin(), files.end(),
            [](const TCachedFile& a, const TCachedFile& b) { return a.used < b.used; });
  for (const auto& file : files) {
    if (total <= limitBytes_) break;
    if (file.path == kept) continue;
    if (::unlink(file.path.c_str()) == 0) total -= file.bytes;
  }
}

std::string describeAge(int64_t seconds) {
  static const struct {
    int64_t seconds;
    const char* unit;
  } kUnits[] = {{86400, "day"}, {3600, "hour"}, {60, "minute"}, {1, "second"}};
  for (const auto& unit : kUnits) {
    const int64_t count = seconds / unit.seconds;
    if (count >= 1 || unit.seconds == 1)
      return std::to_string(count) + " " + unit.unit + (count == 1 ? "" : "s");
  }
  return {};
}

}  // namespace host
