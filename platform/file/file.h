// The framework's file class and its exception: how the library reads and writes BMP files.
//
// CFile opens a path with the published mode and share flags and reads and writes whole byte
// ranges. Failures of Open are reported through an optional CFileException record; failures of
// Read, Write and Close raise a CFileException. The framework throws a heap-allocated exception
// by pointer; here the exception is thrown by value and caught by reference, so no handler has to
// remember to delete it.
#pragma once

#include "../afx/cstring.h"
#include "../export.h"
#include "../win/types.h"

#include <cstdint>

using ULONGLONG = std::uint64_t;

/// A failure of the file layer: a cause from the published list, the operating system's error
/// number and the file's name.
class ORVEL_PLATFORM_API CFileException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    explicit CFileException(int cause = none, LONG osError = -1, LPCSTR fileName = nullptr);
    virtual ~CFileException();
    CFileException(const CFileException&) = default;
    CFileException& operator=(const CFileException&) = default;

    /// One of the causes above.
    int m_cause;
    /// The operating system's error number (errno here); -1 when there is none.
    LONG m_lOsError;
    /// The file the failure concerns.
    CString m_strFileName;

    /// The cause for an errno value, as the framework maps the system's errors.
    static int OsErrorToException(LONG osError) noexcept;
};

/// A file on disk.
class ORVEL_PLATFORM_API CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() noexcept;
    /// Opens at once; raises a CFileException when the file cannot be opened.
    CFile(LPCSTR fileName, UINT openFlags);
    /// Closes the file if it is open, without raising.
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens a file. FALSE when it cannot be opened, with the reason in *error when given and the
    /// matching last error set. Share flags are honoured between the files this process has open
    /// (sharingViolation): a file opened with shareDenyWrite cannot be opened for writing
    /// elsewhere, shareDenyRead bars reading, and shareExclusive (and shareCompat, as the
    /// framework treats it) bars both. modeCreate truncates only once the open is granted. An
    /// injected kFaultFileOpen failure reports tooManyOpenFiles.
    virtual BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
    /// Reads up to `count` bytes; returns how many were read (fewer only at the end of the file,
    /// with the last error ERROR_HANDLE_EOF). Raises a CFileException on a read error (hardIO for
    /// an injected kFaultFileRead failure).
    virtual UINT Read(void* buffer, UINT count);
    /// Writes `count` bytes; raises a CFileException (diskFull, hardIO, ...) when they cannot all
    /// be written (diskFull for an injected kFaultFileWrite failure).
    virtual void Write(const void* buffer, UINT count);
    /// Moves the file position; raises a CFileException (badSeek) on failure.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    /// The file's length in bytes.
    virtual ULONGLONG GetLength() const;
    /// Closes the file; raises a CFileException when the data cannot be flushed (an injected
    /// kFaultFileWrite failure counts here too). The file is closed either way.
    virtual void Close();
    /// Closes the file without raising.
    virtual void Abort() noexcept;

    /// The file's name as it was opened.
    CString GetFilePath() const { return m_strFileName; }

    /// The operating system's file descriptor; -1 when closed.
    int m_hFile = -1;

protected:
    CString m_strFileName;
    UINT m_openFlags = 0;
};
