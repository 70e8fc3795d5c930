#include "error.h"

namespace {
// Each thread has its own last-error value, as published: a failure in one thread never
// changes what another thread reads.
thread_local DWORD t_lastError = ERROR_SUCCESS;
} // namespace

DWORD WINAPI GetLastError() noexcept {
    return t_lastError;
}

void WINAPI SetLastError(DWORD errorCode) noexcept {
    t_lastError = errorCode;
}
