// The desktop suites' shared fixture: an Xvfb server of the depth a test asks for, started on a
// free display number the first time a test needs it and stopped when the test program ends,
// with the platform reopened on it. Tests of a screen report themselves skipped, with the
// reason, where Xvfb or an outside program they use is not installed.
#pragma once

#include <orvel/orvel.h>

#include "support/processes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvel::test {

/// Screens the suites draw on: 24-bit TrueColor and 8-bit PseudoColor.
enum class Screen { trueColour24, pseudoColour8 };

std::string ScreenName(Screen screen);

/// Pixels of a picture file as Pillow reads them: R, G, B bytes, rows from the top. Empty when
/// Pillow cannot read it.
std::vector<BYTE> PillowRgb(const std::string& path);

/// The platform on an Xvfb screen. SetUp skips the test when Xvfb is missing or does not start.
class DesktopTest : public ::testing::Test {
protected:
    void UseScreen(Screen screen);
    /// Skips the test unless every program named is installed.
    void RequirePrograms(const std::vector<std::string>& programs);
    void TearDown() override;
};

/// A width x height picture of `depth` bits of fixed arbitrary pixels, a full colour table of
/// arbitrary colours at indexed depths: any pixel drawn at the wrong place shows.
std::unique_ptr<CDib> MakeTestPicture(int depth, int width, int height);

/// What the screen shows of a window's client area (width x height from its corner), read back
/// through a screen context; rows from the top. Empty when the read fails.
std::vector<COLORREF> ShownPixels(HWND window, int width, int height);

/// What a window's own surface holds, as the screen shows its colours (GetNearestColor).
std::vector<COLORREF> ExpectedPixels(HWND window, int width, int height);

} // namespace orvel::test
