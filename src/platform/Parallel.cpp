#include "platform/Parallel.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace cvg {

namespace {

std::atomic<int> maxThreads { 0 };

} // namespace

void setMaxWorkerThreads(int threads)
{
    maxThreads = std::max(threads, 0);
}

int workerThreads()
{
    const int limit = maxThreads;
    if (limit > 0)
        return limit;
    return std::clamp(int(std::thread::hardware_concurrency()), 1, 64);
}

void forEachPiece(int count, const std::function<void(int)>& work, const std::function<void(int)>& report)
{
    if (count <= 0)
        return;
    std::atomic<int> next { 0 };
    std::atomic<int> done { 0 };
    auto take = [&](bool reporting) {
        for (int i = next++; i < count; i = next++) {
            work(i);
            const int finished = ++done;
            if (reporting)
                report(finished);
        }
    };
    std::vector<std::thread> workers;
    const int threads = std::min(workerThreads(), count);
    for (int t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(take, false);
        } catch (const std::system_error&) {
            break; // no more threads to be had: fewer do the same work
        }
    }
    take(true);
    for (std::thread& worker : workers)
        worker.join();
    report(done);
}

} // namespace cvg
