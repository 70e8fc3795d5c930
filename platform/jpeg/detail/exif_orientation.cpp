#include "exif_orientation.h"

#include <cstdint>
#include <cstring>

namespace orvel::jpeg::detail {
namespace {

constexpr std::size_t kExifPrefixBytes = 6; // "Exif\0\0"
constexpr std::size_t kEntryBytes = 12;
constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;

/// Reads the TIFF structure behind the EXIF prefix in its own byte order; every read is checked
/// against the segment's end by the caller's offsets.
struct TiffReader {
    const unsigned char* tiff;
    std::size_t length;
    bool bigEndian;

    bool Has(std::uint64_t offset, std::uint64_t bytes) const noexcept {
        return offset <= length && bytes <= length - offset;
    }
    unsigned U16(std::size_t at) const noexcept {
        return bigEndian ? unsigned{tiff[at]} << 8 | tiff[at + 1]
                         : unsigned{tiff[at + 1]} << 8 | tiff[at];
    }
    std::uint32_t U32(std::size_t at) const noexcept {
        const std::uint32_t high = U16(bigEndian ? at : at + 2);
        const std::uint32_t low = U16(bigEndian ? at + 2 : at);
        return high << 16 | low;
    }
};

} // namespace

int ExifOrientation(const unsigned char* data, std::size_t length) noexcept {
    if (data == nullptr || length < kExifPrefixBytes + 8 ||
        std::memcmp(data, "Exif\0\0", kExifPrefixBytes) != 0) {
        return 1;
    }
    const unsigned char* tiff = data + kExifPrefixBytes;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!little && !big) {
        return 1;
    }
    const TiffReader reader{tiff, length - kExifPrefixBytes, big};
    if (reader.U16(2) != 42) {
        return 1;
    }
    const std::uint32_t directory = reader.U32(4);
    if (!reader.Has(directory, 2)) {
        return 1;
    }
    const unsigned entryCount = reader.U16(directory);
    if (!reader.Has(std::uint64_t{directory} + 2, std::uint64_t{entryCount} * kEntryBytes)) {
        return 1;
    }
    std::size_t entry = directory + 2;
    for (unsigned i = 0; i < entryCount; ++i, entry += kEntryBytes) {
        if (reader.U16(entry) == kOrientationTag) {
            // A SHORT value sits in the first two bytes of the entry's value field.
            const unsigned value = reader.U16(entry + 8);
            const bool valid = reader.U16(entry + 2) == kShortType && value >= 1 && value <= 8;
            return valid ? static_cast<int>(value) : 1;
        }
    }
    return 1;
}

} // namespace orvel::jpeg::detail
