#include "platform/memory.h"

namespace platform {

void releaseLargeBlocksAtOnce(std::size_t bytes) {
    // Nothing to set on Windows. malloc takes its memory from a Windows heap, which serves
    // every block above its fixed threshold (just under 1 MiB on 64-bit Windows; no call
    // changes it) from a mapping of its own and gives that back with VirtualFree as soon as
    // the block is freed, on whichever thread. The tool asks for 1 MiB, so all its large
    // blocks already go back at once; a smaller `bytes` would leave the blocks between it and
    // the threshold in the heap, and nothing here could change that.
    (void)bytes;
}

void preferLargePages(void* block, std::size_t size) {
    // Large pages on Windows need a privilege an owner's account does not hold, and memory
    // asked for with it must be taken as large pages from the start: nothing to wish for.
    (void)block;
    (void)size;
}

}  // namespace platform
