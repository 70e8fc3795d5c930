#include "detail/stretch_blitter.h"

#include "../workers/worker_pool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace orvel::platform::detail {
namespace {

// The destination positions along one axis that get a pixel, and the source position of each.
struct AxisMap {
    int firstTarget = 0;      ///< first destination position drawn
    std::vector<int> sources; ///< source position of each destination position from there on
};

// Maps destination positions start .. start + extent - 1 (clipped to [0, targetLimit)) to source
// positions by floor(i x sourceExtent / extent), mirrored when asked. With `clipToSource`, the
// ends whose source position falls outside [0, sourceLimit) are cut off; the mapping is
// monotonic, so what stays is one run. The quotient advances by whole and fractional steps
// computed once, so no position costs a division.
void MapAxis(long long start, long long extent, int targetLimit, long long sourceStart,
             long long sourceExtent, int sourceLimit, bool mirror, bool clipToSource,
             AxisMap& map) {
    const long long first = std::max<long long>(0, -start);
    const long long end = std::min<long long>(extent, targetLimit - start);
    map.sources.clear();
    if (first >= end) {
        return;
    }
    map.sources.reserve(static_cast<std::size_t>(end - first));
    const long long wholeStep = sourceExtent / extent;
    const long long fractionStep = sourceExtent % extent;
    long long quotient = first * sourceExtent / extent;
    long long remainder = first * sourceExtent % extent;
    for (long long i = first; i < end; ++i) {
        const long long offset = mirror ? sourceExtent - 1 - quotient : quotient;
        const long long position = sourceStart + offset;
        // Positions outside the source are only kept (as -1) until the run is trimmed below.
        map.sources.push_back(position >= 0 && position < sourceLimit ? static_cast<int>(position)
                                                                      : -1);
        quotient += wholeStep;
        remainder += fractionStep;
        if (remainder >= extent) {
            remainder -= extent;
            ++quotient;
        }
    }
    map.firstTarget = static_cast<int>(start + first);
    if (!clipToSource) {
        return;
    }
    const auto firstInside =
        std::find_if(map.sources.begin(), map.sources.end(), [](int p) { return p >= 0; });
    const auto lastInside =
        std::find_if(map.sources.rbegin(), map.sources.rend(), [](int p) { return p >= 0; }).base();
    if (firstInside == map.sources.end()) {
        map.sources.clear();
        return;
    }
    map.firstTarget += static_cast<int>(firstInside - map.sources.begin());
    map.sources.erase(lastInside, map.sources.end());
    map.sources.erase(map.sources.begin(), firstInside);
}

// Turns a rectangle with possibly negative extents into one with positive extents; reports
// whether it was flipped.
bool Normalise(long long& position, long long& extent) noexcept {
    if (extent >= 0) {
        return false;
    }
    position += extent;
    extent = -extent;
    return true;
}

// Raw source values: indexes for indexed pictures, 5-5-5 words for 16 bits, and blue | green <<
// 8 | red << 16 for 24 and 32 bits. `offsets` are byte offsets (8 bits and more) or pixel
// positions (1 and 4 bits), computed once per call.
template <int Depth, class Convert>
void FetchRow(const BYTE* row, const int* offsets, int count, DWORD* out, Convert convert) {
    for (int i = 0; i < count; ++i) {
        const int at = offsets[i];
        DWORD raw = 0;
        if constexpr (Depth == 1) {
            raw = (row[at >> 3] >> (7 - (at & 7))) & 1U;
        } else if constexpr (Depth == 4) {
            raw = (at & 1) != 0 ? row[at >> 1] & 0x0FU : row[at >> 1] >> 4;
        } else if constexpr (Depth == 8) {
            raw = row[at];
        } else if constexpr (Depth == 16) {
            raw = static_cast<DWORD>(row[at] | (row[at + 1] << 8));
        } else {
            raw = static_cast<DWORD>(row[at] | (row[at + 1] << 8) | (row[at + 2] << 16));
        }
        out[i] = convert(raw);
    }
}

template <class Convert>
void FetchRowOfDepth(int depth, const BYTE* row, const int* offsets, int count, DWORD* out,
                     Convert convert) {
    switch (depth) {
    case 1:
        FetchRow<1>(row, offsets, count, out, convert);
        break;
    case 4:
        FetchRow<4>(row, offsets, count, out, convert);
        break;
    case 8:
        FetchRow<8>(row, offsets, count, out, convert);
        break;
    case 16:
        FetchRow<16>(row, offsets, count, out, convert);
        break;
    default:
        FetchRow<24>(row, offsets, count, out, convert);
        break;
    }
}

DWORD Expand555(DWORD word) noexcept {
    return static_cast<DWORD>(PixelColours::Widen5(word & 31U)) |
           (static_cast<DWORD>(PixelColours::Widen5((word >> 5) & 31U)) << 8) |
           (static_cast<DWORD>(PixelColours::Widen5((word >> 10) & 31U)) << 16);
}

DWORD Pack555(DWORD colour) noexcept {
    return PixelColours::Encode555(static_cast<BYTE>(colour >> 16), static_cast<BYTE>(colour >> 8),
                                   static_cast<BYTE>(colour));
}

// Converts one source row into destination values, choosing the conversion once per row.
class RowFetcher {
public:
    RowFetcher(const SourcePicture& source, const PixelColours& target)
        : source_(source), target_(target) {
        if (source.bitsPerPixel <= 8) {
            const int reachable = 1 << source.bitsPerPixel;
            for (int i = 0; i < reachable; ++i) {
                const RGBQUAD entry = i < source.colourCount ? source.colours[i] : RGBQUAD{};
                lookup_[static_cast<std::size_t>(i)] =
                    target.Encode(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
            }
        }
    }

    void Fetch(const BYTE* row, const int* offsets, int count, DWORD* out) {
        const int depth = source_.bitsPerPixel;
        if (depth <= 8) {
            FetchRowOfDepth(depth, row, offsets, count, out,
                            [this](DWORD index) { return lookup_[index]; });
            return;
        }
        const int targetDepth = target_.BitsPerPixel();
        if (depth == 16) {
            if (targetDepth == 16) {
                FetchRowOfDepth(16, row, offsets, count, out, [](DWORD w) { return w & 0x7FFFU; });
            } else if (targetDepth > 16) {
                FetchRowOfDepth(16, row, offsets, count, out, Expand555);
            } else {
                FetchRowOfDepth(16, row, offsets, count, out,
                                [this](DWORD w) { return Nearest(Expand555(w)); });
            }
            return;
        }
        if (targetDepth > 16) {
            FetchRowOfDepth(24, row, offsets, count, out, [](DWORD c) { return c; });
        } else if (targetDepth == 16) {
            FetchRowOfDepth(24, row, offsets, count, out, Pack555);
        } else {
            FetchRowOfDepth(24, row, offsets, count, out, [this](DWORD c) { return Nearest(c); });
        }
    }

private:
    // Neighbouring pixels often repeat a colour: the last answer is kept.
    DWORD Nearest(DWORD colour) {
        if (colour != lastColour_) {
            lastColour_ = colour;
            lastValue_ = target_.Encode(static_cast<BYTE>(colour >> 16),
                                        static_cast<BYTE>(colour >> 8), static_cast<BYTE>(colour));
        }
        return lastValue_;
    }

    const SourcePicture& source_;
    const PixelColours& target_;
    std::array<DWORD, 256> lookup_{};
    DWORD lastColour_ = 0xFFFFFFFFU;
    DWORD lastValue_ = 0;
};

void ReadRow(const BYTE* row, int x, int count, int depth, DWORD* out) noexcept {
    switch (depth) {
    case 8:
        for (int i = 0; i < count; ++i) {
            out[i] = row[x + i];
        }
        break;
    case 32: {
        const BYTE* at = row + 4 * static_cast<std::size_t>(x);
        for (int i = 0; i < count; ++i, at += 4) {
            out[i] = static_cast<DWORD>(at[0] | (at[1] << 8) | (at[2] << 16));
        }
        break;
    }
    default:
        for (int i = 0; i < count; ++i) {
            out[i] = ReadPixel(row, x + i, depth);
        }
        break;
    }
}

void StoreRow(BYTE* row, int x, int count, int depth, const DWORD* values) noexcept {
    switch (depth) {
    case 8:
        for (int i = 0; i < count; ++i) {
            row[x + i] = static_cast<BYTE>(values[i]);
        }
        break;
    case 24: {
        BYTE* at = row + 3 * static_cast<std::size_t>(x);
        for (int i = 0; i < count; ++i, at += 3) {
            at[0] = static_cast<BYTE>(values[i]);
            at[1] = static_cast<BYTE>(values[i] >> 8);
            at[2] = static_cast<BYTE>(values[i] >> 16);
        }
        break;
    }
    case 32: {
        BYTE* at = row + 4 * static_cast<std::size_t>(x);
        for (int i = 0; i < count; ++i, at += 4) {
            const DWORD colour = values[i] & 0x00FFFFFFU; // the fourth byte of a pixel stays 0
            std::memcpy(at, &colour, 4);
        }
        break;
    }
    default:
        for (int i = 0; i < count; ++i) {
            WritePixel(row, x + i, depth, values[i]);
        }
        break;
    }
}

} // namespace

bool StretchBlit(Surface& target, const PixelColours& targetColours, const SourcePicture& source,
                 BlitRect to, BlitRect from, RasterOp op) noexcept {
    try {
        const bool flipTo = Normalise(to.x, to.width);
        const bool flipFrom = Normalise(from.x, from.width);
        const bool flipToY = Normalise(to.y, to.height);
        const bool flipFromY = Normalise(from.y, from.height);
        const bool needsSource = UsesSource(op);

        AxisMap columns;
        AxisMap rows;
        MapAxis(to.x, to.width, target.Width(), from.x, from.width, source.width,
                flipTo != flipFrom, needsSource, columns);
        MapAxis(to.y, to.height, target.Height(), from.y, from.height, source.height,
                flipToY != flipFromY, needsSource, rows);
        const int count = static_cast<int>(columns.sources.size());
        if (count == 0 || rows.sources.empty()) {
            return true;
        }

        // Where each column's source pixel starts in a row: a byte offset, or for 1 and 4 bits
        // the pixel position itself.
        std::vector<int> offsets(columns.sources);
        if (needsSource && source.bitsPerPixel >= 8) {
            const int bytesPerPixel = source.bitsPerPixel == 32 ? 4 : source.bitsPerPixel / 8;
            for (int& offset : offsets) {
                offset *= bytesPerPixel;
            }
        }
        const int depth = target.BitsPerPixel();
        const bool wholeBytes = depth >= 8;
        const std::size_t spanBytes =
            static_cast<std::size_t>(count) * static_cast<std::size_t>(depth / 8);
        const std::size_t spanStart =
            static_cast<std::size_t>(columns.firstTarget) * static_cast<std::size_t>(depth / 8);
        const DWORD mask = targetColours.ValueMask();
        // Target rows are shared among the worker threads for a large drawing. Each part has its
        // own fetcher (whose last colour is its own) and buffers, and starts without a row drawn
        // before it, so the pixels are the same however the rows are cut.
        std::atomic<bool> outOfMemory{false};
        auto drawRows = [&](std::size_t first, std::size_t end) noexcept {
            try {
                std::vector<DWORD> sourceValues(static_cast<std::size_t>(count));
                std::vector<DWORD> result(static_cast<std::size_t>(count));
                RowFetcher fetcher(source, targetColours);
                int previousSourceRow = -1;
                BYTE* previousRow = nullptr;
                int y = rows.firstTarget + static_cast<int>(first);
                for (std::size_t i = first; i < end; ++i) {
                    const int sourceRow = rows.sources[i];
                    BYTE* row = target.Row(y++);
                    const bool sameSource =
                        needsSource && previousRow != nullptr && sourceRow == previousSourceRow;
                    if (sameSource && !UsesDestination(op) && wholeBytes) {
                        // A repeated source row makes the same pixels again: copy the row drawn
                        // last.
                        std::memcpy(row + spanStart, previousRow + spanStart, spanBytes);
                        previousRow = row;
                        continue;
                    }
                    if (needsSource && !sameSource) {
                        const BYTE* sourceLine = source.topRow + source.rowStep * sourceRow;
                        fetcher.Fetch(sourceLine, offsets.data(), count, sourceValues.data());
                    }
                    if (UsesDestination(op)) {
                        ReadRow(row, columns.firstTarget, count, depth, result.data());
                    }
                    CombineRow(op, needsSource ? sourceValues.data() : nullptr, result.data(),
                               count, mask);
                    StoreRow(row, columns.firstTarget, count, depth, result.data());
                    previousSourceRow = sourceRow;
                    previousRow = row;
                }
            } catch (const std::bad_alloc&) {
                outOfMemory.store(true, std::memory_order_relaxed);
            }
        };
        // Work: each target row written (and read, for operations on the destination) and a
        // source row fetched for it, four bytes a pixel at most each way.
        const std::size_t rowCount = rows.sources.size();
        std::size_t work = 0;
        if (__builtin_mul_overflow(rowCount, static_cast<std::size_t>(count) * 8, &work)) {
            work = SIZE_MAX;
        }
        ForEachSlice(rowCount, work, drawRows);
        if (outOfMemory.load(std::memory_order_relaxed)) {
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace orvel::platform::detail
