#include "atomic_output.h"

#include "failure.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace orvel::cli {
namespace {

// Temporary files that an interrupt must remove. A signal handler may only read memory that is
// fixed in place, so the names live in a static table of slots, each claimed by an atomic flag;
// a batch holds at most one output per worker thread at a time, far fewer than the slots.
constexpr std::size_t kCleanupSlots = 64;
constexpr std::size_t kCleanupPathBytes = 4096;

struct CleanupSlot {
    std::atomic<bool> used{false};
    std::array<char, kCleanupPathBytes> path{};
};

std::array<CleanupSlot, kCleanupSlots> g_cleanupSlots;

extern "C" void RemoveTemporaryFilesAndExit(int signalNumber) {
    for (CleanupSlot& slot : g_cleanupSlots) {
        if (slot.used.load(std::memory_order_acquire)) {
            ::unlink(slot.path.data());
        }
    }
    // Die of the same signal, so the parent sees what happened.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void InstallCleanupHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction action {};
            action.sa_handler = RemoveTemporaryFilesAndExit;
            sigemptyset(&action.sa_mask);
            ::sigaction(signalNumber, &action, nullptr);
        }
    });
}

int ClaimCleanupSlot(const std::string& path) {
    if (path.size() >= kCleanupPathBytes) {
        return -1;
    }
    InstallCleanupHandlers();
    // Claims are serialised; a release only clears a flag, so the handler and releases need no
    // lock. The name is complete before the flag publishes it to the handler.
    static std::mutex claiming;
    std::lock_guard<std::mutex> lock(claiming);
    for (std::size_t i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& slot = g_cleanupSlots[i];
        if (slot.used.load(std::memory_order_acquire)) {
            continue;
        }
        std::memcpy(slot.path.data(), path.c_str(), path.size() + 1);
        slot.used.store(true, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void ReleaseCleanupSlot(int index) {
    if (index >= 0) {
        g_cleanupSlots[static_cast<std::size_t>(index)].used.store(false,
                                                                   std::memory_order_release);
    }
}

} // namespace

std::string SystemMessage(int errorNumber) {
    return std::error_code(errorNumber, std::generic_category()).message();
}

AtomicOutput::AtomicOutput(std::string path) : path_(std::move(path)) {
    namespace fs = std::filesystem;
    const fs::path finalPath(path_);
    std::error_code error;
    if (fs::is_directory(finalPath, error)) {
        throw Failure("cannot write '" + path_ + "': it is a directory");
    }
    const fs::path directory = finalPath.has_parent_path() ? finalPath.parent_path() : ".";
    // The same directory keeps the rename on one file system, where it is atomic; the leading dot
    // keeps the unfinished file out of ordinary listings.
    static std::atomic<unsigned> sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(1, '.');
        name += finalPath.filename().string();
        name += ".orvel-";
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(sequence++);
        name += ".tmp";
        const std::string candidate = (directory / name).string();
        // 0666 lets the process's umask decide the permissions, as for any new file.
        const int descriptor =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            ::close(descriptor);
            temporaryPath_ = candidate;
            cleanupSlot_ = ClaimCleanupSlot(temporaryPath_);
            return;
        }
        if (errno != EEXIST) {
            throw Failure("cannot write '" + path_ + "': " + SystemMessage(errno));
        }
    }
    throw Failure("cannot write '" + path_ + "': no free temporary name in its directory");
}

AtomicOutput::~AtomicOutput() {
    if (!committed_ && !temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
    }
    ReleaseCleanupSlot(cleanupSlot_);
}

void AtomicOutput::Commit() {
    if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        const int errorNumber = errno;
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
        throw Failure("cannot write '" + path_ + "': " + SystemMessage(errorNumber));
    }
    committed_ = true;
    ReleaseCleanupSlot(cleanupSlot_);
    cleanupSlot_ = -1;
}

} // namespace orvel::cli
