#include "tests/support/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int> g_probes{0};
std::atomic<std::size_t> g_largest{0};

void note(std::size_t size) {
    if (g_probes.load(std::memory_order_relaxed) == 0) return;
    std::size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}

void* allocate(std::size_t size) {
    note(size);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    note(size);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    note(size);
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace vistrel::testing {

LargestAllocation::LargestAllocation() {
    g_largest.store(0);
    ++g_probes;
}

LargestAllocation::~LargestAllocation() { --g_probes; }

std::size_t LargestAllocation::bytes() const { return g_largest.load(); }

}  // namespace vistrel::testing
