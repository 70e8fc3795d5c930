// orvel draw: a picture drawn through CDib::Show into a memory canvas, saved as the display path
// produced it.
#include "atomic_output.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

#include <orvel/orvel.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace orvel::cli {
namespace {

struct RasterOperation {
    const char* name;
    DWORD code;
};

// The published raster operations that need no brush, which a memory canvas does not have.
constexpr RasterOperation kRasterOperations[] = {
    {"SRCCOPY", SRCCOPY},         {"SRCPAINT", SRCPAINT},   {"SRCAND", SRCAND},
    {"SRCINVERT", SRCINVERT},     {"SRCERASE", SRCERASE},   {"NOTSRCCOPY", NOTSRCCOPY},
    {"NOTSRCERASE", NOTSRCERASE}, {"DSTINVERT", DSTINVERT}, {"BLACKNESS", BLACKNESS},
    {"WHITENESS", WHITENESS},
};

DWORD ParseRasterOperation(const std::string& text) {
    std::string names;
    for (const RasterOperation& operation : kRasterOperations) {
        if (text == operation.name) {
            return operation.code;
        }
        names += names.empty() ? "" : ", ";
        names += operation.name;
    }
    throw UsageError("--rop expects one of " + names + ", not '" + text + "'");
}

// A memory device context holding a canvas bitmap filled with one colour; the bitmap is
// deselected again when the object ends, so it can be read back as a picture.
class Canvas {
public:
    Canvas(long width, long height, int bitCount, COLORREF background) {
        // Bitmap rows are top-down and padded to an even number of bytes.
        const std::size_t pixelBytes = static_cast<std::size_t>(bitCount) / 8;
        const std::size_t rowBytes =
            (static_cast<std::size_t>(width) * pixelBytes + 1) & ~std::size_t{1};
        std::vector<BYTE> bits(rowBytes * static_cast<std::size_t>(height), 0);
        for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
            BYTE* pixel = bits.data() + y * rowBytes;
            for (long x = 0; x < width; ++x, pixel += pixelBytes) {
                pixel[0] = GetBValue(background);
                pixel[1] = GetGValue(background);
                pixel[2] = GetRValue(background);
            }
        }
        if (!dc_.CreateCompatibleDC(nullptr) ||
            !bitmap_.CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1,
                                  static_cast<UINT>(bitCount), bits.data())) {
            ThrowPlatformFailure(width, height, bitCount);
        }
        previous_ = dc_.SelectObject(&bitmap_);
        if (previous_ == nullptr) {
            ThrowPlatformFailure(width, height, bitCount);
        }
    }
    ~Canvas() { Release(); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    CDC* Dc() noexcept { return &dc_; }

    /// Ends the drawing and hands the canvas bitmap out to be read.
    const CBitmap& Finish() {
        Release();
        return bitmap_;
    }

private:
    [[noreturn]] static void ThrowPlatformFailure(long width, long height, int bitCount) {
        throw Failure("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                      " canvas of " + std::to_string(bitCount) + " bits: " +
                      StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
    }
    void Release() noexcept {
        // A bitmap selected into a context cannot be read through another one.
        if (previous_ != nullptr) {
            dc_.SelectObject(previous_);
            previous_ = nullptr;
        }
    }

    CDC dc_;
    CBitmap bitmap_;
    CBitmap* previous_ = nullptr;
};

int RunDraw(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = ParseArguments(arguments, {{"output", 'o', true},
                                                              {"canvas", 0, true},
                                                              {"canvas-depth", 0, true},
                                                              {"background", 0, true},
                                                              {"dest", 0, true},
                                                              {"src", 0, true},
                                                              {"rop", 0, true},
                                                              {"stretchdibits", 0, false},
                                                              {"background-palette", 0, false}});
    if (parsed.Operands().size() != 1) {
        throw UsageError("expected one picture to draw, not " +
                         std::to_string(parsed.Operands().size()));
    }
    const std::string& input = parsed.Operands()[0];
    const std::optional<std::string> output = parsed.Value("output");
    if (!output) {
        throw UsageError("no output given: use -o OUT.bmp");
    }
    std::error_code sameError;
    if (std::filesystem::equivalent(input, *output, sameError)) {
        throw UsageError("'" + *output + "' is the input; write the result to another file");
    }
    std::optional<Extent> canvasSize;
    if (auto canvas = parsed.Value("canvas")) {
        canvasSize = ParseExtent("--canvas", *canvas, 1, 16384);
    }
    int canvasDepth = 32;
    if (auto depth = parsed.Value("canvas-depth")) {
        canvasDepth = static_cast<int>(ParseInteger("--canvas-depth", *depth, 1, 32));
        if (canvasDepth != 24 && canvasDepth != 32) {
            throw UsageError("--canvas-depth must be 24 or 32, not " + *depth);
        }
    }
    const COLORREF background =
        parsed.Has("background") ? ParseColour("--background", *parsed.Value("background")) : 0;
    std::optional<Area> destination;
    if (auto dest = parsed.Value("dest")) {
        destination = ParseArea("--dest", *dest);
    }
    std::optional<Area> source;
    if (auto src = parsed.Value("src")) {
        source = ParseArea("--src", *src);
        if (source->width <= 0 || source->height <= 0) {
            throw UsageError("--src needs a positive width and height");
        }
    }
    // Raster operations act only on the StretchDIBits path, so asking for one selects it.
    const DWORD rasterOperation =
        parsed.Has("rop") ? ParseRasterOperation(*parsed.Value("rop")) : SRCCOPY;
    const bool stretchDibits = parsed.Has("stretchdibits") || parsed.Has("rop");

    CDib picture;
    LoadPicture(picture, input);
    AtomicOutput out(*output);
    const CSize pictureSize = picture.GetSize();
    // By default the part drawn keeps its own size, and the canvas is just large enough to
    // hold the destination: the picture's size when the whole picture is drawn as it is.
    const Area dest = destination.value_or(source ? Area{0, 0, source->width, source->height}
                                                  : Area{0, 0, pictureSize.cx, pictureSize.cy});
    const Extent canvasExtent = canvasSize.value_or(
        Extent{std::max(dest.x, dest.x + dest.width), std::max(dest.y, dest.y + dest.height)});
    if (canvasExtent.width < 1 || canvasExtent.height < 1 || canvasExtent.width > 16384 ||
        canvasExtent.height > 16384) {
        throw UsageError("the canvas would be " + std::to_string(canvasExtent.width) + "x" +
                         std::to_string(canvasExtent.height) +
                         "; give --canvas WxH with sides from 1 to 16384");
    }
    CRect sourceRect(0, 0, 0, 0); // all zero: the whole picture
    if (source) {
        // Users count rows from the top; the display path takes the platform's DIB
        // coordinates, whose origin is the bottom-left corner of a bottom-up picture.
        const long bottomUpY = pictureSize.cy - (source->y + source->height);
        sourceRect = CRect(static_cast<int>(source->x), static_cast<int>(bottomUpY),
                           static_cast<int>(source->x + source->width),
                           static_cast<int>(bottomUpY + source->height));
    }
    const CRect destRect(static_cast<int>(dest.x), static_cast<int>(dest.y),
                         static_cast<int>(dest.x + dest.width),
                         static_cast<int>(dest.y + dest.height));

    Canvas canvas(canvasExtent.width, canvasExtent.height, canvasDepth, background);
    picture.UseDrawDIB(stretchDibits ? 0 : 1);
    const BOOL foreground = parsed.Has("background-palette") ? FALSE : TRUE;
    if (!picture.Show(canvas.Dc(), destRect, sourceRect, foreground,
                      static_cast<unsigned>(rasterOperation))) {
        throw Failure("cannot draw '" + input +
                      "': " + StatusInWords(picture, StatusSource::Picture));
    }
    CDib drawn;
    if (!drawn.Load(canvas.Finish(), nullptr)) {
        throw Failure("cannot read back the drawing of '" + input +
                      "': " + StatusInWords(drawn, StatusSource::Picture));
    }
    SavePicture(drawn, out);
    out.Commit();
    return kExitSuccess;
}

} // namespace

const Command& DrawCommand() {
    static const Command command{
        "draw", "draw a picture through the display path and save what was drawn",
        "orvel draw IN -o OUT.bmp [--canvas WxH] [--dest X,Y,W,H] [--src X,Y,W,H] [--rop NAME]\n"
        "       [--stretchdibits] [--canvas-depth 24|32] [--background RRGGBB]",
        "Draw IN into a memory device context holding a canvas bitmap, exactly as an\n"
        "application's window would be drawn, and save the canvas as a BMP file.\n"
        "\n"
        "  -o, --output OUT.bmp   the file to write\n"
        "  --canvas WxH           the canvas size (default: just large enough for the\n"
        "                         destination, so the picture's size unless --dest or --src\n"
        "                         say otherwise)\n"
        "  --canvas-depth N       the canvas's bits per pixel, 24 or 32 (default 32)\n"
        "  --background RRGGBB    the canvas colour before drawing (default 000000)\n"
        "  --dest X,Y,W,H         where to draw on the canvas, stretched to W x H\n"
        "                         (default: at 0,0 at the size of what is drawn)\n"
        "  --src X,Y,W,H          the part of the picture to draw, from its top-left corner\n"
        "                         (default: all of it)\n"
        "  --stretchdibits        draw through StretchDIBits instead of DrawDib\n"
        "  --rop NAME             raster operation: SRCCOPY, SRCPAINT, SRCAND, SRCINVERT,\n"
        "                         SRCERASE, NOTSRCCOPY, NOTSRCERASE, DSTINVERT, BLACKNESS or\n"
        "                         WHITENESS. Only StretchDIBits applies them, so --rop selects\n"
        "                         that path.\n"
        "  --background-palette   realise the picture's palette as a background palette\n",
        RunDraw};
    return command;
}

} // namespace orvel::cli
