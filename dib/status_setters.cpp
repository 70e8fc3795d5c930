#include "CDib.h"

#include "../platform/file/file.h"
#include "../platform/win/error.h"

BOOL CDib::SetNoError() {
    return SetLastError(HTERR_FILE, 0);
}

BOOL CDib::SetSystemError() {
    // Kind 1 is a failure even when the platform left no last-error value behind.
    return SetLastError(HTERR_SYSTEM, ::GetLastError());
}

BOOL CDib::SetClassError(unsigned long code) {
    return SetLastError(HTERR_CLASS, code);
}

BOOL CDib::SetFileError(CFileException& error) {
    // A cause of 0 means no failure, so the record then reads as success.
    return SetLastError(HTERR_FILE, static_cast<unsigned long>(error.m_cause));
}

BOOL CDib::SetProgError(unsigned long code) {
    return SetLastError(HTERR_PROG, code);
}
