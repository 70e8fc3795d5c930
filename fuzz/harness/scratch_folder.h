// A folder of the process's own for the files a run writes (the BMP file it loads, the picture it
// saves), removed when the process ends.
#pragma once

#include <string>
#include <string_view>

namespace orvel::fuzz {

/// The path of `name` in the process's scratch folder, which is made on first use.
std::string ScratchPath(std::string_view name);

} // namespace orvel::fuzz
