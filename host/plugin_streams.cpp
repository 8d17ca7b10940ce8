#include "host/plugin_streams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace host {
namespace {

/// Points `fd` at `target` and returns a copy of what it was (-1 on failure).
int divert(int fd, int target) {
  const int saved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (saved >= 0) ::dup2(target, fd);
  return saved;
}

void putBack(int fd, int& saved) {
  if (saved < 0) return;
  ::dup2(saved, fd);
  ::close(saved);
  saved = -1;
}

std::string readFromStart(int fd) {
  std::string text;
  char buffer[65536];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
    if (got < 0 && errno != EINTR) break;
  }
  return text;
}

}  // namespace

TPluginStreams::TPluginStreams(bool trace) {
  std::fflush(stdout);
  std::fflush(stderr);
  // Without a place to put them the lines stay where they were: visible,
  // but never mixed into the entry on standard output.
  const int target = trace ? ::memfd_create("lexoradx-trace", MFD_CLOEXEC)
                           : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (target < 0) {
    savedOut_ = divert(1, 2);
    return;
  }
  savedOut_ = divert(1, target);
  savedErr_ = divert(2, target);
  if (trace) {
    trace_ = target;
  } else {
    ::close(target);
  }
}

std::string TPluginStreams::restore() {
  std::fflush(stdout);
  std::fflush(stderr);
  putBack(1, savedOut_);
  putBack(2, savedErr_);
  if (trace_ < 0) return {};
  std::string lines = readFromStart(trace_);
  ::close(trace_);
  trace_ = -1;
  return lines;
}

}  // namespace host
