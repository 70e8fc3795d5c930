// The tool on the desktop: `orvel show --screenshot` gives back the picture's pixels on both
// screens, and `orvel clipboard` exchanges pictures with xclip.
#include "desktop_fixture.h"

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace orvel::test {
namespace {

const std::string kTool = ORVEL_TOOL_PATH;

// Waits up to `seconds` for a process to end by itself; its exit status, or -1.
int WaitForExit(pid_t process, int seconds) {
    for (int attempt = 0; attempt < seconds * 100; ++attempt) {
        int status = 0;
        if (waitpid(process, &status, WNOHANG) == process) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

class ToolShowTest : public DesktopTest, public ::testing::WithParamInterface<Screen> {
protected:
    void SetUp() override {
        UseScreen(GetParam());
        RequirePrograms({"pillow"});
    }
};

// Each screen shows the picture's own colours: on the 8-bit screen a 4-bit picture's sixteen fit
// beside the static colours.
TEST_P(ToolShowTest, ScreenshotHoldsThePicturesPixels) {
    const std::string input = ScratchPath("picture.bmp");
    ASSERT_TRUE(MakeTestPicture(GetParam() == Screen::trueColour24 ? 24 : 4, 61, 41)
                    ->SaveAs(CString(input.c_str())));
    const std::vector<BYTE> expected = PillowRgb(input);
    ASSERT_FALSE(expected.empty());
    // Through shared memory, and through ordinary requests as to a remote server.
    for (const char* sharing : {"", "ORVEL_X11_NO_SHM=1 "}) {
        const std::string shot = ScratchPath("shot.bmp");
        ASSERT_EQ(
            RunShell(sharing + kTool + " show " + input + " --seconds 0 --screenshot " + shot), 0);
        EXPECT_TRUE(PillowRgb(shot) == expected) << sharing;
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ToolShowTest,
                         ::testing::Values(Screen::trueColour24, Screen::pseudoColour8),
                         [](const ::testing::TestParamInfo<Screen>& param) {
                             return ScreenName(param.param);
                         });

class ToolClipboardTest : public DesktopTest {
protected:
    void SetUp() override {
        UseScreen(Screen::trueColour24);
        RequirePrograms({"xclip", "pillow"});
        card_ = ScratchPath("card.bmp");
        ASSERT_TRUE(MakeTestPicture(24, 37, 23)->SaveAs(CString(card_.c_str())));
    }
    void TearDown() override {
        StopProgram(xclip_);
        DesktopTest::TearDown();
    }
    std::string card_;
    pid_t xclip_ = -1;
};

// Once xclip takes the clipboard with text, `put` stops serving and `get` finds no picture.
TEST_F(ToolClipboardTest, PutServesXclipUntilAnotherProgramTakesTheClipboard) {
    const pid_t put = StartProgram({kTool, "clipboard", "put", card_, "--seconds", "30"});
    ASSERT_GT(put, 0);
    const std::string copy = ScratchPath("copy.png");
    bool served = false;
    for (int attempt = 0; attempt < 300 && !served; ++attempt) {
        served =
            RunShell("xclip -selection clipboard -t image/png -o > " + copy + " 2>/dev/null") == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(served);
    EXPECT_EQ(PillowRgb(copy), PillowRgb(card_));
    const std::string text = ScratchPath("text");
    WriteFileBytes(text, {'x'});
    xclip_ = StartProgram({"xclip", "-quiet", "-selection", "clipboard", "-i"}, text);
    EXPECT_EQ(WaitForExit(put, 10), 0) << "orvel kept serving a clipboard it lost";
    const std::string message = ScratchPath("message");
    EXPECT_EQ(RunShell(kTool + " clipboard get -o " + ScratchPath("none.bmp") + " 2> " + message),
              1);
    const std::vector<BYTE> said = ReadFileBytes(message);
    EXPECT_EQ(std::string(said.begin(), said.end()), "orvel: the clipboard holds no picture\n");
}

// The picture outlives the process that put it: at exit it goes to the clipboard manager.
TEST_F(ToolClipboardTest, ExitHandsThePictureToTheClipboardManager) {
    if (RunShell("/usr/bin/python3 -c 'import Xlib' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python-xlib is not installed (Debian: python3-xlib)";
    }
    const std::string saved = ScratchPath("saved.png");
    const pid_t manager =
        StartProgram({"/usr/bin/python3", ORVEL_DESKTOP_FIXTURES "/clipboard_manager.py", saved});
    for (int attempt = 0; attempt < 500 && !std::filesystem::exists(saved + ".ready"); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(RunShell(kTool + " clipboard put " + card_ + " --seconds 0"), 0);
    EXPECT_EQ(WaitForExit(manager, 10), 0);
    EXPECT_EQ(PillowRgb(saved), PillowRgb(card_));
}

} // namespace
} // namespace orvel::test
