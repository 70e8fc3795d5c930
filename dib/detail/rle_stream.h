// The loop that reads a run-length stream; the two decoders differ only in how they put pixels.
//
// Each code is two bytes: a count of 1 to 255 is an encoded run of the second byte; a count of 0
// is an escape whose second byte says end of line (0), end of picture (1), delta (2, two more
// bytes: right, up), or an absolute run of that many pixels stored in the stream, padded to a
// whole number of 16-bit words.
//
// The stream is read only up to its end, and the writer refuses to put anything outside its
// pixel area. A stream that ends without an end-of-picture code, or a code that would leave the
// pixel area, ends decoding there: the pixels decoded so far are kept, as in a picture cut short.
#pragma once

#include "../../platform/win/types.h"

#include <cstddef>

namespace orvel::dib::detail {

/// Decodes a stream of `streamBytes` bytes through `writer`, which offers
/// `bool Run(count, value)`, `bool EndOfLine()`, `bool Delta(right, up)`,
/// `static std::size_t AbsoluteStreamBytes(count)` and
/// `bool Absolute(source, count, availableBytes)`; each returns false when it reached the limit
/// of the pixel area, which ends decoding.
template <class PixelWriter>
void DecodeRleStream(const BYTE* stream, std::size_t streamBytes, PixelWriter& writer) noexcept {
    const BYTE* read = stream;
    const BYTE* const end = stream + streamBytes;
    while (end - read >= 2) {
        const BYTE count = read[0];
        const BYTE code = read[1];
        read += 2;
        if (count != 0) {
            if (!writer.Run(count, code)) {
                return;
            }
            continue;
        }
        switch (code) {
        case 0:
            if (!writer.EndOfLine()) {
                return;
            }
            break;
        case 1:
            return;
        case 2:
            if (end - read < 2 || !writer.Delta(read[0], read[1])) {
                return;
            }
            read += 2;
            break;
        default: {
            const std::size_t wanted = PixelWriter::AbsoluteStreamBytes(code);
            const auto available = static_cast<std::size_t>(end - read);
            if (!writer.Absolute(read, code, wanted < available ? wanted : available) ||
                wanted > available) {
                return;
            }
            read += wanted;
            break;
        }
        }
    }
}

} // namespace orvel::dib::detail
