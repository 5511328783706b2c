#pragma once
// Comparisons that hold on a machine other work shares: every benchmark runs several times,
// the runs of all benchmarks interleaved at random, and each is taken at its fastest run's
// processor time (the run that other work disturbed least). FastestRuns keeps those times by
// "function/arguments" for the ratios a program prints at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace hqlv::bench {

// For a benchmark's registration: ->Apply(hqlv::bench::Repeated).
inline void Repeated(benchmark::internal::Benchmark* b) {
    b->Repetitions(9)->ReportAggregatesOnly(true)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

class FastestRuns : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (!r.aggregate_name.empty() && r.aggregate_name != "min") continue;
            std::string name = r.run_name.function_name;
            if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
            cpu_[name] = r.GetAdjustedCPUTime();
        }
    }
    // The fastest processor time of a benchmark ("function" or "function/arguments"); 0 when
    // it did not run.
    double Cpu(const std::string& name) const {
        const auto it = cpu_.find(name);
        return it == cpu_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> cpu_;
};

// The program's arguments with random interleaving switched on first (a later argument of
// the caller's still decides).
inline std::vector<char*> InterleavedArguments(int argc, char** argv) {
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> out{argv[0], interleave};
    out.insert(out.end(), argv + 1, argv + argc);
    out.push_back(nullptr);
    return out;
}

}  // namespace hqlv::bench
