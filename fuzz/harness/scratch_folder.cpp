#include "scratch_folder.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace orvel::fuzz {
namespace {

// Named after the process, so that fuzzers and tests running side by side never share files.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("orvel_fuzz_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace

std::string ScratchPath(std::string_view name) {
    static const ScratchFolder folder;
    return (folder.Path() / name).string();
}

} // namespace orvel::fuzz
