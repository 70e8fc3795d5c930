// orvel convert: colour depth and size of one picture, or of a batch spread over the cores.
#include "atomic_output.h"
#include "batch.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "palette_choice.h"
#include "picture_io.h"
#include "progress.h"

#include <orvel/orvel.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include <sys/stat.h>

namespace orvel::cli {
namespace {

namespace fs = std::filesystem;

// What to do to every picture, and how to write it.
struct Conversion {
    std::optional<int> depth;
    PaletteChoice palette;
    std::optional<Extent> size;
    SaveOptions save;
};

bool IsLibraryDepth(long depth) {
    return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

void ConvertDepth(CConvertDib& picture, const Conversion& conversion, const std::string& input) {
    if (!conversion.depth) {
        return;
    }
    // The library maps an indexed picture onto a palette even at its own depth; without a
    // palette asked for, a picture already at the depth is left exactly as it is.
    if (*conversion.depth == picture.GetColorNum() && !conversion.palette.IsGiven()) {
        return;
    }
    CPalette palette;
    conversion.palette.Make(palette);
    const BOOL converted =
        picture.ConvertColor(*conversion.depth, conversion.palette.IsGiven() ? &palette : nullptr);
    RequireSuccess(converted, picture, "convert", input);
}

void ConvertSize(CConvertDib& picture, const Conversion& conversion, const std::string& input) {
    if (!conversion.size) {
        return;
    }
    const auto width = static_cast<std::uint64_t>(conversion.size->width);
    const auto height = static_cast<std::uint64_t>(conversion.size->height);
    const std::uint64_t stride = (width * picture.GetColorNum() + 31) / 32 * 4;
    if (stride * height > kDibMaxPixelBytes) {
        throw Failure("cannot resize '" + input + "' to " + std::to_string(width) + "x" +
                      std::to_string(height) + ": the pixels would exceed the 1 GiB a picture " +
                      "may hold");
    }
    const BOOL resized = picture.ConvertSize(conversion.size->width, conversion.size->height);
    RequireSuccess(resized, picture, "resize", input);
}

void ConvertOne(const std::string& input, const std::string& output, const Conversion& conversion) {
    CConvertDib picture;
    LoadPicture(picture, input);
    AtomicOutput out(output);
    // Colour conversion works pixel by pixel and resampling only picks pixels, so the order
    // does not change the result; doing the cheaper one on the smaller picture saves time.
    const CSize before = picture.GetSize();
    const bool shrinks = conversion.size && static_cast<std::int64_t>(conversion.size->width) *
                                                    conversion.size->height <
                                                static_cast<std::int64_t>(before.cx) * before.cy;
    if (shrinks) {
        ConvertSize(picture, conversion, input);
        ConvertDepth(picture, conversion, input);
    } else {
        ConvertDepth(picture, conversion, input);
        ConvertSize(picture, conversion, input);
    }
    SavePicture(picture, out, conversion.save);
    out.Commit();
}

// Refuses an output that is one of the inputs: inputs are never modified. A file is the same as
// another when both have the same device and inode; each path is looked up once, so a batch of
// thousands of pictures costs thousands of lookups, not millions.
void RefuseOverwritingInputs(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs) {
    std::set<std::pair<dev_t, ino_t>> inputFiles;
    struct stat status {};
    for (const std::string& input : inputs) {
        if (::stat(input.c_str(), &status) == 0) {
            inputFiles.emplace(status.st_dev, status.st_ino);
        }
    }
    for (const std::string& output : outputs) {
        if (::stat(output.c_str(), &status) == 0 &&
            inputFiles.contains({status.st_dev, status.st_ino})) {
            throw UsageError("'" + output + "' is an input; write the result to another file");
        }
    }
}

formats::Format ParseFormat(const std::string& text) {
    const formats::Format format = formats::FormatOfExtension("." + text);
    if (format == formats::Format::unknown) {
        throw UsageError("--format must be bmp, png or jpeg, not " + text);
    }
    return format;
}

// The inputs of shard K of N ("2/8"): the names sorted, then every Nth from the Kth. Every
// machine given the same list takes a share no other machine takes, whatever order its shell
// listed them in.
std::vector<std::string> ShareOfShard(std::vector<std::string> inputs, const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        throw UsageError("--shard must be K/N, such as 1/4, not " + text);
    }
    const long count = ParseInteger("--shard", text.substr(slash + 1), 1, 1000000);
    const long index = ParseInteger("--shard", text.substr(0, slash), 1, count);
    std::sort(inputs.begin(), inputs.end());
    std::vector<std::string> share;
    for (std::size_t i = static_cast<std::size_t>(index - 1); i < inputs.size();
         i += static_cast<std::size_t>(count)) {
        share.push_back(inputs[i]);
    }
    return share;
}

Conversion ReadConversion(const ParsedArguments& parsed) {
    Conversion conversion;
    if (auto format = parsed.Value("format")) {
        conversion.save.format = ParseFormat(*format);
    }
    if (auto quality = parsed.Value("quality")) {
        conversion.save.write.jpegQuality =
            static_cast<int>(ParseInteger("--quality", *quality, 1, 100));
    }
    if (auto level = parsed.Value("compression")) {
        conversion.save.write.pngCompressionLevel =
            static_cast<int>(ParseInteger("--compression", *level, 0, 9));
    }
    if (auto depth = parsed.Value("depth")) {
        const long value = ParseInteger("--depth", *depth, 1, 32);
        if (!IsLibraryDepth(value)) {
            throw UsageError("--depth must be 1, 4, 8, 16, 24 or 32, not " + *depth);
        }
        conversion.depth = static_cast<int>(value);
    }
    if (auto size = parsed.Value("size")) {
        conversion.size = ParseExtent("--size", *size, 1, 65535);
    }
    if (auto palette = parsed.Value("palette")) {
        if (conversion.depth && *conversion.depth > 8) {
            throw UsageError("--palette applies to depths 1, 4 and 8, not " +
                             std::to_string(*conversion.depth));
        }
        conversion.palette = PaletteChoice::Parse(*palette);
        const int depth = conversion.depth.value_or(conversion.palette.NaturalDepth());
        // More colours than the depth can address would wrap indexes onto wrong colours.
        if (conversion.palette.EntryCount() > (std::size_t{1} << depth)) {
            throw UsageError("the palette '" + *palette + "' has " +
                             std::to_string(conversion.palette.EntryCount()) + " colours; a " +
                             std::to_string(depth) + "-bit picture addresses only " +
                             std::to_string(1 << depth));
        }
        conversion.depth = depth;
    }
    return conversion;
}

int RunConvert(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = ParseArguments(arguments, {{"output", 'o', true},
                                                              {"out-dir", 0, true},
                                                              {"depth", 0, true},
                                                              {"palette", 0, true},
                                                              {"size", 0, true},
                                                              {"jobs", 'j', true},
                                                              {"format", 0, true},
                                                              {"quality", 0, true},
                                                              {"compression", 0, true},
                                                              {"shard", 0, true}});
    std::vector<std::string> inputs = parsed.Operands();
    if (inputs.empty()) {
        throw UsageError("no input given");
    }
    if (auto shard = parsed.Value("shard")) {
        if (!parsed.Has("out-dir")) {
            throw UsageError("--shard needs --out-dir DIR");
        }
        inputs = ShareOfShard(std::move(inputs), *shard);
        if (inputs.empty()) {
            return kExitSuccess; // more shards than inputs: this one has nothing to do
        }
    }
    const std::optional<std::string> output = parsed.Value("output");
    const std::optional<std::string> outDir = parsed.Value("out-dir");
    if (output && outDir) {
        throw UsageError("give either -o OUT or --out-dir DIR, not both");
    }
    if (!output && !outDir) {
        throw UsageError("no output given: use -o OUT, or --out-dir DIR for several inputs");
    }
    if (output && inputs.size() > 1) {
        throw UsageError("several inputs need --out-dir DIR instead of -o");
    }
    const unsigned workers =
        parsed.Has("jobs")
            ? static_cast<unsigned>(ParseInteger("--jobs", *parsed.Value("jobs"), 1, 256))
            : DefaultWorkerCount();

    // Every input's output, checked before any work: a clash found halfway would leave a
    // half-done batch.
    const Conversion conversion = ReadConversion(parsed);
    std::string extension = ".bmp";
    if (conversion.save.format == formats::Format::png) {
        extension = ".png";
    } else if (conversion.save.format == formats::Format::jpeg) {
        extension = ".jpg";
    }
    std::vector<std::string> outputs;
    if (output) {
        outputs.push_back(*output);
    } else {
        std::map<std::string, std::string> taken;
        for (const std::string& input : inputs) {
            const std::string name = fs::path(input).stem().string() + extension;
            const auto [existing, inserted] = taken.emplace(name, input);
            if (!inserted) {
                std::string message = "'" + input;
                message += "' and '" + existing->second + "' would both be written to ";
                message += name + " in " + *outDir;
                throw UsageError(message);
            }
            outputs.push_back((fs::path(*outDir) / name).string());
        }
    }
    RefuseOverwritingInputs(inputs, outputs);

    if (output) {
        ConvertOne(inputs[0], *output, conversion);
        return kExitSuccess;
    }
    std::error_code error;
    fs::create_directories(*outDir, error);
    if (error) {
        throw Failure("cannot make the directory '" + *outDir + "': " + error.message());
    }
    ProgressBar progress(inputs.size(), ProgressBar::StderrIsTerminal());
    const std::size_t failures = RunBatch(inputs.size(), workers, [&](std::size_t index) {
        bool done = true;
        try {
            ConvertOne(inputs[index], outputs[index], conversion);
        } catch (const Failure& failure) {
            progress.Message(std::string("orvel: ") + failure.what());
            done = false;
        } catch (const std::bad_alloc&) {
            progress.Message("orvel: cannot convert '" + inputs[index] + "': out of memory");
            done = false;
        }
        progress.Advance(inputs[index]);
        return done;
    });
    if (failures != 0) {
        progress.Message("orvel: " + std::to_string(failures) + " of " +
                         std::to_string(inputs.size()) + " pictures failed");
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

const Command& ConvertCommand() {
    static const Command command{
        "convert", "change colour depth and size, of one picture or a batch",
        "orvel convert IN -o OUT [--format F] [--depth N] [--palette P] [--size WxH]\n"
        "       orvel convert IN... --out-dir DIR [--shard K/N] [--jobs N] [--format F] "
        "[--depth N] ...",
        "Load each picture (BMP of any common header version, PNG or JPEG), convert its colour\n"
        "depth, resize it and write it as a BMP, PNG or JPEG file.\n"
        "\n"
        "  -o, --output OUT   the file to write (one input); its extension (.bmp, .png, .jpg)\n"
        "                     chooses the format, BMP for any other\n"
        "  --out-dir DIR      write each input to DIR/<name>.bmp, .png or .jpg (several\n"
        "                     inputs); the pictures are converted in parallel\n"
        "  --shard K/N        of the inputs sorted by name, convert only every Nth from the Kth\n"
        "                     (1 <= K <= N): N machines given the same list share it out\n"
        "  -j, --jobs N       threads for a batch (default: one per core)\n"
        "  --format F         bmp, png or jpeg, whatever the output's extension\n"
        "  --quality Q        JPEG quality, 1 to 100 (default 90)\n"
        "  --compression L    PNG compression level, 0 to 9 (default 6); indexed pictures\n"
        "                     become palette PNGs\n"
        "  --depth N          bits per pixel: 1, 4, 8, 16, 24 or 32. Indexed depths (1, 4, 8)\n"
        "                     map every colour to its nearest palette colour, without dithering.\n"
        "                     A picture already at N bits is left as it is unless --palette is\n"
        "                     given.\n"
        "  --palette P        the colours of an indexed depth: bw (black and white), 16 (the\n"
        "                     sixteen standard colours), halftone (256 colours), or the colour\n"
        "                     table of an indexed BMP file. Default: bw for 1 bit, 16 for 4\n"
        "                     bits, halftone for 8 bits. Without --depth, the smallest depth\n"
        "                     that holds the palette.\n"
        "  --size WxH         resize to W x H pixels by repeating and dropping pixels (nearest\n"
        "                     neighbour); colours are never blended\n"
        "\n"
        "Without --depth and --size the picture is written as the library holds it: an OS/2\n"
        "header becomes a 40-byte header and run-length pixels are decoded.\n"
        "\n"
        "Outputs appear whole or not at all: a failure leaves an existing file untouched.\n"
        "Inputs are never modified. Exit status: 0 when every picture was written, 1 when one\n"
        "failed (the others are still written), 2 for a wrong command line.\n",
        RunConvert};
    return command;
}

} // namespace orvel::cli
