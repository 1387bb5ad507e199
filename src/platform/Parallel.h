#pragma once

#include <functional>

namespace cvg {

// How many threads the heavy picture loops may use: the processor count
// unless limited here (at least 1; 0 goes back to the processor count).
void setMaxWorkerThreads(int threads);
int workerThreads();

// Runs work(i) for every i in [0, count), spread over the worker threads.
// The calling thread takes part and alone calls report(done) after each
// piece it finished, with the number of pieces finished by all threads so
// far, so that it can drive a progress bar. Pieces must not depend on each
// other or on which thread runs them; then the result cannot depend on the
// number of threads. Returns when every piece is done.
void forEachPiece(int count, const std::function<void(int)>& work, const std::function<void(int)>& report);

} // namespace cvg
