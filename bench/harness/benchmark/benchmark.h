// A small timing harness with the part of Google Benchmark's interface that SkySwap's benchmarks
// use, for the Windows build, where Google Benchmark is not available. The same benchmark sources
// build against either; the figures and the JSON report have the same shape.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond, kSecond };

struct Counter {
    double value = 0;
    Counter(double v = 0) : value(v) {}  // NOLINT: implicit, as in Google Benchmark
    operator double() const { return value; }
};
using UserCounters = std::map<std::string, Counter>;

class State {
  public:
    // The range-for loop over the state runs the timed iterations.
    class Iterator {
      public:
        explicit Iterator(State* state) : state_(state) {}
        bool operator!=(const Iterator&) const { return state_->KeepRunning(); }
        Iterator& operator++() { return *this; }
        struct [[maybe_unused]] Value {};
        Value operator*() const { return {}; }

      private:
        State* state_;
    };

    explicit State(int64_t iterations) : maxIterations_(iterations) {}

    Iterator begin() { return Iterator(this); }
    Iterator end() { return Iterator(this); }

    void PauseTiming();
    void ResumeTiming();
    void SkipWithError(const char* message);
    void SetLabel(const std::string& label) { label_ = label; }

    int64_t iterations() const { return done_; }
    bool error_occurred() const { return !error_.empty(); }

    UserCounters counters;

    // Read by the runner.
    double RealSeconds() const { return realSeconds_; }
    double CpuSeconds() const { return cpuSeconds_; }
    const std::string& Error() const { return error_; }
    const std::string& Label() const { return label_; }

  private:
    bool KeepRunning();
    void StartTimer();
    void StopTimer();

    int64_t maxIterations_;
    int64_t done_ = 0;
    bool started_ = false;
    bool running_ = false;
    std::chrono::steady_clock::time_point realStart_;
    double cpuStart_ = 0;
    double realSeconds_ = 0;
    double cpuSeconds_ = 0;
    std::string error_;
    std::string label_;
};

class Benchmark {
  public:
    Benchmark(std::string name, std::function<void(State&)> body)
        : name_(std::move(name)), body_(std::move(body)) {}

    Benchmark* Unit(TimeUnit unit) {
        unit_ = unit;
        return this;
    }
    Benchmark* UseRealTime() {
        useRealTime_ = true;
        return this;
    }
    Benchmark* Iterations(int64_t iterations) {
        iterations_ = iterations;
        return this;
    }
    Benchmark* Repetitions(int repetitions) {
        repetitions_ = repetitions;
        return this;
    }
    Benchmark* MinTime(double seconds) {
        minTime_ = seconds;
        return this;
    }

    // The name the reports use: Google Benchmark appends the options that change the meaning of
    // the figures.
    std::string RunName() const;

    const std::string& name() const { return name_; }
    const std::function<void(State&)>& body() const { return body_; }
    TimeUnit unit() const { return unit_; }
    bool useRealTime() const { return useRealTime_; }
    int64_t iterations() const { return iterations_; }
    int repetitions() const { return repetitions_; }
    double minTime() const { return minTime_; }

  private:
    std::string name_;
    std::function<void(State&)> body_;
    TimeUnit unit_ = kNanosecond;
    bool useRealTime_ = false;
    int64_t iterations_ = 0;  // 0: as many as min_time asks for
    int repetitions_ = 0;     // 0: the command line's
    double minTime_ = 0;      // 0: the command line's
};

Benchmark* RegisterBenchmark(const char* name, std::function<void(State&)> body);

template <typename Function, typename... Args>
Benchmark* RegisterBenchmark(const char* name, Function&& function, Args&&... args) {
    return RegisterBenchmark(
        name, std::function<void(State&)>([=](State& state) mutable { function(state, args...); }));
}

// Takes the --benchmark_* flags out of argv.
void Initialize(int* argc, char** argv);
// True (after printing them) when arguments other than the program name are left.
bool ReportUnrecognizedArguments(int argc, char** argv);
std::size_t RunSpecifiedBenchmarks();
void Shutdown();

// The benchmarks registered so far; for the harness's own tests.
std::vector<std::unique_ptr<Benchmark>>& RegisteredBenchmarks();

template <typename T>
inline void DoNotOptimize(T&& value) {
#if defined(__GNUC__)
    asm volatile("" : : "r,m"(value) : "memory");
#else
    static volatile const void* sink;
    sink = &value;
#endif
}

inline void ClobberMemory() {
#if defined(__GNUC__)
    asm volatile("" : : : "memory");
#endif
}

namespace internal {

// Google Benchmark's name for the class, which benchmark programs use.
using Benchmark = ::benchmark::Benchmark;

// One timed run of a benchmark, its figures per iteration in the benchmark's unit.
struct RunResult {
    std::string name;
    std::string runName;
    std::string aggregateName;  // empty for a repetition, "mean", "median", ... for aggregates
    int64_t iterations = 0;
    int repetitions = 1;
    int repetitionIndex = 0;
    double realTime = 0;
    double cpuTime = 0;
    TimeUnit unit = kNanosecond;
    std::string label;
    std::string error;
    UserCounters counters;
};

struct Options {
    double minTime = 0.5;
    int repetitions = 1;
    bool aggregatesOnly = false;
    std::string filter = ".";
    std::string outPath;
};

// Runs the benchmark as the options say and returns its repetitions followed by their
// aggregates (when there are two repetitions or more).
std::vector<RunResult> Run(const Benchmark& benchmark, const Options& options);
std::string JsonReport(const std::vector<RunResult>& results, const std::string& executable);
double Median(std::vector<double> values);
const char* UnitName(TimeUnit unit);

}  // namespace internal
}  // namespace benchmark

#define BENCHMARK_MAIN()                                          \
    int main(int argc, char** argv) {                             \
        ::benchmark::Initialize(&argc, argv);                     \
        if (::benchmark::ReportUnrecognizedArguments(argc, argv)) \
            return 1;                                             \
        ::benchmark::RunSpecifiedBenchmarks();                    \
        ::benchmark::Shutdown();                                  \
        return 0;                                                 \
    }
