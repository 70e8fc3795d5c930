// A progress bar for batches, drawn on a terminal only.
#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace orvel::cli {

/// A one-line bar on stderr: "[#######.....]  7/12  name". It is drawn only when stderr is a
/// terminal, so logs and pipes get the plain messages alone. Every member may be called from
/// several threads at once.
class ProgressBar {
public:
    /// `total` steps; `enabled` false draws nothing (messages still go out).
    ProgressBar(std::size_t total, bool enabled);
    /// Clears the bar from the terminal.
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    /// Whether stderr is a terminal, where a bar belongs.
    static bool StderrIsTerminal();

    /// Counts one finished step and shows `label` next to the bar.
    void Advance(const std::string& label);
    /// Prints a whole line on stderr above the bar, which is drawn again below it.
    void Message(const std::string& line);

private:
    void Clear();
    void Draw();

    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool enabled_;
    std::string label_;
};

} // namespace orvel::cli
