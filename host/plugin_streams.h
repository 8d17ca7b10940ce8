// The plug-in writes its diagnostic lines straight to the process's standard
// streams. While a TPluginStreams lives, those lines go to /dev/null, or with
// tracing to standard error, so that standard output carries only the host's
// own output. The destructor flushes what the C library buffered meanwhile (it
// belongs to the diverted period) and puts the streams back.
#pragma once

namespace host {

class TPluginStreams {
 public:
  explicit TPluginStreams(bool trace);
  ~TPluginStreams();
  TPluginStreams(const TPluginStreams&) = delete;
  TPluginStreams& operator=(const TPluginStreams&) = delete;

 private:
  int savedOut_ = -1;
  int savedErr_ = -1;
};

}  // namespace host
