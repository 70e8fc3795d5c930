#include "test_card.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvel::cli {
namespace {

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// A drawing surface of top-down RGB pixels; writes outside it are dropped.
class Canvas {
public:
    Canvas(int width, int height)
        : width_(width), height_(height),
          pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

    void Set(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) {
            pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                    static_cast<std::size_t>(x)] = colour;
        }
    }
    void Fill(int left, int top, int right, int bottom, Rgb colour) {
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                Set(x, y, colour);
            }
        }
    }
    Rgb At(int x, int y) const {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)];
    }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }

private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

// Letters of five columns by seven rows; bit 4 of a row is the leftmost column.
struct Glyph {
    char letter;
    std::array<std::uint8_t, 7> rows;
};

constexpr Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
};

void DrawText(Canvas& canvas, int left, int top, int scale, const char* text, Rgb colour) {
    for (int column = 0; *text != '\0'; ++text, column += 6 * scale) {
        for (const Glyph& glyph : kGlyphs) {
            if (glyph.letter != *text) {
                continue;
            }
            for (int row = 0; row < 7; ++row) {
                for (int bit = 0; bit < 5; ++bit) {
                    if ((glyph.rows[static_cast<std::size_t>(row)] >> (4 - bit) & 1) != 0) {
                        canvas.Fill(left + column + bit * scale, top + row * scale,
                                    left + column + (bit + 1) * scale, top + (row + 1) * scale,
                                    colour);
                    }
                }
            }
        }
    }
}

// White, yellow, cyan, green, magenta, red, blue, black: every pairing of the three channels.
void DrawColourBars(Canvas& canvas, int top, int bottom) {
    constexpr Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                             {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    const int width = canvas.Width();
    for (int i = 0; i < 8; ++i) {
        canvas.Fill(width * i / 8, top, width * (i + 1) / 8, bottom, kBars[i]);
    }
}

// Left to right from 0 to 255 in each channel alone and in all three.
void DrawRamps(Canvas& canvas, int top, int bottom) {
    const int width = canvas.Width();
    const int band = (bottom - top) / 4;
    for (int x = 0; x < width; ++x) {
        const auto level = static_cast<std::uint8_t>(x * 255 / (width - 1));
        canvas.Fill(x, top, x + 1, top + band, Rgb{level, 0, 0});
        canvas.Fill(x, top + band, x + 1, top + 2 * band, Rgb{0, level, 0});
        canvas.Fill(x, top + 2 * band, x + 1, top + 3 * band, Rgb{0, 0, level});
        canvas.Fill(x, top + 3 * band, x + 1, bottom, Rgb{level, level, level});
    }
}

// One-pixel vertical lines, horizontal lines and checks side by side.
void DrawFineDetail(Canvas& canvas, int left, int top, int right, int bottom) {
    const int third = (right - left) / 3;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            bool white = false;
            if (x < left + third) {
                white = (x - left) % 2 == 0;
            } else if (x < left + 2 * third) {
                white = (y - top) % 2 == 0;
            } else {
                white = (x + y) % 2 == 0;
            }
            canvas.Set(x, y, white ? kWhite : kBlack);
        }
    }
}

// A ring and a diagonal: round things stay round only when both axes scale alike.
void DrawRingAndDiagonal(Canvas& canvas, int left, int top, int right, int bottom) {
    canvas.Fill(left, top, right, bottom, Rgb{32, 32, 96});
    const int centreX = (left + right) / 2;
    const int centreY = (top + bottom) / 2;
    const int radius = std::min(right - left, bottom - top) / 2 - 2;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const int dx = x - centreX;
            const int dy = y - centreY;
            const int distance = dx * dx + dy * dy;
            if (distance <= radius * radius && distance >= (radius - 2) * (radius - 2)) {
                canvas.Set(x, y, Rgb{255, 200, 0});
            }
        }
    }
    const int span = std::min(right - left, bottom - top);
    for (int i = 0; i < span; ++i) {
        canvas.Set(left + i, top + i, kWhite);
    }
}

} // namespace

std::vector<std::uint8_t> MakeTestCard(int width, int height) {
    Canvas canvas(width, height);
    const int barsBottom = height * 3 / 8;
    const int rampsBottom = height * 5 / 8;
    DrawColourBars(canvas, 0, barsBottom);
    DrawRamps(canvas, barsBottom, rampsBottom);
    canvas.Fill(0, rampsBottom, width, height, Rgb{64, 64, 64});
    DrawFineDetail(canvas, 4, rampsBottom + 4, width / 2 - 4, height - 4);
    const int lowerHeight = height - rampsBottom;
    DrawRingAndDiagonal(canvas, width / 2, rampsBottom + 2, width / 2 + lowerHeight - 4,
                        height - 2);
    // Five letters of six columns each (a blank one between letters), in what room is left.
    const int textLeft = width / 2 + lowerHeight;
    const int scale = std::max(1, std::min(lowerHeight / 24, (width - textLeft - 4) / 30));
    DrawText(canvas, textLeft, rampsBottom + lowerHeight / 2 - 4 * scale, scale, "ORVEL", kWhite);
    // The border last, so that it is whole whatever the sizes did to the features inside.
    for (int x = 0; x < width; ++x) {
        canvas.Set(x, 0, kWhite);
        canvas.Set(x, height - 1, kWhite);
    }
    for (int y = 0; y < height; ++y) {
        canvas.Set(0, y, kWhite);
        canvas.Set(width - 1, y, kWhite);
    }

    // A BMP file: file header, 40-byte header, bottom-up rows of blue, green, red.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t imageBytes = stride * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> file(54 + imageBytes, 0);
    auto put16 = [&](std::size_t at, std::uint32_t value) {
        file[at] = static_cast<std::uint8_t>(value);
        file[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        put16(at, value & 0xFFFF);
        put16(at + 2, value >> 16);
    };
    put16(0, 0x4D42);
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    put32(34, static_cast<std::uint32_t>(imageBytes));
    put32(38, 2835); // 72 dots per inch
    put32(42, 2835);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = file.data() + 54 + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x, row += 3) {
            const Rgb colour = canvas.At(x, y);
            row[0] = colour.blue;
            row[1] = colour.green;
            row[2] = colour.red;
        }
    }
    return file;
}

} // namespace orvel::cli
