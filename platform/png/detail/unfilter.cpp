#include "unfilter.h"

#include "filter_types.h"

namespace orvel::png::detail {
namespace {

/// The first pixel has nothing to its left: Sub leaves it, Average halves the byte above, and
/// Paeth's nearest of (0, above, 0) is always above, as for Up.
template <Filter kFilter>
inline std::uint8_t FirstPixelPrediction(std::uint8_t above) noexcept {
    if constexpr (kFilter == kAverage) {
        return static_cast<std::uint8_t>(above >> 1);
    } else if constexpr (kFilter == kSub) {
        return 0;
    } else {
        return above;
    }
}

/// One filter at one pixel size. Sub, Average and Paeth carry a dependency from each byte to the
/// one a pixel to its right, so the loops run on running pointers with the pixel size known at
/// compile time and let the compiler keep the chain in registers.
template <Filter kFilter, std::size_t kStep>
void Unfilter(std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes) noexcept {
    const std::size_t first = kStep < rowBytes ? kStep : rowBytes;
    for (std::size_t i = 0; i < first; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + FirstPixelPrediction<kFilter>(above[i]));
    }
    std::uint8_t* out = row + first;
    const std::uint8_t* const end = row + rowBytes;
    const std::uint8_t* left = row;
    const std::uint8_t* up = above + first;
    const std::uint8_t* upLeft = above;
    for (; out < end; ++out, ++left, ++up, ++upLeft) {
        int predicted = 0;
        if constexpr (kFilter == kSub) {
            predicted = *left;
        } else if constexpr (kFilter == kAverage) {
            predicted = (*left + *up) >> 1;
        } else {
            predicted = Paeth(*left, *up, *upLeft);
        }
        *out = static_cast<std::uint8_t>(*out + predicted);
    }
}

/// False for a pixel size other than the 8-bit pictures' 1, 3 and 4 bytes.
template <Filter kFilter>
bool UnfilterAnyStep(std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes,
                     std::size_t pixelBytes) noexcept {
    switch (pixelBytes) {
    case 1:
        Unfilter<kFilter, 1>(row, above, rowBytes);
        return true;
    case 3:
        Unfilter<kFilter, 3>(row, above, rowBytes);
        return true;
    case 4:
        Unfilter<kFilter, 4>(row, above, rowBytes);
        return true;
    default:
        return false;
    }
}

} // namespace

bool UnfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above,
                 std::size_t rowBytes, std::size_t pixelBytes) noexcept {
    switch (filter) {
    case kNone:
        return true;
    case kSub:
        return UnfilterAnyStep<kSub>(row, above, rowBytes, pixelBytes);
    case kUp:
        // No dependency along the row: the compiler vectorises this.
        for (std::size_t i = 0; i < rowBytes; ++i) {
            row[i] = static_cast<std::uint8_t>(row[i] + above[i]);
        }
        return true;
    case kAverage:
        return UnfilterAnyStep<kAverage>(row, above, rowBytes, pixelBytes);
    case kPaeth:
        return UnfilterAnyStep<kPaeth>(row, above, rowBytes, pixelBytes);
    default:
        return false;
    }
}

} // namespace orvel::png::detail
