#include "host/quiet_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace host {

TQuietStreams::TQuietStreams(bool active) {
  if (!active) return;
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;  // nothing to silence with; the lines stay visible
  std::fflush(stdout);
  std::fflush(stderr);
  savedOut_ = ::dup(1);
  savedErr_ = ::dup(2);
  if (savedOut_ >= 0) ::dup2(null, 1);
  if (savedErr_ >= 0) ::dup2(null, 2);
  ::close(null);
}

TQuietStreams::~TQuietStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (savedOut_ >= 0) {
    ::dup2(savedOut_, 1);
    ::close(savedOut_);
  }
  if (savedErr_ >= 0) {
    ::dup2(savedErr_, 2);
    ::close(savedErr_);
  }
}

}  // namespace host
