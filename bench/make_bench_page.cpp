// Writes one benchmark page to a file: make_bench_page SHAPE BYTES OUT.html;
// make_bench_page --shapes lists the shapes, one a line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "bench/pages.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--shapes") == 0) {
    for (const auto& shape : allPageShapes()) std::puts(shape.second);
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_bench_page SHAPE BYTES OUT.html | --shapes\n");
    return 2;
  }
  for (const auto& [shape, name] : allPageShapes()) {
    if (std::strcmp(name, argv[1]) != 0) continue;
    const std::string page = makePage(shape, std::strtoull(argv[2], nullptr, 10));
    std::ofstream(argv[3], std::ios::binary) << page;
    return 0;
  }
  std::fprintf(stderr, "make_bench_page: unknown shape %s\n", argv[1]);
  return 2;
}
