#include "platform/memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <climits>
#include <cstdint>

namespace platform {

void releaseLargeBlocksAtOnce(std::size_t bytes) {
    // A fixed threshold also turns off glibc's own, which rises to the size of each large block
    // freed and so soon sends every message to the heap.
    ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes < INT_MAX ? bytes : INT_MAX));
}

void preferLargePages(void* block, std::size_t size) {
    // Transparent huge pages of x86-64 and most other systems Linux runs on. The advice is
    // only a wish: where they are off, or the kernel is older, nothing changes.
    constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (start + size) & ~(kLargePage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace platform
