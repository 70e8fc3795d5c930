#include "worker_pool.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace orvel::platform {
namespace {

// Shared work costs a wake-up of each worker and a wait for the last one, some tens of
// microseconds; below this much work (bytes read plus written) one thread finishes first. Measured
// with the converters and the resampler (README, "Every core").
constexpr std::size_t kDefaultThreshold = std::size_t{1024} * 1024;
// Slices per thread: enough that a thread slowed by the rest of the machine does not hold the
// others up at the end, few enough that a slice's start costs nothing beside its rows.
constexpr std::size_t kSlicesPerThread = 4;
constexpr unsigned kMostThreads = 64;

// Set on a thread while it runs a slice: work asked for from inside one runs where it is asked.
thread_local bool t_inSlice = false;

struct Pool {
    // Held by the one caller whose work the workers share; others run theirs alone meanwhile.
    std::mutex submit;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    // Guarded by mutex.
    unsigned long long generation = 0; // one more for each piece of work posted
    bool posted = false;               // the current work is open for workers to join
    unsigned inside = 0;               // workers running slices of the current work
    // The current work; written before it is posted, only read while it is.
    SliceFunction slice = nullptr;
    void* context = nullptr;
    std::size_t count = 0;
    std::size_t sliceCount = 0;
    std::atomic<std::size_t> nextSlice{0};

    unsigned threads = 1; // workers + the caller
};

// The pool, made at the first call that asks for it and never destroyed: workers may still wait
// on its condition while static destructors run at exit. A forked child forgets its parent's pool
// (the workers did not come along) and keeps it reachable here.
std::mutex g_makeMutex;
std::atomic<Pool*> g_pool{nullptr};
std::atomic<Pool*> g_forgottenPool{nullptr};
// The sharing threshold, read from the environment at its first use (kUnread before), so that
// work below it never makes the pool: a program of small pictures starts no thread.
constexpr std::size_t kUnread = SIZE_MAX;
std::atomic<std::size_t> g_threshold{kUnread};

// Runs the slices nobody has taken yet.
void RunAvailableSlices(Pool& pool) noexcept {
    const std::size_t even = pool.count / pool.sliceCount;
    const std::size_t extra = pool.count % pool.sliceCount;
    t_inSlice = true;
    for (;;) {
        const std::size_t index = pool.nextSlice.fetch_add(1, std::memory_order_relaxed);
        if (index >= pool.sliceCount) {
            break;
        }
        // The first `extra` slices take one item more.
        const std::size_t begin = index * even + std::min(index, extra);
        const std::size_t end = begin + even + (index < extra ? 1 : 0);
        pool.slice(pool.context, begin, end);
    }
    t_inSlice = false;
}

void* WorkerMain(void* argument) noexcept {
    Pool& pool = *static_cast<Pool*>(argument);
    unsigned long long seen = 0;
    std::unique_lock<std::mutex> lock(pool.mutex);
    for (;;) {
        pool.wake.wait(lock, [&] { return pool.generation != seen; });
        seen = pool.generation;
        if (!pool.posted) {
            continue; // woke after its caller had finished it
        }
        ++pool.inside;
        lock.unlock();
        RunAvailableSlices(pool);
        lock.lock();
        if (--pool.inside == 0) {
            pool.finished.notify_one();
        }
    }
}

unsigned AvailableCores() noexcept {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
        return static_cast<unsigned>(std::max(CPU_COUNT(&cores), 1));
    }
    return 1;
}

// A positive whole number from the environment, or `otherwise`.
unsigned long long EnvironmentNumber(const char* name, unsigned long long otherwise) noexcept {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return otherwise;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return *end == '\0' && text[0] != '-' ? value : otherwise;
}

void BeforeFork() noexcept {
    g_makeMutex.lock();
    if (Pool* pool = g_pool.load(std::memory_order_acquire); pool != nullptr) {
        // No work is shared across the fork: the child would wait for workers it does not have.
        pool->submit.lock();
    }
}

void AfterForkInParent() noexcept {
    if (Pool* pool = g_pool.load(std::memory_order_acquire); pool != nullptr) {
        pool->submit.unlock();
    }
    g_makeMutex.unlock();
}

void AfterForkInChild() noexcept {
    if (Pool* pool = g_pool.load(std::memory_order_acquire); pool != nullptr) {
        g_forgottenPool.store(pool, std::memory_order_relaxed);
        g_pool.store(nullptr, std::memory_order_release);
    }
    g_threshold.store(kUnread, std::memory_order_relaxed);
    g_makeMutex.unlock();
}

Pool& MadePool() noexcept {
    if (Pool* pool = g_pool.load(std::memory_order_acquire); pool != nullptr) {
        return *pool;
    }
    std::lock_guard<std::mutex> guard(g_makeMutex);
    if (Pool* pool = g_pool.load(std::memory_order_acquire); pool != nullptr) {
        return *pool;
    }
    static const bool registered =
        pthread_atfork(&BeforeFork, &AfterForkInParent, &AfterForkInChild) == 0;
    auto* pool = new Pool;
    const auto cap = EnvironmentNumber("ORVEL_THREADS", kMostThreads);
    const unsigned wanted =
        static_cast<unsigned>(std::clamp<unsigned long long>(cap, 1, kMostThreads));
    // Without the fork handlers a child could inherit a held lock: such a process shares nothing.
    const unsigned threads = registered ? std::min(AvailableCores(), wanted) : 1;
    pthread_attr_t attributes;
    const bool attributesMade =
        pthread_attr_init(&attributes) == 0 &&
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
    for (unsigned made = 1; attributesMade && made < threads; ++made) {
        pthread_t thread;
        // A worker the system refuses is one fewer; the pool works with those it has.
        if (pthread_create(&thread, &attributes, &WorkerMain, pool) != 0) {
            break;
        }
        ++pool->threads;
    }
    if (attributesMade) {
        pthread_attr_destroy(&attributes);
    }
    g_pool.store(pool, std::memory_order_release);
    return *pool;
}

} // namespace

unsigned SharingThreads() noexcept {
    return MadePool().threads;
}

std::size_t SharingThreshold() noexcept {
    const std::size_t threshold = g_threshold.load(std::memory_order_relaxed);
    if (threshold != kUnread) {
        return threshold;
    }
    // Two first callers may both read the environment; they store the same value.
    const auto read = static_cast<std::size_t>(std::min<unsigned long long>(
        EnvironmentNumber("ORVEL_PARALLEL_BYTES", kDefaultThreshold), kUnread - 1));
    g_threshold.store(read, std::memory_order_relaxed);
    return read;
}

void RunSlices(std::size_t count, std::size_t bytesOfWork, SliceFunction slice,
               void* context) noexcept {
    if (count == 0) {
        return;
    }
    if (count == 1 || t_inSlice || bytesOfWork < SharingThreshold()) {
        slice(context, 0, count);
        return;
    }
    Pool& pool = MadePool();
    if (pool.threads < 2 || !pool.submit.try_lock()) {
        slice(context, 0, count);
        return;
    }
    pool.slice = slice;
    pool.context = context;
    pool.count = count;
    pool.sliceCount = std::min<std::size_t>(count, std::size_t{pool.threads} * kSlicesPerThread);
    pool.nextSlice.store(0, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> guard(pool.mutex);
        pool.posted = true;
        ++pool.generation;
    }
    pool.wake.notify_all();
    RunAvailableSlices(pool);
    {
        // Every slice is taken; those still running belong to workers inside the work.
        std::unique_lock<std::mutex> lock(pool.mutex);
        pool.finished.wait(lock, [&] { return pool.inside == 0; });
        pool.posted = false;
    }
    pool.submit.unlock();
}

} // namespace orvel::platform
