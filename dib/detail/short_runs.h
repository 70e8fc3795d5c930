// Copies and fills of 1 to 255 bytes, the runs of a run-length stream, without a library call.
//
// A photograph's stream is mostly runs of one to four pixels and absolute runs of a few dozen: a
// general memset or memcpy of a length known only at run time costs more to start than such a run
// takes to move. These use a few fixed-size moves that may overlap each other, and never touch a
// byte outside the `count` bytes at `target`.
#pragma once

#include "../../platform/win/types.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvel::dib::detail {

inline void CopyRun(BYTE* target, const BYTE* source, std::size_t count) noexcept {
    if (count >= 16) {
        std::size_t done = 0;
        for (; done + 16 < count; done += 16) {
            std::memcpy(target + done, source + done, 16);
        }
        std::memcpy(target + count - 16, source + count - 16, 16);
    } else if (count >= 8) {
        std::memcpy(target, source, 8);
        std::memcpy(target + count - 8, source + count - 8, 8);
    } else if (count >= 4) {
        std::memcpy(target, source, 4);
        std::memcpy(target + count - 4, source + count - 4, 4);
    } else if (count != 0) {
        target[0] = source[0];
        target[count / 2] = source[count / 2];
        target[count - 1] = source[count - 1];
    }
}

inline void FillRun(BYTE* target, BYTE value, std::size_t count) noexcept {
    const std::uint64_t eight = value * std::uint64_t{0x0101010101010101};
    if (count >= 16) {
        std::size_t done = 0;
        for (; done + 16 < count; done += 16) {
            std::memcpy(target + done, &eight, 8);
            std::memcpy(target + done + 8, &eight, 8);
        }
        std::memcpy(target + count - 16, &eight, 8);
        std::memcpy(target + count - 8, &eight, 8);
    } else if (count >= 8) {
        std::memcpy(target, &eight, 8);
        std::memcpy(target + count - 8, &eight, 8);
    } else if (count >= 4) {
        const auto four = static_cast<std::uint32_t>(eight);
        std::memcpy(target, &four, 4);
        std::memcpy(target + count - 4, &four, 4);
    } else if (count != 0) {
        target[0] = value;
        target[count / 2] = value;
        target[count - 1] = value;
    }
}

} // namespace orvel::dib::detail
