// Files and text file readers (in progress).
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

class TIFile {
 public:
  TIFile() = default;
  virtual ~TIFile() = default;
  int readLine(__kvstrW& line) { (void)line; return -1; }
};
