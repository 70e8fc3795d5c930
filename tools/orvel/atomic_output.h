// Output files that appear whole or not at all.
#pragma once

#include <string>

namespace orvel::cli {

/// An output file written under a temporary name in the same directory and renamed over its
/// final name only once it is complete. A failure, an exception or an interrupt (SIGINT,
/// SIGTERM, SIGHUP) before Commit removes the temporary file, so the final name never holds a
/// half-written file and an existing file there is never clobbered by a failed run.
class AtomicOutput {
public:
    /// Reserves the temporary file next to `path`. Throws Failure naming `path` when the
    /// directory cannot take a new file or `path` is a directory.
    explicit AtomicOutput(std::string path);
    /// Removes the temporary file unless it was committed.
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    /// The name the file gets on Commit.
    const std::string& Path() const noexcept { return path_; }
    /// Where to write meanwhile. It exists (empty) from construction on.
    const std::string& TemporaryPath() const noexcept { return temporaryPath_; }

    /// Renames the temporary file to the final name, replacing what was there. Throws Failure
    /// (and removes the temporary file) when the rename fails.
    void Commit();

private:
    std::string path_;
    std::string temporaryPath_;
    int cleanupSlot_ = -1;
    bool committed_ = false;
};

/// A system error number in words ("No such file or directory").
std::string SystemMessage(int errorNumber);

} // namespace orvel::cli
