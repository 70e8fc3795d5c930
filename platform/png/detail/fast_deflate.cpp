#include "fast_deflate.h"

#if ORVEL_HAVE_ISAL
#include "isal_library.h"

#include <limits>
#include <vector>
#endif

namespace orvel::png::detail {

#if ORVEL_HAVE_ISAL

struct FastDeflate::State {
    isal_zstream stream{};
    std::vector<std::uint8_t> levelBuffer = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
};

bool FastDeflate::Available() noexcept {
    return Isal() != nullptr;
}

FastDeflate::FastDeflate() : state_(std::make_unique<State>()) {}

std::size_t FastDeflate::Compress(const std::uint8_t* window, std::size_t windowBytes,
                                  const std::uint8_t* bytes, std::size_t count, bool last,
                                  std::uint8_t* out, std::size_t room) noexcept {
    constexpr std::size_t kMost = std::numeric_limits<std::uint32_t>::max();
    if (count > kMost || room > kMost || windowBytes > kMost) {
        return 0;
    }
    const IsalFunctions* isal = Isal();
    if (isal == nullptr) {
        return 0;
    }
    isal_zstream& stream = state_->stream;
    isal->deflateInit(&stream);
    stream.level = 1;
    stream.level_buf = state_->levelBuffer.data();
    stream.level_buf_size = static_cast<std::uint32_t>(state_->levelBuffer.size());
    stream.gzip_flag = IGZIP_DEFLATE;
    if (windowBytes != 0 &&
        isal->deflateSetDict(&stream, const_cast<std::uint8_t*>(window),
                             static_cast<std::uint32_t>(windowBytes)) != COMP_OK) {
        return 0;
    }
    stream.next_in = const_cast<std::uint8_t*>(bytes);
    stream.avail_in = static_cast<std::uint32_t>(count);
    stream.next_out = out;
    stream.avail_out = static_cast<std::uint32_t>(room);
    stream.end_of_stream = last ? 1 : 0;
    stream.flush = last ? NO_FLUSH : SYNC_FLUSH;
    // Room left over means everything pending came out; a run that filled `out` may not have.
    if (isal->deflate(&stream) != COMP_OK || stream.avail_in != 0 || stream.avail_out == 0 ||
        (last && stream.internal_state.state != ZSTATE_END)) {
        return 0;
    }
    return room - stream.avail_out;
}

#else

struct FastDeflate::State {};

bool FastDeflate::Available() noexcept {
    return false;
}

FastDeflate::FastDeflate() = default;

std::size_t FastDeflate::Compress(const std::uint8_t*, std::size_t, const std::uint8_t*,
                                  std::size_t, bool, std::uint8_t*, std::size_t) noexcept {
    return 0;
}

#endif

FastDeflate::~FastDeflate() = default;

} // namespace orvel::png::detail
