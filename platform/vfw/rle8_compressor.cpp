// The "mrle" compressor: 8-bit frames to BI_RLE8 streams, every frame a key frame.
#include "detail/builtin_compressors.h"
#include "detail/rle8_encoder.h"

#include <cstring>

namespace orvel::platform::detail {
namespace {

const CompressorDescription kDescription = {mmioFOURCC('m', 'r', 'l', 'e'), 0, "RLE8",
                                            "Run-length encoding (RLE8)"};

bool ReadInput(const BITMAPINFOHEADER* input, FrameLayout& layout) noexcept {
    return ReadFrameLayout(input, DepthBit(8), layout) &&
           Rle8FrameBound(layout.width, layout.height) <= UINT32_MAX;
}

// Whether an output format is the run-length form of the input's frames.
bool MatchesInput(const BITMAPINFOHEADER* output, const FrameLayout& input) noexcept {
    return output != nullptr && output->biSize >= sizeof(BITMAPINFOHEADER) &&
           output->biCompression == BI_RLE8 && output->biBitCount == 8 &&
           output->biWidth == static_cast<LONG>(input.width) &&
           output->biHeight == static_cast<LONG>(input.height);
}

DWORD OutputFormatBytes(const FrameLayout& layout) noexcept {
    return sizeof(BITMAPINFOHEADER) + layout.colourEntries * sizeof(RGBQUAD);
}

// The output format: the input's header and colour table, compressed as BI_RLE8, with the
// largest frame size until a frame reports its own.
void FillOutputFormat(const BITMAPINFOHEADER* input, const FrameLayout& layout,
                      BITMAPINFOHEADER* output) noexcept {
    BITMAPINFOHEADER header = *input;
    header.biCompression = BI_RLE8;
    header.biSizeImage = static_cast<DWORD>(Rle8FrameBound(layout.width, layout.height));
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
    if (!ReadInput(frame->lpbiInput, layout) || !MatchesInput(frame->lpbiOutput, layout)) {
        return ICERR_BADFORMAT;
    }
    // Every frame stands alone, so a key frame is all this compressor makes, asked or not.
    const std::size_t bytes =
        EncodeRle8Frame(static_cast<const BYTE*>(frame->lpInput), layout.stride, layout.width,
                        layout.height, static_cast<BYTE*>(frame->lpOutput));
    frame->lpbiOutput->biSizeImage = static_cast<DWORD>(bytes);
    if (frame->lpdwFlags != nullptr) {
        *frame->lpdwFlags = AVIIF_KEYFRAME;
    }
    if (frame->lpckid != nullptr) {
        *frame->lpckid = cktypeDIBcompressed;
    }
    return ICERR_OK;
}

} // namespace

LRESULT CALLBACK Rle8CompressorProc(DWORD_PTR /*driverId*/, HDRVR /*driver*/, UINT message,
                                    LPARAM param1, LPARAM param2) noexcept {
    const auto* input = reinterpret_cast<const BITMAPINFOHEADER*>(param1);
    auto* output = reinterpret_cast<BITMAPINFOHEADER*>(param2);
    FrameLayout layout;
    switch (message) {
    case DRV_OPEN:
        return OpenForCompression(param2);
    case ICM_GETINFO:
        return Describe(kDescription, param1, param2);
    case ICM_GETDEFAULTQUALITY:
        if (param1 != 0) {
            *reinterpret_cast<DWORD*>(param1) = ICQUALITY_HIGH;
        }
        return ICERR_OK;
    case ICM_COMPRESS_QUERY:
        if (!ReadInput(input, layout) || (output != nullptr && !MatchesInput(output, layout))) {
            return ICERR_BADFORMAT;
        }
        return ICERR_OK;
    case ICM_COMPRESS_GET_FORMAT:
        if (!ReadInput(input, layout)) {
            return ICERR_BADFORMAT;
        }
        if (output == nullptr) {
            return OutputFormatBytes(layout);
        }
        FillOutputFormat(input, layout, output);
        return ICERR_OK;
    case ICM_COMPRESS_GET_SIZE:
        if (!ReadInput(input, layout)) {
            return ICERR_BADFORMAT;
        }
        return static_cast<LRESULT>(Rle8FrameBound(layout.width, layout.height));
    case ICM_COMPRESS_BEGIN:
        if (!ReadInput(input, layout) || !MatchesInput(output, layout)) {
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
