// Speed goals printed beside the figures: after the usual table, each goal line gives the
// ratio of two benchmarks' per-sample counters and the most it may be.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct bench_goal {
    std::string measured;  // benchmark name
    std::string reference; // benchmark name it is compared with
    double at_most;        // largest ratio measured / reference that meets the goal; 0: none
    std::string what;
};

class goal_reporter : public benchmark::ConsoleReporter {
public:
    goal_reporter(std::string counter, std::vector<bench_goal> goals)
        : ConsoleReporter(OO_Tabular), counter_(std::move(counter)), goals_(std::move(goals)) {}

    // With --benchmark_repetitions the goals take each benchmark's median: one slow or one
    // lucky repetition on a shared machine must not decide them.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto found = run.counters.find(counter_);
            if (found == run.counters.end()) continue;
            // A benchmark's median comes after its repetitions, and replaces them.
            if (run.run_type == Run::RT_Iteration ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"))
                per_sample_[run.run_name.str()] = found->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const bench_goal& goal : goals_) {
            const auto measured = per_sample_.find(goal.measured);
            const auto reference = per_sample_.find(goal.reference);
            if (measured == per_sample_.end() || reference == per_sample_.end()) continue;
            const double ratio = measured->second / reference->second;
            char line[160];
            if (goal.at_most > 0.0)
                std::snprintf(line, sizeof line, "goal: %-56s %5.2fx (at most %.2fx) %s\n",
                              goal.what.c_str(), ratio, goal.at_most,
                              ratio <= goal.at_most ? "met" : "MISSED");
            else
                std::snprintf(line, sizeof line, "      %-56s %5.2fx\n", goal.what.c_str(), ratio);
            GetOutputStream() << line;
        }
    }

private:
    std::string counter_;
    std::vector<bench_goal> goals_;
    std::map<std::string, double> per_sample_;
};

// BENCHMARK_MAIN with the goals: `counter` names the per-sample counter they compare.
inline int run_benchmarks_with_goals(int argc, char** argv, const std::string& counter,
                                     std::vector<bench_goal> goals) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    goal_reporter reporter(counter, std::move(goals));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
