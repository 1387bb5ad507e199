#pragma once

// A job beside its floor, the least a plain pass must do for the same
// result (allocate and fill the output, read every input pixel, copy the
// bytes), timed alternately in the same run so that both see the same
// machine load. The job's wall time is the benchmark's time; the counters
// floor_ms and ratio (job / floor) go beside it, and their medians are
// printed with the job's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The floor a benchmark is compared with: a plain memcpy of as many bytes
// as the work produces.
inline void copyBytes(benchmark::State& state, size_t bytes)
{
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
