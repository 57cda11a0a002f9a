#pragma once
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace assets {

// Calls work(i) for every i below count, on as many threads as the machine has cores: reading
// forty animation files or scaling a dozen large textures are independent jobs that would
// otherwise leave all but one core idle. Each index is handled exactly once; `work` must only
// touch what belongs to its index.
template <typename Work>
void forEachIndex(std::size_t count, Work work) {
    std::size_t threads =
        std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::jthread> helpers;
    for (std::size_t t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
}

}  // namespace assets
