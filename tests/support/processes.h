// Other programs run by the tests, and files read and written whole.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvel::test {

/// Starts `arguments[0]` (looked up on PATH when it has no slash) with stdin read from `input`
/// and stdout and stderr written to `out` and `err` (truncated; "/dev/null" for none). Its
/// process id, or -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& input,
            const std::string& out, const std::string& err);

/// A file's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

/// `text` with every occurrence of each key of `names` replaced by its value.
std::string Expanded(std::string text,
                     const std::vector<std::pair<std::string, std::string>>& names);

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
