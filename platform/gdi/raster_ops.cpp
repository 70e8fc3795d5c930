#include "detail/raster_ops.h"

#include "stretch_dibits.h"

namespace orvel::platform::detail {

bool RasterOpFromCode(DWORD code, RasterOp& op) noexcept {
    switch (code) {
    case SRCCOPY:
        op = RasterOp::SourceCopy;
        return true;
    case SRCPAINT:
        op = RasterOp::SourcePaint;
        return true;
    case SRCAND:
        op = RasterOp::SourceAnd;
        return true;
    case SRCINVERT:
        op = RasterOp::SourceInvert;
        return true;
    case SRCERASE:
        op = RasterOp::SourceErase;
        return true;
    case NOTSRCCOPY:
        op = RasterOp::NotSourceCopy;
        return true;
    case NOTSRCERASE:
        op = RasterOp::NotSourceErase;
        return true;
    case DSTINVERT:
        op = RasterOp::DestinationInvert;
        return true;
    case BLACKNESS:
        op = RasterOp::Blackness;
        return true;
    case WHITENESS:
        op = RasterOp::Whiteness;
        return true;
    default:
        return false;
    }
}

namespace {
// One loop per operation, so the operation is chosen once per row and not once per pixel.
template <class Combine>
void Apply(const DWORD* source, DWORD* destination, int count, DWORD mask, Combine combine) {
    for (int i = 0; i < count; ++i) {
        destination[i] = combine(source != nullptr ? source[i] : 0U, destination[i]) & mask;
    }
}
} // namespace

void CombineRow(RasterOp op, const DWORD* source, DWORD* destination, int count,
                DWORD mask) noexcept {
    switch (op) {
    case RasterOp::SourceCopy:
        Apply(source, destination, count, mask, [](DWORD s, DWORD) { return s; });
        break;
    case RasterOp::SourcePaint:
        Apply(source, destination, count, mask, [](DWORD s, DWORD d) { return s | d; });
        break;
    case RasterOp::SourceAnd:
        Apply(source, destination, count, mask, [](DWORD s, DWORD d) { return s & d; });
        break;
    case RasterOp::SourceInvert:
        Apply(source, destination, count, mask, [](DWORD s, DWORD d) { return s ^ d; });
        break;
    case RasterOp::SourceErase:
        Apply(source, destination, count, mask, [](DWORD s, DWORD d) { return s & ~d; });
        break;
    case RasterOp::NotSourceCopy:
        Apply(source, destination, count, mask, [](DWORD s, DWORD) { return ~s; });
        break;
    case RasterOp::NotSourceErase:
        Apply(source, destination, count, mask, [](DWORD s, DWORD d) { return ~(s | d); });
        break;
    case RasterOp::DestinationInvert:
        Apply(nullptr, destination, count, mask, [](DWORD, DWORD d) { return ~d; });
        break;
    case RasterOp::Blackness:
        Apply(nullptr, destination, count, mask, [](DWORD, DWORD) { return 0U; });
        break;
    case RasterOp::Whiteness:
        Apply(nullptr, destination, count, mask, [](DWORD, DWORD) { return ~0U; });
        break;
    }
}

} // namespace orvel::platform::detail
