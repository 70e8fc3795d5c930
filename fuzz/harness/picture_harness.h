// The bodies of Orvel's fuzz targets. Attacker-controlled bytes enter the library through one
// public entry point; whatever picture comes out is then used the way an application uses one:
// converted to every depth, resized, pasted, drawn through both paths, copied to the clipboard
// and back, saved and read again.
//
// A run does not stop at the first broken promise: it returns every one it found, so that the
// same bodies serve the libFuzzer programs (which crash on any finding) and the regression test
// (which replays kept inputs under GoogleTest, in the ordinary and the sanitizer builds).
//
// Every run is bounded: global blocks above kRunBlockLimitBytes are refused by the platform's
// testing ceiling, so a header that claims a huge picture fails through the library's own
// failure paths instead of exhausting the fuzzer's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::fuzz {

/// What one run found wrong, one sentence each; empty when every check held.
using Findings = std::vector<std::string>;

/// The attacker's bytes.
using Input = std::span<const std::uint8_t>;

/// The largest global block a run lets the library make: 1 MiB. A picture, a work block or a
/// clipboard block above it is refused with ERROR_NOT_ENOUGH_MEMORY. The ceiling bounds the time
/// of a run as well as its memory: a short run-length stream can claim a picture of any size,
/// and the follow-up walks the picture a dozen times under sanitizers and coverage, which took
/// seconds per run at 16 MiB and up to half a second at 4 MiB; at 1 MiB a corpus replays three
/// times as fast. Headers may still claim any size: the arithmetic on them is
/// what large claims test, and it runs before any block is made.
constexpr std::size_t kRunBlockLimitBytes = std::size_t{1} << 20;

/// One fuzz target.
struct Target {
    std::string_view name; ///< names its program (fuzz_<name>) and its seed and regression folders
    Findings (*run)(Input input);
    std::size_t maxInputBytes; ///< the longest input the fuzzer generates (-max_len)
};

/// Every target.
std::span<const Target> Targets() noexcept;
/// The target of that name, or null.
const Target* FindTarget(std::string_view name) noexcept;

/// A BMP file image in memory, through Load(BITMAPFILEHEADER*). The library trusts bfSize as the
/// image's length, so the run hands it a copy of the input whose bfSize is lowered to the input's
/// length when it claims more (a shorter bfSize is kept: the library must read only that much).
/// An input shorter than a file header is padded with zero bytes to one.
Findings RunMemoryImage(Input input);

/// A BMP file, through Load(CString): the input is written to a file of its own first.
Findings RunBmpFile(Input input);

/// A packed DIB in memory, through Load(BITMAPINFOHEADER*). The library cannot know a packed
/// DIB's length and reads what its header claims (header, masks, full colour table, image), so
/// the run pads the input with zero bytes to that claim, the first 40 bytes at least. A claim
/// whose block would exceed kRunBlockLimitBytes is not padded: the library refuses its block
/// before it reads anything past the header.
Findings RunPackedDib(Input input);

/// A packed DIB on the clipboard as CF_DIB, through GetClipboard, which knows the block's length:
/// the block holds the input exactly.
Findings RunClipboardDib(Input input);

/// A block handed over with AttachHandle, holding the input exactly.
Findings RunHandedOverBlock(Input input);

/// A BMP file of any version through the formats module's ReadPicture, then AttachHandle: the
/// module's picture must be one the library keeps byte for byte. Inputs without the BMP
/// signature are skipped, as are those of the other formats by their targets.
Findings RunBmpReader(Input input);
/// A PNG file through the formats module, as RunBmpReader.
Findings RunPngReader(Input input);
/// A JPEG file through the formats module, as RunBmpReader.
Findings RunJpegReader(Input input);

} // namespace orvel::fuzz
