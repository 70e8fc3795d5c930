// The list of installed compressors behind ICInstall, ICRemove, ICInfo and ICOpen.
#pragma once

#include "../../win/types.h"
#include "../video_compression.h"

#include <cstddef>

namespace orvel::platform::detail {

/// One installed compressor, as ICInstall recorded it.
struct InstalledCompressor {
    DWORD fccType = 0;
    DWORD fccHandler = 0;
    DRIVERPROC proc = nullptr;
    char description[128] = {}; ///< NUL-terminated, cut to fit
};

/// Copies a narrow text into a wide field of `capacity` characters, cut to fit and terminated.
void CopyToWide(const char* text, WCHAR* field, std::size_t capacity) noexcept;

/// Whether two four-character codes are equal when ASCII letters are compared without case, so
/// that "VIDC" finds the compressors installed as "vidc".
bool SameFourCC(DWORD left, DWORD right) noexcept;

/// Adds a compressor; false when the codes are taken or memory is lacking (last error set).
bool AddInstalledCompressor(const InstalledCompressor& compressor) noexcept;
/// Removes the compressor installed under the codes; false when there is none.
bool RemoveInstalledCompressor(DWORD fccType, DWORD fccHandler) noexcept;
/// Copies out the compressor installed under the codes; false when there is none.
bool FindInstalledCompressor(DWORD fccType, DWORD fccHandler, InstalledCompressor& found) noexcept;
/// Copies out the index-th compressor of a type (0: any type) in installation order.
bool FindInstalledCompressorAt(DWORD fccType, DWORD index, InstalledCompressor& found) noexcept;

} // namespace orvel::platform::detail
