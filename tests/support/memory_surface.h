// A bitmap to draw on, selected into a memory context of its own.
#pragma once

#include <orvel/orvel.h>

#include <vector>

namespace orvel::test {

/// A memory context with a fresh bitmap of width x height x depth selected and, when given, a
/// palette selected; everything is given back when the object ends.
class MemorySurface {
public:
    MemorySurface(int width, int height, int depth, HPALETTE palette = nullptr)
        : palette_(palette) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateBitmap(width, height, 1, static_cast<UINT>(depth), nullptr);
        previousBitmap_ = SelectObject(dc_, bitmap_);
        if (palette_ != nullptr) {
            previousPalette_ = SelectPalette(dc_, palette_, FALSE);
        }
    }
    ~MemorySurface() {
        if (previousPalette_ != nullptr) {
            SelectPalette(dc_, previousPalette_, TRUE);
        }
        SelectObject(dc_, previousBitmap_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
        if (palette_ != nullptr) {
            DeleteObject(palette_);
        }
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    HDC Dc() const { return dc_; }
    HBITMAP Bitmap() const { return bitmap_; }
    bool Ready() const {
        return dc_ != nullptr && bitmap_ != nullptr && previousBitmap_ != nullptr;
    }

    /// Every pixel set to one colour, row by row.
    void Fill(int width, int height, COLORREF colour) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                SetPixel(dc_, x, y, colour);
            }
        }
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HPALETTE palette_ = nullptr;
    HPALETTE previousPalette_ = nullptr;
};

/// Every pixel of a context's width x height corner, row by row from the top.
inline std::vector<COLORREF> PixelsOf(HDC dc, int width, int height) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(GetPixel(dc, x, y));
        }
    }
    return pixels;
}

} // namespace orvel::test
