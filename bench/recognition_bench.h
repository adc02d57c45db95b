// The benchmarks of the installed-sky recognition, registered into the program that runs them.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

namespace skyswap::bench {

// Makes the libraries (100 and 1,000 sets; 100 when `smoke`) and registers the recognition and
// its baseline for each; `shape` sets the unit and iterations as for the other benchmarks.
void RegisterRecognitionBenchmarks(
    bool smoke, const std::function<void(benchmark::internal::Benchmark*)>& shape);

}  // namespace skyswap::bench
