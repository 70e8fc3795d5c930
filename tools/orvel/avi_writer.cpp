#include "avi_writer.h"

#include "atomic_output.h"
#include "failure.h"

#include <cerrno>
#include <limits>

namespace orvel::cli {
namespace {

constexpr std::uint32_t FourCc(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyFrame = 0x10;
constexpr std::uint32_t kMainHeaderBytes = 56;
constexpr std::uint32_t kStreamHeaderBytes = 56;
constexpr std::uint32_t kIndexEntryBytes = 16;

// Little-endian fields, appended.
class Fields {
public:
    Fields& U16(std::uint32_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
        return *this;
    }
    Fields& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    Fields& Code(const char (&code)[5]) { return U32(FourCc(code)); }
    Fields& Bytes(const std::vector<std::uint8_t>& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Fields& Pad() {
        if (bytes_.size() % 2 != 0) {
            bytes_.push_back(0);
        }
        return *this;
    }
    std::vector<std::uint8_t>& Get() noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

std::uint32_t Padded(std::uint64_t bytes) {
    return static_cast<std::uint32_t>(bytes + (bytes & 1));
}

} // namespace

AviWriter::AviWriter(const std::string& path, std::string shownPath, AviVideoFormat format)
    : shownPath_(std::move(shownPath)), format_(std::move(format)) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        ThrowWriteError(errno);
    }
    // The headers' size does not depend on their values, so a first copy reserves their place.
    const std::vector<std::uint8_t> headers = Headers(0);
    headerBytes_ = headers.size();
    Write(headers.data(), headers.size());
}

AviWriter::~AviWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

std::vector<std::uint8_t> AviWriter::Headers(std::uint32_t moviBytes) const {
    const std::uint32_t frames = FrameCount();
    const std::uint32_t rate = format_.framesPerSecond;
    const auto formatBytes = static_cast<std::uint32_t>(format_.format.size());
    const std::uint32_t strlBytes = 4 + (8 + kStreamHeaderBytes) + (8 + Padded(formatBytes));
    const std::uint32_t hdrlBytes = 4 + (8 + kMainHeaderBytes) + (8 + strlBytes);
    const std::uint64_t bytesPerSecond = std::uint64_t{largestFrame_} * rate;

    Fields out;
    out.Code("RIFF").U32(0).Code("AVI "); // RIFF size patched below
    out.Code("LIST").U32(hdrlBytes).Code("hdrl");
    out.Code("avih").U32(kMainHeaderBytes);
    out.U32(1000000 / rate) // dwMicroSecPerFrame
        .U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(
            bytesPerSecond, std::numeric_limits<std::uint32_t>::max()))) // dwMaxBytesPerSec
        .U32(0)                                                          // dwPaddingGranularity
        .U32(kAvifHasIndex)                                              // dwFlags
        .U32(frames)                                                     // dwTotalFrames
        .U32(0)                                                          // dwInitialFrames
        .U32(1)                                                          // dwStreams
        .U32(largestFrame_)                                              // dwSuggestedBufferSize
        .U32(format_.width)
        .U32(format_.height)
        .U32(0)
        .U32(0)
        .U32(0)
        .U32(0); // dwReserved
    out.Code("LIST").U32(strlBytes).Code("strl");
    out.Code("strh").U32(kStreamHeaderBytes);
    out.Code("vids")
        .U32(format_.handler)
        .U32(0) // dwFlags
        .U16(0)
        .U16(0) // wPriority, wLanguage
        .U32(0) // dwInitialFrames
        .U32(1)
        .U32(rate)          // dwScale, dwRate: rate / scale frames per second
        .U32(0)             // dwStart
        .U32(frames)        // dwLength
        .U32(largestFrame_) // dwSuggestedBufferSize
        .U32(0xFFFFFFFF)    // dwQuality: the default
        .U32(0)             // dwSampleSize: frames vary in size
        .U16(0)
        .U16(0)
        .U16(format_.width)
        .U16(format_.height); // rcFrame
    out.Code("strf").U32(formatBytes).Bytes(format_.format).Pad();
    out.Code("LIST").U32(4 + moviBytes).Code("movi");

    std::vector<std::uint8_t>& bytes = out.Get();
    // Everything after the RIFF size field: these headers, the frames and the index.
    const std::uint64_t riffBytes =
        bytes.size() - 8 + std::uint64_t{moviBytes} + 8 + std::uint64_t{kIndexEntryBytes} * frames;
    for (int i = 0; i < 4; ++i) {
        bytes[4 + i] = static_cast<std::uint8_t>(riffBytes >> (8 * i));
    }
    return bytes;
}

void AviWriter::AddFrame(const void* data, std::uint32_t bytes, bool compressed) {
    const std::uint64_t fileBytes = headerBytes_ + moviDataBytes_ + 8 + Padded(bytes) + 8 +
                                    std::uint64_t{kIndexEntryBytes} * (index_.size() + 1);
    if (fileBytes > std::numeric_limits<std::uint32_t>::max()) {
        throw Failure("cannot write '" + shownPath_ +
                      "': the frames would outgrow the 4 GiB an AVI file can hold");
    }
    const std::uint32_t chunkId = FourCc(compressed ? "00dc" : "00db");
    // Offsets count from the 'movi' code, which the first chunk follows.
    index_.push_back({chunkId, static_cast<std::uint32_t>(4 + moviDataBytes_), bytes});
    Fields chunk;
    chunk.U32(chunkId).U32(bytes);
    Write(chunk.Get().data(), chunk.Get().size());
    Write(data, bytes);
    if (bytes % 2 != 0) {
        const std::uint8_t pad = 0;
        Write(&pad, 1);
    }
    moviDataBytes_ += 8 + Padded(bytes);
    largestFrame_ = std::max(largestFrame_, bytes);
}

void AviWriter::Finish() {
    Fields index;
    index.Code("idx1").U32(static_cast<std::uint32_t>(kIndexEntryBytes * index_.size()));
    for (const IndexEntry& entry : index_) {
        index.U32(entry.chunkId).U32(kAviifKeyFrame).U32(entry.offset).U32(entry.length);
    }
    Write(index.Get().data(), index.Get().size());
    const std::vector<std::uint8_t> headers = Headers(static_cast<std::uint32_t>(moviDataBytes_));
    if (std::fseek(file_, 0, SEEK_SET) != 0) {
        ThrowWriteError(errno);
    }
    Write(headers.data(), headers.size());
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        ThrowWriteError(errno);
    }
}

void AviWriter::Write(const void* data, std::size_t bytes) {
    if (bytes != 0 && std::fwrite(data, 1, bytes, file_) != bytes) {
        ThrowWriteError(errno);
    }
}

void AviWriter::ThrowWriteError(int errorNumber) const {
    throw Failure("cannot write '" + shownPath_ + "': " + SystemMessage(errorNumber));
}

} // namespace orvel::cli
