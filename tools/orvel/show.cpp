// orvel show: pictures in windows on the desktop, drawn through the library's Show.
#include "atomic_output.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

#include <orvel/orvel.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace orvel::cli {
namespace {

// Windows are kept this far inside the screen's edges, and cascade by this much.
constexpr int kScreenMargin = 32;

// A picture's window: at the picture's size, or scaled down, keeping its proportions, to fit the
// screen.
CSize WindowSize(CSize picture, int screenWidth, int screenHeight) {
    const long roomX = std::max(1, screenWidth - 2 * kScreenMargin);
    const long roomY = std::max(1, screenHeight - 2 * kScreenMargin);
    if (picture.cx <= roomX && picture.cy <= roomY) {
        return picture;
    }
    // Compared as cross products, so that no rounding picks the wrong side.
    const bool widthLimits =
        static_cast<long long>(picture.cx) * roomY >= static_cast<long long>(picture.cy) * roomX;
    if (widthLimits) {
        return CSize(static_cast<int>(roomX),
                     static_cast<int>(std::max<long long>(1, static_cast<long long>(picture.cy) *
                                                                 roomX / picture.cx)));
    }
    return CSize(static_cast<int>(std::max<long long>(1, static_cast<long long>(picture.cx) *
                                                             roomY / picture.cy)),
                 static_cast<int>(roomY));
}

// What the screen shows of a window's client area, read back from the desktop.
void SaveScreenshot(CWnd& window, const std::string& path) {
    AtomicOutput out(path);
    RECT client{};
    window.GetClientRect(&client);
    POINT origin{0, 0};
    ClientToScreen(window.GetSafeHwnd(), &origin);
    CWindowDC screen(nullptr);
    CDC memory;
    CBitmap bitmap;
    if (!memory.CreateCompatibleDC(&screen) ||
        !bitmap.CreateBitmap(client.right, client.bottom, 1, 32, nullptr)) {
        throw Failure("cannot make a bitmap for the screenshot: " +
                      StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
    }
    CBitmap* previous = memory.SelectObject(&bitmap);
    const BOOL read =
        memory.BitBlt(0, 0, client.right, client.bottom, &screen, origin.x, origin.y, SRCCOPY);
    const DWORD readError = GetLastError();
    memory.SelectObject(previous);
    if (!read) {
        throw Failure("cannot read the window back from the screen: " +
                      StatusInWords(HTERR_SYSTEM, readError, StatusSource::Picture));
    }
    CConvertDib shot;
    if (!shot.Load(bitmap, nullptr)) {
        throw Failure("cannot read the screenshot as a picture: " +
                      StatusInWords(shot, StatusSource::Picture));
    }
    // The screen holds 24-bit colours in 32-bit pixels; the file keeps the colours in 24 bits.
    RequireSuccess(shot.ConvertColor(24, nullptr), shot, "convert the screenshot for", path);
    SavePicture(shot, out);
    out.Commit();
}

int RunShow(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed =
        ParseArguments(arguments, {{"seconds", 0, true}, {"screenshot", 0, true}});
    const std::vector<std::string>& inputs = parsed.Operands();
    if (inputs.empty()) {
        throw UsageError("expected at least one picture to show");
    }
    const std::optional<std::string> screenshot = parsed.Value("screenshot");
    if (screenshot && inputs.size() != 1) {
        throw UsageError("--screenshot reads one window back: give one picture");
    }
    std::optional<long> seconds;
    if (auto value = parsed.Value("seconds")) {
        seconds = ParseInteger("--seconds", *value, 0, 86400);
    }
    if (!IsDesktopReal()) {
        throw Failure("no desktop to show pictures on: DISPLAY names no X server that accepts the "
                      "connection, or ORVEL_HEADLESS is set");
    }
    std::vector<std::unique_ptr<CDib>> pictures;
    for (const std::string& input : inputs) {
        pictures.push_back(std::make_unique<CDib>());
        LoadPicture(*pictures.back(), input);
    }
    CWindowDC screen(nullptr);
    const int screenWidth = GetDeviceCaps(screen.GetSafeHdc(), HORZRES);
    const int screenHeight = GetDeviceCaps(screen.GetSafeHdc(), VERTRES);
    std::vector<std::unique_ptr<CWnd>> windows;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        CDib& picture = *pictures[i];
        const CSize size = WindowSize(picture.GetSize(), screenWidth, screenHeight);
        const int offset = static_cast<int>(i % 8) * kScreenMargin;
        windows.push_back(std::make_unique<CWnd>());
        CWnd& window = *windows.back();
        const std::string title = "orvel: " + inputs[i];
        if (!window.Create(nullptr, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           CRect(offset, offset, offset + size.cx, offset + size.cy), nullptr, 0)) {
            throw Failure("cannot open a window for '" + inputs[i] + "': " +
                          StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
        }
        CClientDC dc(&window);
        if (!picture.Show(&dc, CRect(0, 0, size.cx, size.cy), CRect(0, 0, 0, 0), TRUE, SRCCOPY)) {
            throw Failure("cannot show '" + inputs[i] +
                          "': " + StatusInWords(picture, StatusSource::Picture));
        }
    }
    if (screenshot) {
        SaveScreenshot(*windows.front(), *screenshot);
    }
    // A window closes on a key press or its close button; the command ends with the last one,
    // or when the time given runs out.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(seconds.value_or(0));
    std::size_t open = windows.size();
    while (open > 0 && (!seconds || std::chrono::steady_clock::now() < deadline)) {
        MSG message{};
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (message.message != WM_KEYDOWN && message.message != WM_CLOSE) {
            continue;
        }
        for (std::unique_ptr<CWnd>& window : windows) {
            if (window && window->GetSafeHwnd() == message.hwnd) {
                window.reset();
                --open;
            }
        }
    }
    return kExitSuccess;
}

} // namespace

const Command& ShowCommand() {
    static const Command command{
        "show", "show pictures in windows on the desktop",
        "orvel show FILE... [--seconds N] [--screenshot OUT.bmp]",
        "Opens a window for each picture, at its size or scaled down to fit the screen, and\n"
        "draws it through the library's Show with its palette realised. A window closes on a\n"
        "key press or its close button; the command ends when every window is closed.\n"
        "\n"
        "  --seconds N           close every window after N seconds\n"
        "  --screenshot OUT.bmp  read the window back from the screen into a 24-bit BMP file\n"
        "                        (one picture only)\n"
        "\n"
        "Needs an X server: DISPLAY names it, and ORVEL_HEADLESS must not be set.\n",
        RunShow};
    return command;
}

} // namespace orvel::cli
