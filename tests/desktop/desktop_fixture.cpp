#include "desktop_fixture.h"

#include "convert/picture_bytes.h"
#include "support/memory_surface.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>

namespace orvel::test {
namespace {

struct Server {
    pid_t process = -1;
    std::string display;
};

std::map<Screen, Server>& Servers() {
    static std::map<Screen, Server> servers;
    return servers;
}

std::string ScreenGeometry(Screen screen) {
    return screen == Screen::trueColour24 ? "1024x768x24" : "1024x768x8";
}

// Xvfb chooses a free display number itself and writes it to the pipe given with -displayfd
// (the pipe's write end is inherited by the program started).
Server StartServer(Screen screen) {
    Server server;
    int ready[2];
    if (pipe(ready) != 0) {
        return server;
    }
    server.process = StartProgram({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                   ScreenGeometry(screen), "-nolisten", "tcp", "-noreset"});
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (server.process > 0 && poll(&wait, 1, 20000) == 1 && read(ready[0], &c, 1) == 1 &&
           c != '\n') {
        number += c;
    }
    close(ready[0]);
    if (number.empty()) {
        StopProgram(server.process);
        server.process = -1;
    }
    server.display = ":" + number;
    return server;
}

// Every server started goes when the test program ends.
class ServerStopper : public ::testing::Environment {
public:
    void TearDown() override {
        for (auto& [screen, server] : Servers()) {
            if (server.process > 0) {
                StopProgram(server.process);
            }
        }
        Servers().clear();
    }
};

const bool g_stopperAdded = [] {
    ::testing::AddGlobalTestEnvironment(new ServerStopper);
    return true;
}();

} // namespace

std::string ScreenName(Screen screen) {
    return screen == Screen::trueColour24 ? "truecolour24" : "pseudocolour8";
}

std::vector<BYTE> PillowRgb(const std::string& path) {
    const std::string raw = path + ".rgb";
    const std::string command = "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                                "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1])"
                                ".convert('RGB').tobytes())\" '" +
                                path + "' '" + raw + "'";
    if (RunShell(command) != 0) {
        return {};
    }
    return ReadFileBytes(raw);
}

void DesktopTest::UseScreen(Screen screen) {
    if (!HasProgram("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (Debian: xvfb)";
    }
    Server& server = Servers()[screen];
    if (server.process <= 0) {
        server = StartServer(screen);
    }
    if (server.process <= 0) {
        GTEST_SKIP() << "Xvfb did not start a " << ScreenGeometry(screen) << " screen";
    }
    setenv("DISPLAY", server.display.c_str(), 1);
    unsetenv("ORVEL_HEADLESS");
    orvel::testing::ReopenDesktop();
    ASSERT_TRUE(IsDesktopReal()) << "the platform did not take " << server.display;
}

void DesktopTest::RequirePrograms(const std::vector<std::string>& programs) {
    for (const std::string& program : programs) {
        if (program == "pillow") {
            if (RunShell("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
                GTEST_SKIP() << "Pillow is not installed (Debian: python3-pil)";
            }
            continue;
        }
        if (!HasProgram(program)) {
            GTEST_SKIP() << program << " is not installed";
        }
    }
}

void DesktopTest::TearDown() {
    orvel::testing::ClearFault();
    orvel::testing::SetSelectionWait(5000);
    // What a test left on the clipboard is the clipboard's, not a leak; the test program's own
    // check of the live counts follows.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::unique_ptr<CDib> MakeTestPicture(int depth, int width, int height) {
    PictureBytes arbitrary = ArbitraryPicture(depth, width, height, 7);
    // A 32-bit pixel's fourth byte stays zero: other programs may read it as alpha.
    for (std::size_t i = 3; depth == 32 && i < arbitrary.rows.size(); i += 4) {
        arbitrary.rows[i] = 0;
    }
    Bytes file = FileOf(arbitrary);
    auto picture = std::make_unique<CDib>();
    EXPECT_TRUE(picture->Load(reinterpret_cast<BITMAPFILEHEADER*>(file.data())));
    return picture;
}

std::vector<COLORREF> ShownPixels(HWND window, int width, int height) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> pixels;
    {
        MemorySurface copy(width, height, 32);
        if (copy.Ready() &&
            BitBlt(copy.Dc(), 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY)) {
            pixels = PixelsOf(copy.Dc(), width, height);
        }
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<COLORREF> ExpectedPixels(HWND window, int width, int height) {
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels = PixelsOf(dc, width, height);
    for (COLORREF& pixel : pixels) {
        pixel = GetNearestColor(dc, pixel);
    }
    ReleaseDC(window, dc);
    return pixels;
}

} // namespace orvel::test
