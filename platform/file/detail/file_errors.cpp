#include "file_errors.h"

#include "../../win/error.h"
#include "../file.h"

namespace orvel::platform::detail {

DWORD LastErrorForCause(int cause) noexcept {
    switch (cause) {
    case CFileException::none:
        return ERROR_SUCCESS;
    case CFileException::fileNotFound:
        return ERROR_FILE_NOT_FOUND;
    case CFileException::badPath:
        return ERROR_PATH_NOT_FOUND;
    case CFileException::tooManyOpenFiles:
        return ERROR_TOO_MANY_OPEN_FILES;
    case CFileException::accessDenied:
        return ERROR_ACCESS_DENIED;
    case CFileException::invalidFile:
        return ERROR_INVALID_HANDLE;
    case CFileException::badSeek:
        return ERROR_SEEK;
    case CFileException::hardIO:
        return ERROR_WRITE_FAULT;
    case CFileException::sharingViolation:
        return ERROR_SHARING_VIOLATION;
    case CFileException::lockViolation:
        return ERROR_LOCK_VIOLATION;
    case CFileException::diskFull:
        return ERROR_DISK_FULL;
    case CFileException::endOfFile:
        return ERROR_HANDLE_EOF;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

} // namespace orvel::platform::detail
