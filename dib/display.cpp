#include "CDib.h"

#include "../platform/afx/dc.h"
#include "../platform/gdi/stretch_dibits.h"
#include "../platform/memory/global_memory.h"
#include "../platform/vfw/drawdib.h"
#include "detail/installed_picture.h"

#include <cstdint>

namespace {

// The far edge of an extent that starts at `origin`. Edges and extents are 32-bit values the
// platform receives as they stand; extreme ones wrap as the platform's own arithmetic does
// instead of overflowing.
LONG EdgeAfter(LONG origin, LONG extent) noexcept {
    return static_cast<LONG>(static_cast<std::uint32_t>(origin) +
                             static_cast<std::uint32_t>(extent));
}

LONG ExtentBetween(LONG from, LONG to) noexcept {
    return static_cast<LONG>(static_cast<std::uint32_t>(to) - static_cast<std::uint32_t>(from));
}

// The size that stands for the picture's own: both extents -1, never one alone.
bool IsOwnSize(SIZE size) noexcept {
    return size.cx == -1 && size.cy == -1;
}

CRect RectAt(CPoint corner, CSize size) noexcept {
    return CRect(corner.x, corner.y, EdgeAfter(corner.x, size.cx), EdgeAfter(corner.y, size.cy));
}

} // namespace

// Draws a rectangle of the picture stretched into a rectangle of the device context. A source
// rectangle of (0, 0, 0, 0) stands for the whole picture; every other rectangle goes to the
// platform unchanged, in its own DIB coordinates (origin at the bottom-left of the picture).
BOOL CDib::Show(CDC* dc, CRect destination, CRect source, int foreground,
                unsigned rasterOperation) {
    if (IsFailed()) {
        return FALSE;
    }
    if (source.IsRectNull()) {
        source = CRect(0, 0, m_bih.biWidth, m_bih.biHeight);
    }
    return Draw(dc, source, destination, foreground, rasterOperation);
}

// The same as the rectangle form, with rectangles given by a corner and a size. A size of
// exactly (-1, -1) stands for the picture's own size; any other size is taken as it stands.
BOOL CDib::Show(CDC* dc, CPoint destinationCorner, CSize destinationSize, CPoint sourceCorner,
                CSize sourceSize, int foreground, unsigned rasterOperation) {
    if (IsFailed()) {
        return FALSE;
    }
    const CSize pictureSize(m_bih.biWidth, m_bih.biHeight);
    if (IsOwnSize(destinationSize)) {
        destinationSize = pictureSize;
    }
    if (IsOwnSize(sourceSize)) {
        sourceSize = pictureSize;
    }
    const CRect destination = RectAt(destinationCorner, destinationSize);
    CRect source = RectAt(sourceCorner, sourceSize);
    if (source.IsRectNull()) {
        source = CRect(CPoint(0, 0), pictureSize);
    }
    return Draw(dc, source, destination, foreground, rasterOperation);
}

// Draws through DrawDib when it is wanted and was opened, otherwise through StretchDIBits; only
// the latter takes a raster operation. The picture's palette is selected and realised first (in
// the background when `foreground` is 0) and the context gets its previous palette back.
//
// A call without a picture records class error 6 and one without a device context program
// error 14; neither reaches the platform, so the two drawing paths cannot fail differently for
// them.
BOOL CDib::Draw(CDC* dc, CRect source, CRect destination, int foreground,
                unsigned rasterOperation) {
    if (m_hDib == nullptr) {
        return SetClassError(6);
    }
    if (dc == nullptr || dc->GetSafeHdc() == nullptr) {
        return SetProgError(14);
    }
    CDibInfo view(m_hDib);
    BYTE* base = view.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    // The platform reads as many pixels as the header describes: the header must still fit.
    const auto picture = orvel::dib::detail::ReadInstalledPicture(base, GlobalSize(m_hDib));
    if (!picture) {
        return SetClassError(1);
    }
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(base + sizeof(BITMAPFILEHEADER));
    BYTE* pixels = base + picture->pixelOffset;

    const BOOL background = foreground == 0 ? TRUE : FALSE;
    // An empty palette object (the system would not make the picture's palette) is not selected:
    // the context keeps the palette it has.
    CPalette* previous = nullptr;
    if (m_pPalette != nullptr && m_pPalette->m_hObject != nullptr) {
        previous = dc->SelectPalette(m_pPalette, background);
        dc->RealizePalette();
    }

    const int destinationWidth = ExtentBetween(destination.left, destination.right);
    const int destinationHeight = ExtentBetween(destination.top, destination.bottom);
    const int sourceWidth = ExtentBetween(source.left, source.right);
    const int sourceHeight = ExtentBetween(source.top, source.bottom);
    BOOL drawn = FALSE;
    if (m_bUseDrawDib && m_hDrawDib != nullptr) {
        drawn =
            DrawDibDraw(m_hDrawDib, dc->GetSafeHdc(), destination.left, destination.top,
                        destinationWidth, destinationHeight, header, pixels, source.left,
                        source.top, sourceWidth, sourceHeight, background ? DDF_BACKGROUNDPAL : 0);
        if (!drawn) {
            SetClassError(5);
        }
    } else {
        const DWORD rop = rasterOperation != 0 ? rasterOperation : SRCCOPY;
        drawn = StretchDIBits(dc->GetSafeHdc(), destination.left, destination.top, destinationWidth,
                              destinationHeight, source.left, source.top, sourceWidth, sourceHeight,
                              pixels, reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS,
                              rop) != 0
                    ? TRUE
                    : FALSE;
        if (!drawn) {
            // Read before the palette is put back, which may set a last error of its own.
            SetSystemError();
        }
    }

    if (previous != nullptr) {
        dc->SelectPalette(previous, TRUE);
    }
    return drawn ? SetNoError() : FALSE;
}

BOOL CDib::UseDrawDIB(int use) {
    const BOOL previous = m_bUseDrawDib;
    m_bUseDrawDib = use;
    return previous;
}

// The object keeps no dithering setting: nothing is read or stored, and the answer is the
// negation of the request.
BOOL CDib::DoDithering(int dither) {
    return dither == 0 ? TRUE : FALSE;
}
