/// @file
/// The video compressor manager: installable compressors reached through HIC handles.
///
/// A compressor is a driver procedure installed under a type and a four-character handler code
/// (ICInstall with ICINSTALL_FUNCTION). ICOpen loads and opens an instance of it (DRV_LOAD,
/// DRV_ENABLE, DRV_OPEN with an ICOPEN record), ICSendMessage and ICCompress pass ICM_* messages
/// to that instance, and ICClose closes and frees it (DRV_CLOSE, DRV_DISABLE, DRV_FREE). Each open
/// instance is loaded on its own, so a procedure sees the load messages once per ICOpen.
///
/// Two compressors are installed when the platform loads: the run-length codec "mrle" (8-bit
/// frames to BI_RLE8, every frame a key frame) and the full-frame pass-through "DIB ".
///
/// The system has no dialogs. ICCompressorChoose asks the chooser an application installed with
/// ICSetCompressorChooser; with none installed it answers as a dialog the user cancelled.
///
/// Structures follow the published layouts; where a published size counts 32-bit pointers, the
/// size on this platform is the structure's sizeof here (ICOPEN, ICCOMPRESS, COMPVARS).
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

/// Version of the compressor interface a driver reports in ICINFO::dwVersionICM.
constexpr DWORD ICVERSION = 0x0104;

/// @name Compressor types
/// @{
// Compressor types.
constexpr DWORD ICTYPE_VIDEO = mmioFOURCC('v', 'i', 'd', 'c'); ///< video compressors
constexpr DWORD ICTYPE_AUDIO =
    mmioFOURCC('a', 'u', 'd', 'c'); ///< audio compressors (none are installed)
/// @}

/// @name ICOpen modes
/// @{
// ICOpen modes.
constexpr UINT ICMODE_COMPRESS = 1;       ///< compress frames
constexpr UINT ICMODE_DECOMPRESS = 2;     ///< decompress frames
constexpr UINT ICMODE_FASTDECOMPRESS = 3; ///< decompress frames, fast
constexpr UINT ICMODE_QUERY = 4;        ///< only ask about formats and the compressor's description
constexpr UINT ICMODE_FASTCOMPRESS = 5; ///< compress frames, fast
constexpr UINT ICMODE_DRAW = 8;         ///< draw frames
/// @}

/// @name Compressor results
/// @{
// Results of ICSendMessage, ICCompress and ICClose. Success values are 0 and above; errors are
// negative.
constexpr LRESULT ICERR_OK = 0;              ///< success
constexpr LRESULT ICERR_DONTDRAW = 1;        ///< success: the frame need not be drawn
constexpr LRESULT ICERR_NEWPALETTE = 2;      ///< success: the palette changed
constexpr LRESULT ICERR_GOTOKEYFRAME = 3;    ///< success: go on from the next key frame
constexpr LRESULT ICERR_STOPDRAWING = 4;     ///< success: stop drawing
constexpr LRESULT ICERR_UNSUPPORTED = -1;    ///< the message or mode is not supported
constexpr LRESULT ICERR_BADFORMAT = -2;      ///< the format is not accepted
constexpr LRESULT ICERR_MEMORY = -3;         ///< not enough memory
constexpr LRESULT ICERR_INTERNAL = -4;       ///< the compressor failed internally
constexpr LRESULT ICERR_BADFLAGS = -5;       ///< the flags are not valid
constexpr LRESULT ICERR_BADPARAM = -6;       ///< an argument is not valid
constexpr LRESULT ICERR_BADSIZE = -7;        ///< a size is not valid
constexpr LRESULT ICERR_BADHANDLE = -8;      ///< the handle is not an open compressor
constexpr LRESULT ICERR_CANTUPDATE = -9;     ///< the picture cannot be updated
constexpr LRESULT ICERR_ABORT = -10;         ///< the operation was cancelled
constexpr LRESULT ICERR_ERROR = -100;        ///< a failure without a more precise code
constexpr LRESULT ICERR_BADBITDEPTH = -200;  ///< the depth is not accepted
constexpr LRESULT ICERR_BADIMAGESIZE = -201; ///< the picture size is not accepted
constexpr LRESULT ICERR_CUSTOM = -400; ///< first of the codes a compressor may define for itself
/// @}

/// @name Installable-driver messages
/// @{
// Installable-driver messages.
constexpr UINT DRV_LOAD = 0x0001;    ///< load the driver (once per ICOpen here)
constexpr UINT DRV_ENABLE = 0x0002;  ///< enable the driver
constexpr UINT DRV_OPEN = 0x0003;    ///< open an instance; the second parameter is an ICOPEN
constexpr UINT DRV_CLOSE = 0x0004;   ///< close the instance
constexpr UINT DRV_DISABLE = 0x0005; ///< disable the driver
constexpr UINT DRV_FREE = 0x0006;    ///< free the driver
constexpr UINT DRV_CONFIGURE =
    0x0007; ///< show the driver's configuration (not sent: there are no dialogs)
constexpr UINT DRV_QUERYCONFIGURE = 0x0008; ///< whether the driver can be configured
constexpr UINT DRV_INSTALL = 0x0009;        ///< the driver is being installed
constexpr UINT DRV_REMOVE = 0x000A;         ///< the driver is being removed
constexpr UINT DRV_RESERVED = 0x0800;       ///< first of the reserved driver messages
constexpr UINT DRV_USER = 0x4000;           ///< first of the messages a driver type defines
/// @}

/// @name Compressor messages
/// @{
// Compressor messages.
constexpr UINT ICM_USER = DRV_USER; ///< first of the compressor messages of the ICM_USER range
constexpr UINT ICM_RESERVED = DRV_USER + 0x1000; ///< first of the reserved compressor messages
constexpr UINT ICM_GETSTATE = ICM_RESERVED + 0;  ///< read the compressor's state
constexpr UINT ICM_SETSTATE = ICM_RESERVED + 1;  ///< set the compressor's state
constexpr UINT ICM_GETINFO =
    ICM_RESERVED + 2; ///< fill an ICINFO (first parameter), of the size in the second
constexpr UINT ICM_CONFIGURE = ICM_RESERVED + 10; ///< show the configuration (no dialogs here)
constexpr UINT ICM_ABOUT = ICM_RESERVED + 11;     ///< show the about box (no dialogs here)
constexpr UINT ICM_GETDEFAULTQUALITY =
    ICM_RESERVED + 30; ///< the default quality, into the DWORD the first parameter points to
constexpr UINT ICM_GETQUALITY = ICM_RESERVED + 31; ///< the current quality
constexpr UINT ICM_SETQUALITY = ICM_RESERVED + 32; ///< set the quality
constexpr UINT ICM_COMPRESS_GET_FORMAT =
    ICM_USER + 4; ///< the output format for an input format; its size when the output is null
constexpr UINT ICM_COMPRESS_GET_SIZE =
    ICM_USER + 5; ///< the largest compressed frame for a pair of formats, in bytes
constexpr UINT ICM_COMPRESS_QUERY =
    ICM_USER + 6; ///< whether the compressor accepts an input format (and output format when given)
constexpr UINT ICM_COMPRESS_BEGIN = ICM_USER + 7; ///< prepare to compress with a pair of formats
constexpr UINT ICM_COMPRESS =
    ICM_USER + 8; ///< compress one frame; the first parameter is an ICCOMPRESS
constexpr UINT ICM_COMPRESS_END = ICM_USER + 9;           ///< end a compression
constexpr UINT ICM_DECOMPRESS_GET_FORMAT = ICM_USER + 10; ///< the output format of a decompression
constexpr UINT ICM_DECOMPRESS_QUERY =
    ICM_USER + 11; ///< whether a decompression of the formats is accepted
constexpr UINT ICM_DECOMPRESS_BEGIN = ICM_USER + 12;       ///< prepare to decompress
constexpr UINT ICM_DECOMPRESS = ICM_USER + 13;             ///< decompress one frame
constexpr UINT ICM_DECOMPRESS_END = ICM_USER + 14;         ///< end a decompression
constexpr UINT ICM_GETDEFAULTKEYFRAMERATE = ICM_USER + 42; ///< the default key-frame rate
/// @}

/// @name ICINFO::dwFlags: what a video compressor supports
/// @{
// ICINFO::dwFlags: what a video compressor supports.
constexpr DWORD VIDCF_QUALITY = 0x0001;        ///< quality settings
constexpr DWORD VIDCF_CRUNCH = 0x0002;         ///< compressing to a frame size
constexpr DWORD VIDCF_TEMPORAL = 0x0004;       ///< inter-frame (temporal) compression
constexpr DWORD VIDCF_COMPRESSFRAMES = 0x0008; ///< the ICM_COMPRESS_FRAMES messages
constexpr DWORD VIDCF_DRAW = 0x0010;           ///< drawing
constexpr DWORD VIDCF_FASTTEMPORALC = 0x0020;  ///< temporal compression without the previous frame
constexpr DWORD VIDCF_FASTTEMPORALD = 0x0080; ///< temporal decompression without the previous frame
constexpr DWORD VIDCF_QUALITYTIME = 0x0040;   ///< quality settings over time
/// @}

/// @name Quality values
/// @{
// Quality values.
constexpr LONG ICQUALITY_LOW = 0;      ///< the lowest quality
constexpr LONG ICQUALITY_HIGH = 10000; ///< the highest quality
constexpr LONG ICQUALITY_DEFAULT = -1; ///< the compressor's default quality
/// @}

/// @name Frame flags
/// @{
// ICCOMPRESS::dwFlags and the flags a compressor returns for a frame.
constexpr DWORD ICCOMPRESS_KEYFRAME =
    0x00000001;                              ///< ICCOMPRESS::dwFlags: make this frame a key frame
constexpr DWORD AVIIF_LIST = 0x00000001;     ///< the chunk is a list
constexpr DWORD AVIIF_TWOCC = 0x00000002;    ///< the chunk id is a two-character code
constexpr DWORD AVIIF_KEYFRAME = 0x00000010; ///< the frame is a key frame
/// @}

// Chunk ids a compressor returns for a frame: compressed or uncompressed DIB data.
/// The two-character chunk type of `c0` and `c1`, `c0` in the low byte.
constexpr WORD aviTWOCC(char c0, char c1) noexcept {
    return static_cast<WORD>(static_cast<BYTE>(c0) | (static_cast<BYTE>(c1) << 8));
}
constexpr WORD cktypeDIBbits = aviTWOCC('d', 'b');       ///< uncompressed DIB data ("db")
constexpr WORD cktypeDIBcompressed = aviTWOCC('d', 'c'); ///< compressed DIB data ("dc")

/// @name ICInstall and ICRemove flags
/// @{
// ICInstall and ICRemove flags.
constexpr UINT ICINSTALL_FUNCTION = 0x0001; ///< `param` is a DRIVERPROC
constexpr UINT ICINSTALL_DRIVER = 0x0002;   ///< `param` names a driver file (not supported here)
constexpr UINT ICINSTALL_HDRV = 0x0004; ///< `param` is an open driver handle (not supported here)
constexpr UINT ICINSTALL_UNICODE = 0x8000; ///< the names are wide strings (not supported here)
constexpr UINT ICINSTALL_DRIVERW = 0x8002; ///< a driver file with a wide name (not supported here)
/// @}

/// @name ICCompressorChoose flags and COMPVARS::dwFlags
/// @{
// ICCompressorChoose flags and COMPVARS::dwFlags.
constexpr UINT ICMF_CHOOSE_KEYFRAME = 0x0001; ///< offer the key-frame setting
constexpr UINT ICMF_CHOOSE_DATARATE = 0x0002; ///< offer the data-rate setting
constexpr UINT ICMF_CHOOSE_PREVIEW = 0x0004;  ///< offer a preview
constexpr UINT ICMF_CHOOSE_ALLCOMPRESSORS =
    0x0008; ///< list every compressor, not only those that accept the input
constexpr DWORD ICMF_COMPVARS_VALID = 0x00000001; ///< the record holds a valid choice
/// @}

/// A driver procedure: receives the driver messages and the ICM_* messages of its instances.
/// `driverId` is 0 for DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_DISABLE and DRV_FREE, and otherwise the
/// value the procedure returned for DRV_OPEN; `driver` identifies the instance.
using DRIVERPROC = LRESULT(CALLBACK*)(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                                      LPARAM param2);

/// What DRV_OPEN receives in its second parameter when a compressor is opened.
struct ICOPEN {
    DWORD dwSize;       ///< sizeof(ICOPEN)
    DWORD fccType;      ///< the compressor type (ICTYPE_VIDEO)
    DWORD fccHandler;   ///< the handler's four-character code
    DWORD dwVersion;    ///< the interface version
    DWORD dwFlags;      ///< the ICMODE_* mode
    LRESULT dwError;    ///< a driver that refuses the open may leave its reason here
    LPVOID pV1Reserved; ///< reserved
    LPVOID pV2Reserved; ///< reserved
    DWORD dnDevNode;    ///< reserved
};

/// A compressor's description (ICInfo, ICGetInfo, ICM_GETINFO).
struct ICINFO {
    DWORD dwSize;             ///< sizeof(ICINFO)
    DWORD fccType;            ///< the compressor type
    DWORD fccHandler;         ///< the handler's four-character code
    DWORD dwFlags;            ///< VIDCF_* flags
    DWORD dwVersion;          ///< the compressor's version
    DWORD dwVersionICM;       ///< ICVERSION
    WCHAR szName[16];         ///< short name, UTF-16
    WCHAR szDescription[128]; ///< description, UTF-16
    WCHAR szDriver[128];      ///< driver name, UTF-16
};

/// One frame to compress (ICM_COMPRESS, first parameter; the second is sizeof(ICCOMPRESS)).
struct ICCOMPRESS {
    DWORD dwFlags;                 ///< ICCOMPRESS_KEYFRAME to ask for a key frame
    LPBITMAPINFOHEADER lpbiOutput; ///< the output format; the compressor sets its biSizeImage
    LPVOID lpOutput;               ///< where the compressed frame goes
    LPBITMAPINFOHEADER lpbiInput;  ///< the input format
    LPVOID lpInput;                ///< the input pixels
    LPDWORD lpckid; ///< receives the chunk id (cktypeDIBbits or cktypeDIBcompressed); may be null
    LPDWORD lpdwFlags;           ///< receives AVIIF_KEYFRAME for a key frame; may be null
    LONG lFrameNum;              ///< the frame's number
    DWORD dwFrameSize;           ///< the wanted frame size in bytes; 0 for no limit
    DWORD dwQuality;             ///< the quality, 0 to ICQUALITY_HIGH
    LPBITMAPINFOHEADER lpbiPrev; ///< the previous frame's format, or null
    LPVOID lpPrev;               ///< the previous frame's pixels
};

/// A compressor choice (ICCompressorChoose, ICCompressorFree).
struct COMPVARS {
    LONG cbSize;          ///< sizeof(COMPVARS)
    DWORD dwFlags;        ///< ICMF_COMPVARS_VALID once the record holds a choice
    HIC hic;              ///< the chosen compressor, open in ICMODE_COMPRESS
    DWORD fccType;        ///< the compressor type
    DWORD fccHandler;     ///< the chosen handler's four-character code
    LPBITMAPINFO lpbiIn;  ///< the input format (the application's)
    LPBITMAPINFO lpbiOut; ///< the output format (the application's)
    LPVOID lpBitsOut;     ///< a buffer for output (the application's)
    LPVOID lpBitsPrev;    ///< a buffer for the previous frame (the application's)
    LONG lFrame;          ///< frame counter
    LONG lKey;            ///< key-frame rate chosen
    LONG lDataRate;       ///< data rate chosen
    LONG lQ;              ///< quality chosen
    LONG lKeyCount;       ///< key-frame counter
    LPVOID lpState;       ///< the compressor's state (the application's)
    LONG cbState;         ///< bytes of lpState
};
/// Pointer to a COMPVARS.
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

/// @name Message helpers
/// Each sends one ICM_* message, as published.
/// @{
// Message helpers, as published.
/// ICM_COMPRESS_GET_FORMAT: writes the output format for `input` into `output`; the format's
/// size in bytes, or an ICERR_* error.
inline LRESULT ICCompressGetFormat(HIC compressor, LPBITMAPINFO input,
                                   LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_GET_FORMAT, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
/// The size in bytes of the output format for `input`.
inline DWORD ICCompressGetFormatSize(HIC compressor, LPBITMAPINFO input) noexcept {
    return static_cast<DWORD>(ICCompressGetFormat(compressor, input, nullptr));
}
/// ICM_COMPRESS_GET_SIZE: the largest compressed frame, in bytes, for the formats.
inline DWORD ICCompressGetSize(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return static_cast<DWORD>(ICSendMessage(compressor, ICM_COMPRESS_GET_SIZE,
                                            reinterpret_cast<DWORD_PTR>(input),
                                            reinterpret_cast<DWORD_PTR>(output)));
}
/// ICM_COMPRESS_QUERY: ICERR_OK when the compressor accepts the formats.
inline LRESULT ICCompressQuery(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_QUERY, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
/// ICM_COMPRESS_BEGIN: prepares a compression of the formats.
inline LRESULT ICCompressBegin(HIC compressor, LPBITMAPINFO input, LPBITMAPINFO output) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_BEGIN, reinterpret_cast<DWORD_PTR>(input),
                         reinterpret_cast<DWORD_PTR>(output));
}
/// ICM_COMPRESS_END: ends a compression.
inline LRESULT ICCompressEnd(HIC compressor) noexcept {
    return ICSendMessage(compressor, ICM_COMPRESS_END, 0, 0);
}
/// @}
