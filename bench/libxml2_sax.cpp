#include "bench/libxml2_sax.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cstring>

namespace {

/// What a host's download hands over at a time.
constexpr size_t kChunkBytes = 64 << 10;

void countStartTag(void* counter, const xmlChar*, const xmlChar**) { ++*static_cast<long*>(counter); }
void ignoreEndTag(void*, const xmlChar*) {}
void ignoreCharacters(void*, const xmlChar*, int) {}

}  // namespace

long libxml2SaxPass(const std::string& page) {
  // SAX1 handlers only: without the SAX2 defaults libxml2 builds no tree.
  htmlSAXHandler handlers;
  std::memset(&handlers, 0, sizeof handlers);
  handlers.startElement = countStartTag;
  handlers.endElement = ignoreEndTag;
  handlers.characters = ignoreCharacters;
  long startTags = 0;
  htmlParserCtxtPtr context =
      htmlCreatePushParserCtxt(&handlers, &startTags, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
  if (!context) return -1;
  htmlCtxtUseOptions(context, HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  for (size_t at = 0; at < page.size(); at += kChunkBytes) {
    const size_t size = std::min(kChunkBytes, page.size() - at);
    htmlParseChunk(context, page.data() + at, static_cast<int>(size), 0);
  }
  htmlParseChunk(context, nullptr, 0, 1);
  htmlFreeParserCtxt(context);
  return startTags;
}
