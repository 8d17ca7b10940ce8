#include "bench/select_markup.h"

#include <fstream>
#include <stdexcept>

#include "platform/platform.h"
#include "plugin/config.h"
#include "textlib/utf8.h"

void selectMarkup(bool current) {
  __kvstrA ini;
  toUtf8(ini, configurationPath(platform::moduleFileName(nullptr)).c_str(), -1);
  std::ofstream(ini.str()) << "[config]\nCurrentMarkup=" << (current ? 1 : 0) << "\n";
  loadConfiguration(nullptr);
  if (currentMarkupEnabled() != current) throw std::runtime_error("the markup switch was not read");
}
