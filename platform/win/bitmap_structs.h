// The published bitmap structures: file header, information headers, colour entries.
//
// A DIB block keeps its information header at offset 14, which is only 2-byte aligned, and a
// packed DIB handed in by a caller may sit at any even address. The headers are therefore
// declared with 2-byte packing: their sizes and field offsets are the published ones, and reading
// a field through a pointer at such an offset is defined behaviour.
#pragma once

#include "types.h"

#pragma pack(push, 2)

struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct BITMAPCOREHEADER {
    DWORD bcSize;
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
};

#pragma pack(pop)

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct RGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
};

#pragma pack(push, 2)

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAPCOREINFO {
    BITMAPCOREHEADER bmciHeader;
    RGBTRIPLE bmciColors[1];
};

#pragma pack(pop)

// The device-dependent bitmap record that GetObject fills. Its size counts this platform's
// pointer width (bmBits), so it is 32 bytes here where the 32-bit record is 24.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

using LPBITMAPFILEHEADER = BITMAPFILEHEADER*;
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;
using LPBITMAPINFO = BITMAPINFO*;
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

// The "BM" signature as the 16-bit little-endian value of a file's first two bytes.
constexpr WORD DIB_SIGNATURE = 0x4D42;

// biCompression values.
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr DWORD BI_JPEG = 4;
constexpr DWORD BI_PNG = 5;

// GetDIBits / StretchDIBits colour-table usage.
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
