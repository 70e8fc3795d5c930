// What the PNG reader and writer share of libpng: its error reporting, turned into an Error.
//
// libpng reports a failure by calling an error function and then long-jumping to the setjmp of
// the caller. A long jump must not cross a C++ frame that owns anything, so each libpng session
// keeps its state in a Session that lives outside the function calling setjmp, and that function
// holds only trivially destructible locals.
#pragma once

#include "../png_codec.h"

#include <png.h>

#include <string>
#include <utility>

namespace orvel::png::detail {

/// The state one libpng read or write lives in, beside libpng's own structures.
struct Session {
    png_structp png = nullptr;
    png_infop info = nullptr;
    /// Set by the data callbacks before they call png_error, so the failure is told apart from
    /// corrupt data.
    bool truncated = false;
    bool outOfMemory = false;
    /// libpng's own message of the failure, such as "IDAT: CRC error".
    std::string libpngMessage;
};

/// The error function handed to libpng: keeps the message and long-jumps to the session's setjmp.
[[noreturn]] void RecordLibpngError(png_structp png, png_const_charp message) noexcept;
/// The warning function handed to libpng: warnings change nothing in a picture this codec
/// returns (ancillary chunks with CRC errors are made errors instead), so they are dropped.
void IgnoreLibpngWarning(png_structp png, png_const_charp message) noexcept;

/// The Error for a session that libpng stopped: the kind from the flags and the message, the
/// sentence "PNG <libpng's message>".
Error ErrorFromSession(const Session& session);

/// An Error of a kind with a message.
inline Error MakeError(Failure failure, std::string message) {
    return Error{failure, std::move(message)};
}

} // namespace orvel::png::detail
