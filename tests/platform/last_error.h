// A refusal and its reason in one check: the platform's calls report why they failed through the
// thread's last error, which a caller reads right after the call.
#pragma once

#include <orvel/orvel.h>

#include <gtest/gtest.h>

/// Runs `call` with the last error cleared and expects it to return `failed` and leave `error`;
/// a message streamed after it goes with the error check.
#define EXPECT_REFUSED(call, failed, error)                                                        \
    EXPECT_EQ((SetLastError(0), (call)), failed);                                                  \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error))
