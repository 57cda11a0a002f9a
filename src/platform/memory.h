#pragma once
#include <cstddef>

namespace platform {

// Blocks of at least `bytes` are given back to the system as soon as they are freed. The
// tool's large texts (multi-megabyte state messages, command bodies) are made on one thread
// and freed on another; without this the allocator keeps the freed space in its heaps, and a
// burst of such messages leaves the process that much larger for good.
void releaseLargeBlocksAtOnce(std::size_t bytes);

}  // namespace platform
