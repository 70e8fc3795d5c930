// The compressors the platform installs when it loads, and what they share: the checks of the
// frames they take and the answers to the driver messages.
#pragma once

#include "../../win/bitmap_structs.h"
#include "../../win/types.h"
#include "../video_compression.h"

#include <cstdint>

namespace orvel::platform::detail {

/// The run-length compressor "mrle": 8-bit frames to BI_RLE8 key frames.
LRESULT CALLBACK Rle8CompressorProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                                    LPARAM param2) noexcept;
/// The full-frame compressor "DIB ": frames pass through uncompressed.
LRESULT CALLBACK FullFrameCompressorProc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                         LPARAM param1, LPARAM param2) noexcept;

/// The layout of an uncompressed frame, read once from its format and checked.
struct FrameLayout {
    DWORD width = 0;
    DWORD height = 0;
    WORD bitCount = 0;
    DWORD stride = 0;        ///< bytes per row, a multiple of 4
    DWORD imageBytes = 0;    ///< stride x height
    DWORD colourEntries = 0; ///< colour-table entries that follow the header
};

/// Reads an uncompressed frame format: a 40-byte header, BI_RGB, bottom-up (positive height),
/// positive width, a depth among `allowedDepths` (bit n set for n bits per pixel), a colour
/// table of at most 2^depth entries up to 8 bits per pixel (none above), and a pixel area whose
/// size fits in 32 bits. False for anything else.
bool ReadFrameLayout(const BITMAPINFOHEADER* format, std::uint64_t allowedDepths,
                     FrameLayout& layout) noexcept;

/// The bit of `allowedDepths` for a depth of at most 32 bits per pixel.
constexpr std::uint64_t DepthBit(unsigned bitCount) noexcept {
    return std::uint64_t{1} << bitCount;
}

/// How a built-in compressor describes itself.
struct CompressorDescription {
    DWORD fccHandler;
    DWORD flags; ///< VIDCF_* flags
    const char* name;
    const char* description;
};

/// Answers DRV_OPEN for a compressor that compresses: an ICOPEN for video in a compressing or
/// query mode is accepted; other types and modes are refused with ICERR_UNSUPPORTED in the
/// record. A built-in compressor keeps no state per instance, so its instance id is always 1.
LRESULT OpenForCompression(LPARAM openRecord) noexcept;
/// Answers ICM_GETINFO: fills up to `bytes` bytes of the ICINFO at `info` and returns how many.
LRESULT Describe(const CompressorDescription& description, LPARAM info, LPARAM bytes) noexcept;
/// The answer to a message a built-in compressor has no use for: success for the driver
/// life-cycle messages, ICERR_UNSUPPORTED for compressor messages, 0 otherwise.
LRESULT DefaultAnswer(UINT message) noexcept;

} // namespace orvel::platform::detail
