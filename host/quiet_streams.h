// The plug-in writes its diagnostic lines straight to the process's standard
// streams. While a TQuietStreams lives, descriptors 1 and 2 lead to /dev/null;
// the destructor flushes what the C library buffered meanwhile (it belongs to
// the silenced period) and puts the streams back.
#pragma once

namespace host {

class TQuietStreams {
 public:
  explicit TQuietStreams(bool active);
  ~TQuietStreams();
  TQuietStreams(const TQuietStreams&) = delete;
  TQuietStreams& operator=(const TQuietStreams&) = delete;

 private:
  int savedOut_ = -1;
  int savedErr_ = -1;
};

}  // namespace host
