#include "platform/memory.h"

#include <malloc.h>

#include <climits>

namespace platform {

void releaseLargeBlocksAtOnce(std::size_t bytes) {
    // A fixed threshold also turns off glibc's own, which rises to the size of each large block
    // freed and so soon sends every message to the heap.
    ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes < INT_MAX ? bytes : INT_MAX));
}

}  // namespace platform
