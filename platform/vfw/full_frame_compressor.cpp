// The "DIB " compressor: frames pass through uncompressed, for callers that choose no
// compression through the same interface.
#include "detail/builtin_compressors.h"

#include <cstring>

namespace orvel::platform::detail {
namespace {

const CompressorDescription kDescription = {mmioFOURCC('D', 'I', 'B', ' '), 0, "DIB",
                                            "Full frames (uncompressed)"};

constexpr std::uint64_t kDepths =
    DepthBit(1) | DepthBit(4) | DepthBit(8) | DepthBit(16) | DepthBit(24) | DepthBit(32);

bool MatchesInput(const BITMAPINFOHEADER* output, const FrameLayout& input) noexcept {
    return output != nullptr && output->biSize >= sizeof(BITMAPINFOHEADER) &&
           output->biCompression == BI_RGB && output->biBitCount == input.bitCount &&
           output->biWidth == static_cast<LONG>(input.width) &&
           output->biHeight == static_cast<LONG>(input.height);
}

DWORD OutputFormatBytes(const FrameLayout& layout) noexcept {
    return sizeof(BITMAPINFOHEADER) + layout.colourEntries * sizeof(RGBQUAD);
}

void FillOutputFormat(const BITMAPINFOHEADER* input, const FrameLayout& layout,
                      BITMAPINFOHEADER* output) noexcept {
    BITMAPINFOHEADER header = *input;
    header.biSizeImage = layout.imageBytes;
    header.biClrUsed = layout.colourEntries;
    header.biClrImportant =
        header.biClrImportant <= layout.colourEntries ? header.biClrImportant : 0;
    std::memcpy(output, &header, sizeof header);
    std::memcpy(reinterpret_cast<BYTE*>(output) + sizeof header,
                reinterpret_cast<const BYTE*>(input) + sizeof header,
                layout.colourEntries * sizeof(RGBQUAD));
}

LRESULT CompressFrame(const ICCOMPRESS* frame, LPARAM recordBytes) noexcept {
    if (frame == nullptr || recordBytes < static_cast<LPARAM>(sizeof(ICCOMPRESS)) ||
        frame->lpInput == nullptr || frame->lpOutput == nullptr) {
        return ICERR_BADPARAM;
    }
    FrameLayout layout;
    if (!ReadFrameLayout(frame->lpbiInput, kDepths, layout) ||
        !MatchesInput(frame->lpbiOutput, layout)) {
        return ICERR_BADFORMAT;
    }
    std::memcpy(frame->lpOutput, frame->lpInput, layout.imageBytes);
    frame->lpbiOutput->biSizeImage = layout.imageBytes;
    if (frame->lpdwFlags != nullptr) {
        *frame->lpdwFlags = AVIIF_KEYFRAME;
    }
    if (frame->lpckid != nullptr) {
        *frame->lpckid = cktypeDIBbits;
    }
    return ICERR_OK;
}

} // namespace

LRESULT CALLBACK FullFrameCompressorProc(DWORD_PTR /*driverId*/, HDRVR /*driver*/, UINT message,
                                         LPARAM param1, LPARAM param2) noexcept {
    const auto* input = reinterpret_cast<const BITMAPINFOHEADER*>(param1);
    auto* output = reinterpret_cast<BITMAPINFOHEADER*>(param2);
    FrameLayout layout;
    switch (message) {
    case DRV_OPEN:
        return OpenForCompression(param2);
    case ICM_GETINFO:
        return Describe(kDescription, param1, param2);
    case ICM_COMPRESS_QUERY:
        if (!ReadFrameLayout(input, kDepths, layout) ||
            (output != nullptr && !MatchesInput(output, layout))) {
            return ICERR_BADFORMAT;
        }
        return ICERR_OK;
    case ICM_COMPRESS_GET_FORMAT:
        if (!ReadFrameLayout(input, kDepths, layout)) {
            return ICERR_BADFORMAT;
        }
        if (output == nullptr) {
            return OutputFormatBytes(layout);
        }
        FillOutputFormat(input, layout, output);
        return ICERR_OK;
    case ICM_COMPRESS_GET_SIZE:
        if (!ReadFrameLayout(input, kDepths, layout)) {
            return ICERR_BADFORMAT;
        }
        return layout.imageBytes;
    case ICM_COMPRESS_BEGIN:
        if (!ReadFrameLayout(input, kDepths, layout) || !MatchesInput(output, layout)) {
            return ICERR_BADFORMAT;
        }
        return ICERR_OK;
    case ICM_COMPRESS:
        return CompressFrame(reinterpret_cast<const ICCOMPRESS*>(param1), param2);
    case ICM_COMPRESS_END:
        return ICERR_OK;
    default:
        return DefaultAnswer(message);
    }
}

} // namespace orvel::platform::detail
