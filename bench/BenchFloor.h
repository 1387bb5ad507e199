#pragma once

// A job beside its floor, the least a plain pass must do for the same
// result (allocate and fill the output, read every input pixel, copy the
// bytes), timed alternately in the same run so that both see the same
// machine load. The job's wall time is the benchmark's time; the counters
// floor_ms and ratio (job / floor) go beside it, and their medians are
// printed with the job's.
#include <benchmark/benchmark.h>

#include <chrono>

template <typename Job, typename Floor>
void timeAgainstFloor(benchmark::State& state, Job&& job, Floor&& floor)
{
    using Clock = std::chrono::steady_clock;
    double jobSeconds = 0, floorSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        floor();
        const auto t1 = Clock::now();
        job();
        const auto t2 = Clock::now();
        const double jobTime = std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(jobTime);
        jobSeconds += jobTime;
        floorSeconds += std::chrono::duration<double>(t1 - t0).count();
    }
    const double n = double(state.iterations());
    state.counters["floor_ms"] = floorSeconds / n * 1e3;
    state.counters["ratio"] = floorSeconds > 0 ? jobSeconds / floorSeconds : 0;
}
