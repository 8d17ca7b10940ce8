// The yardstick for the whole lookup: libxml2's HTML SAX push parser over the
// same page, with handlers that do nothing, as a well-known forgiving HTML
// tokenizer's cost for reading the page once.
#pragma once

#include <string>

/// Pushes `page` through libxml2's HTML push parser in host-sized chunks,
/// errors and warnings off, no tree built. Returns the start tags it saw.
long libxml2SaxPass(const std::string& page);
