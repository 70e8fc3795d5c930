// What the JPEG reader and writer share of libjpeg: its error reporting, turned into an Error.
//
// libjpeg reports a failure by calling error_exit, which must not return; ours long-jumps to the
// setjmp of the caller. A long jump must not cross a C++ frame that owns anything, so each
// session keeps its state in a structure that lives outside the function calling setjmp.
#pragma once

#include "../jpeg_codec.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace orvel::jpeg::detail {

/// libjpeg's error manager with the jump target and what went wrong.
struct ErrorRecord {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    /// libjpeg's message of the failure, such as "Bogus marker length".
    char message[JMSG_LENGTH_MAX] = {};
    int code = 0;
    /// Set when libjpeg warned that the data ended before the picture did.
    bool endedEarly = false;
};

/// Points `record` at `common` (a decompress or compress structure): failures long-jump to
/// record.jump, warnings are kept only when they mean the data ended early.
void InstallErrorRecord(jpeg_common_struct& common, ErrorRecord& record) noexcept;

/// The Error for a session libjpeg stopped: "JPEG <what>: <libjpeg's message>".
Error ErrorFromRecord(const ErrorRecord& record, const char* what);

/// The Error libjpeg's failure `code` (JERR_FILE_WRITE, ...) would make, for failures met outside
/// libjpeg that must read as those met inside it.
Error ErrorOfCode(int code, const char* what);

} // namespace orvel::jpeg::detail
