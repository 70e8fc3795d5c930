// image/png on the desktop's clipboard, through the platform's PNG codec.
#include "clipboard_formats.h"

#include "../win/error.h"

namespace orvel::platform::detail {

bool PngEncodingAvailable() noexcept {
    return false;
}

bool PngDecodingAvailable() noexcept {
    return false;
}

std::shared_ptr<const std::vector<BYTE>> PngFromPackedDib(const std::vector<BYTE>&) noexcept {
    return nullptr;
}

HGLOBAL PackedDibFromPng(const std::vector<BYTE>&) noexcept {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
}

} // namespace orvel::platform::detail
