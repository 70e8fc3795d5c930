// The video compressor manager: installable compressors reached through HIC handles.
//
// A compressor is a driver procedure installed under a type and a four-character handler code
// (ICInstall with ICINSTALL_FUNCTION). ICOpen loads and opens an instance of it (DRV_LOAD,
// DRV_ENABLE, DRV_OPEN with an ICOPEN record), ICSendMessage and ICCompress pass ICM_* messages
// to that instance, and ICClose closes and frees it (DRV_CLOSE, DRV_DISABLE, DRV_FREE). Each open
// instance is loaded on its own, so a procedure sees the load messages once per ICOpen.
//
// Two compressors are installed when the platform loads: the run-length codec "mrle" (8-bit
// frames to BI_RLE8, every frame a key frame) and the full-frame pass-through "DIB ".
//
// The system has no dialogs. ICCompressorChoose asks the chooser an application installed with
// ICSetCompressorChooser; with none installed it answers as a dialog the user cancelled.
//
// Structures follow the published layouts; where a published size counts 32-bit pointers, the
// size on this platform is the structure's sizeof here (ICOPEN, ICCOMPRESS, COMPVARS).
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

// Version of the compressor interface a driver reports in ICINFO::dwVersionICM.
constexpr DWORD ICVERSION = 0x0104;

// Compressor types.
constexpr DWORD ICTYPE_VIDEO = mmioFOURCC('v', 'i', 'd', 'c');
constexpr DWORD ICTYPE_AUDIO = mmioFOURCC('a', 'u', 'd', 'c');

// ICOpen modes.
constexpr UINT ICMODE_COMPRESS = 1;
constexpr UINT ICMODE_DECOMPRESS = 2;
constexpr UINT ICMODE_FASTDECOMPRESS = 3;
constexpr UINT ICMODE_QUERY = 4;
constexpr UINT ICMODE_FASTCOMPRESS = 5;
constexpr UINT ICMODE_DRAW = 8;

// Results of ICSendMessage, ICCompress and ICClose. Success values are 0 and above; errors are
// negative.
constexpr LRESULT ICERR_OK = 0;
constexpr LRESULT ICERR_DONTDRAW = 1;
constexpr LRESULT ICERR_NEWPALETTE = 2;
constexpr LRESULT ICERR_GOTOKEYFRAME = 3;
constexpr LRESULT ICERR_STOPDRAWING = 4;
constexpr LRESULT ICERR_UNSUPPORTED = -1;
constexpr LRESULT ICERR_BADFORMAT = -2;
constexpr LRESULT ICERR_MEMORY = -3;
constexpr LRESULT ICERR_INTERNAL = -4;
constexpr LRESULT ICERR_BADFLAGS = -5;
constexpr LRESULT ICERR_BADPARAM = -6;
constexpr LRESULT ICERR_BADSIZE = -7;
constexpr LRESULT ICERR_BADHANDLE = -8;
constexpr LRESULT ICERR_CANTUPDATE = -9;
constexpr LRESULT ICERR_ABORT = -10;
constexpr LRESULT ICERR_ERROR = -100;
constexpr LRESULT ICERR_BADBITDEPTH = -200;
constexpr LRESULT ICERR_BADIMAGESIZE = -201;
constexpr LRESULT ICERR_CUSTOM = -400;

// Installable-driver messages.
constexpr UINT DRV_LOAD = 0x0001;
constexpr UINT DRV_ENABLE = 0x0002;
constexpr UINT DRV_OPEN = 0x0003;
constexpr UINT DRV_CLOSE = 0x0004;
constexpr UINT DRV_DISABLE = 0x0005;
constexpr UINT DRV_FREE = 0x0006;
constexpr UINT DRV_CONFIGURE = 0x0007;
constexpr UINT DRV_QUERYCONFIGURE = 0x0008;
constexpr UINT DRV_INSTALL = 0x0009;
constexpr UINT DRV_REMOVE = 0x000A;
constexpr UINT DRV_RESERVED = 0x0800;
constexpr UINT DRV_USER = 0x4000;

// Compressor messages.
constexpr UINT ICM_USER = DRV_USER;
constexpr UINT ICM_RESERVED = DRV_USER + 0x1000;
constexpr UINT ICM_GETSTATE = ICM_RESERVED + 0;
constexpr UINT ICM_SETSTATE = ICM_RESERVED + 1;
constexpr UINT ICM_GETINFO = ICM_RESERVED + 2;
constexpr UINT ICM_CONFIGURE = ICM_RESERVED + 10;
constexpr UINT ICM_ABOUT = ICM_RESERVED + 11;
constexpr UINT ICM_GETDEFAULTQUALITY = ICM_RESERVED + 30;
constexpr UINT ICM_GETQUALITY = ICM_RESERVED + 31;
constexpr UINT ICM_SETQUALITY = ICM_RESERVED + 32;
constexpr UINT ICM_COMPRESS_GET_FORMAT = ICM_USER + 4;
constexpr UINT ICM_COMPRESS_GET_SIZE = ICM_USER + 5;
constexpr UINT ICM_COMPRESS_QUERY = ICM_USER + 6;
constexpr UINT ICM_COMPRESS_BEGIN = ICM_USER + 7;
constexpr UINT ICM_COMPRESS = ICM_USER + 8;
constexpr UINT ICM_COMPRESS_END = ICM_USER + 9;
constexpr UINT ICM_DECOMPRESS_GET_FORMAT = ICM_USER + 10;
constexpr UINT ICM_DECOMPRESS_QUERY = ICM_USER + 11;
constexpr UINT ICM_DECOMPRESS_BEGIN = ICM_USER + 12;
constexpr UINT ICM_DECOMPRESS = ICM_USER + 13;
constexpr UINT ICM_DECOMPRESS_END = ICM_USER + 14;
constexpr UINT ICM_GETDEFAULTKEYFRAMERATE = ICM_USER + 42;

// ICINFO::dwFlags: what a video compressor supports.
constexpr DWORD VIDCF_QUALITY = 0x0001;
constexpr DWORD VIDCF_CRUNCH = 0x0002;
constexpr DWORD VIDCF_TEMPORAL = 0x0004;
constexpr DWORD VIDCF_COMPRESSFRAMES = 0x0008;
constexpr DWORD VIDCF_DRAW = 0x0010;
constexpr DWORD VIDCF_FASTTEMPORALC = 0x0020;
constexpr DWORD VIDCF_FASTTEMPORALD = 0x0080;
constexpr DWORD VIDCF_QUALITYTIME = 0x0040;

// Quality values.
constexpr LONG ICQUALITY_LOW = 0;
constexpr LONG ICQUALITY_HIGH = 10000;
constexpr LONG ICQUALITY_DEFAULT = -1;

// ICCOMPRESS::dwFlags and the flags a compressor returns for a frame.
constexpr DWORD ICCOMPRESS_KEYFRAME = 0x00000001;
constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_TWOCC = 0x00000002;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;

// Chunk ids a compressor returns for a frame: compressed or uncompressed DIB data.
constexpr WORD aviTWOCC(char c0, char c1) noexcept {
    return static_cast<WORD>(static_cast<BYTE>(c0) | (static_cast<BYTE>(c1) << 8));
}
constexpr WORD cktypeDIBbits = aviTWOCC('d', 'b');
constexpr WORD cktypeDIBcompressed = aviTWOCC('d', 'c');

// ICInstall and ICRemove flags.
constexpr UINT ICINSTALL_FUNCTION = 0x0001;
constexpr UINT ICINSTALL_DRIVER = 0x0002;
constexpr UINT ICINSTALL_HDRV = 0x0004;
constexpr UINT ICINSTALL_UNICODE = 0x8000;
constexpr UINT ICINSTALL_DRIVERW = 0x8002;

// ICCompressorChoose flags and COMPVARS::dwFlags.
constexpr UINT ICMF_CHOOSE_KEYFRAME = 0x0001;
constexpr UINT ICMF_CHOOSE_DATARATE = 0x0002;
constexpr UINT ICMF_CHOOSE_PREVIEW = 0x0004;
constexpr UINT ICMF_CHOOSE_ALLCOMPRESSORS = 0x0008;
constexpr DWORD ICMF_COMPVARS_VALID = 0x00000001;

/// A driver procedure: receives the driver messages and the ICM_* messages of its instances.
/// `driverId` is 0 for DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_DISABLE and DRV_FREE, and otherwise the
/// value the procedure returned for DRV_OPEN; `driver` identifies the instance.
using DRIVERPROC = LRESULT(CALLBACK*)(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                                      LPARAM param2);

/// What DRV_OPEN receives in its second parameter when a compressor is opened.
struct ICOPEN {
    DWORD dwSize; ///< sizeof(ICOPEN)
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwVersion;
    DWORD dwFlags;   ///< the ICMODE_* mode
    LRESULT dwError; ///< a driver that refuses the open may leave its reason here
    LPVOID pV1Reserved;
    LPVOID pV2Reserved;
    DWORD dnDevNode;
};

/// A compressor's description (ICInfo, ICGetInfo, ICM_GETINFO).
struct ICINFO {
    DWORD dwSize; ///< sizeof(ICINFO)
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags; ///< VIDCF_* flags
    DWORD dwVersion;
    DWORD dwVersionICM;
    WCHAR szName[16];
    WCHAR szDescription[128];
    WCHAR szDriver[128];
};

/// One frame to compress (ICM_COMPRESS, first parameter; the second is sizeof(ICCOMPRESS)).
struct ICCOMPRESS {
    DWORD dwFlags; ///< ICCOMPRESS_KEYFRAME to ask for a key frame
    LPBITMAPINFOHEADER lpbiOutput;
    LPVOID lpOutput;
    LPBITMAPINFOHEADER lpbiInput;
    LPVOID lpInput;
    LPDWORD lpckid;
    LPDWORD lpdwFlags;
    LONG lFrameNum;
    DWORD dwFrameSize;
    DWORD dwQuality;
    LPBITMAPINFOHEADER lpbiPrev;
    LPVOID lpPrev;
};

/// A compressor choice (ICCompressorChoose, ICCompressorFree).
struct COMPVARS {
    LONG cbSize; ///< sizeof(COMPVARS)
    DWORD dwFlags;
    HIC hic;
    DWORD fccType;
    DWORD fccHandler;
    LPBITMAPINFO lpbiIn;
    LPBITMAPINFO lpbiOut;
    LPVOID lpBitsOut;
    LPVOID lpBitsPrev;
    LONG lFrame;
    LONG lKey;
    LONG lDataRate;
    LONG lQ;
    LONG lKeyCount;
    LPVOID lpState;
    LONG cbState;
};
using PCOMPVARS = COMPVARS*;

static_assert(sizeof(ICINFO) == 568, "ICINFO holds no pointer: its published size stands");

/// Installs a compressor. With ICINSTALL_FUNCTION, `param` is a DRIVERPROC. FALSE when another
/// compressor of the same type and handler is installed (ERROR_ALREADY_EXISTS), for a null
/// procedure (ERROR_INVALID_PARAMETER), or for driver-file installs, which this system has none
/// of (ERROR_NOT_SUPPORTED). Codes compare without regard to ASCII case.
ORVEL_PLATFORM_API BOOL VFWAPI ICInstall(DWORD fccType, DWORD fccHandler, LPARAM param,
                                         LPCSTR description, UINT flags) noexcept;
/// Removes an installed compressor; instances already open keep working until closed. FALSE
/// when none is installed under the codes.
ORVEL_PLATFORM_API BOOL VFWAPI ICRemove(DWORD fccType, DWORD fccHandler, UINT flags) noexcept;

/// Describes an installed compressor. `fccHandler` is a four-character code, or (below 0x10000)
/// the index of a compressor among those of `fccType` in installation order; `fccType` 0
/// matches every type. FALSE when there is no such compressor or `info` is null.
ORVEL_PLATFORM_API BOOL VFWAPI ICInfo(DWORD fccType, DWORD fccHandler, ICINFO* info) noexcept;
/// Asks an open compressor for its description (ICM_GETINFO); the number of bytes it filled.
ORVEL_PLATFORM_API LRESULT VFWAPI ICGetInfo(HIC compressor, ICINFO* info, DWORD bytes) noexcept;

/// Opens an instance of the compressor installed under the codes, in an ICMODE_* mode. Null
/// when none is installed (ERROR_MOD_NOT_FOUND), when the driver refuses to load or open
/// (ERROR_NOT_SUPPORTED), or for lack of resources (ERROR_NOT_ENOUGH_MEMORY).
ORVEL_PLATFORM_API HIC VFWAPI ICOpen(DWORD fccType, DWORD fccHandler, UINT mode) noexcept;
/// Closes an instance. ICERR_OK; ICERR_BADHANDLE for a handle that is not open; ICERR_ERROR,
/// with the instance still open, when the driver refuses DRV_CLOSE or resources are lacking.
ORVEL_PLATFORM_API LRESULT VFWAPI ICClose(HIC compressor) noexcept;
/// Passes a message to an open instance and returns the driver's answer. ICERR_BADHANDLE
/// (ERROR_INVALID_HANDLE) for a handle that is not open; ICERR_MEMORY (ERROR_NOT_ENOUGH_MEMORY)
/// when resources are lacking.
ORVEL_PLATFORM_API LRESULT VFWAPI ICSendMessage(HIC compressor, UINT message, DWORD_PTR param1,
                                                DWORD_PTR param2) noexcept;
/// Compresses one frame: sends ICM_COMPRESS with an ICCOMPRESS record made of the arguments. The
/// compressor writes the frame's size into output->biSizeImage. Results as ICSendMessage.
ORVEL_PLATFORM_API DWORD VFWAPIV ICCompress(HIC compressor, DWORD flags, LPBITMAPINFOHEADER output,
                                            LPVOID outputBits, LPBITMAPINFOHEADER input,
                                            LPVOID inputBits, LPDWORD chunkId, LPDWORD frameFlags,
                                            LONG frameNumber, DWORD frameSize, DWORD quality,
                                            LPBITMAPINFOHEADER previous,
                                            LPVOID previousBits) noexcept;

/// An application's stand-in for the compressor choice dialog. It receives the arguments of
/// ICCompressorChoose and the record to fill, and the context it was installed with. To accept
/// it writes the chosen fccHandler (and lQ, lKey, lDataRate as it likes) and returns TRUE;
/// FALSE is a user who cancelled.
using ICCOMPRESSORCHOOSER = BOOL(CALLBACK*)(HWND owner, UINT flags, LPVOID input, LPVOID data,
                                            PCOMPVARS choice, LPCSTR title, LPVOID context);
/// Installs the chooser that ICCompressorChoose asks, with a context passed back to it; null
/// removes it. One chooser serves the whole process.
ORVEL_PLATFORM_API void VFWAPI ICSetCompressorChooser(ICCOMPRESSORCHOOSER chooser,
                                                      LPVOID context) noexcept;

/// Lets the user choose a compressor. `choice->cbSize` must be sizeof(COMPVARS). Unless
/// ICMF_COMPVARS_VALID is set in choice->dwFlags the record is first reset to the defaults
/// (fccType ICTYPE_VIDEO, no handler, ICQUALITY_DEFAULT). When the chooser accepts, the chosen
/// compressor is opened in ICMODE_COMPRESS into choice->hic (with `input`, and without
/// ICMF_CHOOSE_ALLCOMPRESSORS, only a compressor that accepts that format is taken), the record
/// becomes valid and the result is TRUE; release it with ICCompressorFree. FALSE when there is
/// no chooser, the chooser cancels, or the choice cannot be opened.
ORVEL_PLATFORM_API BOOL VFWAPI ICCompressorChoose(HWND owner, UINT flags, LPVOID input, LPVOID data,
                                                  PCOMPVARS choice, LPCSTR title) noexcept;
/// Releases what ICCompressorChoose put into a valid record: closes choice->hic. The record's
/// buffer members are the application's; this system never allocates them.
ORVEL_PLATFORM_API void VFWAPI ICCompressorFree(PCOMPVARS choice) noexcept;

// Message helpers, as published.
inline LRESULT ICCompressGetFormat(HIC compressor, LPBITMAPINFO input,
                                   LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_GET_FORMAT, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
inline DWORD ICCompressGetFormatSize(HIC compressor, LPBITMAPINFO input) noexcept {
    return static_cast<DWORD>(ICCompressGetFormat(compressor, input, nullptr));
}
inline DWORD ICCompressGetSize(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return static_cast<DWORD>(ICSendMessage(compressor, ICM_COMPRESS_GET_SIZE,
                                            reinterpret_cast<DWORD_PTR>(input),
                                            reinterpret_cast<DWORD_PTR>(output)));
}
inline LRESULT ICCompressQuery(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_QUERY, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
inline LRESULT ICCompressBegin(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_BEGIN, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
inline LRESULT ICCompressEnd(HIC compressor) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_END, 0, 0);
}
