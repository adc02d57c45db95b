#include "benchmark/benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "thread_time.h"

namespace benchmark {
namespace {

internal::Options& CommandLine() {
    static internal::Options options;
    return options;
}

bool& RandomInterleaving() {
    static bool enabled = false;
    return enabled;
}

std::string& Executable() {
    static std::string path;
    return path;
}

// Iteration counts stop growing here, as in Google Benchmark.
constexpr int64_t kMaxIterations = 1000000000;

double UnitsPerSecond(TimeUnit unit) {
    switch (unit) {
        case kNanosecond:
            return 1e9;
        case kMicrosecond:
            return 1e6;
        case kMillisecond:
            return 1e3;
        case kSecond:
            break;
    }
    return 1;
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "0";
    }
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// "--name=value" -> value, for a flag called `name`.
bool FlagValue(const char* argument, const char* name, std::string& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argument, "--", 2) != 0 || std::strncmp(argument + 2, name, length) != 0) {
        return false;
    }
    const char* rest = argument + 2 + length;
    if (*rest == '\0') {
        value = "true";
        return true;
    }
    if (*rest != '=') {
        return false;
    }
    value = rest + 1;
    return true;
}

bool IsTrue(const std::string& value) {
    return value == "true" || value == "1" || value == "yes";
}

struct Timed {
    double real = 0;
    double cpu = 0;
    State state{0};
};

Timed RunIterations(const Benchmark& benchmark, int64_t iterations) {
    Timed timed;
    timed.state = State(iterations);
    benchmark.body()(timed.state);
    timed.real = timed.state.RealSeconds();
    timed.cpu = timed.state.CpuSeconds();
    return timed;
}

internal::RunResult ResultOf(const Benchmark& benchmark, const Timed& timed, int repetitions,
                             int index) {
    internal::RunResult result;
    result.name = result.runName = benchmark.RunName();
    result.iterations = timed.state.iterations();
    result.repetitions = repetitions;
    result.repetitionIndex = index;
    result.unit = benchmark.unit();
    result.label = timed.state.Label();
    result.error = timed.state.Error();
    result.counters = timed.state.counters;
    if (result.iterations > 0) {
        const double scale =
            UnitsPerSecond(benchmark.unit()) / static_cast<double>(result.iterations);
        result.realTime = timed.real * scale;
        result.cpuTime = timed.cpu * scale;
    }
    return result;
}

// The state of one benchmark across its repetitions: the iteration count found by the first
// repetition is kept for the others, as Google Benchmark does.
struct Plan {
    const Benchmark* benchmark = nullptr;
    int repetitions = 1;
    double minTime = 0.5;
    int64_t iterations = 0;
    std::vector<internal::RunResult> results;
};

void RunOneRepetition(Plan& plan) {
    const Benchmark& benchmark = *plan.benchmark;
    const int index = static_cast<int>(plan.results.size());
    if (plan.iterations > 0) {
        plan.results.push_back(ResultOf(benchmark, RunIterations(benchmark, plan.iterations),
                                        plan.repetitions, index));
        return;
    }
    int64_t iterations = 1;
    for (;;) {
        const Timed timed = RunIterations(benchmark, iterations);
        const double seconds = benchmark.useRealTime() ? timed.real : timed.cpu;
        if (timed.state.error_occurred() || seconds >= plan.minTime ||
            iterations >= kMaxIterations) {
            plan.iterations = iterations;
            plan.results.push_back(ResultOf(benchmark, timed, plan.repetitions, index));
            return;
        }
        // Aim a little past the minimum time, growing at most tenfold at a step.
        double multiplier = plan.minTime * 1.4 / std::max(seconds, 1e-9);
        if (seconds / plan.minTime <= 0.1) {
            multiplier = std::min(multiplier, 10.0);
        }
        const double next = std::ceil(static_cast<double>(iterations) * multiplier);
        iterations = std::min<int64_t>(
            kMaxIterations, std::max<int64_t>(iterations + 1, static_cast<int64_t>(next)));
    }
}

std::vector<internal::RunResult> Aggregates(const std::vector<internal::RunResult>& runs) {
    std::vector<internal::RunResult> aggregates;
    std::vector<double> real;
    std::vector<double> cpu;
    for (const auto& run : runs) {
        if (run.error.empty()) {
            real.push_back(run.realTime);
            cpu.push_back(run.cpuTime);
        }
    }
    if (runs.size() < 2 || real.empty()) {
        return aggregates;
    }
    const auto mean = [](const std::vector<double>& values) {
        return std::accumulate(values.begin(), values.end(), 0.0) /
               static_cast<double>(values.size());
    };
    const auto stddev = [&](const std::vector<double>& values) {
        if (values.size() < 2) {
            return 0.0;
        }
        const double average = mean(values);
        double sum = 0;
        for (const double value : values) {
            sum += (value - average) * (value - average);
        }
        return std::sqrt(sum / static_cast<double>(values.size() - 1));
    };
    const std::pair<const char*, std::function<double(const std::vector<double>&)>> kinds[] = {
        {"mean", mean},
        {"median", internal::Median},
        {"stddev", stddev},
    };
    for (const auto& [name, statistic] : kinds) {
        internal::RunResult aggregate = runs.front();
        aggregate.name = runs.front().runName + "_" + name;
        aggregate.aggregateName = name;
        aggregate.realTime = statistic(real);
        aggregate.cpuTime = statistic(cpu);
        for (auto& [counterName, counter] : aggregate.counters) {
            std::vector<double> values;
            for (const auto& run : runs) {
                const auto found = run.counters.find(counterName);
                if (run.error.empty() && found != run.counters.end()) {
                    values.push_back(found->second.value);
                }
            }
            counter.value = statistic(values);
        }
        aggregate.error.clear();
        aggregates.push_back(aggregate);
    }
    return aggregates;
}

void PrintConsole(const internal::RunResult& result) {
    char line[256];
    if (!result.error.empty()) {
        std::snprintf(line, sizeof line, "%-44s ERROR OCCURRED: '%s'\n", result.name.c_str(),
                      result.error.c_str());
    } else {
        std::snprintf(line, sizeof line, "%-44s %12.4g %-2s %12.4g %-2s %12lld",
                      result.name.c_str(), result.realTime, internal::UnitName(result.unit),
                      result.cpuTime, internal::UnitName(result.unit),
                      static_cast<long long>(result.iterations));
    }
    std::string text = line;
    for (const auto& [name, counter] : result.counters) {
        char item[96];
        std::snprintf(item, sizeof item, " %s=%g", name.c_str(), counter.value);
        text += item;
    }
    if (!result.label.empty()) {
        text += " " + result.label;
    }
    std::cout << text << '\n' << std::flush;
}

}  // namespace

void State::StartTimer() {
    running_ = true;
    cpuStart_ = internal::ThreadCpuSeconds();
    realStart_ = std::chrono::steady_clock::now();
}

void State::StopTimer() {
    const auto realEnd = std::chrono::steady_clock::now();
    cpuSeconds_ += internal::ThreadCpuSeconds() - cpuStart_;
    realSeconds_ += std::chrono::duration<double>(realEnd - realStart_).count();
    running_ = false;
}

void State::PauseTiming() {
    if (running_) {
        StopTimer();
    }
}

void State::ResumeTiming() {
    if (!running_ && started_) {
        StartTimer();
    }
}

void State::SkipWithError(const char* message) {
    error_ = message != nullptr ? message : "error";
    maxIterations_ = 0;
}

bool State::KeepRunning() {
    if (!started_) {
        started_ = true;
        if (error_occurred()) {
            return false;
        }
        StartTimer();
    } else {
        ++done_;
    }
    if (done_ < maxIterations_ && !error_occurred()) {
        return true;
    }
    if (running_) {
        StopTimer();
    }
    return false;
}

std::string Benchmark::RunName() const {
    std::string name = name_;
    if (iterations_ > 0) {
        name += "/iterations:" + std::to_string(iterations_);
    }
    if (repetitions_ > 0) {
        name += "/repeats:" + std::to_string(repetitions_);
    }
    if (useRealTime_) {
        name += "/real_time";
    }
    return name;
}

std::vector<std::unique_ptr<Benchmark>>& RegisteredBenchmarks() {
    static std::vector<std::unique_ptr<Benchmark>> benchmarks;
    return benchmarks;
}

Benchmark* RegisterBenchmark(const char* name, std::function<void(State&)> body) {
    RegisteredBenchmarks().push_back(std::make_unique<Benchmark>(name, std::move(body)));
    return RegisteredBenchmarks().back().get();
}

void Initialize(int* argc, char** argv) {
    if (*argc > 0) {
        Executable() = argv[0];
    }
    internal::Options& options = CommandLine();
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        std::string value;
        if (FlagValue(argv[i], "benchmark_min_time", value)) {
            // "0.5" or "0.5s"; an iteration count ("10x") is taken as the smallest time.
            options.minTime = value.empty() || value.back() == 'x' ? 0 : std::atof(value.c_str());
        } else if (FlagValue(argv[i], "benchmark_repetitions", value)) {
            options.repetitions = std::max(1, std::atoi(value.c_str()));
        } else if (FlagValue(argv[i], "benchmark_report_aggregates_only", value) ||
                   FlagValue(argv[i], "benchmark_display_aggregates_only", value)) {
            options.aggregatesOnly = IsTrue(value);
        } else if (FlagValue(argv[i], "benchmark_filter", value)) {
            options.filter = value;
        } else if (FlagValue(argv[i], "benchmark_out", value)) {
            options.outPath = value;
        } else if (FlagValue(argv[i], "benchmark_enable_random_interleaving", value)) {
            RandomInterleaving() = IsTrue(value);
        } else if (FlagValue(argv[i], "benchmark_out_format", value) ||
                   FlagValue(argv[i], "benchmark_format", value) ||
                   FlagValue(argv[i], "benchmark_counters_tabular", value)) {
            // JSON is the only file format and the console has one layout.
        } else {
            argv[kept++] = argv[i];
        }
    }
    *argc = kept;
}

bool ReportUnrecognizedArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::cerr << argv[0] << ": unrecognized command-line flag: " << argv[i] << '\n';
    }
    return argc > 1;
}

std::size_t RunSpecifiedBenchmarks() {
    const internal::Options& options = CommandLine();
    const std::regex filter(options.filter == "all" ? "." : options.filter);
    std::vector<Plan> plans;
    for (const auto& benchmark : RegisteredBenchmarks()) {
        if (!std::regex_search(benchmark->name(), filter)) {
            continue;
        }
        Plan plan;
        plan.benchmark = benchmark.get();
        plan.repetitions =
            benchmark->repetitions() > 0 ? benchmark->repetitions() : options.repetitions;
        plan.minTime = benchmark->minTime() > 0 ? benchmark->minTime() : options.minTime;
        plan.iterations = benchmark->iterations();
        plans.push_back(std::move(plan));
    }

    char header[160];
    std::snprintf(header, sizeof header, "%-44s %12s    %12s    %12s", "Benchmark", "Time", "CPU",
                  "Iterations");
    std::cout << "Running " << Executable() << "\n"
              << "Run on (" << std::thread::hardware_concurrency() << " X CPU s)\n"
              << std::string(96, '-') << '\n'
              << header << '\n'
              << std::string(96, '-') << '\n';

    // Interleaving spreads a disturbance (another process, a disk flush) over all benchmarks
    // instead of letting it fall on one of a pair.
    std::mt19937 shuffle(static_cast<unsigned>(std::time(nullptr)));
    int rounds = 0;
    for (const Plan& plan : plans) {
        rounds = std::max(rounds, plan.repetitions);
    }
    if (RandomInterleaving()) {
        for (int round = 0; round < rounds; ++round) {
            std::vector<Plan*> order;
            for (Plan& plan : plans) {
                if (static_cast<int>(plan.results.size()) < plan.repetitions) {
                    order.push_back(&plan);
                }
            }
            std::shuffle(order.begin(), order.end(), shuffle);
            for (Plan* plan : order) {
                RunOneRepetition(*plan);
            }
        }
    } else {
        for (Plan& plan : plans) {
            while (static_cast<int>(plan.results.size()) < plan.repetitions) {
                RunOneRepetition(plan);
            }
        }
    }

    std::vector<internal::RunResult> all;
    for (const Plan& plan : plans) {
        const std::vector<internal::RunResult> aggregates = Aggregates(plan.results);
        const bool onlyAggregates = options.aggregatesOnly && !aggregates.empty();
        if (!onlyAggregates) {
            all.insert(all.end(), plan.results.begin(), plan.results.end());
        }
        all.insert(all.end(), aggregates.begin(), aggregates.end());
    }
    for (const auto& result : all) {
        PrintConsole(result);
    }
    if (!options.outPath.empty()) {
        std::ofstream out(options.outPath, std::ios::binary);
        out << internal::JsonReport(all, Executable());
        if (!out) {
            std::cerr << "cannot write " << options.outPath << '\n';
        }
    }
    return plans.size();
}

void Shutdown() {}

namespace internal {

std::vector<RunResult> Run(const Benchmark& benchmark, const Options& options) {
    Plan plan;
    plan.benchmark = &benchmark;
    plan.repetitions = benchmark.repetitions() > 0 ? benchmark.repetitions() : options.repetitions;
    plan.minTime = benchmark.minTime() > 0 ? benchmark.minTime() : options.minTime;
    plan.iterations = benchmark.iterations();
    while (static_cast<int>(plan.results.size()) < plan.repetitions) {
        RunOneRepetition(plan);
    }
    std::vector<RunResult> results = plan.results;
    const std::vector<RunResult> aggregates = Aggregates(plan.results);
    results.insert(results.end(), aggregates.begin(), aggregates.end());
    return results;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

const char* UnitName(TimeUnit unit) {
    switch (unit) {
        case kNanosecond:
            return "ns";
        case kMicrosecond:
            return "us";
        case kMillisecond:
            return "ms";
        case kSecond:
            break;
    }
    return "s";
}

std::string JsonReport(const std::vector<RunResult>& results, const std::string& executable) {
    std::ostringstream json;
    char date[64] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", local);
    }
    json << "{\n  \"context\": {\n"
         << "    \"date\": " << JsonString(date) << ",\n"
         << "    \"executable\": " << JsonString(executable) << ",\n"
         << "    \"num_cpus\": " << std::thread::hardware_concurrency() << ",\n"
         << "    \"library_build_type\": \"release\",\n"
         << "    \"harness\": \"skyswap\"\n  },\n  \"benchmarks\": [";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const RunResult& result = results[i];
        json << (i == 0 ? "\n" : ",\n") << "    {\n"
             << "      \"name\": " << JsonString(result.name) << ",\n"
             << "      \"run_name\": " << JsonString(result.runName) << ",\n"
             << "      \"run_type\": "
             << (result.aggregateName.empty() ? "\"iteration\"" : "\"aggregate\"") << ",\n"
             << "      \"repetitions\": " << result.repetitions << ",\n"
             << "      \"repetition_index\": " << result.repetitionIndex << ",\n";
        if (!result.aggregateName.empty()) {
            json << "      \"aggregate_name\": " << JsonString(result.aggregateName) << ",\n"
                 << "      \"aggregate_unit\": \"time\",\n";
        }
        if (!result.error.empty()) {
            json << "      \"error_occurred\": true,\n"
                 << "      \"error_message\": " << JsonString(result.error) << ",\n";
        }
        if (!result.label.empty()) {
            json << "      \"label\": " << JsonString(result.label) << ",\n";
        }
        for (const auto& [name, counter] : result.counters) {
            json << "      " << JsonString(name) << ": " << JsonNumber(counter.value) << ",\n";
        }
        json << "      \"threads\": 1,\n"
             << "      \"iterations\": " << result.iterations << ",\n"
             << "      \"real_time\": " << JsonNumber(result.realTime) << ",\n"
             << "      \"cpu_time\": " << JsonNumber(result.cpuTime) << ",\n"
             << "      \"time_unit\": " << JsonString(UnitName(result.unit)) << "\n    }";
    }
    json << "\n  ]\n}\n";
    return json.str();
}

}  // namespace internal
}  // namespace benchmark
