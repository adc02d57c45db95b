// The benchmark of adding a downloaded ZIP, registered into the program that runs it.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

namespace skyswap::bench {

// Makes the download (a ZIP of ten files, 10 MiB in all; ten of 64 KiB when `smoke`) and a
// library, and registers adding it beside its baselines, a plain unzip of the same archive into
// the same library with and without a flush of each file; `shape` sets the unit and iterations.
void RegisterAddBenchmarks(bool smoke,
                           const std::function<void(benchmark::internal::Benchmark*)>& shape);

}  // namespace skyswap::bench
