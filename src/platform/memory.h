#pragma once
#include <cstddef>

namespace platform {

// Blocks of at least `bytes` are given back to the system as soon as they are freed. The
// tool's large texts (multi-megabyte state messages, command bodies) are made on one thread
// and freed on another; without this the allocator keeps the freed space in its heaps, and a
// burst of such messages leaves the process that much larger for good.
void releaseLargeBlocksAtOnce(std::size_t bytes);

// Asks for the block's memory in large pages where the system hands them out on request. A
// multi-megabyte message written once from start to end then costs a few page faults instead
// of one for every 4 KiB, which otherwise take longer than writing it. Only whole large pages
// inside the block are affected; a block too small to hold one is left as it is.
void preferLargePages(void* block, std::size_t size);

}  // namespace platform
