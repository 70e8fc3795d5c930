#include "CDibComp.h"

#include "../platform/afx/object_allocator.h"
#include "../platform/afx/wnd.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// The type code under which compressors are described; the compressor manager compares type
// codes without case, so it names the video compressors.
constexpr DWORD kVideoCompressorInfoType = mmioFOURCC('V', 'I', 'D', 'C');

// A compressor reads the colour table its input header announces, and cannot know how many
// bytes the caller passed. The object's copy is therefore never shorter than a header with a full
// 256-entry table, zero beyond the caller's bytes, so such reads stay inside the copy.
constexpr DWORD kInputCopyMinBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

enum ClassError : unsigned long {
    kCannotOpen = 1,
    kNotOpen = 2,
    kCannotClose = 3,
    kFormatRefused = 4,
    kNoFormatSize = 5,
    kNoOutputFormat = 6,
    kBeginRefused = 7,
    kEndRefused = 8,
    kCompressFailed = 9,
};

} // namespace

CDibComp::CDibComp() noexcept = default;

CDibComp::CDibComp(CDibComp&& other) noexcept : CHTErr(other) {
    TakeOver(other);
}

CDibComp& CDibComp::operator=(CDibComp&& other) noexcept {
    if (this != &other) {
        // A compressor that refuses to close is given up here, as it is at destruction: the
        // object cannot hold two compressors.
        Release();
        CHTErr::operator=(other);
        TakeOver(other);
    }
    return *this;
}

CDibComp::~CDibComp() {
    Release();
}

void CDibComp::TakeOver(CDibComp& other) noexcept {
    m_bCompressing = std::exchange(other.m_bCompressing, FALSE);
    m_pbiIn = std::exchange(other.m_pbiIn, nullptr);
    m_dwInSize = std::exchange(other.m_dwInSize, 0);
    m_pbiOut = std::exchange(other.m_pbiOut, nullptr);
    m_dwOutSize = std::exchange(other.m_dwOutSize, 0);
    m_hIC = std::exchange(other.m_hIC, nullptr);
    other.SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::Open(DWORD fccHandler) {
    if (m_hIC != nullptr && !Close()) {
        // Opening over a compressor that will not close would lose its handle; the caller keeps
        // it, and the refusal, instead.
        return FALSE;
    }
    m_hIC = ICOpen(ICTYPE_VIDEO, fccHandler, ICMODE_COMPRESS);
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kCannotOpen);
    }
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::Close() {
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kNotOpen);
    }
    CompEnd();
    ReleaseBI();
    if (ICClose(m_hIC) != ICERR_OK) {
        return SetLastError(HTERR_CLASS, kCannotClose);
    }
    m_hIC = nullptr;
    m_bCompressing = FALSE;
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::CompBegin() {
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kNotOpen);
    }
    if (m_pbiOut == nullptr) {
        return SetLastError(HTERR_CLASS, kNoOutputFormat);
    }
    if (m_bCompressing && !CompEnd()) {
        return FALSE;
    }
    if (ICSendMessage(m_hIC, ICM_COMPRESS_BEGIN, reinterpret_cast<DWORD_PTR>(m_pbiIn),
                      reinterpret_cast<DWORD_PTR>(m_pbiOut)) != ICERR_OK) {
        return SetLastError(HTERR_CLASS, kBeginRefused);
    }
    m_bCompressing = TRUE;
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::CompEnd() {
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kNotOpen);
    }
    if (m_pbiOut == nullptr) {
        return SetLastError(HTERR_CLASS, kNoOutputFormat);
    }
    if (m_bCompressing) {
        if (ICSendMessage(m_hIC, ICM_COMPRESS_END, 0, 0) != ICERR_OK) {
            return SetLastError(HTERR_CLASS, kEndRefused);
        }
        m_bCompressing = FALSE;
    }
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::GetFormat(BITMAPINFO* input, DWORD inputSize, BITMAPINFO** output,
                         DWORD& outputSize) {
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kNotOpen);
    }
    // A compressor may keep using the formats it was begun with until it is ended, so a
    // compression in progress ends before they are freed; if the compressor refuses to end,
    // the formats stay as they are.
    if (m_bCompressing) {
        if (ICSendMessage(m_hIC, ICM_COMPRESS_END, 0, 0) != ICERR_OK) {
            return SetLastError(HTERR_CLASS, kEndRefused);
        }
        m_bCompressing = FALSE;
    }
    ReleaseBI();
    if (input == nullptr) {
        return SetLastError(HTERR_CLASS, kFormatRefused);
    }
    const DWORD inputCopyBytes = std::max(inputSize, kInputCopyMinBytes);
    m_pbiIn = static_cast<BITMAPINFO*>(AfxAllocateBytes(inputCopyBytes));
    if (m_pbiIn == nullptr) {
        return SetLastError(HTERR_CLASS, kFormatRefused);
    }
    std::memcpy(m_pbiIn, input, inputSize);
    std::memset(reinterpret_cast<BYTE*>(m_pbiIn) + inputSize, 0, inputCopyBytes - inputSize);
    m_dwInSize = inputSize;

    const LRESULT reported =
        ICSendMessage(m_hIC, ICM_COMPRESS_GET_FORMAT, reinterpret_cast<DWORD_PTR>(m_pbiIn), 0);
    if (reported < 0 || reported > static_cast<LRESULT>(UINT32_MAX)) {
        // An error code, not a size.
        outputSize = 0;
        return SetLastError(HTERR_CLASS, kFormatRefused);
    }
    outputSize = static_cast<DWORD>(reported);
    if (outputSize < sizeof(BITMAPINFOHEADER)) {
        // The compressor writes each frame's size into the output format's header, which must
        // therefore be there.
        return SetLastError(HTERR_CLASS, kNoFormatSize);
    }
    m_pbiOut = static_cast<BITMAPINFO*>(AfxAllocateBytes(outputSize));
    if (m_pbiOut == nullptr) {
        return SetLastError(HTERR_CLASS, kFormatRefused);
    }
    std::memset(m_pbiOut, 0, outputSize);
    if (ICSendMessage(m_hIC, ICM_COMPRESS_GET_FORMAT, reinterpret_cast<DWORD_PTR>(m_pbiIn),
                      reinterpret_cast<DWORD_PTR>(m_pbiOut)) != ICERR_OK) {
        // A format the compressor did not fill must not be compressed with: the object stays
        // without an output format.
        AfxFreeBytes(m_pbiOut);
        m_pbiOut = nullptr;
        return SetLastError(HTERR_CLASS, kFormatRefused);
    }
    m_dwOutSize = outputSize;
    if (output != nullptr) {
        *output = m_pbiOut;
    }
    return SetLastError(HTERR_FILE, 0);
}

void CDibComp::GetFormat(BITMAPINFO** format, DWORD& size, int which) {
    BITMAPINFO* const chosen = which == 0 ? m_pbiIn : m_pbiOut;
    size = chosen == nullptr ? 0 : (which == 0 ? m_dwInSize : m_dwOutSize);
    if (format != nullptr) {
        *format = chosen;
    }
}

BOOL CDibComp::Compress(void* inputBits, void* outputBits, long frameNumber, long quality) {
    if (m_hIC == nullptr) {
        return SetLastError(HTERR_CLASS, kNotOpen);
    }
    if (m_pbiOut == nullptr) {
        return SetLastError(HTERR_CLASS, kNoOutputFormat);
    }
    if (!m_bCompressing && !CompBegin()) {
        return FALSE;
    }
    // Every frame is a key frame and none refers to an earlier one, so no previous frame is
    // passed; the flags the compressor returns for the frame are not needed.
    DWORD frameFlags = 0;
    const DWORD result = ICCompress(
        m_hIC, ICCOMPRESS_KEYFRAME, reinterpret_cast<LPBITMAPINFOHEADER>(m_pbiOut), outputBits,
        reinterpret_cast<LPBITMAPINFOHEADER>(m_pbiIn), inputBits, nullptr, &frameFlags,
        static_cast<LONG>(frameNumber), 0, static_cast<DWORD>(quality), nullptr, nullptr);
    if (result != static_cast<DWORD>(ICERR_OK)) {
        return SetLastError(HTERR_CLASS, kCompressFailed);
    }
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDibComp::GetCompressDlg(CWnd* parent, DWORD& fccHandler, long& quality, const char* title) {
    COMPVARS choice{};
    choice.cbSize = sizeof(COMPVARS);
    choice.fccHandler = fccHandler;
    choice.lQ = static_cast<LONG>(quality);
    HWND owner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
    if (!ICCompressorChoose(owner, 0, nullptr, nullptr, &choice, title)) {
        return FALSE;
    }
    fccHandler = choice.fccHandler;
    quality = choice.lQ;
    ICCompressorFree(&choice);
    return TRUE;
}

BOOL CDibComp::Info(DWORD fccHandler, ICINFO& info) {
    return ICInfo(kVideoCompressorInfoType, fccHandler, &info) ? TRUE : FALSE;
}

void CDibComp::Release() noexcept {
    if (m_hIC != nullptr) {
        Close();
    }
    ReleaseBI();
}

void CDibComp::ReleaseBI() noexcept {
    AfxFreeBytes(m_pbiIn);
    m_pbiIn = nullptr;
    m_dwInSize = 0;
    AfxFreeBytes(m_pbiOut);
    m_pbiOut = nullptr;
    m_dwOutSize = 0;
}
