// orvel demo: the library's typical use end to end, on a test card of the tool's own.
#include "atomic_output.h"
#include "avi_encoder.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "palette_choice.h"
#include "picture_io.h"
#include "test_card.h"

#include <orvel/orvel.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace orvel::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kCardWidth = 320;
constexpr int kCardHeight = 240;
constexpr int kAnimationFrames = 12;

// Runs the steps one after another and prints one line for each, with its time.
class Steps {
public:
    /// Runs `step`, which returns what it did in a few words.
    void Run(const char* name, const std::function<std::string()>& step) {
        const auto start = std::chrono::steady_clock::now();
        const std::string result = step();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        total_ += took.count();
        std::printf("%2d  %-27s %-44s %7.1f ms\n", ++count_, name, result.c_str(), took.count());
        std::fflush(stdout);
    }
    double TotalMilliseconds() const noexcept { return total_; }
    int Count() const noexcept { return count_; }

private:
    int count_ = 0;
    double total_ = 0;
};

std::string FileSize(const fs::path& path) {
    std::error_code error;
    return std::to_string(fs::file_size(path, error)) + " bytes";
}

int RunDemo(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = ParseArguments(arguments, {{"output", 'o', true}});
    if (!parsed.Operands().empty()) {
        throw UsageError("the demo takes no input; it makes its own picture");
    }
    const fs::path directory = parsed.Value("output").value_or("orvel-demo");
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) {
        throw Failure("cannot make the directory '" + directory.string() + "': " + error.message());
    }
    auto out = [&](const char* name) { return (directory / name).string(); };

    std::printf("orvel demo: the library's typical use, written to %s\n\n",
                directory.string().c_str());
    Steps steps;
    CConvertDib picture;

    steps.Run("make a test card", [&] {
        std::vector<std::uint8_t> card = MakeTestCard(kCardWidth, kCardHeight);
        CDib fromMemory;
        if (!fromMemory.Load(reinterpret_cast<BITMAPFILEHEADER*>(card.data()))) {
            RequireSuccess(FALSE, fromMemory, "load", "the test card");
        }
        SavePicture(fromMemory, out("card.bmp"));
        return DescribePicture(fromMemory) + " -> card.bmp";
    });
    steps.Run("load it from a BMP file", [&] {
        LoadPicture(picture, out("card.bmp"));
        return DescribePicture(picture) + ", " + FileSize(out("card.bmp"));
    });
    steps.Run("reduce to 8 bits", [&] {
        RequireSuccess(picture.ConvertColor(8, nullptr), picture, "convert", "card.bmp");
        SavePicture(picture, out("card-8bit.bmp"));
        return "halftone palette -> card-8bit.bmp";
    });
    steps.Run("halve its size", [&] {
        const CSize size = picture.GetSize();
        RequireSuccess(picture.ConvertSize(size.cx / 2, size.cy / 2), picture, "resize",
                       "card-8bit.bmp");
        SavePicture(picture, out("card-small.bmp"));
        return DescribePicture(picture) + " -> card-small.bmp";
    });
    steps.Run("draw it into a memory DC", [&] {
        const CSize size = picture.GetSize();
        CDC dc;
        CBitmap canvas;
        if (!dc.CreateCompatibleDC(nullptr) ||
            !canvas.CreateBitmap(size.cx, size.cy, 1, 32, nullptr)) {
            throw Failure("cannot make a canvas to draw on");
        }
        CBitmap* previous = dc.SelectObject(&canvas);
        const BOOL shown = picture.Show(&dc, CRect(0, 0, size.cx, size.cy), CRect(0, 0, 0, 0));
        dc.SelectObject(previous);
        RequireSuccess(shown, picture, "draw", "card-small.bmp");
        CDib drawn(canvas, nullptr);
        RequireSuccess(TRUE, drawn, "read back", "the drawing");
        SavePicture(drawn, out("drawn.bmp"));
        const bool same = PictureColourRefs(drawn) == PictureColourRefs(picture);
        if (!same) {
            throw Failure("the drawing differs from the picture it shows");
        }
        return "DrawDib, pixels as the picture -> drawn.bmp";
    });
    steps.Run("copy through the clipboard", [&] {
        CWnd window;
        const RECT area{0, 0, 320, 240};
        window.Create(nullptr, "orvel demo", WS_OVERLAPPEDWINDOW, area, nullptr, 0);
        RequireSuccess(picture.SetClipboard(&window), picture, "copy to the clipboard",
                       "card-small.bmp");
        CDib pasted;
        RequireSuccess(pasted.GetClipboard(&window), pasted, "paste from the clipboard",
                       "card-small.bmp");
        // Leave the clipboard as it was found.
        if (OpenClipboard(window.GetSafeHwnd())) {
            EmptyClipboard();
            CloseClipboard();
        }
        if (!SamePicture(pasted, picture)) {
            throw Failure("the picture from the clipboard differs from the one copied");
        }
        SavePicture(pasted, out("from-clipboard.bmp"));
        return "an identical copy -> from-clipboard.bmp";
    });
    steps.Run("compress an animation", [&] {
        // A bar moves across the picture: each frame is a copy with the bar pasted in.
        const CSize size = picture.GetSize();
        const int barWidth = std::max(2, static_cast<int>(size.cx) / 12);
        CDib bar(CSize(barWidth, size.cy), RGB(255, 255, 0), 8, nullptr);
        RequireSuccess(TRUE, bar, "make", "the moving bar");
        const PaletteChoice halftone = PaletteChoice::Parse("halftone");
        CPalette palette;
        halftone.Make(palette);
        AtomicOutput output(out("animation.avi"));
        AviEncoder encoder(output, AviCodec::Rle8, 12);
        for (int i = 0; i < kAnimationFrames; ++i) {
            CConvertDib frame(picture);
            const int x = (static_cast<int>(size.cx) - barWidth) * i / (kAnimationFrames - 1);
            RequireSuccess(frame.Attach(bar, CPoint(x, 0)), frame, "paste the bar into",
                           "frame " + std::to_string(i));
            const std::string name = "frame " + std::to_string(i);
            PrepareFrame(frame, AviCodec::Rle8, &palette, name);
            encoder.AddFrame(frame, name);
        }
        encoder.Finish();
        output.Commit();
        return std::to_string(kAnimationFrames) + " frames, " + FileSize(out("animation.avi")) +
               " -> animation.avi";
    });

    std::printf("\n%d steps in %.1f ms\n", steps.Count(), steps.TotalMilliseconds());
    return kExitSuccess;
}

} // namespace

const Command& DemoCommand() {
    static const Command command{
        "demo", "run the library's typical use on a test card of its own", "orvel demo [-o DIR]",
        "Make a colourful 24-bit test card, then use the library as an application does: save\n"
        "it and load it from a BMP file, reduce it to 8 bits, halve its size, draw it into a\n"
        "memory device context, copy it through the clipboard and back, and compress an\n"
        "animation of it to AVI. Each result is written into DIR; each step prints one line\n"
        "with its time.\n"
        "\n"
        "  -o, --output DIR   where to write the results (default ./orvel-demo)\n",
        RunDemo};
    return command;
}

} // namespace orvel::cli
