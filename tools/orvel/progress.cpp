#include "progress.h"

#include <algorithm>

#include <sys/ioctl.h>
#include <unistd.h>

namespace orvel::cli {
namespace {

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

ProgressBar::ProgressBar(std::size_t total, bool enabled) : total_(total), enabled_(enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    Draw();
}

ProgressBar::~ProgressBar() {
    std::lock_guard<std::mutex> lock(mutex_);
    Clear();
}

bool ProgressBar::StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void ProgressBar::Advance(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    label_ = label;
    Draw();
}

void ProgressBar::Message(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    Clear();
    std::fprintf(stderr, "%s\n", line.c_str());
    Draw();
}

void ProgressBar::Clear() {
    if (enabled_) {
        // Carriage return and erase to the end of the line.
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void ProgressBar::Draw() {
    if (!enabled_) {
        return;
    }
    const int columns = TerminalColumns();
    const auto barWidth = static_cast<std::size_t>(std::clamp(columns / 3, 10, 40));
    const std::size_t filled = total_ == 0 ? barWidth : done_ * barWidth / total_;
    std::string line(1, '[');
    line.append(filled, '#');
    line.append(barWidth - filled, '.');
    line += "] ";
    line += std::to_string(done_);
    line += '/';
    line += std::to_string(total_);
    if (!label_.empty()) {
        line += "  ";
        line += label_;
    }
    // Never wrap: a wrapped bar cannot be erased by a carriage return.
    const auto room = static_cast<std::size_t>(std::max(columns - 1, 1));
    if (line.size() > room) {
        line.resize(room);
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

} // namespace orvel::cli
