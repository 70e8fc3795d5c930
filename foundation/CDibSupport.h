/// @file
/// Header arithmetic of DIB blocks and the standard palettes.
#pragma once

#include "../library/export.h"
#include "../platform/win/bitmap_structs.h"
#include "../platform/win/palette_structs.h"
#include "../platform/win/types.h"

class CPalette;

/// Static operations on DIB headers and palettes; the class has no data.
///
/// The arithmetic follows the 32-bit rules of the DIB format. Where a header's fields are so
/// large that the 32-bit computation would overflow, the result is that computation's value
/// modulo 2^32 without undefined behaviour; pictures that large are refused before anything is
/// sized from them.
class ORVEL_EXT_CLASS CDibSupport {
public:
    CDibSupport() noexcept = default;
    /// Copies an object that holds no state.
    CDibSupport(const CDibSupport&) noexcept = default;
    /// Copies an object that holds no state.
    CDibSupport& operator=(const CDibSupport&) noexcept = default;

    /// Colour-table entries: 2^biBitCount up to 8 bits per pixel (biClrUsed is not consulted);
    /// above, the low 16 bits of biClrImportant, else of biClrUsed; else 0. 0 for a null header.
    static WORD GetPaletteEntryNum(const BITMAPINFOHEADER* header) noexcept;
    /// \overload
    static WORD GetPaletteEntryNum(const BITMAPINFOHEADER& header) noexcept;
    /// 1 << biBitCount, the shift count taken modulo 32 (so 32 bits per pixel gives 1).
    static DWORD GetColorNum(const BITMAPINFOHEADER& header) noexcept;
    /// biSizeImage when not 0, else stride x biHeight.
    static DWORD GetImageSize(const BITMAPINFOHEADER& header) noexcept;
    /// Bytes per row: the row's bits rounded up to a multiple of 32, in bytes.
    static DWORD GetBytePerLine(const BITMAPINFOHEADER& header) noexcept;
    /// Size of a DIB block for this header: image size + 4 x entries + 54.
    static DWORD GetDIBSize(const BITMAPINFOHEADER& header) noexcept;
    /// Size of a BITMAPINFO with its colour table: 40 + 4 x entries.
    static DWORD GetBISize(const BITMAPINFOHEADER& header) noexcept;
    /// Offset of pixel (x, y), y counted from the top, from the start of the pixel area; for 1 and
    /// 4 bits per pixel the start of row y.
    static DWORD GetPixelOffset(const BITMAPINFOHEADER& header, LONG x, LONG y) noexcept;

    /// A 40-byte header with one plane and the given fields.
    static BITMAPINFOHEADER MakeBIH(LONG width, LONG height, WORD bitCount, DWORD compression,
                                    DWORD imageSize, LONG xPelsPerMeter, LONG yPelsPerMeter,
                                    DWORD colorsUsed, DWORD colorsImportant) noexcept;
    /// The file header of a block the library builds for this header: pixels right after the
    /// colour table, bfSize the exact content size.
    static BITMAPFILEHEADER MakeBFH(const BITMAPINFOHEADER* header) noexcept;
    /// Makes a packed DIB (everything after the 14-byte file header) from a DIB block, in a new
    /// block that the caller owns. 0 when either argument is null or a platform call fails.
    static BOOL GetBIHFromBFH(HGLOBAL block, HGLOBAL* packed) noexcept;

    /// Makes the standard palette of a depth into `palette`: black and white for 1 bit, the
    /// sixteen colours for 4, the screen's halftone palette for 8. 0, with the palette untouched,
    /// for any other depth; 1 otherwise, even when the platform made no palette.
    static BOOL MakeNewPalette(CPalette& palette, WORD bitCount) noexcept;
    /// Writes the palette's first n colours into `table` as RGBQUAD entries (reserved byte 0):
    /// n = the palette's entry count when bitCount is 0, else min(2^bitCount, entry count). At most
    /// 256 entries are written, and none for a negative bit count; `table` must have room for
    /// them. Always 1.
    static BOOL GetRGBQUAD(CPalette* palette, RGBQUAD* table, int bitCount) noexcept;
};

/// The sixteen-colour palette of 4-bit pictures, in table order (red, green, blue, flags).
ORVEL_EXT_CLASS extern const PALETTEENTRY kSixteenColourPalette[16];
/// The two-colour palette of 1-bit pictures: black, then white.
ORVEL_EXT_CLASS extern const PALETTEENTRY kTwoColourPalette[2];
