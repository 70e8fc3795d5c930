// Other programs run by the tests, and files read and written whole.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace orvel::test {

/// Starts `arguments[0]` (looked up on PATH when it has no slash) with stdin read from `input`
/// and stdout and stderr written to `out` and `err` (truncated; "/dev/null" for none). Its
/// process id, or -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& input,
            const std::string& out, const std::string& err);

/// What a finished process left: its exit status and everything it printed.
struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs `program` with `arguments` (stdin empty) and waits for it.
Finished RunProgram(const std::string& program, const std::vector<std::string>& arguments);
/// Runs a shell command line; its exit status.
inline int RunShell(const std::string& command) {
    return RunProgram("/bin/sh", {"-c", command}).exitCode;
}
/// Whether a program is on PATH.
inline bool HasProgram(const std::string& name) {
    return RunShell("command -v " + name + " >/dev/null 2>&1") == 0;
}
/// Starts a program in the background (stdin from `input` when given, what it prints dropped);
/// its process id, or -1. StopProgram ends it and waits for it.
inline pid_t StartProgram(const std::vector<std::string>& arguments,
                          const std::string& input = {}) {
    return Spawn(arguments, input.empty() ? "/dev/null" : input, "/dev/null", "/dev/null");
}
void StopProgram(pid_t process);

/// A file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// `text` with every occurrence of each key of `names` replaced by its value.
std::string Expanded(std::string text,
                     const std::vector<std::pair<std::string, std::string>>& names);

/// A file in the test program's scratch folder (TMPDIR, which the test program makes its own and
/// removes when it ends).
inline std::string ScratchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

/// A folder of its own for one test, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    /// Writes the file; its path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        WriteFileBytes(Path(name), bytes);
        return Path(name);
    }
    std::vector<std::uint8_t> Read(const std::string& name) const {
        return ReadFileBytes(Path(name));
    }

private:
    std::string path_;
};

} // namespace orvel::test
