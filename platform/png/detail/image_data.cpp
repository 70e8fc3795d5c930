#include "image_data.h"

#include "fast_deflate.h"
#include "filter_types.h"

#include "../../workers/worker_pool.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

namespace orvel::png::detail {
namespace {

/// Filtered bytes of a strip. Small enough that a large picture makes a few dozen strips for
/// the threads to share, large enough that the bytes a strip boundary costs do not show.
constexpr std::size_t kStripBytes = std::size_t{256} << 10;
/// What deflate can look back at, and what primes each strip after the first.
constexpr std::size_t kWindowBytes = std::size_t{32} << 10;
/// The part of each strip both coders deflate to choose between them: large enough to tell
/// noise from repeats, small enough that zlib's share of it is not wasted when ISA-L wins.
constexpr std::size_t kSampleBytes = std::size_t{16} << 10;
/// Room for a sample deflated by ISA-L: even incompressible bytes come out in stored blocks of a
/// few bytes' overhead each.
constexpr std::size_t kSampleRoom = kSampleBytes + (std::size_t{1} << 10);
/// Deflate at the usual levels costs well over ten times what the row loops that set the
/// sharing threshold cost a byte.
constexpr std::size_t kWorkPerByte = 16;

/// The byte `kFilter` predicts from the bytes to its left, above it and above to its left.
template <Filter kFilter>
inline int Predicted(int left, int above, int aboveLeft) noexcept {
    if constexpr (kFilter == kSub) {
        return left;
    } else if constexpr (kFilter == kUp) {
        return above;
    } else if constexpr (kFilter == kAverage) {
        return (left + above) >> 1;
    } else if constexpr (kFilter == kPaeth) {
        return Paeth(left, above, aboveLeft);
    } else {
        return 0;
    }
}

/// A filtered byte taken as a signed value, the usual measure of how well a filter did.
inline unsigned Magnitude(BYTE value) noexcept {
    return value < 128 ? value : 256U - value;
}

/// Row `row` under `kFilter`, with `above` the unfiltered row above it (zeros for the top row),
/// into `out` (rowBytes long, without the filter byte). Returns the sum of the magnitudes of the
/// filtered bytes, or, as soon as it reaches `enough`, a sum at least that large (the row is then
/// left part written: a filter that cannot win is not finished). The first pixel has nothing to
/// its left.
template <Filter kFilter>
std::uint64_t FilterRow(const BYTE* row, const BYTE* above, std::size_t rowBytes,
                        std::size_t pixelBytes, BYTE* out, std::uint64_t enough) noexcept {
    // Checked a block at a time, so that the loop inside stays free of the test.
    constexpr std::size_t kBlockBytes = 512;
    std::uint64_t sum = 0;
    const std::size_t first = std::min(pixelBytes, rowBytes);
    for (std::size_t i = 0; i < first; ++i) {
        out[i] = static_cast<BYTE>(row[i] - Predicted<kFilter>(0, above[i], 0));
        sum += Magnitude(out[i]);
    }
    for (std::size_t block = first; block < rowBytes && sum < enough; block += kBlockBytes) {
        const std::size_t end = std::min(rowBytes, block + kBlockBytes);
        for (std::size_t i = block; i < end; ++i) {
            out[i] = static_cast<BYTE>(
                row[i] - Predicted<kFilter>(row[i - pixelBytes], above[i], above[i - pixelBytes]));
            sum += Magnitude(out[i]);
        }
    }
    return sum;
}

/// Filters rows [first, end) into `out`, one filter byte and rowBytes a row. `row` and `above`
/// are scratch rows; `trial` holds rowBytes for the filters tried.
void FilterRows(const PngRows& rows, std::uint32_t first, std::uint32_t end, BYTE* out,
                std::vector<BYTE>& row, std::vector<BYTE>& above, std::vector<BYTE>& trial) {
    const std::size_t rowBytes = rows.rowBytes;
    if (first > 0) {
        rows.make(rows.context, first - 1, above.data());
    } else {
        std::fill(above.begin(), above.end(), BYTE{0});
    }
    for (std::uint32_t y = first; y < end; ++y, out += rowBytes + 1) {
        rows.make(rows.context, y, row.data());
        if (!rows.adaptiveFilters) {
            out[0] = kNone;
            std::memcpy(out + 1, row.data(), rowBytes);
        } else {
            // The filter whose output has the smallest sum, the lower type among equals.
            const BYTE* current = row.data();
            const std::size_t bytes = rowBytes;
            const std::size_t step = rows.pixelBytes;
            std::uint64_t best =
                FilterRow<kNone>(current, above.data(), bytes, step, out + 1, UINT64_MAX);
            out[0] = kNone;
            auto tryFilter = [&](Filter filter, std::uint64_t sum) {
                if (sum < best) {
                    best = sum;
                    out[0] = filter;
                    std::memcpy(out + 1, trial.data(), bytes);
                }
            };
            BYTE* const to = trial.data();
            tryFilter(kSub, FilterRow<kSub>(current, above.data(), bytes, step, to, best));
            tryFilter(kUp, FilterRow<kUp>(current, above.data(), bytes, step, to, best));
            tryFilter(kAverage, FilterRow<kAverage>(current, above.data(), bytes, step, to, best));
            tryFilter(kPaeth, FilterRow<kPaeth>(current, above.data(), bytes, step, to, best));
        }
        row.swap(above);
    }
}

struct Strip {
    std::uint32_t firstRow = 0;
    std::uint32_t endRow = 0;
    std::vector<std::uint8_t> deflated;
    uLong checksum = 0;
    std::size_t filteredBytes = 0;
};

/// What one thread compresses strips with, kept from strip to strip: a deflate stream (reset for
/// each strip, which keeps its tables) and the buffers, so that a strip allocates only what it
/// hands on.
class StripCompressor {
public:
    StripCompressor(const PngRows& rows, int level) : rows_(rows) {
        const int strategy = rows.adaptiveFilters ? Z_FILTERED : Z_DEFAULT_STRATEGY;
        ready_ = deflateInit2(&z_, level, Z_DEFLATED, -15, 8, strategy) == Z_OK;
        row_.resize(rows.rowBytes);
        above_.resize(rows.rowBytes);
        trial_.resize(std::max(rows.rowBytes, kSampleRoom));
        // ISA-L's coder is tried at the usual levels and faster ones; a caller asking for more
        // asks for the smallest file, which is zlib's.
        if (level >= 1 && level <= 6 && FastDeflate::Available()) {
            fast_.emplace();
        }
    }
    ~StripCompressor() {
        if (ready_) {
            deflateEnd(&z_);
        }
    }
    StripCompressor(const StripCompressor&) = delete;
    StripCompressor& operator=(const StripCompressor&) = delete;

    /// Compresses one strip: the rows before it that fill the window are filtered again to prime
    /// the dictionary, so the strip compresses as it would in one stream.
    bool Compress(bool last, Strip& strip) {
        const std::size_t lineBytes = rows_.rowBytes + 1;
        const auto primingRows = static_cast<std::uint32_t>(
            std::min<std::size_t>(strip.firstRow, (kWindowBytes + lineBytes - 1) / lineBytes));
        const std::size_t primingBytes = std::size_t{primingRows} * lineBytes;
        strip.filteredBytes = std::size_t{strip.endRow - strip.firstRow} * lineBytes;
        if (!ready_ || deflateReset(&z_) != Z_OK) {
            return false;
        }
        filtered_.resize(primingBytes + strip.filteredBytes);
        FilterRows(rows_, strip.firstRow - primingRows, strip.endRow, filtered_.data(), row_,
                   above_, trial_);
        const BYTE* own = filtered_.data() + primingBytes;
        strip.checksum = adler32(1, own, static_cast<uInt>(strip.filteredBytes));
        const std::size_t window = std::min(primingBytes, kWindowBytes);
        if (window != 0 &&
            deflateSetDictionary(&z_, own - window, static_cast<uInt>(window)) != Z_OK) {
            return false;
        }
        // deflateBound is for a stream finished in one call; a flush adds a few bytes.
        deflated_.resize(deflateBound(&z_, static_cast<uLong>(strip.filteredBytes)) + 16);
        z_.next_in = const_cast<BYTE*>(own);
        z_.next_out = deflated_.data();
        z_.avail_out = static_cast<uInt>(deflated_.size());

        // zlib deflates a sample of the strip as the start of its own stream; ISA-L deflates the
        // same sample, and when it comes within 1% of zlib it deflates the whole strip instead.
        if (fast_) {
            const std::size_t sample = std::min(strip.filteredBytes, kSampleBytes);
            z_.avail_in = static_cast<uInt>(sample);
            if (deflate(&z_, Z_BLOCK) != Z_OK || z_.avail_in != 0) {
                return false;
            }
            const std::size_t zlibSample = z_.total_out;
            const std::size_t fastSample = fast_->Compress(own - window, window, own, sample, false,
                                                           trial_.data(), trial_.size());
            if (fastSample != 0 && fastSample * 100 <= zlibSample * 101) {
                fastOut_.resize(deflated_.size());
                const std::size_t written =
                    fast_->Compress(own - window, window, own, strip.filteredBytes, last,
                                    fastOut_.data(), fastOut_.size());
                if (written != 0) {
                    strip.deflated.assign(fastOut_.begin(), fastOut_.begin() + written);
                    return true;
                }
                // Out of room: zlib's stream goes on from its sample.
            }
        }
        z_.avail_in = static_cast<uInt>(strip.filteredBytes - (z_.next_in - own));
        const int result = deflate(&z_, last ? Z_FINISH : Z_SYNC_FLUSH);
        if ((last ? result != Z_STREAM_END : result != Z_OK) || z_.avail_in != 0 ||
            z_.avail_out == 0) {
            return false;
        }
        strip.deflated.assign(deflated_.begin(), deflated_.end() - z_.avail_out);
        return true;
    }

private:
    const PngRows& rows_;
    z_stream z_{};
    bool ready_ = false;
    std::vector<BYTE> row_;
    std::vector<BYTE> above_;
    std::vector<BYTE> trial_;
    std::vector<BYTE> filtered_;
    std::vector<BYTE> deflated_;
    std::vector<BYTE> fastOut_;
    std::optional<FastDeflate> fast_;
};

} // namespace

std::size_t CompressedBound(const PngRows& rows) noexcept {
    const std::uint64_t filtered = std::uint64_t{rows.count} * (rows.rowBytes + 1);
    const std::uint64_t strips = filtered / kStripBytes + 2;
    // zlib's bound of a stream in one piece, a flush's few bytes a strip, header and checksum.
    return static_cast<std::size_t>(compressBound(static_cast<uLong>(filtered)) + strips * 16 + 6);
}

bool CompressRows(const PngRows& rows, int level, StreamSink sink, void* context) noexcept {
    try {
        const std::size_t lineBytes = rows.rowBytes + 1;
        const auto rowsPerStrip =
            static_cast<std::uint32_t>(std::max<std::size_t>(1, kStripBytes / lineBytes));
        const std::uint32_t stripCount = rows.count == 0 ? 1 : (rows.count - 1) / rowsPerStrip + 1;
        std::vector<Strip> strips(stripCount);
        for (std::uint32_t i = 0; i < stripCount; ++i) {
            strips[i].firstRow = i * rowsPerStrip;
            strips[i].endRow = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                rows.count, std::uint64_t{strips[i].firstRow} + rowsPerStrip));
        }

        // The zlib header: deflate, 32 KiB window, the level's class, no dictionary.
        const int levelClass = level <= 1 ? 0 : level <= 5 ? 1 : level == 6 ? 2 : 3;
        const unsigned method = 0x78;
        unsigned flags = static_cast<unsigned>(levelClass) << 6;
        flags += (31 - (method * 256 + flags) % 31) % 31;
        const std::uint8_t header[2] = {static_cast<std::uint8_t>(method),
                                        static_cast<std::uint8_t>(flags)};
        if (!sink(context, header, sizeof header)) {
            return false;
        }

        // Each thread takes the next strip in order and compresses it; whoever finishes the
        // strip that is due hands it on, with every finished one after it, and lets them go. So
        // no thread waits for the others until the end, and only the strips finished ahead of
        // the one due are held here.
        std::atomic<std::uint32_t> next{0};
        std::atomic<bool> failed{false};
        std::mutex handing;
        std::vector<bool> finished(stripCount, false);
        std::uint32_t due = 0;
        uLong checksum = adler32(0, nullptr, 0);
        auto work = [&]() noexcept {
            std::optional<StripCompressor> compressor;
            try {
                compressor.emplace(rows, level);
            } catch (const std::bad_alloc&) {
                failed.store(true);
            }
            for (std::uint32_t i = next++; i < stripCount && !failed.load(); i = next++) {
                bool compressed = false;
                try {
                    compressed = compressor->Compress(i + 1 == stripCount, strips[i]);
                } catch (const std::bad_alloc&) {
                }
                const std::lock_guard<std::mutex> lock(handing);
                finished[i] = compressed;
                for (; compressed && due < stripCount && finished[due]; ++due) {
                    Strip& strip = strips[due];
                    checksum = adler32_combine(checksum, strip.checksum,
                                               static_cast<z_off_t>(strip.filteredBytes));
                    compressed = sink(context, strip.deflated.data(), strip.deflated.size());
                    std::vector<std::uint8_t>().swap(strip.deflated);
                }
                if (!compressed) {
                    failed.store(true);
                }
            }
        };
        const unsigned threads = stripCount > 1 ? orvel::platform::SharingThreads() : 1;
        const std::size_t workBytes = std::size_t{rows.count} * lineBytes * kWorkPerByte;
        orvel::platform::ForEachSlice(threads, workBytes,
                                      [&](std::size_t first, std::size_t end) noexcept {
                                          for (std::size_t slice = first; slice < end; ++slice) {
                                              work();
                                          }
                                      });
        if (failed.load() || due != stripCount) {
            return false;
        }

        // The checksum of all filtered bytes, most significant byte first.
        std::uint8_t trailer[4];
        for (int i = 0; i < 4; ++i) {
            trailer[i] = static_cast<std::uint8_t>(checksum >> (24 - 8 * i));
        }
        return sink(context, trailer, sizeof trailer);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace orvel::png::detail
