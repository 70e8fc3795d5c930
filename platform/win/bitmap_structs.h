/// @file
/// The published bitmap structures: file header, information headers, colour entries.
///
/// A DIB block keeps its information header at offset 14, which is only 2-byte aligned, and a
/// packed DIB handed in by a caller may sit at any even address. The headers are therefore
/// declared with 2-byte packing: their sizes and field offsets are the published ones, and reading
/// a field through a pointer at such an offset is defined behaviour.
#pragma once

#include "types.h"

#pragma pack(push, 2)

/// The 14-byte header a BMP file (and a DIB block) starts with.
struct BITMAPFILEHEADER {
    WORD bfType;      ///< "BM" (DIB_SIGNATURE)
    DWORD bfSize;     ///< bytes of the whole file or block
    WORD bfReserved1; ///< 0
    WORD bfReserved2; ///< 0
    DWORD bfOffBits;  ///< offset of the pixels from the start of the file
};

/// The 40-byte information header of a DIB.
struct BITMAPINFOHEADER {
    DWORD biSize;         ///< 40, the header's own size
    LONG biWidth;         ///< width in pixels
    LONG biHeight;        ///< height in pixels; positive for bottom-up rows, negative for top-down
    WORD biPlanes;        ///< 1
    WORD biBitCount;      ///< bits per pixel: 1, 4, 8, 16, 24 or 32
    DWORD biCompression;  ///< BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS, BI_JPEG or BI_PNG
    DWORD biSizeImage;    ///< bytes of the pixels; may be 0 for BI_RGB
    LONG biXPelsPerMeter; ///< horizontal resolution, pixels per metre
    LONG biYPelsPerMeter; ///< vertical resolution, pixels per metre
    DWORD biClrUsed;      ///< colour-table entries used; 0 for the depth's full table
    DWORD biClrImportant; ///< colour-table entries that matter for display; 0 for all
};

/// The 12-byte OS/2 core header, with 16-bit sizes.
struct BITMAPCOREHEADER {
    DWORD bcSize;    ///< 12, the header's own size
    WORD bcWidth;    ///< width in pixels
    WORD bcHeight;   ///< height in pixels (rows bottom-up)
    WORD bcPlanes;   ///< 1
    WORD bcBitCount; ///< bits per pixel: 1, 4, 8 or 24
};

#pragma pack(pop)

/// A colour-table entry of a DIB.
struct RGBQUAD {
    BYTE rgbBlue;     ///< blue, 0 to 255
    BYTE rgbGreen;    ///< green, 0 to 255
    BYTE rgbRed;      ///< red, 0 to 255
    BYTE rgbReserved; ///< 0
};

/// A colour-table entry of a core-header DIB, and a 24-bit pixel.
struct RGBTRIPLE {
    BYTE rgbtBlue;  ///< blue, 0 to 255
    BYTE rgbtGreen; ///< green, 0 to 255
    BYTE rgbtRed;   ///< red, 0 to 255
};

#pragma pack(push, 2)

/// An information header followed by its colour table (declared with one entry; the table
/// continues past the structure).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader; ///< the information header
    RGBQUAD bmiColors[1];       ///< the first colour-table entry
};

/// A core header followed by its three-byte colour table.
struct BITMAPCOREINFO {
    BITMAPCOREHEADER bmciHeader; ///< the core header
    RGBTRIPLE bmciColors[1];     ///< the first colour-table entry
};

#pragma pack(pop)

/// The device-dependent bitmap record that GetObject fills. Its size counts this platform's
/// pointer width (bmBits), so it is 32 bytes here where the 32-bit record is 24.
struct BITMAP {
    LONG bmType;       ///< 0 for a bitmap object
    LONG bmWidth;      ///< width in pixels
    LONG bmHeight;     ///< height in pixels
    LONG bmWidthBytes; ///< bytes per row of the bitmap's pixels
    WORD bmPlanes;     ///< 1
    WORD bmBitsPixel;  ///< bits per pixel
    LPVOID bmBits;     ///< null: GetObject does not lend the pixels
};

/// Pointer to a BITMAPFILEHEADER.
using LPBITMAPFILEHEADER = BITMAPFILEHEADER*;
/// Pointer to a BITMAPINFOHEADER.
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;
/// Pointer to a BITMAPINFO.
using LPBITMAPINFO = BITMAPINFO*;
/// Pointer to an RGBQUAD.
using LPRGBQUAD = RGBQUAD*;

static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPCOREHEADER) == 12);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(RGBTRIPLE) == 3);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(alignof(BITMAPINFOHEADER) <= 2, "must be readable at offset 14 of a block");
static_assert(alignof(BITMAPINFO) <= 2, "must be readable at offset 14 of a block");
static_assert(alignof(BITMAPCOREHEADER) <= 2, "must be readable at offset 14 of a block");

/// The "BM" signature as the 16-bit little-endian value of a file's first two bytes.
constexpr WORD DIB_SIGNATURE = 0x4D42;

/// @name biCompression values
/// @{
// biCompression values.
constexpr DWORD BI_RGB = 0;  ///< uncompressed rows
constexpr DWORD BI_RLE8 = 1; ///< 8-bit run-length coding
constexpr DWORD BI_RLE4 = 2; ///< 4-bit run-length coding
constexpr DWORD BI_BITFIELDS =
    3;                       ///< 16 or 32 bits per pixel with three colour masks after the header
constexpr DWORD BI_JPEG = 4; ///< a JPEG image (not drawn by this platform)
constexpr DWORD BI_PNG = 5;  ///< a PNG image (not drawn by this platform)
/// @}

/// @name Colour-table usage of GetDIBits and StretchDIBits
/// @{
// GetDIBits / StretchDIBits colour-table usage.
constexpr UINT DIB_RGB_COLORS = 0; ///< the colour table holds RGBQUAD colours
constexpr UINT DIB_PAL_COLORS =
    1; ///< the colour table holds palette indexes (refused by this platform's calls)
/// @}
