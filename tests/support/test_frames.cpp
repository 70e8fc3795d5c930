#include "test_frames.h"

#include <cstring>
#include <random>
#include <sstream>

namespace orvel::test {

const char* PatternName(FramePattern pattern) {
    static const char* const kNames[] = {
        "Flat", "Noisy", "HorizontalGradient", "VerticalGradient", "PhotoLike", "PairsAndSingles"};
    return kNames[static_cast<int>(pattern)];
}

Frame8 MakeFrame(FramePattern pattern, int width, int height, unsigned seed) {
    Frame8 frame;
    frame.width = width;
    frame.height = height;
    frame.stride = (width + 3) / 4 * 4;
    frame.pixels.assign(static_cast<std::size_t>(frame.stride) * height, 0);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        BYTE* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.stride;
        int runLeft = 0;
        BYTE runValue = 0;
        for (int x = 0; x < width; ++x) {
            BYTE value = 0;
            switch (pattern) {
            case FramePattern::Flat:
                value = 0x5A;
                break;
            case FramePattern::Noisy:
                value = static_cast<BYTE>(random());
                break;
            case FramePattern::HorizontalGradient:
                value = static_cast<BYTE>(x * 256 / (width + 1) + y);
                break;
            case FramePattern::VerticalGradient:
                value = static_cast<BYTE>(y * 3);
                break;
            case FramePattern::PhotoLike:
                value = static_cast<BYTE>(((x / 12) * 5 + (y / 9) * 11) & 0xFF);
                if (random() % 10 < 2) {
                    value = static_cast<BYTE>(value + 1 + random() % 3);
                }
                break;
            case FramePattern::PairsAndSingles:
                if (runLeft == 0) {
                    runLeft = 1 + static_cast<int>(random() % 5);
                    runValue = static_cast<BYTE>(runValue + 1 + random() % 254);
                }
                value = runValue;
                --runLeft;
                break;
            }
            row[x] = value;
        }
    }
    return frame;
}

std::vector<BYTE> FrameFormat(const Frame8& frame) {
    std::vector<BYTE> bytes(40 + 256 * 4, 0);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = frame.width;
    header.biHeight = frame.height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(frame.pixels.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD entry = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i),
                               static_cast<BYTE>(i * 7), 0};
        std::memcpy(bytes.data() + 40 + 4 * i, &entry, sizeof entry);
    }
    return bytes;
}

Rle8Reading ReadRle8(const BYTE* stream, std::size_t size, int width, int height) {
    Rle8Reading reading;
    const int stride = (width + 3) / 4 * 4;
    reading.pixels.assign(static_cast<std::size_t>(stride) * height, 0);
    std::size_t at = 0;
    auto fail = [&](const std::string& what, int row) {
        std::ostringstream message;
        message << what << " (row " << row << ", stream offset " << at << ")";
        reading.error = message.str();
        return reading;
    };
    for (int y = 0; y < height; ++y) {
        BYTE* row = reading.pixels.data() + static_cast<std::size_t>(y) * stride;
        int x = 0;
        for (;;) {
            if (at + 2 > size) {
                return fail("stream ends inside a row", y);
            }
            const int first = stream[at];
            const int second = stream[at + 1];
            at += 2;
            if (first > 0) {
                if (x + first > width) {
                    return fail("encoded run crosses the row end", y);
                }
                std::memset(row + x, second, first);
                x += first;
            } else if (second == 0 || second == 1) {
                if (x != width) {
                    return fail("row ends before its last pixel", y);
                }
                const bool last = y + 1 == height;
                if (last != (second == 1)) {
                    return fail(last ? "last row not ended by end-of-picture"
                                     : "end-of-picture before the last row",
                                y);
                }
                break;
            } else if (second == 2) {
                return fail("delta code", y);
            } else {
                const int count = second;
                const std::size_t consumed =
                    static_cast<std::size_t>(count) + (count & 1 ? 1U : 0U);
                if (at + consumed > size) {
                    return fail("absolute run beyond the stream", y);
                }
                if (x + count > width) {
                    return fail("absolute run crosses the row end", y);
                }
                std::memcpy(row + x, stream + at, count);
                x += count;
                at += consumed;
            }
        }
    }
    if (at != size) {
        return fail("bytes after the end of the picture", height);
    }
    return reading;
}

} // namespace orvel::test
