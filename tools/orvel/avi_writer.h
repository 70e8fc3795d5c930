// AVI files: one video stream of frames, each a key frame, with an index.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvel::cli {

/// What the stream header and stream format say about the frames.
struct AviVideoFormat {
    /// The four-character code of the compressor ('mrle', 'DIB ').
    std::uint32_t handler = 0;
    /// The frames' format as the compressor gave it: BITMAPINFOHEADER and colour table.
    std::vector<std::uint8_t> format;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t framesPerSecond = 10;
};

/// Writes an AVI file as frames arrive:
///
///   RIFF 'AVI '
///     LIST 'hdrl'  avih, LIST 'strl' (strh 'vids', strf = the frames' format)
///     LIST 'movi'  one '00dc' (compressed) or '00db' (uncompressed) chunk per frame
///     idx1         one entry per frame: chunk id, AVIIF_KEYFRAME, offset from the 'movi'
///                  code, length
///
/// Chunks of odd length get one pad byte, not counted in their size. The headers go out first
/// with the counts at zero and are written again, complete, by Finish; the file is only usable
/// after Finish, which is why the tool writes it under a temporary name.
class AviWriter {
public:
    /// Opens `path` for writing; `shownPath` is the name messages use. Throws Failure.
    AviWriter(const std::string& path, std::string shownPath, AviVideoFormat format);
    /// Closes the file if Finish was not reached; the caller discards it.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    /// Appends one key frame. Throws Failure on a write error or when the file would outgrow
    /// what a RIFF file can address.
    void AddFrame(const void* data, std::uint32_t bytes, bool compressed);
    /// Writes the index and the final headers, and closes the file. Throws Failure.
    void Finish();

    std::uint32_t FrameCount() const noexcept { return static_cast<std::uint32_t>(index_.size()); }

private:
    struct IndexEntry {
        std::uint32_t chunkId;
        std::uint32_t offset;
        std::uint32_t length;
    };

    std::vector<std::uint8_t> Headers(std::uint32_t moviBytes) const;
    void Write(const void* data, std::size_t bytes);
    [[noreturn]] void ThrowWriteError(int errorNumber) const;

    std::FILE* file_ = nullptr;
    std::string shownPath_;
    AviVideoFormat format_;
    std::vector<IndexEntry> index_;
    std::uint64_t headerBytes_ = 0;
    std::uint64_t moviDataBytes_ = 0; ///< chunk bytes after the 'movi' code, pads included
    std::uint32_t largestFrame_ = 0;
};

} // namespace orvel::cli
