#include "benchmark/counting_allocator.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace cvl::benchmark {
namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void *Allocate(std::size_t size) {
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    const std::size_t now = live += malloc_usable_size(block);
    std::size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return block;
}

void Release(void *block) {
    if (block == nullptr) return;
    live -= malloc_usable_size(block);
    std::free(block);
}

}  // namespace

std::size_t LiveBytes() {
    return live.load();
}

std::size_t ResetPeak() {
    const std::size_t now = live.load();
    peak = now;
    return now;
}

std::size_t PeakBytes() {
    return std::max(peak.load(), live.load());
}

}  // namespace cvl::benchmark

void *operator new(std::size_t size) {
    return cvl::benchmark::Allocate(size);
}

void *operator new[](std::size_t size) {
    return cvl::benchmark::Allocate(size);
}

void operator delete(void *block) noexcept {
    cvl::benchmark::Release(block);
}

void operator delete[](void *block) noexcept {
    cvl::benchmark::Release(block);
}

void operator delete(void *block, std::size_t) noexcept {
    cvl::benchmark::Release(block);
}

void operator delete[](void *block, std::size_t) noexcept {
    cvl::benchmark::Release(block);
}
