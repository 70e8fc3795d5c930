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
//
// A large picture's stream is cut at line starts found by one pass over its codes, and the parts
// are decoded on the worker threads; the pixels are the same as one pass in order gives.
#pragma once

#include "../../platform/win/types.h"
#include "../../platform/workers/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvel::dib::detail {

/// Decodes a stream of `streamBytes` bytes through `writer`, which offers
/// `bool Run(count, value)`, `bool EndOfLine()`, `bool Delta(right, up)`,
/// `static std::size_t AbsoluteStreamBytes(count)` and
/// `bool Absolute(source, count, availableBytes)`; each returns false when it reached the limit
/// of the pixel area, which ends decoding. Returns true when decoding ran to the stream's end,
/// false when the limit or an end-of-picture code ended it. The writer is the loop's own copy, so
/// that its position can stay in registers: the pixel stores are byte stores, which the compiler
/// must otherwise assume may change a writer that lives in memory.
template <class PixelWriter>
bool DecodeRleStream(const BYTE* stream, std::size_t streamBytes, PixelWriter writer) noexcept {
    const BYTE* read = stream;
    const BYTE* const end = stream + streamBytes;
    while (end - read >= 2) {
        const BYTE count = read[0];
        const BYTE code = read[1];
        read += 2;
        if (count != 0) {
            if (!writer.Run(count, code)) {
                return false;
            }
            continue;
        }
        switch (code) {
        case 0:
            if (!writer.EndOfLine()) {
                return false;
            }
            break;
        case 1:
            return false;
        case 2:
            if (end - read < 2 || !writer.Delta(read[0], read[1])) {
                return false;
            }
            read += 2;
            break;
        default: {
            const std::size_t wanted = PixelWriter::AbsoluteStreamBytes(code);
            const auto available = static_cast<std::size_t>(end - read);
            if (!writer.Absolute(read, code, wanted < available ? wanted : available) ||
                wanted > available) {
                return false;
            }
            read += wanted;
            break;
        }
        }
    }
    return true;
}

/// Where decoding can start afresh: just after an end-of-line code, at the start of a row.
struct RleLineStart {
    std::size_t streamOffset = 0;
    std::size_t rowStart = 0; // byte offset of the row in the pixel area
};

/// The most parts a stream is cut into.
inline constexpr std::size_t kMostRleParts = 64;

/// One pass over the codes, without writing, for up to `wanted` line starts spread evenly over
/// the pixel area; the first is the stream's start. Row starts follow end-of-line and delta codes
/// only (runs never move to another row's start), and the pass stops where decoding would stop
/// at the latest: an end-of-picture code, a row past the area, the stream's end. Each start is
/// told to `publish(found)` as soon as it is written, so that its part can be decoded meanwhile.
template <class Publish>
std::size_t FindRleLineStarts(const BYTE* stream, std::size_t streamBytes, std::size_t pixelBytes,
                              std::size_t stride, std::size_t absoluteUnit, RleLineStart* starts,
                              std::size_t wanted, Publish&& publish) noexcept {
    std::size_t found = 1;
    starts[0] = {};
    const std::size_t spacing = pixelBytes / wanted + 1;
    std::size_t next = spacing;
    std::size_t rowStart = 0;
    const BYTE* read = stream;
    const BYTE* const end = stream + streamBytes;
    while (end - read >= 2 && found < wanted) {
        const BYTE count = read[0];
        const BYTE code = read[1];
        read += 2;
        if (count != 0) {
            continue;
        }
        if (code == 0) {
            rowStart += stride;
            if (rowStart > pixelBytes) {
                break;
            }
            if (rowStart >= next) {
                starts[found++] = {static_cast<std::size_t>(read - stream), rowStart};
                publish(found);
                next = rowStart + spacing;
            }
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (end - read < 2) {
                break;
            }
            rowStart += std::size_t{read[1]} * stride;
            read += 2;
            if (rowStart > pixelBytes) {
                break;
            }
        } else {
            // An absolute run's pixels, in whole 16-bit words of the stream.
            const std::size_t units = (std::size_t{code} + absoluteUnit - 1) / absoluteUnit;
            const std::size_t bytes = units * 2;
            if (static_cast<std::size_t>(end - read) < bytes) {
                break;
            }
            read += bytes;
        }
    }
    return found;
}

/// For DecodeRleShared when the stream is not the caller's to give back.
inline constexpr auto kKeepStream = [](std::size_t, std::size_t) noexcept {};

/// Decodes a stream as DecodeRleStream does, its rows shared among the worker threads when the
/// picture is large. `makeWriter(limit, rowStart)` makes a writer that starts at a row and may
/// write below byte `limit` only. The stream is cut at line starts; each part writes only its
/// own rows, so parts never touch each other's bytes. A part that its limit or an end code stops
/// before its end (a run spilling into the next part's rows, a picture cut short) cannot know
/// what the rest would do: from that part on, its rows are cleared and decoded again in order,
/// which gives exactly the pixels one pass in order gives.
///
/// The pass for line starts is the first piece of the shared work, and the others decode a part
/// each as soon as its end is known: the pass costs a third of the decoding, and the parts it has
/// found are decoded on the other cores while it goes on. Pieces are taken in order, so the pass
/// is always under way before any part waits for it.
///
/// `release(offset, bytes)` is told of stream bytes that will not be read again: those of the
/// parts that, with every part before them, were decoded to their end (a part that stopped, and
/// those after it, may be read again). A caller that owns the stream can give their memory back.
template <class MakeWriter, class ReleaseStream>
void DecodeRleShared(const BYTE* stream, std::size_t streamBytes, BYTE* pixels,
                     std::size_t pixelBytes, std::size_t stride, std::size_t absoluteUnit,
                     MakeWriter&& makeWriter, ReleaseStream&& release) noexcept {
    const std::size_t work = pixelBytes + streamBytes;
    // Only for a large picture the pool is made, if it is not yet: a small one starts no thread.
    const std::size_t wanted =
        work >= orvel::platform::SharingThreshold() && stride != 0
            ? std::min<std::size_t>(kMostRleParts, orvel::platform::SharingThreads() * 4)
            : 1;
    if (wanted < 2) {
        DecodeRleStream(stream, streamBytes, makeWriter(pixelBytes, std::size_t{0}));
        return;
    }
    RleLineStart starts[kMostRleParts + 1];
    // The starts known so far; with kScanned, the pass is over and the last is the stream's end.
    constexpr std::size_t kScanned = std::size_t{1} << 63;
    std::atomic<std::size_t> known{1};
    std::atomic<std::size_t> firstStopped{kMostRleParts};
    // Bit p: part p was decoded to its end. Parts below the first clear bit are done for good.
    // Setting a bit publishes, to whoever sees it, the line starts its part was decoded between.
    static_assert(kMostRleParts <= 64);
    std::atomic<std::uint64_t> finished{0};
    std::atomic<std::size_t> released{0};

    auto scan = [&]() noexcept {
        const std::size_t found =
            FindRleLineStarts(stream, streamBytes, pixelBytes, stride, absoluteUnit, starts, wanted,
                              [&](std::size_t count) noexcept {
                                  known.store(count, std::memory_order_release);
                                  known.notify_all();
                              });
        starts[found] = {streamBytes, pixelBytes};
        known.store(kScanned | (found + 1), std::memory_order_release);
        known.notify_all();
    };
    auto decode = [&](std::size_t part) noexcept {
        std::size_t now = known.load(std::memory_order_acquire);
        while ((now & kScanned) == 0 && now < part + 2) {
            known.wait(now, std::memory_order_acquire);
            now = known.load(std::memory_order_acquire);
        }
        const bool last = (now & kScanned) != 0 && (now & ~kScanned) <= part + 2;
        if (last && (now & ~kScanned) < part + 2) {
            return; // the pass found fewer parts
        }
        const std::size_t offset = starts[part].streamOffset;
        if (DecodeRleStream(stream + offset, starts[part + 1].streamOffset - offset,
                            makeWriter(starts[part + 1].rowStart, starts[part].rowStart))) {
            const std::uint64_t bits =
                finished.fetch_or(std::uint64_t{1} << part, std::memory_order_acq_rel) |
                std::uint64_t{1} << part;
            const auto done = static_cast<std::size_t>(std::countr_one(bits));
            std::size_t from = released.load(std::memory_order_relaxed);
            while (from < done &&
                   !released.compare_exchange_weak(from, done, std::memory_order_relaxed)) {
            }
            if (from < done) {
                release(starts[from].streamOffset,
                        starts[done].streamOffset - starts[from].streamOffset);
            }
        } else if (!last) {
            std::size_t stopped = firstStopped.load(std::memory_order_relaxed);
            while (part < stopped &&
                   !firstStopped.compare_exchange_weak(stopped, part, std::memory_order_relaxed)) {
            }
        }
    };
    // Piece 0 is the pass; piece p + 1 decodes part p.
    orvel::platform::ForEachSlice(wanted + 1, work,
                                  [&](std::size_t first, std::size_t end) noexcept {
                                      for (std::size_t piece = first; piece < end; ++piece) {
                                          if (piece == 0) {
                                              scan();
                                          } else {
                                              decode(piece - 1);
                                          }
                                      }
                                  });
    const std::size_t stopped = firstStopped.load(std::memory_order_relaxed);
    if (stopped < kMostRleParts) {
        const RleLineStart& from = starts[stopped];
        std::memset(pixels + from.rowStart, 0, pixelBytes - from.rowStart);
        DecodeRleStream(stream + from.streamOffset, streamBytes - from.streamOffset,
                        makeWriter(pixelBytes, from.rowStart));
    }
}

} // namespace orvel::dib::detail
