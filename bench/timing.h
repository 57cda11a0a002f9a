#pragma once
// The clock and the summaries every benchmark here reports with.
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

using Clock = std::chrono::steady_clock;

// Seconds from `from` until now.
inline double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Seconds that `work` takes.
inline double seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return seconds(start);
}

// The middle value; for an even count the mean of the two middle ones.
inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
