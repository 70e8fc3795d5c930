#include "libpng_session.h"

#include <string_view>

namespace orvel::png::detail {

[[noreturn]] void RecordLibpngError(png_structp png, png_const_charp message) noexcept {
    auto* session = static_cast<Session*>(png_get_error_ptr(png));
    try {
        session->libpngMessage = message != nullptr ? message : "unknown error";
    } catch (...) {
        // The message is only words: a session short of memory reports without them.
        session->outOfMemory = true;
    }
    // Straight back to the session's setjmp: were this function to return, libpng would print
    // the message on standard error before jumping.
    png_longjmp(png, 1);
}

void IgnoreLibpngWarning(png_structp /*png*/, png_const_charp /*message*/) noexcept {}

Error ErrorFromSession(const Session& session) {
    if (session.outOfMemory) {
        return MakeError(Failure::noMemory, "PNG: no memory");
    }
    const std::string_view message = session.libpngMessage;
    // libpng reports an IDAT stream that stops early as missing image data: the file ends before
    // the picture does, as when the bytes themselves run out.
    if (session.truncated || message.find("Not enough image data") != std::string_view::npos) {
        return MakeError(Failure::truncated, "PNG: the data ends before the picture does (" +
                                                 session.libpngMessage + ")");
    }
    if (message.find("out of memory") != std::string_view::npos ||
        message.find("Insufficient memory") != std::string_view::npos) {
        return MakeError(Failure::noMemory, "PNG: out of memory (" + session.libpngMessage + ")");
    }
    return MakeError(Failure::corrupt, "PNG " + session.libpngMessage);
}

} // namespace orvel::png::detail
