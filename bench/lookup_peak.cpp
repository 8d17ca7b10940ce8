// The heap a whole lookup holds at its peak: lookup_peak SHAPE BYTES [MARKUP]
// reads the page in MARKUP mode, classic (the default) or current, and prints
// "peak-bytes N page-bytes M" on standard error (standard output carries the
// plug-in's trace lines). The page is served from memory and its BSTR, which
// the plug-in owns once fetched, counts; the benchmark's own copy of the page
// does not. Counted by taking the C allocator's place (glibc's replaceable
// malloc, forwarding to its own), so operator new, the BSTRs and the section
// texts are all seen; nothing here is timed.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/pages.h"
#include "bench/select_markup.h"
#include "platform/platform.h"
#include "plugin/request.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

size_t gHeld = 0;
size_t gPeak = 0;

void* counted(void* block) {
  if (block) {
    gHeld += malloc_usable_size(block);
    if (gHeld > gPeak) gPeak = gHeld;
  }
  return block;
}

void uncount(void* block) {
  if (block) gHeld -= malloc_usable_size(block);
}

}  // namespace

extern "C" {
void* malloc(size_t size) { return counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return counted(__libc_calloc(count, size)); }
void free(void* block) {
  uncount(block);
  __libc_free(block);
}
void* realloc(void* block, size_t size) {
  const size_t before = block ? malloc_usable_size(block) : 0;
  void* moved = __libc_realloc(block, size);
  if (!moved && size != 0) return nullptr;  // the old block stays, counted as it was
  gHeld -= before;
  return counted(moved);
}
void* memalign(size_t alignment, size_t size) { return counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  *out = memalign(alignment, size);
  return *out ? 0 : ENOMEM;
}
}

namespace {

const std::string* gPage = nullptr;

int32_t fetchPage(const char*, BSTR* page) {
  *page = platform::SysAllocStringByteLen(gPage->data(), static_cast<uint32_t>(gPage->size()));
  return 1;
}

int32_t downloadFile(const char*, const char16_t*, const char16_t*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  const char* const markup = argc == 4 ? argv[3] : "classic";
  const bool current = std::strcmp(markup, "current") == 0;
  if ((argc != 3 && argc != 4) || (!current && std::strcmp(markup, "classic") != 0)) {
    std::fprintf(stderr, "usage: lookup_peak SHAPE BYTES [classic|current]\n");
    return 2;
  }
  selectMarkup(current);
  for (const auto& [shape, name] : allPageShapes()) {
    if (std::strcmp(name, argv[1]) != 0) continue;
    const std::string page = makePage(shape, std::strtoull(argv[2], nullptr, 10));
    gPage = &page;
    HostCallbacks callbacks{fetchPage, downloadFile};
    LookupResult result{};
    gPeak = gHeld;
    const size_t before = gHeld;
    runLookup(1, u"run", &result, u"/tmp/lexoradx-bench/base", &callbacks);
    std::fprintf(stderr, "peak-bytes %zu page-bytes %zu\n", gPeak - before, page.size());
    platform::SysFreeString(result.entryText);
    for (BSTR& audio : result.audioFiles) platform::SysFreeString(audio);
    return 0;
  }
  std::fprintf(stderr, "lookup_peak: unknown shape %s\n", argv[1]);
  return 2;
}
