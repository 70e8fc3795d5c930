// The image data of the commonest PNGs, read without libpng's row machinery.
//
// Photos and screenshots are 8-bit RGB, RGBA, grey or palette pictures, not interlaced. Their
// image data is one zlib stream of filtered rows, and inflating it is most of the time a PNG
// takes to read. When the build has ISA-L, these pictures are inflated by its inflater (about
// 2.5 times zlib's speed), unfiltered here and stored straight into the DIB's rows. The path
// decides nothing about a file: anything it does not find clean (a chunk's CRC, the stream's
// header or checksum, too much or too little data, any chunk but IEND after the data) makes it
// step aside, and libpng reads the file from where it stopped, with its own verdict.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::png::detail {

/// A picture whose header libpng has read, up to the first IDAT chunk's data.
struct PlainPicture {
    const std::uint8_t* file = nullptr;
    std::size_t fileBytes = 0;
    std::size_t imageDataOffset = 0; ///< where the first IDAT chunk's data starts in `file`
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t pixelBytes = 0;         ///< 1 (grey, indexes), 3 (RGB) or 4 (RGBA), 8 bits a sample
    std::uint8_t* lastDibRow = nullptr; ///< the DIB's last row, where the PNG's first row goes
    std::size_t dibStride = 0;          ///< bytes from one DIB row to the next
};

/// True when this build has the faster path at all.
bool PlainImageDataAvailable() noexcept;

/// Decodes every row of `picture` into the DIB (RGB stored as BGR) and checks the file through
/// its IEND. False when the path stepped aside: the rows are then partly written, and the caller
/// reads them again through libpng.
bool ReadPlainImageData(const PlainPicture& picture) noexcept;

} // namespace orvel::png::detail
