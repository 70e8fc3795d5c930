// orvel avi: BMP frames compressed through CDibComp into an AVI file.
#include "atomic_output.h"
#include "avi_encoder.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "palette_choice.h"
#include "picture_io.h"

#include <orvel/orvel.h>

#include <filesystem>

namespace orvel::cli {
namespace {

int RunAvi(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = ParseArguments(
        arguments,
        {{"output", 'o', true}, {"codec", 0, true}, {"fps", 0, true}, {"palette", 0, true}});
    const std::vector<std::string>& frames = parsed.Operands();
    if (frames.empty()) {
        throw UsageError("no frames given");
    }
    const std::optional<std::string> output = parsed.Value("output");
    if (!output) {
        throw UsageError("no output given: use -o OUT.avi");
    }
    for (const std::string& frame : frames) {
        std::error_code error;
        if (std::filesystem::equivalent(frame, *output, error)) {
            throw UsageError("'" + *output + "' is an input; write the result to another file");
        }
    }
    const AviCodec codec =
        parsed.Has("codec") ? ParseAviCodec(*parsed.Value("codec")) : AviCodec::Rle8;
    const auto framesPerSecond = static_cast<unsigned>(
        parsed.Has("fps") ? ParseInteger("--fps", *parsed.Value("fps"), 1, 1000) : 10);
    if (parsed.Has("palette") && codec != AviCodec::Rle8) {
        throw UsageError("--palette applies to the mrle codec, whose frames have 8 bits");
    }
    const PaletteChoice paletteChoice =
        PaletteChoice::Parse(parsed.Value("palette").value_or("halftone"));
    CPalette palette;
    paletteChoice.Make(palette);

    AtomicOutput out(*output);
    AviEncoder encoder(out, codec, framesPerSecond, paletteChoice.EntryCount());
    // One frame at a time: a long animation never has to fit in memory.
    for (const std::string& path : frames) {
        CConvertDib frame;
        LoadPicture(frame, path);
        PrepareFrame(frame, codec, &palette, path);
        encoder.AddFrame(frame, path);
    }
    encoder.Finish();
    out.Commit();
    return kExitSuccess;
}

} // namespace

const Command& AviCommand() {
    static const Command command{
        "avi", "compress BMP frames into an AVI file",
        "orvel avi FRAME.bmp... -o OUT.avi [--codec mrle|dib] [--fps N] [--palette P]",
        "Compress the frames, in the order given, through the library's video compressor\n"
        "interface and write them as an AVI file that common players open. Every frame is a\n"
        "key frame. All frames must have the size of the first.\n"
        "\n"
        "  -o, --output OUT.avi   the file to write\n"
        "  --codec mrle|dib       mrle: run-length encoded 8-bit frames (default);\n"
        "                         dib: uncompressed 24-bit frames\n"
        "  --fps N                frames per second, 1 to 1000 (default 10)\n"
        "  --palette P            for mrle, the 256 colours every frame is mapped onto:\n"
        "                         halftone (default), bw, 16, or the colour table of an\n"
        "                         indexed BMP file\n",
        RunAvi};
    return command;
}

} // namespace orvel::cli
