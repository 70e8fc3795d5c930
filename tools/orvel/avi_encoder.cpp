#include "avi_encoder.h"

#include "atomic_output.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

#include <algorithm>
#include <cstring>

namespace orvel::cli {
namespace {

constexpr DWORD kRle8Handler = mmioFOURCC('m', 'r', 'l', 'e');
constexpr DWORD kFullFrameHandler = mmioFOURCC('D', 'I', 'B', ' ');

// A frame's BITMAPINFO: its 40-byte header and colour table, as the compressor is told them.
std::vector<BYTE> FrameFormat(const CDib& frame) {
    const CDibInfo view(frame.GetSafeHandle());
    if (view.GetDIB() == nullptr) {
        return {};
    }
    const BITMAPINFOHEADER header = frame.GetBIH();
    const std::size_t bytes =
        sizeof(BITMAPINFOHEADER) + 4U * CDibSupport::GetPaletteEntryNum(header);
    const auto* info = reinterpret_cast<const BYTE*>(view.GetBI());
    return std::vector<BYTE>(info, info + bytes);
}

std::string FrameSize(const std::vector<BYTE>& format) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, format.data(), sizeof header);
    return std::to_string(header.biWidth) + "x" + std::to_string(header.biHeight) + " at " +
           std::to_string(header.biBitCount) + " bits";
}

} // namespace

AviCodec ParseAviCodec(const std::string& text) {
    if (text == "mrle") {
        return AviCodec::Rle8;
    }
    if (text == "dib") {
        return AviCodec::FullFrame;
    }
    throw UsageError("--codec expects mrle or dib, not '" + text + "'");
}

void PrepareFrame(CConvertDib& frame, AviCodec codec, CPalette* palette,
                  const std::string& frameName) {
    // Every run-length frame shares one colour table, the one the AVI file's stream format
    // carries, so every frame is mapped onto the same palette, 8-bit ones included.
    const BOOL converted = codec == AviCodec::FullFrame ? frame.ConvertColor(24, nullptr)
                                                        : frame.ConvertColor(8, palette);
    RequireSuccess(converted, frame, "convert frame", frameName);
}

AviEncoder::AviEncoder(AtomicOutput& output, AviCodec codec, unsigned framesPerSecond,
                       std::size_t sharedColours)
    : output_(output), codec_(codec), framesPerSecond_(framesPerSecond),
      sharedColours_(sharedColours) {}

void AviEncoder::ThrowCompressorFailure(const std::string& frameName) const {
    throw Failure("cannot compress '" + frameName + "' into '" + output_.Path() +
                  "': " + StatusInWords(compressor_, StatusSource::Compressor));
}

void AviEncoder::Start(const CDib& frame, const std::string& frameName) {
    inputFormat_ = FrameFormat(frame);
    if (inputFormat_.empty()) {
        throw Failure("cannot compress '" + frameName + "': no picture");
    }
    // Entries past the shared palette keep whatever the first frame's own table held there; no
    // pixel uses them, and zeros say so in the stream's format.
    const std::size_t sharedBytes = sizeof(BITMAPINFOHEADER) + 4 * sharedColours_;
    if (inputFormat_.size() > sharedBytes) {
        std::fill(inputFormat_.begin() + static_cast<std::ptrdiff_t>(sharedBytes),
                  inputFormat_.end(), BYTE{0});
    }
    const DWORD handler = codec_ == AviCodec::Rle8 ? kRle8Handler : kFullFrameHandler;
    if (!compressor_.Open(handler)) {
        ThrowCompressorFailure(frameName);
    }
    auto* input = reinterpret_cast<BITMAPINFO*>(inputFormat_.data());
    BITMAPINFO* output = nullptr;
    DWORD outputBytes = 0;
    if (!compressor_.GetFormat(input, static_cast<DWORD>(inputFormat_.size()), &output,
                               outputBytes)) {
        ThrowCompressorFailure(frameName);
    }
    // CDibComp leaves the worst-case frame size to its caller: the compressor answers it through
    // the handle. Before the first frame the output format's biSizeImage holds the same bound.
    DWORD largestFrame = ICCompressGetSize(compressor_.GetSafeHandle(), input, output);
    if (largestFrame == 0) {
        largestFrame = output->bmiHeader.biSizeImage;
    }
    compressed_.assign(largestFrame, 0);

    AviVideoFormat format;
    format.handler = handler;
    const auto* outputFormat = reinterpret_cast<const std::uint8_t*>(output);
    format.format.assign(outputFormat, outputFormat + outputBytes);
    const BITMAPINFOHEADER header = frame.GetBIH();
    format.width = static_cast<std::uint32_t>(header.biWidth);
    format.height = static_cast<std::uint32_t>(header.biHeight);
    format.framesPerSecond = framesPerSecond_;
    writer_.emplace(output_.TemporaryPath(), output_.Path(), std::move(format));
}

void AviEncoder::AddFrame(const CDib& frame, const std::string& frameName) {
    if (!writer_) {
        Start(frame, frameName);
    } else {
        const std::vector<BYTE> format = FrameFormat(frame);
        // Header fields that vary between equal pictures (resolution) do not matter; size,
        // depth and colours do.
        const BITMAPINFOHEADER header = frame.GetBIH();
        BITMAPINFOHEADER first;
        std::memcpy(&first, inputFormat_.data(), sizeof first);
        if (header.biWidth != first.biWidth || header.biHeight != first.biHeight ||
            header.biBitCount != first.biBitCount) {
            throw Failure("cannot add '" + frameName + "' to '" + output_.Path() +
                          "': the frame is " + FrameSize(format) + ", the first frame " +
                          FrameSize(inputFormat_));
        }
        const std::size_t compared =
            std::min(format.size(), sizeof(BITMAPINFOHEADER) + 4 * sharedColours_);
        if (format.size() != inputFormat_.size() ||
            !std::equal(format.begin() + sizeof(BITMAPINFOHEADER),
                        format.begin() + static_cast<std::ptrdiff_t>(compared),
                        inputFormat_.begin() + sizeof(BITMAPINFOHEADER))) {
            throw Failure("cannot add '" + frameName + "' to '" + output_.Path() +
                          "': its colour table differs from the first frame's");
        }
    }
    const CDibInfo view(frame.GetSafeHandle());
    if (view.GetDIB() == nullptr) {
        throw Failure("cannot compress '" + frameName + "': no picture");
    }
    const long frameNumber = static_cast<long>(writer_->FrameCount());
    if (!compressor_.Compress(view.GetImage(), compressed_.data(), frameNumber,
                              ICQUALITY_DEFAULT)) {
        ThrowCompressorFailure(frameName);
    }
    // The compressor reports the frame's size in its output format.
    BITMAPINFO* output = nullptr;
    DWORD outputBytes = 0;
    compressor_.GetFormat(&output, outputBytes, 1);
    const DWORD frameBytes = output != nullptr ? output->bmiHeader.biSizeImage : 0;
    if (output == nullptr || frameBytes > compressed_.size()) {
        throw Failure("cannot compress '" + frameName + "' into '" + output_.Path() +
                      "': the compressor reported a frame larger than its own bound");
    }
    writer_->AddFrame(compressed_.data(), frameBytes, output->bmiHeader.biCompression != BI_RGB);
}

void AviEncoder::Finish() {
    if (!writer_) {
        throw Failure("cannot write '" + output_.Path() + "': no frames");
    }
    compressor_.Close();
    writer_->Finish();
}

} // namespace orvel::cli
