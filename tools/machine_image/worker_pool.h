// A few threads that run the same work side by side, for the host tools that
// replay many machines at once. Built on the system's own threads under
// Windows (the mingw-w64 win32 thread model has no std::thread) and on
// std::thread elsewhere; the work shares state only through std::atomic.
#pragma once

#include <cstddef>
#include <functional>

namespace cvl::image {

// The machine's processors (its hardware concurrency); at least 1.
std::size_t ProcessorCount();

// Runs `work` on `workers` threads at once (at least one) and returns when
// every one has returned. Each thread is given its number, 0 to workers - 1.
// When a thread cannot be started, the threads that did start still run and
// `work` runs once more on the calling thread, so the work is always done.
void RunOnWorkers(std::size_t workers, const std::function<void(std::size_t)> &work);

// Gives the processor to another thread that is ready to run, if any: for a
// worker that has got too far ahead of the others.
void LetOtherThreadsRun();

}  // namespace cvl::image
