#include "batch.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace orvel::cli {

unsigned DefaultWorkerCount() {
    return std::max(1U, std::thread::hardware_concurrency());
}

std::size_t RunBatch(std::size_t count, unsigned workers,
                     const std::function<bool(std::size_t)>& job) {
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failures{0};
    // Workers take the next index as they become free, so a slow picture does not hold up a
    // thread's share of the others.
    auto work = [&] {
        for (std::size_t index = next++; index < count; index = next++) {
            if (!job(index)) {
                ++failures;
            }
        }
    };
    const std::size_t threadCount =
        std::min<std::size_t>(std::max(1U, workers), std::max<std::size_t>(count, 1));
    if (threadCount == 1) {
        work();
        return failures;
    }
    std::vector<std::jthread> threads;
    threads.reserve(threadCount);
    for (std::size_t i = 0; i < threadCount; ++i) {
        threads.emplace_back(work);
    }
    threads.clear();
    return failures;
}

} // namespace orvel::cli
