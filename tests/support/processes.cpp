#include "support/processes.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ; // NOLINT: the process environment, as POSIX declares it

namespace orvel::test {

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& input,
            const std::string& out, const std::string& err) {
    std::vector<std::string> copy = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copy) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t process = -1;
    const int spawned = posix_spawnp(&process, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? process : -1;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string Expanded(std::string text,
                     const std::vector<std::pair<std::string, std::string>>& names) {
    for (const auto& [key, value] : names) {
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key)) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

ScratchDir::ScratchDir() {
    static int sequence = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("scratch_" + std::to_string(::getpid()) + "_" + std::to_string(sequence++)))
                .string();
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace orvel::test
