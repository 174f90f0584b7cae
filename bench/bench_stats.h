#pragma once
// Figures that hold still: each ratio is measured in rounds, the two sides taking turns so
// that both see the same load of the machine, and reported as the median of the rounds with
// their lowest and highest value. The goal is judged on the median.
//
// Against the bare link each benchmark gives two ratios: wall clock (rates) and CPU time (the
// client process's CPU per frame against the bare link's per exchange). On a shared two-core
// machine the wall-clock ratio over TCP moves with whatever else runs (the simulator, the
// client and a compiler share two cores, and who waits for whom changes from second to
// second), while the CPU each side spends on its own exchange hardly does. Where that is so,
// the CPU ratio is the goal and the wall-clock ratio is printed as a figure beside it.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline constexpr int kRounds = 5;  // at least this many turns of each side per figure

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
    int rounds = 0;
};

inline Spread Summarise(std::vector<double> values) {
    Spread s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    s.rounds = static_cast<int>(n);
    return s;
}

// "  => figure = median 0.951 (0.930 .. 0.970, 5 rounds) (goal >= 0.95): met"
inline void VerdictOfRounds(const char* figure, const std::vector<double>& values,
                            const char* goal, const std::function<bool(double)>& met) {
    const Spread s = Summarise(values);
    std::printf("  => %s = median %.3f (%.3f .. %.3f, %d rounds) (goal %s): %s\n", figure,
                s.median, s.min, s.max, s.rounds, goal,
                s.rounds > 0 && met(s.median) ? "met" : "MISSED");
}

// Beside a wall-clock ratio against the bare link that is not the goal.
inline constexpr const char* kWallNotTheGoal =
    "(wall clock, not the goal: its rounds swing with the machine's load; the CPU ratio is)";

// "  -- figure = median 0.951 (0.930 .. 0.970, 5 rounds)  note": a figure with no goal.
inline void FigureOfRounds(const char* figure, const std::vector<double>& values,
                           const char* note = "") {
    const Spread s = Summarise(values);
    std::printf("  -- %s = median %.3f (%.3f .. %.3f, %d rounds)%s%s\n", figure, s.median, s.min,
                s.max, s.rounds, *note ? "  " : "", note);
}

// The median of the spans between consecutive samples, per unit counted: the cost of one
// unit with the odd long pause (another process scheduled, a page fault) left out.
template <class Sample, class Count, class Time>
double MedianCostPerUnit(const std::vector<Sample>& samples, Count count, Time time,
                         double from, double to) {
    std::vector<double> costs;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double c0 = static_cast<double>(count(samples[i - 1]));
        const double c1 = static_cast<double>(count(samples[i]));
        if (c0 < from || c1 > to || c1 <= c0) continue;
        costs.push_back((time(samples[i]) - time(samples[i - 1])) / (c1 - c0));
    }
    return Summarise(std::move(costs)).median;
}

}  // namespace bench
