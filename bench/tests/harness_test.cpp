// The Windows figures come from this harness, so it must count, repeat and report the way
// Google Benchmark does; none of these tests look at how long anything took.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "benchmark/benchmark.h"

namespace {

using benchmark::internal::Options;
using benchmark::internal::RunResult;

Options Quick() {
    Options options;
    options.minTime = 0.001;
    return options;
}

std::vector<RunResult> Repetitions(const std::vector<RunResult>& results) {
    std::vector<RunResult> kept;
    for (const RunResult& result : results) {
        if (result.aggregateName.empty()) {
            kept.push_back(result);
        }
    }
    return kept;
}

const RunResult* Aggregate(const std::vector<RunResult>& results, const std::string& name) {
    for (const RunResult& result : results) {
        if (result.aggregateName == name) {
            return &result;
        }
    }
    return nullptr;
}

TEST(Harness, RunsExactlyTheIterationsAskedForAndNamesThemAsGoogleBenchmarkDoes) {
    int calls = 0;
    benchmark::Benchmark fixed("Fixed", [&](benchmark::State& state) {
        for (auto _ : state) {
            ++calls;
        }
    });
    fixed.Iterations(7)->UseRealTime()->Unit(benchmark::kMillisecond);

    const std::vector<RunResult> results = benchmark::internal::Run(fixed, Quick());

    ASSERT_EQ(results.size(), 1u) << "one repetition, no aggregates";
    EXPECT_EQ(calls, 7);
    EXPECT_EQ(results[0].iterations, 7);
    EXPECT_EQ(results[0].name, "Fixed/iterations:7/real_time");
    EXPECT_EQ(results[0].unit, benchmark::kMillisecond);
}

TEST(Harness, GrowsTheIterationCountUntilMinTimeAndKeepsItForLaterRepetitions) {
    std::vector<int64_t> iterationsPerRun;
    benchmark::Benchmark growing("Growing", [&](benchmark::State& state) {
        int64_t count = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(++count);
        }
        iterationsPerRun.push_back(count);
    });
    Options options = Quick();
    options.repetitions = 3;

    const std::vector<RunResult> results = benchmark::internal::Run(growing, options);

    ASSERT_GE(iterationsPerRun.size(), 4u) << "a tiny body needs several runs to reach min time";
    EXPECT_EQ(iterationsPerRun.front(), 1) << "the first run is a single iteration";
    for (std::size_t i = 1; i < iterationsPerRun.size() - 2; ++i) {
        EXPECT_GT(iterationsPerRun[i], iterationsPerRun[i - 1]) << "run " << i;
        EXPECT_LE(iterationsPerRun[i], iterationsPerRun[i - 1] * 14) << "run " << i;
    }
    const std::vector<RunResult> repetitions = Repetitions(results);
    ASSERT_EQ(repetitions.size(), 3u);
    const int64_t found = iterationsPerRun[iterationsPerRun.size() - 3];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(repetitions[i].iterations, found) << "repetition " << i;
        EXPECT_EQ(repetitions[i].repetitionIndex, i);
        EXPECT_EQ(repetitions[i].repetitions, 3);
    }
    EXPECT_EQ(iterationsPerRun[iterationsPerRun.size() - 1], found);
    EXPECT_EQ(iterationsPerRun[iterationsPerRun.size() - 2], found);
}

TEST(Harness, AggregatesOfTimesAndCountersAreTakenOverTheRepetitions) {
    EXPECT_EQ(benchmark::internal::Median({3, 1, 2}), 2);
    EXPECT_EQ(benchmark::internal::Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(benchmark::internal::Median({}), 0);

    benchmark::Benchmark repeated("Repeated", [](benchmark::State& state) {
        for (auto _ : state) {
        }
        state.counters["items"] = 5;
    });
    int runNumber = 0;
    benchmark::Benchmark counted("Counted", [&](benchmark::State& state) {
        for (auto _ : state) {
        }
        state.counters["items"] = ++runNumber;
    });
    counted.Iterations(1)->Repetitions(3);
    const std::vector<RunResult> countedResults = benchmark::internal::Run(counted, Quick());
    ASSERT_NE(Aggregate(countedResults, "median"), nullptr);
    EXPECT_EQ(Aggregate(countedResults, "median")->counters.at("items").value, 2);
    EXPECT_EQ(Aggregate(countedResults, "mean")->counters.at("items").value, 2);
    EXPECT_EQ(Aggregate(countedResults, "stddev")->counters.at("items").value, 1);

    repeated.Iterations(2)->Repetitions(4);
    const std::vector<RunResult> results = benchmark::internal::Run(repeated, Quick());

    ASSERT_EQ(Repetitions(results).size(), 4u);
    for (const char* name : {"mean", "median", "stddev"}) {
        const RunResult* aggregate = Aggregate(results, name);
        ASSERT_NE(aggregate, nullptr) << name;
        EXPECT_EQ(aggregate->name, std::string("Repeated/iterations:2/repeats:4_") + name);
        EXPECT_EQ(aggregate->runName, "Repeated/iterations:2/repeats:4");
    }
    std::vector<double> times;
    for (const RunResult& run : Repetitions(results)) {
        times.push_back(run.realTime);
        EXPECT_EQ(run.counters.at("items").value, 5);
    }
    EXPECT_EQ(Aggregate(results, "median")->realTime, benchmark::internal::Median(times));
}

TEST(Harness, AnErrorStopsTheBenchmarkAndIsReportedInsteadOfAFigure) {
    int calls = 0;
    benchmark::Benchmark failing("Failing", [&](benchmark::State& state) {
        int callsInThisRun = 0;
        for (auto _ : state) {
            ++calls;
            if (++callsInThisRun == 3) {
                state.SkipWithError("the disk is gone");
                break;
            }
        }
    });
    failing.Iterations(100)->Repetitions(2);
    const std::vector<RunResult> results = benchmark::internal::Run(failing, Quick());

    EXPECT_EQ(calls, 6) << "each repetition stops at its third iteration";
    ASSERT_EQ(Repetitions(results).size(), 2u);
    EXPECT_EQ(results[0].error, "the disk is gone");
    EXPECT_EQ(Aggregate(results, "median"), nullptr) << "failed runs give no aggregates";

    const std::string json = benchmark::internal::JsonReport(results, "bench.exe");
    EXPECT_NE(json.find("\"error_occurred\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"error_message\": \"the disk is gone\""), std::string::npos) << json;
}

TEST(Harness, TheJsonReportHasGoogleBenchmarksFieldsAndEscapesNames) {
    RunResult run;
    run.name = run.runName = "Odd \"name\"\\path/real_time";
    run.iterations = 12;
    run.realTime = 1.5;
    run.cpuTime = 0.25;
    run.unit = benchmark::kMicrosecond;
    run.counters["sets"] = 10000;
    RunResult median = run;
    median.name += "_median";
    median.aggregateName = "median";

    const std::string json = benchmark::internal::JsonReport({run, median}, "C:\\bench.exe");

    for (const char* expected : {
             "\"executable\": \"C:\\\\bench.exe\"",
             "\"name\": \"Odd \\\"name\\\"\\\\path/real_time\"",
             "\"run_type\": \"iteration\"",
             "\"run_type\": \"aggregate\"",
             "\"aggregate_name\": \"median\"",
             "\"iterations\": 12",
             "\"real_time\": 1.5",
             "\"cpu_time\": 0.25",
             "\"time_unit\": \"us\"",
             "\"sets\": 10000",
         }) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << " in\n" << json;
    }
}

TEST(Harness, InitializeTakesItsFlagsAndLeavesTheOthers) {
    std::string program = "bench";
    std::string minTime = "--benchmark_min_time=0.25s";
    std::string own = "--library=Z:\\lib";
    std::string out = "--benchmark_out=figures.json";
    std::string format = "--benchmark_out_format=json";
    char* argv[] = {program.data(), minTime.data(), own.data(), out.data(), format.data()};
    int argc = 5;

    benchmark::Initialize(&argc, argv);

    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[0], "bench");
    EXPECT_STREQ(argv[1], "--library=Z:\\lib");
}

}  // namespace
