#include "host/plugin_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace host {
namespace {

/// Points `fd` at `target` and returns a copy of what it was (-1 on failure).
int divert(int fd, int target) {
  const int saved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (saved >= 0) ::dup2(target, fd);
  return saved;
}

void restore(int fd, int saved) {
  if (saved < 0) return;
  ::dup2(saved, fd);
  ::close(saved);
}

}  // namespace

TPluginStreams::TPluginStreams(bool trace) {
  std::fflush(stdout);
  std::fflush(stderr);
  if (trace) {
    savedOut_ = divert(1, 2);
    return;
  }
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;  // nothing to silence with; the lines stay visible
  savedOut_ = divert(1, null);
  savedErr_ = divert(2, null);
  ::close(null);
}

TPluginStreams::~TPluginStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  restore(1, savedOut_);
  restore(2, savedErr_);
}

}  // namespace host
