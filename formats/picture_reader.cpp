// The one way from bytes to a canonical picture: the format from the first bytes, then its reader.
#include "detail/bmp_reader.h"
#include "detail/codec_errors.h"
#include "picture_formats.h"

#include "../platform/memory/global_memory.h"
#include "../platform/png/png_codec.h"
#include "../platform/win/error.h"
#include "../platform/workers/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel::formats {

const char* FormatName(Format format) noexcept {
    switch (format) {
    case Format::bmp:
        return "BMP";
    case Format::png:
        return "PNG";
    case Format::jpeg:
        return "JPEG";
    default:
        return "unknown";
    }
}

Format FormatOfBytes(const void* bytes, std::size_t byteCount) noexcept {
    static constexpr BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto* first = static_cast<const BYTE*>(bytes);
    if (first == nullptr) {
        return Format::unknown;
    }
    if (byteCount >= 2 && first[0] == 'B' && first[1] == 'M') {
        return Format::bmp;
    }
    if (byteCount >= sizeof kPngSignature &&
        std::memcmp(first, kPngSignature, sizeof kPngSignature) == 0) {
        return Format::png;
    }
    if (byteCount >= 3 && first[0] == 0xFF && first[1] == 0xD8 && first[2] == 0xFF) {
        return Format::jpeg;
    }
    return Format::unknown;
}

Format FormatOfExtension(const std::string& path) noexcept {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return Format::unknown;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "bmp" || extension == "dib") {
        return Format::bmp;
    }
    if (extension == "png") {
        return Format::png;
    }
    if (extension == "jpg" || extension == "jpeg" || extension == "jpe") {
        return Format::jpeg;
    }
    return Format::unknown;
}

namespace {

/// ReadPicture, with the global block that holds `bytes` when they are a whole file's: a BMP file
/// already laid out as the library keeps pictures is then that block itself, with no copy.
HGLOBAL ReadPictureOf(const void* bytes, std::size_t byteCount, HGLOBAL fileBlock,
                      const ReadOptions& options, Error* error) noexcept {
    Error failure;
    HGLOBAL block = nullptr;
    try {
        switch (FormatOfBytes(bytes, byteCount)) {
        case Format::bmp:
            block = detail::ReadBmp(static_cast<const BYTE*>(bytes), byteCount, options, failure,
                                    fileBlock);
            break;
        case Format::png: {
            png::Error codecError;
            block = png::DecodePng(bytes, byteCount, png::DibLayout::withFileHeader,
                                   options.maxPixelBytes, &codecError);
            if (block == nullptr) {
                failure = detail::FromPngError(codecError);
            }
            break;
        }
        case Format::jpeg: {
            jpeg::Error codecError;
            block = jpeg::DecodeJpeg(bytes, byteCount, options.orientation, options.maxPixelBytes,
                                     &codecError);
            if (block == nullptr) {
                failure = detail::FromJpegError(codecError);
            }
            break;
        }
        default:
            failure = detail::UnknownFormatError();
            break;
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, FormatOfBytes(bytes, byteCount), "no memory"};
    }
    if (block == nullptr && failure.failure == Failure::noMemory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (error != nullptr) {
        *error = block != nullptr ? Error{} : std::move(failure);
    }
    return block;
}

class OpenFile {
public:
    explicit OpenFile(const std::string& path) noexcept
        : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    [[nodiscard]] int Descriptor() const noexcept { return descriptor_; }

    /// Reads up to `count` bytes into `target`, stopping early only at the file's end. The bytes
    /// read, or -1 with errno set.
    std::int64_t ReadUpTo(BYTE* target, std::size_t count) const noexcept {
        return ReadUntilEnd(count, [&](std::size_t done) {
            return ::read(descriptor_, target + done, count - done);
        });
    }

    /// Reads the first `count` bytes of the file into `target`, as ReadUpTo does. The kernel
    /// clears a fresh block's pages as they are first written, and that costs more than the copy
    /// itself, so a large file is read in pieces at their own offsets on the worker threads. A
    /// piece that comes short ends the file there; the bytes after it are left zero.
    std::int64_t ReadWhole(BYTE* target, std::size_t count) const noexcept {
        constexpr std::size_t kPieceBytes = std::size_t{2} << 20;
        std::atomic<std::size_t> end{count};
        std::atomic<int> failure{0};
        auto readPieces = [&](std::size_t first, std::size_t last) noexcept {
            for (std::size_t piece = first; piece < last; ++piece) {
                const std::size_t at = piece * kPieceBytes;
                const std::size_t wanted = std::min(kPieceBytes, count - at);
                const std::int64_t got = ReadAt(target + at, wanted, at);
                if (got < 0) {
                    failure.store(errno, std::memory_order_relaxed);
                } else if (static_cast<std::size_t>(got) < wanted) {
                    const std::size_t pieceEnd = at + static_cast<std::size_t>(got);
                    std::size_t earliest = end.load(std::memory_order_relaxed);
                    while (
                        pieceEnd < earliest &&
                        !end.compare_exchange_weak(earliest, pieceEnd, std::memory_order_relaxed)) {
                    }
                }
            }
        };
        platform::ForEachSlice((count + kPieceBytes - 1) / kPieceBytes, count, readPieces);
        if (const int cause = failure.load(std::memory_order_relaxed); cause != 0) {
            errno = cause;
            return -1;
        }
        const std::size_t read = end.load(std::memory_order_relaxed);
        std::memset(target + read, 0, count - read);
        return static_cast<std::int64_t>(read);
    }

private:
    /// Reads up to `count` bytes from byte `offset` on, as ReadUpTo does.
    std::int64_t ReadAt(BYTE* target, std::size_t count, std::size_t offset) const noexcept {
        return ReadUntilEnd(count, [&](std::size_t done) {
            return ::pread(descriptor_, target + done, count - done,
                           static_cast<off_t>(offset + done));
        });
    }

    /// Calls `readSome(done)`, a read of the bytes from `done` on, until `count` bytes are in or
    /// the file ends: the bytes read, or -1 with errno set.
    template <class ReadSome>
    static std::int64_t ReadUntilEnd(std::size_t count, ReadSome&& readSome) noexcept {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = readSome(done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return -1;
            }
            if (got == 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return static_cast<std::int64_t>(done);
    }

    int descriptor_;
};

HGLOBAL CannotRead(const std::string& path, int cause, Error* error) {
    if (error != nullptr) {
        *error = Error{Failure::fileError, FormatOfExtension(path),
                       "cannot read '" + path + "': " + std::strerror(cause)};
    }
    return nullptr;
}

HGLOBAL NoMemoryFor(const std::string& path, Error* error) {
    if (error != nullptr) {
        *error = Error{Failure::noMemory, FormatOfExtension(path), "no memory"};
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

/// A file whose size cannot be told in advance (a pipe, a device), read to its end as it comes.
HGLOBAL ReadStream(const OpenFile& file, const std::string& path, const ReadOptions& options,
                   Error* error) {
    constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
    std::vector<BYTE> bytes;
    for (;;) {
        const std::size_t filled = bytes.size();
        bytes.resize(filled + kChunkBytes);
        const std::int64_t got = file.ReadUpTo(bytes.data() + filled, kChunkBytes);
        if (got < 0) {
            return CannotRead(path, errno, error);
        }
        bytes.resize(filled + static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < kChunkBytes) {
            break;
        }
    }
    return ReadPictureOf(bytes.data(), bytes.size(), nullptr, options, error);
}

} // namespace

HGLOBAL ReadPicture(const void* bytes, std::size_t byteCount, const ReadOptions& options,
                    Error* error) noexcept {
    return ReadPictureOf(bytes, byteCount, nullptr, options, error);
}

// A regular file is read with one read of its size straight into a global block. A canonical BMP
// file then is the picture (most of what a load and save of such a file costs was a second block
// and the copy into it); any other file is decoded from that block, which goes back at once.
HGLOBAL ReadPictureFile(const std::string& path, const ReadOptions& options,
                        Error* error) noexcept {
    try {
        const OpenFile file(path);
        struct stat facts {};
        if (file.Descriptor() < 0 || ::fstat(file.Descriptor(), &facts) != 0) {
            return CannotRead(path, errno, error);
        }
        if (!S_ISREG(facts.st_mode) || facts.st_size <= 0 ||
            static_cast<std::uint64_t>(facts.st_size) > kGlobalMemoryMaxBlockBytes) {
            return ReadStream(file, path, options, error);
        }
        const auto fileBytes = static_cast<std::size_t>(facts.st_size);
        HGLOBAL fileBlock = GlobalAlloc(GMEM_MOVEABLE, fileBytes);
        auto* base = fileBlock != nullptr ? static_cast<BYTE*>(GlobalLock(fileBlock)) : nullptr;
        if (base == nullptr) {
            if (fileBlock != nullptr) {
                GlobalFree(fileBlock);
            }
            return NoMemoryFor(path, error);
        }
        // A file that shrinks while it is read is taken as far as it goes.
        const std::int64_t got = file.ReadWhole(base, fileBytes);
        const int cause = errno;
        HGLOBAL picture =
            got < 0 ? CannotRead(path, cause, error)
                    : ReadPictureOf(base, static_cast<std::size_t>(got), fileBlock, options, error);
        GlobalUnlock(fileBlock);
        if (picture != fileBlock) {
            GlobalFree(fileBlock);
        }
        return picture;
    } catch (const std::bad_alloc&) {
        return NoMemoryFor(path, error);
    }
}

} // namespace orvel::formats
