// Little-endian fields read from a byte range whose length the caller has checked.
#pragma once

#include "../../platform/win/types.h"

#include <cstddef>
#include <cstdint>

namespace orvel::formats::detail {

inline WORD Read16(const BYTE* at) noexcept {
    return static_cast<WORD>(at[0] | at[1] << 8);
}

inline DWORD Read32(const BYTE* at) noexcept {
    return static_cast<DWORD>(Read16(at)) | static_cast<DWORD>(Read16(at + 2)) << 16;
}

/// A field of a header that may be shorter than the structure it is defined in: fields past the
/// header's end read as zero, as OS/2 2.x and the shorter Windows headers mean them.
inline DWORD Field32(const BYTE* header, std::size_t headerBytes, std::size_t offset) noexcept {
    return offset + 4 <= headerBytes ? Read32(header + offset) : 0;
}

} // namespace orvel::formats::detail
