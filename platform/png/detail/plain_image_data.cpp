#include "plain_image_data.h"

#include "unfilter.h"

#if ORVEL_HAVE_ISAL
#include "isal_library.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#endif

namespace orvel::png::detail {

#if ORVEL_HAVE_ISAL
namespace {

/// Rows are inflated this many bytes at a time: a few hundred kilobytes keeps the calls into the
/// inflater few and the rows in the cache while they are unfiltered.
constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;

std::uint32_t BigEndian32(const std::uint8_t* bytes) noexcept {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

struct Chunk {
    const std::uint8_t* type = nullptr;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;

    bool Is(const char (&name)[5]) const noexcept { return std::memcmp(type, name, 4) == 0; }
};

/// Walks the chunks from one position on, each one whole and with its CRC right.
class ChunkWalker {
public:
    ChunkWalker(const IsalFunctions& isal, const std::uint8_t* next,
                const std::uint8_t* end) noexcept
        : isal_(isal), next_(next), end_(end) {}

    /// The next chunk; false when it is cut off, longer than a chunk may be, or damaged.
    bool Take(Chunk& chunk) noexcept {
        const auto left = static_cast<std::size_t>(end_ - next_);
        if (left < 12) {
            return false;
        }
        const std::uint32_t length = BigEndian32(next_);
        if (length > kLongestChunk || length > left - 12) {
            return false;
        }
        // The CRC covers the type and the data.
        if (isal_.crc32Gzip(0, next_ + 4, std::uint64_t{length} + 4) !=
            BigEndian32(next_ + 8 + length)) {
            return false;
        }
        chunk = Chunk{next_ + 4, next_ + 8, length};
        next_ += std::size_t{length} + 12;
        return true;
    }

private:
    const IsalFunctions& isal_;
    const std::uint8_t* next_;
    const std::uint8_t* end_;
};

/// The zlib stream carried by a run of IDAT chunks, inflated on demand.
class ImageDataStream {
public:
    ImageDataStream(const IsalFunctions& isal, ChunkWalker& chunks)
        : isal_(isal), chunks_(chunks), state_(std::make_unique<inflate_state>()) {
        isal_.inflateInit(state_.get());
    }

    /// Takes the first IDAT chunk and the stream's header from it. Only a 32 KiB window and no
    /// preset dictionary are taken: smaller windows limit how far back a match may reach, a
    /// rule libpng's zlib applies and is left to apply.
    bool Start() noexcept {
        Chunk first;
        if (!chunks_.Take(first) || !first.Is("IDAT") || first.length < 2) {
            return false;
        }
        const unsigned method = first.data[0];
        const unsigned flags = first.data[1];
        if (method != 0x78 || (method * 256 + flags) % 31 != 0 || (flags & 0x20) != 0) {
            return false;
        }
        // The checksum after the deflate data is read and verified by the inflater.
        state_->crc_flag = ISAL_ZLIB_NO_HDR_VER;
        state_->next_in = const_cast<std::uint8_t*>(first.data + 2);
        state_->avail_in = first.length - 2;
        return true;
    }

    /// Fills `out` (count bytes) with the stream's next bytes. False when the stream is damaged
    /// or ends, or the IDAT chunks end, before they are all there.
    bool Read(std::uint8_t* out, std::size_t count) noexcept {
        while (count != 0) {
            if (state_->block_state == ISAL_BLOCK_FINISH) {
                return false;
            }
            // avail_out is 32 bits wide.
            const auto room =
                static_cast<std::uint32_t>(std::min<std::size_t>(count, std::size_t{1} << 30));
            if (!Step(out, room)) {
                return false;
            }
            const std::uint32_t produced = room - state_->avail_out;
            out += produced;
            count -= produced;
        }
        return true;
    }

    /// True when the stream ends here, checksum included, exactly at the end of an IDAT chunk,
    /// and the chunk after the run is IEND: the file is what libpng would take.
    bool EndsCleanly() noexcept {
        std::uint8_t extra = 0;
        while (state_->block_state != ISAL_BLOCK_FINISH) {
            if (!Step(&extra, 1) || state_->avail_out == 0) {
                return false; // damaged, cut short, or more data than the rows
            }
        }
        Chunk after;
        return state_->avail_in == 0 && chunks_.Take(after) && after.Is("IEND") &&
               after.length == 0;
    }

private:
    /// One call of the inflater into `room` bytes at `out`, taking the next IDAT chunk first when
    /// the last one is used up. False when the stream is damaged, the chunks end or are not IDAT,
    /// or the call made nothing of the bytes it had.
    bool Step(std::uint8_t* out, std::uint32_t room) noexcept {
        if (state_->avail_in == 0 && !NextChunk()) {
            return false;
        }
        state_->next_out = out;
        state_->avail_out = room;
        const std::uint32_t inBefore = state_->avail_in;
        if (isal_.inflate(state_.get()) != ISAL_DECOMP_OK) {
            return false;
        }
        const bool stuck = inBefore != 0 && state_->avail_in == inBefore &&
                           state_->avail_out == room && state_->block_state != ISAL_BLOCK_FINISH;
        return !stuck;
    }

    bool NextChunk() noexcept {
        Chunk chunk;
        if (!chunks_.Take(chunk) || !chunk.Is("IDAT")) {
            return false;
        }
        state_->next_in = const_cast<std::uint8_t*>(chunk.data);
        state_->avail_in = chunk.length;
        return true;
    }

    const IsalFunctions& isal_;
    ChunkWalker& chunks_;
    std::unique_ptr<inflate_state> state_; // over 100 KiB of tables and window
};

/// One unfiltered PNG row into a DIB row: RGB and RGBA samples swap red and blue.
void StoreRow(const std::uint8_t* from, std::size_t rowBytes, std::size_t pixelBytes,
              std::uint8_t* to) noexcept {
    if (pixelBytes == 1) {
        std::memcpy(to, from, rowBytes);
        return;
    }
    const std::uint8_t* const end = from + rowBytes;
    if (pixelBytes == 3) {
        for (; from != end; from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    } else {
        for (; from != end; from += 4, to += 4) {
            std::uint32_t pixel;
            std::memcpy(&pixel, from, 4);
            // RGBA in memory is 0xAABBGGRR read little-endian; BGRA is 0xAARRGGBB.
            pixel = (pixel & 0xFF00FF00U) | (pixel >> 16 & 0xFFU) | (pixel & 0xFFU) << 16;
            std::memcpy(to, &pixel, 4);
        }
    }
}

bool Decode(const PlainPicture& picture) {
    const std::size_t pixelBytes = picture.pixelBytes;
    if (picture.file == nullptr || picture.imageDataOffset < 8 ||
        picture.imageDataOffset > picture.fileBytes || picture.width == 0 || picture.height == 0 ||
        (pixelBytes != 1 && pixelBytes != 3 && pixelBytes != 4)) {
        return false;
    }
    const IsalFunctions* isal = Isal();
    if (isal == nullptr) {
        return false;
    }
    ChunkWalker chunks(*isal, picture.file + picture.imageDataOffset - 8,
                       picture.file + picture.fileBytes);
    ImageDataStream stream(*isal, chunks);
    if (!stream.Start()) {
        return false;
    }
    const std::size_t rowBytes = std::size_t{picture.width} * pixelBytes;
    const std::size_t lineBytes = rowBytes + 1; // the filter byte, then the row
    const std::size_t linesPerBatch = std::max<std::size_t>(1, kBatchBytes / lineBytes);
    std::vector<std::uint8_t> batch(std::min<std::size_t>(linesPerBatch, picture.height) *
                                    lineBytes);
    std::vector<std::uint8_t> lastRow(rowBytes, 0); // the row above the batch's first
    std::uint8_t* dibRow = picture.lastDibRow;
    for (std::uint32_t y = 0; y < picture.height;) {
        const std::size_t lines = std::min<std::size_t>(linesPerBatch, picture.height - y);
        if (!stream.Read(batch.data(), lines * lineBytes)) {
            return false;
        }
        const std::uint8_t* above = lastRow.data();
        std::uint8_t* line = batch.data();
        for (std::size_t i = 0; i < lines; ++i, line += lineBytes, dibRow -= picture.dibStride) {
            if (!UnfilterRow(line[0], line + 1, above, rowBytes, pixelBytes)) {
                return false;
            }
            StoreRow(line + 1, rowBytes, pixelBytes, dibRow);
            above = line + 1;
        }
        std::memcpy(lastRow.data(), above, rowBytes);
        y += static_cast<std::uint32_t>(lines);
    }
    return stream.EndsCleanly();
}

} // namespace

bool PlainImageDataAvailable() noexcept {
    return Isal() != nullptr;
}

bool ReadPlainImageData(const PlainPicture& picture) noexcept {
    try {
        return Decode(picture);
    } catch (const std::bad_alloc&) {
        return false; // libpng's own read needs less; it reports the shortage if there is one
    }
}

#else

bool PlainImageDataAvailable() noexcept {
    return false;
}

bool ReadPlainImageData(const PlainPicture&) noexcept {
    return false;
}

#endif

} // namespace orvel::png::detail
