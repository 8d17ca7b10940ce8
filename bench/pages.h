// Pages for the benchmarks: realistic entry pages grown from the samples by
// repeating their article, and hostile shapes, each at a requested size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class PageShape {
  Realistic,           ///< a sample article repeated as numbered language sections
  RealisticMarkup3,    ///< the same with a sample article in the latest page markup
  RealisticJapanese,   ///< the same with a Japanese sample article: text mostly outside ASCII
  ManyShortRuns,       ///< one sub-section made of very many short list items
  ManyLanguages,       ///< very many language sections
  OneLongLine,         ///< the whole page on a single line
  ManyAttributes,      ///< start tags with thousands of attributes each
  DeepNesting,         ///< deeply nested lists and spans
  RepeatedHeading,     ///< one language heading over and over, a sense under each
  HeadingOverSections, ///< one language's many sub-sections, then its heading again and again
};

/// All shapes with a short name each, for benchmark labels.
const std::vector<std::pair<PageShape, const char*>>& allPageShapes();

/// UTF-8 HTML of `shape`, about `bytes` long (never shorter).
std::string makePage(PageShape shape, size_t bytes);
