#include "host/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool isUnsafeSegment(std::string_view segment) { return segment == "." || segment == ".."; }

/// Checks every "/"-separated segment of `path` (empty ones are harmless).
bool hasUnsafeSegment(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (isUnsafeSegment(path.substr(start, slash - start))) return true;
    start = slash + 1;
  }
  return false;
}

}  // namespace

bool storePath(const std::string& dir, const std::string& url, std::string_view suffix,
               std::string& path, std::string& error) {
  std::string_view rest(url);
  rest = rest.substr(0, rest.find_first_of("?#"));
  const auto scheme = rest.find("://");
  if (scheme == std::string_view::npos) {
    error = "not an absolute URL: " + url;
    return false;
  }
  rest.remove_prefix(scheme + 3);
  const auto slash = rest.find('/');
  const std::string_view hostName = rest.substr(0, slash);
  const std::string_view filePath =
      slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  if (hostName.empty() || isUnsafeSegment(hostName) || hasUnsafeSegment(filePath)) {
    error = "URL does not map into the store: " + url;
    return false;
  }
  if (filePath.empty() || filePath.back() == '/') {
    error = "URL names no file: " + url;
    return false;
  }
  path = dir;
  if (path.empty() || path.back() != '/') path += '/';
  path.append(hostName).append("/").append(filePath).append(suffix);
  return true;
}

bool isFileStraightIn(const std::string& folder, const std::string& path) {
  if (path.compare(0, folder.size(), folder) != 0) return false;
  const std::string_view name = std::string_view(path).substr(folder.size());
  return !name.empty() && !isUnsafeSegment(name) && name.find('/') == std::string_view::npos;
}

bool readWholeFile(const std::string& path, std::size_t limit, const TBodySink& sink,
                   std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = systemError(path);
    return false;
  }
  char buffer[65536];
  std::size_t total = 0;
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = systemError(path);
      ok = false;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
    if (total > limit) {
      error = path + ": larger than " + std::to_string(limit >> 20) + " MiB";
      ok = false;
      break;
    }
    if (!sink(buffer, static_cast<std::size_t>(got))) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  return ok;
}

bool readWholeFile(const std::string& path, std::size_t limit, std::string& bytes,
                   std::string& error) {
  bytes.clear();
  const TBodySink append = [&bytes](const char* data, std::size_t size) {
    bytes.append(data, size);
    return true;
  };
  return readWholeFile(path, limit, append, error);
}

bool makeDirectories(const std::string& path, std::string& error) {
  std::string prefix;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    prefix.assign(path, 0, slash);
    start = slash + 1;
    if (prefix.empty()) continue;  // the root
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      error = systemError("cannot create " + prefix);
      return false;
    }
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "not a folder: " + path;
    return false;
  }
  return true;
}

TPartialFile::TPartialFile(std::string finalPath) : finalPath_(std::move(finalPath)) {}

TPartialFile::~TPartialFile() { discard(); }

void TPartialFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

bool TPartialFile::open(std::string& error) {
  discard();
  // Same folder as the final name, so that the rename cannot cross devices; a
  // short name of its own, so that any final name the folder allows fits; a
  // leading dot keeps the unfinished file out of ordinary listings.
  const auto slash = finalPath_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : finalPath_.substr(0, slash + 1);
  std::string pattern = folder + ".partXXXXXX";
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) {
    error = systemError("cannot create a file in " + (folder.empty() ? "." : folder));
    return false;
  }
  tempPath_ = pattern;
  ::fchmod(fd_, 0644);  // mkstemp makes it private; a finished download is an ordinary file
  return true;
}

bool TPartialFile::write(const void* data, std::size_t size, std::string& error) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(fd_, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      error = systemError("cannot write " + finalPath_);
      return false;
    }
    p += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

bool TPartialFile::commit(std::string& error) {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    error = systemError("cannot write " + finalPath_);
    discard();
    return false;
  }
  if (::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    error = systemError("cannot store " + finalPath_);
    discard();
    return false;
  }
  tempPath_.clear();
  return true;
}

bool storeWhole(const std::string& path, std::string_view bytes, std::string& error) {
  TPartialFile file(path);
  return file.open(error) && file.write(bytes.data(), bytes.size(), error) && file.commit(error);
}

}  // namespace host
