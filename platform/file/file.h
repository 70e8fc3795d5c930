/// @file
/// The framework's file class and its exception: how the library reads and writes BMP files.
///
/// CFile opens a path with the published mode and share flags and reads and writes whole byte
/// ranges. Failures of Open are reported through an optional CFileException record; failures of
/// Read, Write and Close raise a CFileException. The framework throws a heap-allocated exception
/// by pointer; here the exception is thrown by value and caught by reference, so no handler has to
/// remember to delete it.
#pragma once

#include "../afx/cstring.h"
#include "../export.h"
#include "../win/types.h"

#include <cstdint>

/// A 64-bit unsigned count: file lengths and positions.
using ULONGLONG = std::uint64_t;

/// A failure of the file layer: a cause from the published list, the operating system's error
/// number and the file's name.
class ORVEL_PLATFORM_API CFileException {
public:
    /// The causes of a file failure, as the framework numbers them.
    enum {
        none = 0,              ///< no failure
        genericException = 1,  ///< a failure without a more precise cause
        fileNotFound = 2,      ///< the file does not exist
        badPath = 3,           ///< the path is not valid
        tooManyOpenFiles = 4,  ///< no more files can be opened
        accessDenied = 5,      ///< the file cannot be reached with the requested access
        invalidFile = 6,       ///< the handle is not an open file
        removeCurrentDir = 7,  ///< the current directory cannot be removed
        directoryFull = 8,     ///< the directory cannot take more entries
        badSeek = 9,           ///< the position cannot be set
        hardIO = 10,           ///< a hardware or input-output error
        sharingViolation = 11, ///< another open of the file bars this access
        lockViolation = 12,    ///< a locked region bars this access
        diskFull = 13,         ///< the disk is full
        endOfFile = 14,        ///< the end of the file was reached
    };

    /// A failure of `cause` with the operating system's error number `osError` (-1 for none) for
    /// the file `fileName` (none when null).
    explicit CFileException(int cause = none, LONG osError = -1, LPCSTR fileName = nullptr);
    virtual ~CFileException();
    /// Copies the cause, the error number and the file name.
    CFileException(const CFileException&) = default;
    /// Copies the cause, the error number and the file name.
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
    /// Flags of Open(): one access mode, one share mode, and the others as needed.
    enum OpenFlags : UINT {
        modeRead = 0x0000,       ///< read only
        modeWrite = 0x0001,      ///< write only
        modeReadWrite = 0x0002,  ///< read and write
        shareCompat = 0x0000,    ///< share mode of old programs; treated as shareExclusive
        shareExclusive = 0x0010, ///< no other open of the file may read or write it
        shareDenyWrite = 0x0020, ///< no other open may write it
        shareDenyRead = 0x0030,  ///< no other open may read it
        shareDenyNone = 0x0040,  ///< other opens may read and write
        modeNoInherit = 0x0080,  ///< the descriptor is not inherited by child processes
        modeCreate =
            0x1000, ///< creates the file, or truncates an existing one unless modeNoTruncate
        modeNoTruncate = 0x2000, ///< with modeCreate: an existing file is opened as it is
        typeText = 0x4000,       ///< text mode; the same as binary on this platform
        typeBinary = 0x8000,     ///< binary mode
    };
    /// Origins of Seek(): the start of the file, the current position, the end.
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    /// A closed file.
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
    /// The name of the file last opened; empty before the first open.
    CString m_strFileName;
    /// The flags the file was opened with.
    UINT m_openFlags = 0;
};
