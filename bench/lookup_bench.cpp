// A whole lookup through runLookup with the fake host of the tests: the page
// served from memory, the audio stage on, every download answered at once.
// Beside each, libxml2's HTML SAX pass over the same page, in the same run,
// so that the ratio of the two holds under whatever load the machine has.
// Reported in bytes of page HTML per second. Pages in the latest markup are read in
// current-markup mode; the others in both modes, the classic one under the
// shape's name and the current one under "_current" after it, which prices
// the mode and holds every hostile shape to the same bounds in it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "bench/libxml2_sax.h"
#include "bench/pages.h"
#include "bench/select_markup.h"
#include "plugin/request.h"
#include "tests/support/fake_host.h"

namespace {

// The parser's diagnostic lines (heading traces on standard output, open-tag
// warnings on standard error) go to /dev/null while a benchmark runs, as a
// host would discard them; the report is printed after the loop.
class TQuietStdout {
 public:
  TQuietStdout() {
    std::fflush(stdout);
    savedOut_ = dup(1);
    savedErr_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  TQuietStdout(const TQuietStdout&) = delete;
  TQuietStdout& operator=(const TQuietStdout&) = delete;
  ~TQuietStdout() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, 1);
    dup2(savedErr_, 2);
    close(savedOut_);
    close(savedErr_);
  }

 private:
  int savedOut_;
  int savedErr_;
};

void BM_Lookup(benchmark::State& state, PageShape shape, bool currentMarkup) {
  selectMarkup(currentMarkup);
  const std::string page = makePage(shape, static_cast<size_t>(state.range(0)));
  fakehost::gHost = fakehost::TFakeHost();
  fakehost::gHost.page = page;
  HostCallbacks callbacks = fakehost::callbacks();
  const std::string base = "/tmp/lexoradx-bench/base";
  const std::u16string basePath(base.begin(), base.end());
  int32_t found = 0;
  const TQuietStdout quiet;
  for (auto _ : state) {
    LookupResult result{};
    found = runLookup(1, u"run", &result, basePath.c_str(), &callbacks) == LookupOutcome::Found;
    fakehost::freeResult(result);
    fakehost::gHost.fetchedUrls.clear();
    fakehost::gHost.downloads.clear();
  }
  state.counters["found"] = found;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_Libxml2Sax(benchmark::State& state, PageShape shape) {
  const std::string page = makePage(shape, static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(libxml2SaxPass(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void registerLookup(const std::string& name, PageShape shape, bool currentMarkup) {
  benchmark::RegisterBenchmark(("lookup/" + name).c_str(), BM_Lookup, shape, currentMarkup)
      ->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)
      ->Unit(benchmark::kMillisecond);
}

void registerAll() {
  for (const auto& [shape, name] : allPageShapes()) {
    const bool onlyCurrent = shape == PageShape::RealisticMarkup3;
    registerLookup(name, shape, onlyCurrent);
    if (!onlyCurrent) registerLookup(std::string(name) + "_current", shape, true);
    benchmark::RegisterBenchmark((std::string("libxml2/") + name).c_str(), BM_Libxml2Sax, shape)
        ->Arg(1 << 20)->Arg(10 << 20)
        ->Unit(benchmark::kMillisecond);
  }
}

const int kRegistered = (registerAll(), 0);

}  // namespace
