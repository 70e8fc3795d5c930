// orvel paste: one picture pasted into another through CDib::Attach.
#include "atomic_output.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"

#include <orvel/orvel.h>

#include <cstdio>
#include <filesystem>

namespace orvel::cli {
namespace {

int RunPaste(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed =
        ParseArguments(arguments, {{"output", 'o', true}, {"at", 0, true}});
    if (parsed.Operands().size() != 2) {
        throw UsageError("expected two pictures, BASE and OVER, not " +
                         std::to_string(parsed.Operands().size()));
    }
    const std::string& basePath = parsed.Operands()[0];
    const std::string& overPath = parsed.Operands()[1];
    const std::optional<std::string> output = parsed.Value("output");
    if (!output) {
        throw UsageError("no output given: use -o OUT");
    }
    const Position at = parsed.Has("at") ? ParsePosition("--at", *parsed.Value("at")) : Position{};
    for (const std::string* input : {&basePath, &overPath}) {
        std::error_code error;
        if (std::filesystem::equivalent(*input, *output, error)) {
            throw UsageError("'" + *output + "' is an input; write the result to another file");
        }
    }

    CConvertDib base;
    LoadPicture(base, basePath);
    CConvertDib over;
    LoadPicture(over, overPath);
    AtomicOutput out(*output);

    // Attach copies pixel values between pictures of one depth of 8 bits or more. A picture of
    // another depth is brought to the base's depth first, onto the base's own colours when it is
    // indexed; a 1- or 4-bit base is pasted into at 8 bits and brought back onto its colours, so
    // the result keeps the base's depth and colour table.
    const WORD baseDepth = base.GetColorNum();
    const WORD pasteDepth = baseDepth < 8 ? 8 : baseDepth;
    CPalette baseColours;
    const std::vector<PALETTEENTRY> colours = PictureColours(base);
    if (baseDepth <= 8) {
        MakePaletteFrom(colours, baseColours);
    }
    CPalette* indexedColours = baseDepth <= 8 ? &baseColours : nullptr;
    if (baseDepth != pasteDepth) {
        RequireSuccess(base.ConvertColor(pasteDepth, indexedColours), base, "convert", basePath);
    }
    const bool sameColours =
        baseDepth > 8 || SameColours(PictureColours(over), PictureColours(base));
    if (over.GetColorNum() != pasteDepth || !sameColours) {
        RequireSuccess(over.ConvertColor(pasteDepth, indexedColours), over, "convert", overPath);
    }

    const CSize baseSize = base.GetSize();
    const CSize overSize = over.GetSize();
    if (at.x >= baseSize.cx || at.y >= baseSize.cy || at.x + overSize.cx <= 0 ||
        at.y + overSize.cy <= 0) {
        std::fprintf(stderr,
                     "orvel: note: '%s' at %ld,%ld lies outside '%s' (%ldx%ld); nothing "
                     "is pasted\n",
                     overPath.c_str(), at.x, at.y, basePath.c_str(), static_cast<long>(baseSize.cx),
                     static_cast<long>(baseSize.cy));
    }
    const BOOL pasted = base.Attach(over, CPoint(static_cast<int>(at.x), static_cast<int>(at.y)));
    if (!pasted || base.IsFailed()) {
        RequireSuccess(pasted, base, "paste '" + overPath + "' into", basePath);
    }
    if (baseDepth != pasteDepth) {
        RequireSuccess(base.ConvertColor(baseDepth, indexedColours), base, "convert", basePath);
    }
    SavePicture(base, out);
    out.Commit();
    return kExitSuccess;
}

} // namespace

const Command& PasteCommand() {
    static const Command command{
        "paste", "paste one picture into another", "orvel paste BASE OVER --at X,Y -o OUT",
        "Paste the picture OVER into BASE with its top-left corner at X,Y (pixels from BASE's\n"
        "top-left corner; negative values cut OVER at the left or top) and write the result.\n"
        "Whatever lies outside BASE is cut off. Pixels are copied, not blended.\n"
        "\n"
        "  --at X,Y           where OVER's top-left corner goes (default 0,0)\n"
        "  -o, --output OUT   the file to write\n"
        "\n"
        "The result has BASE's size, depth and colour table. OVER is converted to BASE's depth\n"
        "first when they differ; when BASE is indexed (1, 4 or 8 bits), OVER's colours are\n"
        "mapped onto BASE's colour table.\n",
        RunPaste};
    return command;
}

} // namespace orvel::cli
