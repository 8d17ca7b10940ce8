// The tokenizer alone: a no-op handler over the stream parser, so that the
// cost is decoding and tokenizing only. The page is read as a lookup reads
// it, its UTF-8 decoded a block of lines at a time and each block tokenized
// in place.
#include <benchmark/benchmark.h>

#include "bench/pages.h"
#include "html/stream_parser.h"

namespace {

class TNullHandler final : public THtmlStreamParser {};

void BM_Tokenize(benchmark::State& state, PageShape shape) {
  const std::string page = makePage(shape, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TNullHandler parser;
    parser.setUtf8Input(page.data(), static_cast<int32_t>(page.size()));
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
