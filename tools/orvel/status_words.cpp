#include "status_words.h"

namespace orvel::cli {
namespace {

struct Words {
    unsigned long code;
    const char* text;
};

template <std::size_t N>
const char* Lookup(const Words (&table)[N], unsigned long code) {
    for (const Words& entry : table) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return nullptr;
}

// The causes of the framework's file exception, in its published order.
constexpr Words kFileCauses[] = {
    {0, "no error"},
    {1, "file error"},
    {2, "file not found"},
    {3, "bad path"},
    {4, "too many open files"},
    {5, "access denied"},
    {6, "invalid file"},
    {7, "cannot remove the current directory"},
    {8, "directory full"},
    {9, "seek error"},
    {10, "input/output error"},
    {11, "sharing violation"},
    {12, "lock violation"},
    {13, "disk full"},
    {14, "unexpected end of file"},
};

// Every last-error number the platform layer sets.
constexpr Words kSystemErrors[] = {
    {ERROR_SUCCESS, "no error"},
    {ERROR_INVALID_FUNCTION, "invalid function"},
    {ERROR_FILE_NOT_FOUND, "file not found"},
    {ERROR_PATH_NOT_FOUND, "path not found"},
    {ERROR_TOO_MANY_OPEN_FILES, "too many open files"},
    {ERROR_ACCESS_DENIED, "access denied"},
    {ERROR_INVALID_HANDLE, "invalid handle"},
    {ERROR_NOT_ENOUGH_MEMORY, "not enough memory"},
    {ERROR_INVALID_DATA, "invalid data"},
    {ERROR_OUTOFMEMORY, "out of memory"},
    {ERROR_WRITE_PROTECT, "write-protected"},
    {ERROR_SEEK, "seek error"},
    {ERROR_WRITE_FAULT, "write fault"},
    {ERROR_READ_FAULT, "read fault"},
    {ERROR_SHARING_VIOLATION, "sharing violation"},
    {ERROR_LOCK_VIOLATION, "lock violation"},
    {ERROR_HANDLE_EOF, "unexpected end of file"},
    {ERROR_HANDLE_DISK_FULL, "disk full"},
    {ERROR_NOT_SUPPORTED, "not supported"},
    {ERROR_FILE_EXISTS, "file exists"},
    {ERROR_INVALID_PARAMETER, "invalid parameter"},
    {ERROR_DISK_FULL, "disk full"},
    {ERROR_INSUFFICIENT_BUFFER, "buffer too small"},
    {ERROR_INVALID_NAME, "invalid name"},
    {ERROR_MOD_NOT_FOUND, "module not found"},
    {ERROR_NEGATIVE_SEEK, "negative seek"},
    {ERROR_DISCARDED, "memory block discarded"},
    {ERROR_NOT_LOCKED, "memory block not locked"},
    {ERROR_DIR_NOT_EMPTY, "directory not empty"},
    {ERROR_BUSY, "busy"},
    {ERROR_ALREADY_EXISTS, "already exists"},
    {ERROR_FILENAME_EXCED_RANGE, "file name too long"},
    {ERROR_NOT_FOUND, "not found"},
    {ERROR_INVALID_WINDOW_HANDLE, "invalid window handle"},
    {ERROR_CLIPBOARD_NOT_OPEN, "clipboard not open"},
    {ERROR_DC_NOT_FOUND, "device context not found"},
    {ERROR_RESOURCE_DATA_NOT_FOUND, "resource data not found"},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "resource type not found"},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "resource name not found"},
    {ERROR_INVALID_PIXEL_FORMAT, "invalid pixel format"},
    {ERROR_INVALID_PALETTE, "invalid palette"},
};

// Class errors of CDib and CConvertDib.
constexpr Words kPictureErrors[] = {
    {1, "not a BMP picture the library reads"},
    {2, "video drawing (DrawDib) is unavailable"},
    {3, "out of memory for a palette or header"},
    {4, "the system refused the picture's palette"},
    {5, "drawing through DrawDib failed"},
    {6, "no picture"},
    {8, "the clipboard holds no picture"},
    {10, "the clipboard cannot be opened"},
    {101, "the picture's bit count is not from 1 to 32"},
    {102, "bit count not supported (1, 4, 8, 16, 24 or 32)"},
};

// Class errors of CDibComp.
constexpr Words kCompressorErrors[] = {
    {1, "no such compressor is installed, or it refused to open"},
    {2, "no compressor is open"},
    {3, "the compressor refused to close"},
    {4, "the compressor rejected the frame format, or memory ran out"},
    {5, "the compressor reported no output format"},
    {6, "no output format has been obtained"},
    {7, "the compressor refused to begin"},
    {8, "the compressor refused to end"},
    {9, "the compressor failed on the frame"},
};

} // namespace

std::string FileCauseInWords(unsigned long cause) {
    const char* text = Lookup(kFileCauses, cause);
    return text != nullptr ? text : "unknown file error";
}

std::string SystemErrorInWords(unsigned long code) {
    const char* text = Lookup(kSystemErrors, code);
    return text != nullptr ? text : "unknown system error";
}

std::string ClassErrorInWords(unsigned long code, StatusSource source) {
    const char* text = source == StatusSource::Picture ? Lookup(kPictureErrors, code)
                                                       : Lookup(kCompressorErrors, code);
    return text != nullptr ? text : "unknown class error";
}

std::string ReasonInWords(unsigned int kind, unsigned long code, StatusSource source) {
    switch (kind) {
    case HTERR_FILE:
        return FileCauseInWords(code);
    case HTERR_SYSTEM:
        return SystemErrorInWords(code);
    case HTERR_CLASS:
        return ClassErrorInWords(code, source);
    case HTERR_PROG:
        return code == 14 ? "the inputs do not allow this operation" : "unknown program error";
    default:
        return "unknown error";
    }
}

std::string KindName(unsigned int kind) {
    switch (kind) {
    case HTERR_FILE:
        return "file";
    case HTERR_SYSTEM:
        return "system";
    case HTERR_CLASS:
        return "class";
    case HTERR_PROG:
        return "program";
    default:
        return "kind " + std::to_string(kind);
    }
}

std::string StatusInWords(unsigned int kind, unsigned long code, StatusSource source) {
    // Kind 0 with code 0 is the record's state without error, not a file error.
    if (kind == HTERR_FILE && code == 0) {
        return "no error";
    }
    return ReasonInWords(kind, code, source) + " (" + KindName(kind) + " error " +
           std::to_string(code) + ")";
}

std::string StatusInWords(const CHTErr& record, StatusSource source) {
    unsigned int kind = 0;
    unsigned long code = 0;
    record.GetLastError(kind, code);
    return StatusInWords(kind, code, source);
}

} // namespace orvel::cli
