// 8-bit frames for compression tests and an independent BI_RLE8 reader that checks every rule
// of the encoded stream while it decodes.
#pragma once

#include <orvel/orvel.h>

#include <cstddef>
#include <string>
#include <vector>

namespace orvel::test {

/// What a frame's pixels look like.
enum class FramePattern {
    Flat,               ///< one index everywhere
    Noisy,              ///< independent random indexes
    HorizontalGradient, ///< index grows along each row: short runs
    VerticalGradient,   ///< each row one index: one long run per row
    PhotoLike,       ///< smooth patches with sparse noise, as a scanned picture reduced to 8 bits
    PairsAndSingles, ///< runs of one to five pixels mixed, the hardest case for the run choice
};
inline constexpr FramePattern kAllPatterns[] = {FramePattern::Flat,
                                                FramePattern::Noisy,
                                                FramePattern::HorizontalGradient,
                                                FramePattern::VerticalGradient,
                                                FramePattern::PhotoLike,
                                                FramePattern::PairsAndSingles};

const char* PatternName(FramePattern pattern);

/// A bottom-up 8-bit frame: rows of `stride` bytes (a multiple of 4), padding bytes 0.
struct Frame8 {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<BYTE> pixels;
};

Frame8 MakeFrame(FramePattern pattern, int width, int height, unsigned seed = 1);

/// The BITMAPINFO bytes of a frame: a 40-byte header (BI_RGB, biSizeImage filled in) and a
/// colour table of 256 entries.
std::vector<BYTE> FrameFormat(const Frame8& frame);

/// The result of reading a BI_RLE8 stream.
struct Rle8Reading {
    std::string error;        ///< empty when the stream kept every rule
    std::vector<BYTE> pixels; ///< bottom-up rows of the frame's stride, padding 0
};

/// Decodes a stream of a width x height frame and checks that it is one an encoder should
/// write: every row complete and ended by an end-of-line code (the last by end-of-picture),
/// no run crossing a row end, absolute runs of at least 3 pixels padded to a word, no delta, and
/// nothing after the end of the picture.
Rle8Reading ReadRle8(const BYTE* stream, std::size_t size, int width, int height);

} // namespace orvel::test
