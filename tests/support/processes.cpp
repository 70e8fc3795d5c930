#include "support/processes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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

Finished RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    const ScratchDir dir;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Finished run;
    if (const pid_t child = Spawn(argv, "/dev/null", dir.Path("out"), dir.Path("err")); child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
        ADD_FAILURE() << "cannot run " << program;
    }
    const std::vector<std::uint8_t> out = ReadFileBytes(dir.Path("out"));
    const std::vector<std::uint8_t> err = ReadFileBytes(dir.Path("err"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

void StopProgram(pid_t process) {
    if (process > 0) {
        ::kill(process, SIGTERM);
        ::waitpid(process, nullptr, 0);
    }
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
