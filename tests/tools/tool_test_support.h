// Helpers of the tool's tests: running the tool and peer programs as processes, BMP files built
// byte by byte and read back independently of the library, and the standard palettes.
#pragma once

#include "dib/picture_reader.h"
#include "support/live_objects.h"
#include "support/processes.h"

#include <orvel/orvel.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel::test {

/// Runs the orvel tool built with this test.
inline Finished Orvel(const std::vector<std::string>& arguments) {
    return RunProgram(ORVEL_TOOL_PATH, arguments);
}

/// Runs the tool; whether it exited with 0. Any other exit is a failure, with what it said.
inline bool OrvelSucceeds(const std::vector<std::string>& arguments) {
    const Finished run = Orvel(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.exitCode == 0;
}

/// A BMP file read without the library: bottom-up BI_RGB pictures with a 40-byte header.
struct BmpFile {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    std::vector<COLORREF> table;   ///< the colour table (2^bitCount entries up to 8 bits)
    std::vector<COLORREF> colours; ///< pixel colours, rows from the top
    COLORREF At(int x, int y) const {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
    }
};

/// Reads a BMP file; records a test failure and returns what it could for anything else.
BmpFile ReadBmp(const Bytes& file);

/// `count` colours of a fixed pseudo-random sequence: every channel takes many values, so
/// channel order, row order and column order all show in a picture made of them.
std::vector<COLORREF> SomeColours(std::size_t count, std::uint32_t seed = 1);

/// Names in a directory, to show that nothing was left behind (temporary files included).
std::vector<std::string> DirectoryNames(const std::string& path);

/// The words of a command line split at spaces: "convert a.bmp -o b.bmp" as four arguments.
std::vector<std::string> Words(const std::string& line);

} // namespace orvel::test
