// The worker pool: slices cover the work once, work below the threshold stays on its caller,
// nested and concurrent callers finish, and a forked child shares work with a pool of its own.
#include <orvel/platform/workers/worker_pool.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

using orvel::platform::ForEachSlice;

// Runs `count` items as shared work and returns how often each ran, and on which threads.
struct Visits {
    std::vector<std::atomic<int>> times;
    std::mutex mutex;
    std::set<std::thread::id> threads;

    explicit Visits(std::size_t count) : times(count) {}

    void Run(std::size_t bytesOfWork) {
        ForEachSlice(times.size(), bytesOfWork, [&](std::size_t begin, std::size_t end) noexcept {
            EXPECT_LT(begin, end);
            for (std::size_t i = begin; i < end; ++i) {
                times[i].fetch_add(1);
            }
            const std::lock_guard<std::mutex> guard(mutex);
            threads.insert(std::this_thread::get_id());
        });
    }

    bool EachOnce() const {
        return std::all_of(times.begin(), times.end(), [](const auto& v) { return v.load() == 1; });
    }
};

TEST(WorkerPool, SharedWorkCoversEveryItemOnce) {
    for (const std::size_t count : {2U, 3U, 7U, 255U, 100003U}) {
        SCOPED_TRACE(count);
        Visits visits(count);
        visits.Run(SIZE_MAX);
        EXPECT_TRUE(visits.EachOnce());
    }
}

TEST(WorkerPool, WorkBelowTheThresholdStaysOnItsCaller) {
    if (orvel::platform::SharingThreshold() == 0) {
        GTEST_SKIP() << "ORVEL_PARALLEL_BYTES=0 shares every piece of work";
    }
    Visits visits(4096);
    visits.Run(orvel::platform::SharingThreshold() - 1);
    EXPECT_TRUE(visits.EachOnce());
    EXPECT_EQ(visits.threads, std::set<std::thread::id>{std::this_thread::get_id()});
}

// Every call is shared, not only a thread's first: the first slice each call runs waits until a
// second thread has taken a slice of it, which only the pool can provide.
TEST(WorkerPool, EveryCallReachesTheWorkers) {
    if (orvel::platform::SharingThreads() < 2) {
        GTEST_SKIP() << "one thread shares nothing";
    }
    for (int call = 0; call < 3; ++call) {
        Visits visits(16);
        std::atomic<bool> met{false};
        ForEachSlice(16, SIZE_MAX, [&](std::size_t, std::size_t) noexcept {
            std::unique_lock<std::mutex> lock(visits.mutex);
            visits.threads.insert(std::this_thread::get_id());
            lock.unlock();
            for (int wait = 0; wait < 2000 && !met; ++wait) {
                lock.lock();
                met = met || visits.threads.size() > 1;
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        EXPECT_TRUE(met) << "call " << call;
    }
}

TEST(WorkerPool, NestedAndConcurrentCallersFinish) {
    // Work asked for inside a slice runs there; two callers at once never wait for each other.
    auto caller = [] {
        for (int round = 0; round < 50; ++round) {
            Visits outer(16);
            std::atomic<int> innerItems{0};
            ForEachSlice(16, SIZE_MAX, [&](std::size_t begin, std::size_t end) noexcept {
                for (std::size_t i = begin; i < end; ++i) {
                    outer.times[i].fetch_add(1);
                }
                ForEachSlice(8, SIZE_MAX, [&](std::size_t b, std::size_t e) noexcept {
                    innerItems.fetch_add(static_cast<int>(e - b));
                });
            });
            EXPECT_TRUE(outer.EachOnce());
            EXPECT_EQ(innerItems.load() % 8, 0);
        }
    };
    std::thread other(caller);
    caller();
    other.join();
}

// Runs `body` in a forked child and returns its exit status (0: every check held).
template <class Body>
int InChild(Body&& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body() ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

TEST(WorkerPool, AForkedChildSharesWorkWithAPoolOfItsOwn) {
    Visits parent(1000);
    parent.Run(SIZE_MAX); // the parent's pool exists and has worked before the fork
    ASSERT_TRUE(parent.EachOnce());
    EXPECT_EQ(InChild([] {
                  Visits child(1000);
                  child.Run(SIZE_MAX);
                  return child.EachOnce();
              }),
              0);
    // A child's pool reads the environment afresh: one thread when ORVEL_THREADS says so.
    EXPECT_EQ(InChild([] {
                  ::setenv("ORVEL_THREADS", "1", 1);
                  Visits child(1000);
                  child.Run(SIZE_MAX);
                  return orvel::platform::SharingThreads() == 1 && child.EachOnce() &&
                         child.threads.size() == 1;
              }),
              0);
    Visits after(1000);
    after.Run(SIZE_MAX);
    EXPECT_TRUE(after.EachOnce());
}

} // namespace
