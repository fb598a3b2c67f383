#pragma once

// A process-wide pool of worker threads for splitting a draw into bands. Workers start on
// first use and stop at process exit. One job runs at a time; a caller that finds the pool
// busy runs its job on its own thread, so nested or concurrent draws never wait for each
// other's bands.

#include <functional>

namespace gp {

// Runs task(0) .. task(count - 1), on up to `threads` threads (the caller's included).
// The order in which tasks run is unspecified; each task runs exactly once. A
// std::bad_alloc thrown by a task is rethrown to the caller after every task has ended.
void runParallel(int count, int threads, const std::function<void(int)>& task);

// Hardware threads, at least 1.
int hardwareThreads();

} // namespace gp
