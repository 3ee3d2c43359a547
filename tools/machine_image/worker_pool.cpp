#include "machine_image/worker_pool.h"

#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

namespace cvl::image {

#ifdef _WIN32

namespace {

struct WorkerStart {
    const std::function<void(std::size_t)> *work;
    std::size_t number;
};

DWORD WINAPI WorkerMain(LPVOID parameter) {
    const auto *start = static_cast<const WorkerStart *>(parameter);
    (*start->work)(start->number);
    return 0;
}

// A replay walks the registry tree recursively: the same stack a program's
// main thread reserves, not the 1 MiB a thread gets by default.
constexpr SIZE_T kWorkerStackReservation = 8 << 20;

}  // namespace

std::size_t ProcessorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

void RunOnWorkers(std::size_t workers, const std::function<void(std::size_t)> &work) {
    if (workers == 0) workers = 1;
    std::vector<WorkerStart> starts(workers);
    std::vector<HANDLE> threads;
    bool allStarted = true;
    for (std::size_t number = 0; number < workers; ++number) {
        starts[number] = {&work, number};
        const HANDLE thread =
            CreateThread(nullptr, kWorkerStackReservation, WorkerMain, &starts[number],
                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread == nullptr) {
            allStarted = false;
            break;
        }
        threads.push_back(thread);
    }
    if (!allStarted) work(threads.size());
    // WaitForMultipleObjects takes at most MAXIMUM_WAIT_OBJECTS handles.
    for (std::size_t first = 0; first < threads.size(); first += MAXIMUM_WAIT_OBJECTS) {
        const std::size_t count =
            std::min<std::size_t>(threads.size() - first, MAXIMUM_WAIT_OBJECTS);
        WaitForMultipleObjects(static_cast<DWORD>(count), threads.data() + first, TRUE, INFINITE);
    }
    for (const HANDLE thread : threads) CloseHandle(thread);
}

void LetOtherThreadsRun() {
    SwitchToThread();
}

#else

std::size_t ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1;
}

void RunOnWorkers(std::size_t workers, const std::function<void(std::size_t)> &work) {
    if (workers == 0) workers = 1;
    std::vector<std::thread> threads;
    threads.reserve(workers);
    bool allStarted = true;
    for (std::size_t number = 0; number < workers; ++number) {
        try {
            threads.emplace_back(work, number);
        } catch (const std::system_error &) {
            allStarted = false;
            break;
        }
    }
    if (!allStarted) work(threads.size());
    for (std::thread &thread : threads) thread.join();
}

void LetOtherThreadsRun() {
    std::this_thread::yield();
}

#endif

}  // namespace cvl::image
