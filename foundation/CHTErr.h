/// @file
/// The status record that every object of the library carries.
#pragma once

#include "../library/export.h"
#include "../platform/win/types.h"

/// Error kinds of the status record.
enum : unsigned int {
    HTERR_FILE = 0,   ///< code: the cause of the file exception
    HTERR_SYSTEM = 1, ///< code: the platform's last-error value after the failing call
    HTERR_CLASS = 2,  ///< code: a number the library chose for a failure it detected itself
    HTERR_PROG = 3,   ///< code: 14, a call that cannot be served with the inputs given
};

/// A success flag and an (error kind, error code) pair. Operations report success as their
/// result and leave the reason for a failure here. Kind 0 with code 0 is the state without error.
class ORVEL_EXT_CLASS CHTErr {
public:
    /// A record of success: flag 1, kind 0, code 0.
    CHTErr() noexcept = default;
    /// Copies the flag, the kind and the code.
    CHTErr(const CHTErr& other) noexcept = default;
    /// Copies the flag, the kind and the code.
    CHTErr& operator=(const CHTErr& other) noexcept = default;
    /// Virtual, so that the library's classes derived from the record are destroyed through it.
    virtual ~CHTErr();

    /// 1 when the last recorded outcome was a failure.
    BOOL IsFailed() const noexcept { return m_succeeded == 0 ? TRUE : FALSE; }
    /// The success flag as stored.
    BOOL IsSucceed() const noexcept { return m_succeeded; }
    /// Writes the kind and the code; returns the success flag.
    BOOL GetLastError(unsigned int& kind, unsigned long& code) const noexcept;

protected:
    /// Stores kind and code (the code as its low 32 bits); the flag becomes 1 when both stored
    /// values are 0 and 0 otherwise. Returns the new flag.
    BOOL SetLastError(unsigned int kind, unsigned long code) noexcept;

    /// 1 (TRUE) after a success, 0 after a failure.
    BOOL m_succeeded = TRUE;
    /// The error kind: HTERR_FILE, HTERR_SYSTEM, HTERR_CLASS or HTERR_PROG.
    DWORD m_errorKind = 0;
    /// The error code within its kind; 0 with kind 0 is no error.
    DWORD m_errorCode = 0;
};
