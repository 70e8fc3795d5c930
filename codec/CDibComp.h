/// @file
/// Frame compression through an installable video compressor.
#pragma once

#include "../foundation/CHTErr.h"
#include "../library/export.h"
#include "../platform/vfw/video_compression.h"
#include "../platform/win/bitmap_structs.h"
#include "../platform/win/types.h"

class CWnd;

/// Drives one video compressor of the system to compress DIB frames, each as a key frame.
///
/// A caller opens a compressor (`Open`), hands it the format of its frames to learn the
/// compressor's output format (`GetFormat`), and compresses frames one by one (`Compress`, which
/// begins the compression by itself when needed). The object owns the compressor handle and both
/// format buffers and releases them on `Close` and on destruction. Failures are reported through
/// the status record, as class errors:
///
///  1 `Open`: the compressor cannot be opened.
///  2 no compressor is open.
///  3 `Close`: the compressor refuses to close; the handle is kept.
///  4 `GetFormat`: a format buffer cannot be allocated, or the compressor rejects the format.
///  5 `GetFormat`: the compressor reports no usable output format size.
///  6 no output format has been obtained yet.
///  7 `CompBegin`: the compressor refuses to begin.
///  8 `CompEnd`: the compressor refuses to end.
///  9 `Compress`: the compressor fails the frame.
///
/// Ownership moves, it is never shared: the object cannot be copied, and moving it hands the
/// compressor and the formats to the target, leaving the source closed and empty.
class ORVEL_EXT_CLASS CDibComp : public CHTErr {
public:
    /// A closed object without formats, with a successful status.
    CDibComp() noexcept;
    CDibComp(const CDibComp&) = delete;
    CDibComp& operator=(const CDibComp&) = delete;
    /// Takes over the other object's compressor, formats and status; the other is left closed.
    CDibComp(CDibComp&& other) noexcept;
    /// Closes this object's compressor, then takes over the other's as the move constructor.
    CDibComp& operator=(CDibComp&& other) noexcept;
    /// Closes the compressor, if one is open.
    ~CDibComp() override;

    /// Opens the video compressor with the given four-character code, closing the open one
    /// first. Class error 1 when it cannot be opened.
    BOOL Open(DWORD fccHandler);
    /// Ends a compression in progress, frees the formats and closes the compressor.
    BOOL Close();
    /// Begins a compression with the current formats, ending one in progress first.
    BOOL CompBegin();
    /// Ends a compression in progress; succeeds also when none was begun.
    BOOL CompEnd();
    /// Copies the caller's input format (`inputSize` bytes) and asks the compressor for its output
    /// format. `*output` receives the object's output format and `outputSize` its size; both stay
    /// the object's and are valid until the next query, `Close` or destruction.
    BOOL GetFormat(BITMAPINFO* input, DWORD inputSize, BITMAPINFO** output, DWORD& outputSize);
    /// Reads back the object's input format (`which` 0) or output format (any other value) and
    /// its size; null and 0 when there is none. Sets no status.
    void GetFormat(BITMAPINFO** format, DWORD& size, int which);
    /// Compresses one frame from `inputBits` into `outputBits` as a key frame. The compressed size
    /// is then the output format's biSizeImage. `outputBits` must hold the compressor's largest
    /// frame.
    BOOL Compress(void* inputBits, void* outputBits, long frameNumber, long quality);
    /// The open compressor; null when closed.
    HIC GetSafeHandle() const noexcept { return m_hIC; }

    /// Lets the user choose a compressor and a quality. On acceptance writes them to the two
    /// references and returns 1; when the user cancels, returns 0 and leaves them as they were.
    static BOOL GetCompressDlg(CWnd* parent, DWORD& fccHandler, long& quality, const char* title);
    /// Describes the installed video compressor with the given code; 0 when there is none.
    static BOOL Info(DWORD fccHandler, ICINFO& info);

private:
    void Release() noexcept;
    void ReleaseBI() noexcept;
    /// Takes the other object's fields and leaves it as a new object.
    void TakeOver(CDibComp& other) noexcept;

    /// 1 from an accepted ICM_COMPRESS_BEGIN until ICM_COMPRESS_END is accepted or the
    /// compressor is closed.
    BOOL m_bCompressing = FALSE;
    /// The object's copy of the caller's input format; null when there is none.
    BITMAPINFO* m_pbiIn = nullptr;
    /// Bytes of the input format the caller passed.
    DWORD m_dwInSize = 0;
    /// The compressor's output format; null when there is none.
    BITMAPINFO* m_pbiOut = nullptr;
    /// Bytes of the output format, as the compressor reported.
    DWORD m_dwOutSize = 0;
    /// The open compressor; null when closed.
    HIC m_hIC = nullptr;
};
