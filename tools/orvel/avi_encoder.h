// Frames compressed through the library's CDibComp into an AVI file.
#pragma once

#include "avi_writer.h"

#include <orvel/orvel.h>

#include <optional>
#include <string>
#include <vector>

namespace orvel::cli {

class AtomicOutput;
class PaletteChoice;

/// The compressors the tool offers.
enum class AviCodec {
    Rle8,      ///< "mrle": 8-bit frames, run-length encoded
    FullFrame, ///< "DIB ": 24-bit frames as they are
};

/// "mrle" or "dib" as the user writes them; throws UsageError for anything else.
AviCodec ParseAviCodec(const std::string& text);

/// Brings a frame to the depth its codec takes: 8 bits mapped onto `palette` for run-length
/// frames, 24 bits for full frames. `frameName` names the frame in failures.
void PrepareFrame(CConvertDib& frame, AviCodec codec, CPalette* palette,
                  const std::string& frameName);

/// Compresses frames one by one, each as a key frame, and writes them to an AVI file. The first
/// frame fixes the size and the colour table; every later one must match it.
class AviEncoder {
public:
    /// Writes to `output`'s temporary file; the caller commits it after Finish. Run-length
    /// frames share the first `sharedColours` entries of their colour table, the palette they
    /// were mapped onto; their pixels use no other entry.
    AviEncoder(AtomicOutput& output, AviCodec codec, unsigned framesPerSecond,
               std::size_t sharedColours = 256);

    /// Adds a frame prepared by PrepareFrame. Throws Failure naming the frame and the AVI file.
    void AddFrame(const CDib& frame, const std::string& frameName);
    /// Completes the file. Throws Failure.
    void Finish();

    std::uint32_t FrameCount() const noexcept { return writer_ ? writer_->FrameCount() : 0; }

private:
    void Start(const CDib& frame, const std::string& frameName);
    [[noreturn]] void ThrowCompressorFailure(const std::string& frameName) const;

    AtomicOutput& output_;
    AviCodec codec_;
    unsigned framesPerSecond_;
    std::size_t sharedColours_;
    CDibComp compressor_;
    std::optional<AviWriter> writer_;
    /// The first frame's header and colour table: what every frame must match.
    std::vector<BYTE> inputFormat_;
    /// Room for the compressor's largest frame.
    std::vector<BYTE> compressed_;
};

} // namespace orvel::cli
