// The plug-in writes its diagnostic lines straight to the process's standard
// streams. While a TPluginStreams lives, those lines go to /dev/null, or with
// tracing to a file in memory, so that standard output carries only the
// host's own output and no line of the plug-in reaches a terminal unfiltered
// (the lines quote the page). restore() flushes what the C library buffered
// meanwhile (it belongs to the diverted period) and puts the streams back.
#pragma once

#include <string>

namespace host {

class TPluginStreams {
 public:
  explicit TPluginStreams(bool trace);
  ~TPluginStreams() { restore(); }
  TPluginStreams(const TPluginStreams&) = delete;
  TPluginStreams& operator=(const TPluginStreams&) = delete;

  /// Puts the streams back; returns the lines the plug-in wrote meanwhile
  /// when tracing, else nothing.
  std::string restore();

 private:
  int savedOut_ = -1;
  int savedErr_ = -1;
  int trace_ = -1;  ///< the in-memory file that collects the lines
};

}  // namespace host
