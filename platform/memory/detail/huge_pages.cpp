#include "huge_pages.h"

#include <dirent.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvel::platform::detail {
namespace {

// The virtio device id of a memory balloon, and its feature bit for free page reporting.
constexpr unsigned kBalloonDevice = 5;
constexpr std::size_t kReportingFeature = 5;

// The first line of a small sysfs file, or "" when it cannot be read.
std::string FirstLine(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr) {
        return {};
    }
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    return read ? std::string(line, std::strcspn(line, "\n")) : std::string{};
}

// Whether a virtio balloon offers free page reporting. sysfs lists a device's features as one
// character '0' or '1' for each bit, bit 0 first.
bool HostTakesBackFreePages() {
    constexpr const char* kDevices = "/sys/bus/virtio/devices";
    DIR* devices = ::opendir(kDevices);
    if (devices == nullptr) {
        return false;
    }
    bool reporting = false;
    while (const dirent* entry = ::readdir(devices)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string device = std::string(kDevices) + "/" + entry->d_name;
        if (std::strtoul(FirstLine(device + "/device").c_str(), nullptr, 0) != kBalloonDevice) {
            continue;
        }
        const std::string features = FirstLine(device + "/features");
        if (features.size() > kReportingFeature && features[kReportingFeature] == '1') {
            reporting = true;
            break;
        }
    }
    ::closedir(devices);
    return reporting;
}

bool Decide() noexcept {
    if (const char* forced = std::getenv("ORVEL_HUGE_PAGES"); forced != nullptr && *forced != 0) {
        return std::strcmp(forced, "0") != 0;
    }
    try {
        return !HostTakesBackFreePages();
    } catch (...) {
        return true; // no memory for a path: the machine is not worth a survey now
    }
}

} // namespace

bool HugePagesPay() noexcept {
    // 0 unknown, 1 no, 2 yes. Two first callers may both decide; they store the same answer.
    static std::atomic<int> decided{0};
    int answer = decided.load(std::memory_order_relaxed);
    if (answer == 0) {
        answer = Decide() ? 2 : 1;
        decided.store(answer, std::memory_order_relaxed);
    }
    return answer == 2;
}

} // namespace orvel::platform::detail
