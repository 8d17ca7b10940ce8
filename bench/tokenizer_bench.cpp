// The tokenizer alone: a no-op handler over the stream parser, so that the
// cost is line splitting and tokenizing only. The text is read in place, as a
// lookup reads its page; each run gets a fresh copy outside the timing, since
// reading in place ends the lines in the text itself.
#include <benchmark/benchmark.h>

#include "bench/pages.h"
#include "html/stream_parser.h"
#include "textlib/utf8.h"

namespace {

class TNullHandler final : public THtmlStreamParser {
 public:
  explicit TNullHandler(char16_t* text) { setWritableInput(text); }
};

void BM_Tokenize(benchmark::State& state, PageShape shape) {
  const std::string page = makePage(shape, static_cast<size_t>(state.range(0)));
  __kvstrW text;
  fromUtf8(text, page.data(), static_cast<int32_t>(page.size()));
  __kvstrW lines;
  for (auto _ : state) {
    state.PauseTiming();
    lines = text;
    state.ResumeTiming();
    TNullHandler parser(lines.data());
    parser.parse();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void registerAll() {
  for (const auto& [shape, name] : allPageShapes()) {
    benchmark::RegisterBenchmark((std::string("tokenize/") + name).c_str(), BM_Tokenize, shape)
        ->Arg(100 << 10)->Arg(1 << 20)->Arg(10 << 20)
        ->Unit(benchmark::kMillisecond);
  }
}

const int kRegistered = (registerAll(), 0);

}  // namespace
