#include "file.h"

#include "../detail/live_counters.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/file_errors.h"
#include "detail/share_modes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using orvel::platform::detail::LastErrorForCause;
using orvel::testing::ShouldFail;

std::atomic<long> g_openFiles{0};

const bool g_registered = orvel::platform::detail::RegisterLiveCounter(
    &orvel::testing::LiveCounts::openFiles,
    []() noexcept { return g_openFiles.load(std::memory_order_relaxed); });

// read(2) and write(2) move at most about 2 GiB per call; larger transfers go in pieces.
constexpr std::size_t kMaxTransferBytes = std::size_t{1} << 30;

constexpr UINT kAccessMask = 0x0003;
constexpr UINT kShareMask = 0x0070;

[[noreturn]] void Raise(int cause, LONG osError, const CString& fileName) {
    SetLastError(LastErrorForCause(cause));
    throw CFileException(cause, osError, fileName);
}

[[noreturn]] void RaiseErrno(int osError, const CString& fileName) {
    Raise(CFileException::OsErrorToException(osError), osError, fileName);
}

// POSIX reports a missing file and a missing directory on the way to it alike (ENOENT); the
// published causes tell them apart, so look at the directory the name lives in.
bool ParentDirectoryExists(const char* fileName) noexcept {
    const std::string path(fileName);
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return true;
    }
    struct stat status {};
    const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    return ::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

CFile::CFile() noexcept = default;

CFile::CFile(LPCSTR fileName, UINT openFlags) {
    CFileException error;
    // CFile's own Open is meant here, as the framework's constructor calls it.
    // NOLINTNEXTLINE(clang-analyzer-optin.cplusplus.VirtualCall)
    if (!Open(fileName, openFlags, &error)) {
        throw error;
    }
}

CFile::~CFile() {
    if (m_hFile != -1) {
        // CFile's own Abort is meant: closing without raising is what a destructor may do.
        // NOLINTNEXTLINE(clang-analyzer-optin.cplusplus.VirtualCall)
        Abort();
    }
}

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error) {
    auto fail = [&](int cause, LONG osError) {
        SetLastError(LastErrorForCause(cause));
        if (error != nullptr) {
            error->m_cause = cause;
            error->m_lOsError = osError;
            error->m_strFileName = fileName;
        }
        return FALSE;
    };
    if (m_hFile != -1) {
        return fail(CFileException::genericException, -1);
    }
    if (fileName == nullptr || *fileName == '\0') {
        return fail(CFileException::badPath, ENOENT);
    }
    // The resource an open can run out of is descriptors; an injected failure looks like that.
    if (ShouldFail(orvel::testing::kFaultFileOpen)) {
        return fail(CFileException::tooManyOpenFiles, EMFILE);
    }

    const UINT access = openFlags & kAccessMask;
    if (access == kAccessMask) {
        return fail(CFileException::genericException, EINVAL);
    }
    orvel::platform::detail::ShareClaim claim;
    claim.owner = this;
    claim.reads = access == modeRead || access == modeReadWrite;
    claim.writes = access == modeWrite || access == modeReadWrite;
    switch (openFlags & kShareMask) {
    case shareCompat: // the framework treats compatibility mode as exclusive
    case shareExclusive:
        break;
    case shareDenyWrite:
        claim.sharesRead = true;
        break;
    case shareDenyRead:
        claim.sharesWrite = true;
        break;
    case shareDenyNone:
        claim.sharesRead = claim.sharesWrite = true;
        break;
    default:
        return fail(CFileException::genericException, EINVAL);
    }

    int flags = access == modeRead ? O_RDONLY : access == modeWrite ? O_WRONLY : O_RDWR;
    if ((openFlags & modeCreate) != 0) {
        flags |= O_CREAT;
    }
    if ((openFlags & modeNoInherit) != 0) {
        flags |= O_CLOEXEC;
    }
    // Never O_TRUNC here: a file that another open denies writing must not lose its contents
    // before the share check has refused this open.
    int fd = -1;
    do {
        fd = ::open(fileName, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int osError = errno;
        int cause = CFileException::OsErrorToException(osError);
        if (osError == ENOENT && !ParentDirectoryExists(fileName)) {
            cause = CFileException::badPath;
        }
        return fail(cause, osError);
    }

    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int osError = errno;
        ::close(fd);
        return fail(CFileException::OsErrorToException(osError), osError);
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd);
        return fail(CFileException::accessDenied, EISDIR);
    }
    if (!orvel::platform::detail::ClaimShare(status.st_dev, status.st_ino, claim)) {
        ::close(fd);
        return fail(CFileException::sharingViolation, EBUSY);
    }
    if ((openFlags & modeCreate) != 0 && (openFlags & modeNoTruncate) == 0 &&
        ::ftruncate(fd, 0) != 0) {
        const int osError = errno;
        orvel::platform::detail::ReleaseShare(this);
        ::close(fd);
        return fail(CFileException::OsErrorToException(osError), osError);
    }

    m_hFile = fd;
    m_strFileName = fileName;
    m_openFlags = openFlags;
    g_openFiles.fetch_add(1, std::memory_order_relaxed);
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile == -1) {
        Raise(CFileException::invalidFile, EBADF, m_strFileName);
    }
    if (count == 0) {
        return 0;
    }
    if (ShouldFail(orvel::testing::kFaultFileRead)) {
        Raise(CFileException::hardIO, EIO, m_strFileName);
    }
    auto* bytes = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        const std::size_t piece = std::min<std::size_t>(count - done, kMaxTransferBytes);
        const ssize_t got = ::read(m_hFile, bytes + done, piece);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrno(errno, m_strFileName);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<UINT>(got);
    }
    if (done < count) {
        // A short count is the end of the file, not an error; the last error says so for a
        // caller that expected more.
        SetLastError(ERROR_HANDLE_EOF);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_hFile == -1) {
        Raise(CFileException::invalidFile, EBADF, m_strFileName);
    }
    if (count == 0) {
        return;
    }
    // A write runs out of disk space; an injected failure looks like that.
    if (ShouldFail(orvel::testing::kFaultFileWrite)) {
        Raise(CFileException::diskFull, ENOSPC, m_strFileName);
    }
    const auto* bytes = static_cast<const BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        const std::size_t piece = std::min<std::size_t>(count - done, kMaxTransferBytes);
        const ssize_t put = ::write(m_hFile, bytes + done, piece);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrno(errno, m_strFileName);
        }
        done += static_cast<UINT>(put);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (m_hFile == -1) {
        Raise(CFileException::invalidFile, EBADF, m_strFileName);
    }
    int whence = SEEK_SET;
    switch (from) {
    case begin:
        break;
    case current:
        whence = SEEK_CUR;
        break;
    case end:
        whence = SEEK_END;
        break;
    default:
        Raise(CFileException::badSeek, EINVAL, m_strFileName);
    }
    const off_t position = ::lseek(m_hFile, static_cast<off_t>(offset), whence);
    if (position < 0) {
        Raise(CFileException::badSeek, errno, m_strFileName);
    }
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetLength() const {
    if (m_hFile == -1) {
        Raise(CFileException::invalidFile, EBADF, m_strFileName);
    }
    struct stat status {};
    if (::fstat(m_hFile, &status) != 0) {
        RaiseErrno(errno, m_strFileName);
    }
    return static_cast<ULONGLONG>(status.st_size);
}

void CFile::Close() {
    if (m_hFile == -1) {
        return;
    }
    const int fd = m_hFile;
    m_hFile = -1;
    orvel::platform::detail::ReleaseShare(this);
    g_openFiles.fetch_sub(1, std::memory_order_relaxed);
    // The descriptor is gone whatever close reports, so nothing is left open when this raises.
    const int result = ::close(fd);
    const int osError = errno;
    if (ShouldFail(orvel::testing::kFaultFileWrite)) {
        Raise(CFileException::diskFull, ENOSPC, m_strFileName);
    }
    if (result != 0 && osError != EINTR) {
        RaiseErrno(osError, m_strFileName);
    }
}

void CFile::Abort() noexcept {
    if (m_hFile == -1) {
        return;
    }
    orvel::platform::detail::ReleaseShare(this);
    g_openFiles.fetch_sub(1, std::memory_order_relaxed);
    ::close(m_hFile);
    m_hFile = -1;
}
