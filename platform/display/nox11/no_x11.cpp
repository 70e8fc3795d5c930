// A build without libxcb: no process ever reaches an X server.
#include "../headless_desktop.h"

namespace orvel::platform::detail {

Desktop* ConnectX11Desktop() noexcept {
    return nullptr;
}

} // namespace orvel::platform::detail
