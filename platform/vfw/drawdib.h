/// @file
/// DrawDib: the video-drawing service that draws DIBs onto device contexts.
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

/// @name DrawDibDraw flags
/// Only DDF_BACKGROUNDPAL and DDF_DONTDRAW change what DrawDibDraw does; the others are accepted
/// and ignored (every draw here is a full, immediate one).
/// @{
// DrawDibDraw flags.
constexpr UINT DDF_UPDATE = 0x0002;   ///< redraw the last image (ignored)
constexpr UINT DDF_SAME_HDC = 0x0004; ///< the context is the one of the last draw (ignored)
constexpr UINT DDF_SAME_DRAW =
    0x0008; ///< the context and arguments are those of the last draw (ignored)
constexpr UINT DDF_DONTDRAW = 0x0010;      ///< realise the palette, draw nothing
constexpr UINT DDF_ANIMATE = 0x0020;       ///< the palette may be animated (ignored)
constexpr UINT DDF_BUFFER = 0x0040;        ///< draw through an off-screen buffer (ignored)
constexpr UINT DDF_JUSTDRAWIT = 0x0080;    ///< draw without any processing (ignored)
constexpr UINT DDF_FULLSCREEN = 0x0100;    ///< full-screen drawing (ignored)
constexpr UINT DDF_BACKGROUNDPAL = 0x0200; ///< realise the context's palette in the background
constexpr UINT DDF_NOTKEYFRAME = 0x0400;   ///< the frame is not a key frame (ignored)
constexpr UINT DDF_HURRYUP = 0x0800;       ///< the draw is late and may be skipped (ignored)
constexpr UINT DDF_HALFTONE = 0x1000;      ///< halftone the image (ignored)
/// @}

/// Opens a DrawDib instance; null when the service is unavailable (ERROR_NOT_ENOUGH_MEMORY).
ORVEL_PLATFORM_API HDRAWDIB VFWAPI DrawDibOpen() noexcept;
/// Closes an instance. FALSE with ERROR_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API BOOL VFWAPI DrawDibClose(HDRAWDIB drawDib) noexcept;
/// Draws the source rectangle (xSrc, ySrc, dxSrc, dySrc) of a DIB, in the DIB's own coordinates,
/// stretched into the destination rectangle (xDst, yDst, dxDst, dyDst) of a device context.
/// Non-zero on success.
ORVEL_PLATFORM_API BOOL VFWAPI DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst,
                                           int dyDst, LPBITMAPINFOHEADER header, LPVOID bits,
                                           int xSrc, int ySrc, int dxSrc, int dySrc,
                                           UINT flags) noexcept;
