/// @file
/// The thread's last-error value and the published error numbers the platform layer sets.
#pragma once

#include "../export.h"
#include "types.h"

/// The calling thread's last-error value: the number the most recent failing platform call set.
ORVEL_PLATFORM_API DWORD WINAPI GetLastError() noexcept;
/// Sets the calling thread's last-error value.
ORVEL_PLATFORM_API void WINAPI SetLastError(DWORD errorCode) noexcept;

/// @name Error numbers
/// The published numbers, with what each means here.
/// @{
constexpr DWORD ERROR_SUCCESS = 0;             ///< no error
constexpr DWORD ERROR_INVALID_FUNCTION = 1;    ///< a failure without a more precise number
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;      ///< the file does not exist
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;      ///< a directory of the path does not exist
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4; ///< no more files can be opened
constexpr DWORD ERROR_ACCESS_DENIED = 5;       ///< access to the file is denied
constexpr DWORD ERROR_INVALID_HANDLE =
    6; ///< a null, stale or foreign handle, or one of the wrong kind
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY =
    8; ///< a block or object cannot be made (also: larger than the platform allows)
constexpr DWORD ERROR_INVALID_DATA = 13;         ///< bytes that are not a valid picture or record
constexpr DWORD ERROR_OUTOFMEMORY = 14;          ///< not enough memory for the operation
constexpr DWORD ERROR_WRITE_PROTECT = 19;        ///< the medium is write-protected
constexpr DWORD ERROR_SEEK = 25;                 ///< the file position cannot be set
constexpr DWORD ERROR_WRITE_FAULT = 29;          ///< the device cannot be written
constexpr DWORD ERROR_READ_FAULT = 30;           ///< the device cannot be read
constexpr DWORD ERROR_SHARING_VIOLATION = 32;    ///< another open of the file bars this access
constexpr DWORD ERROR_LOCK_VIOLATION = 33;       ///< a locked region of the file bars this access
constexpr DWORD ERROR_HANDLE_EOF = 38;           ///< the end of the file was reached
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;     ///< the disk is full
constexpr DWORD ERROR_NOT_SUPPORTED = 50;        ///< the request is not supported
constexpr DWORD ERROR_FILE_EXISTS = 80;          ///< the file exists
constexpr DWORD ERROR_INVALID_PARAMETER = 87;    ///< an argument is out of range
constexpr DWORD ERROR_DISK_FULL = 112;           ///< there is not enough space on the disk
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122; ///< the caller's buffer is too small
constexpr DWORD ERROR_INVALID_NAME = 123;        ///< the file name is not valid
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;       ///< the module cannot be found
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;       ///< a seek to before the start of the file
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;       ///< the directory is not empty
constexpr DWORD ERROR_BUSY =
    170; ///< the object is in use (a palette or bitmap selected into a context, a busy compressor)
constexpr DWORD ERROR_ALREADY_EXISTS = 183;       ///< the object already exists
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206; ///< the file name or path is too long
constexpr DWORD ERROR_DISCARDED =
    157; ///< the block has no memory (a zero-byte block) and cannot be locked
constexpr DWORD ERROR_NOT_LOCKED = 158;             ///< the block is not locked
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400; ///< the window handle is not a live window
constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;    ///< the clipboard is not open for this caller
constexpr DWORD ERROR_TIMEOUT = 1460;               ///< another program did not answer in time
constexpr DWORD ERROR_NOT_FOUND =
    1168; ///< nothing was found (no picture on the desktop's clipboard)
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812; ///< the resource's data cannot be found
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813; ///< the module has no resources of that type
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814; ///< the module has no resource of that name
constexpr DWORD ERROR_INVALID_PIXEL_FORMAT = 2000;    ///< the pixel format is not supported
constexpr DWORD ERROR_INVALID_PALETTE = 2001;         ///< the palette handle is not valid
constexpr DWORD ERROR_DC_NOT_FOUND = 1425;            ///< the device context is not valid
/// @}
