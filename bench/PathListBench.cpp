// PathListContains (folder absent: every entry compared) and AppendToPathList
// on Path lists of a quarter, half and all of the 32,767 characters Windows
// allows (about 2,000 entries). Checks afterwards that four times the length
// costs at most five times the time, and exits non-zero when it does not.
// Lists and results are spread over a few megabytes, so that no length runs
// from the first-level cache while the longest cannot: the ratio then shows
// the work done, not the size of the cache.
#include "pathvar/PathList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kLongest = 32767;

// Entries of 15 characters and a ';', cut to exactly n characters.
std::string MakeList(std::size_t n) {
    std::string list;
    char entry[32];
    for (int i = 0; list.size() < n; ++i) {
        std::snprintf(entry, sizeof entry, "%sC:\\Tools\\t%04d\\", i ? ";" : "", i % 10000);
        list += entry;
    }
    list.resize(n);
    return list;
}

// Copies of the list, 4 MB in all whatever its length, taken in turn.
std::vector<std::string> Copies(benchmark::State& state) {
    const std::string list = MakeList(static_cast<std::size_t>(state.range(0)));
    state.SetComplexityN(state.range(0));
    return std::vector<std::string>((4u << 20) / list.size() + 1, list);
}

void Contains(benchmark::State& state) {
    const auto lists = Copies(state);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PathListContains("D:\\Absent\\", lists[i]));
        if (++i == lists.size()) i = 0;
    }
}

void Append(benchmark::State& state) {
    const auto lists = Copies(state);
    std::vector<std::string> results(lists.size());  // each new list lands in cold memory too
    std::size_t i = 0;
    for (auto _ : state) {
        results[i] = AppendToPathList(lists[i], "D:\\Absent\\");
        benchmark::DoNotOptimize(results[i].data());
        if (++i == lists.size()) i = 0;
    }
}

// The fastest of several short repetitions: what the code costs, with as
// little as possible of what other processes on the machine cost.
double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(kLongest / 4)->Arg(kLongest / 2)->Arg(kLongest)->Complexity(benchmark::oN);
    b->MinTime(0.05)->Repetitions(10)->ComputeStatistics("min", Fastest)->DisplayAggregatesOnly();
}
BENCHMARK(Contains)->Apply(Sizes);
BENCHMARK(Append)->Apply(Sizes);

// Keeps the fastest CPU time of each benchmark and length while showing them.
class FastestKeeper : public benchmark::ConsoleReporter {
   public:
    std::map<std::string, std::map<long, double>> fastest;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                fastest[run.run_name.function_name][std::stol(run.run_name.args)] =
                    run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    FastestKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    bool pass = !reporter.fastest.empty();
    for (const auto& [name, times] : reporter.fastest) {
        auto quarter = times.find(kLongest / 4), full = times.find(kLongest);
        if (quarter == times.end() || full == times.end()) continue;  // filtered out
        const double ratio = full->second / quarter->second;
        const bool ok = ratio <= 5.0;
        std::printf("%s %s: 4x the length takes %.2fx the time (at most 5x)\n",
                    ok ? "PASS" : "FAIL", name.c_str(), ratio);
        pass = pass && ok;
    }
    return pass ? 0 : 1;
}
