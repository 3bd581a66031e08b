#pragma once

// The sizes that the program allocates while tracking is on, seen through
// the AddressSanitizer's allocator hooks. Without the sanitizer nothing is
// tracked and VELMORA_TRACK_ALLOCATIONS stays undefined.
#if defined(__SANITIZE_ADDRESS__)

#include <atomic>
#include <cstddef>

// From the sanitizer runtime's allocator interface; GCC ships the runtime
// without its header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void *, size_t), void (*freeHook)(const volatile void *));
#define VELMORA_TRACK_ALLOCATIONS 1

namespace allocations {

inline std::atomic<bool> tracking { false };
inline std::atomic<size_t> largest { 0 };
inline std::atomic<size_t> total { 0 };

inline void onMalloc(const volatile void *, size_t size)
{
    if (!tracking.load(std::memory_order_relaxed))
        return;
    total.fetch_add(size, std::memory_order_relaxed);
    size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size)) { }
}

inline void onFree(const volatile void *) { }

inline void install()
{
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
}

// Tracking starts afresh.
inline void start()
{
    largest = 0;
    total = 0;
    tracking = true;
}

inline void stop()
{
    tracking = false;
}

} // namespace allocations

#endif
