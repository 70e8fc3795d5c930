// orvel clipboard: a picture onto the desktop's clipboard, or the clipboard's picture into a file.
#include "atomic_output.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

#include <orvel/orvel.h>

#include <chrono>
#include <thread>

namespace orvel::cli {
namespace {

// Puts the picture on the clipboard and serves it to other programs until one of them takes the
// clipboard or the time runs out. The owner is a window of the tool's own that is never shown.
int RunPut(const ParsedArguments& parsed) {
    if (parsed.Operands().size() != 2) {
        throw UsageError("expected one picture to put on the clipboard");
    }
    if (parsed.Has("output")) {
        throw UsageError("-o belongs to 'orvel clipboard get'");
    }
    std::optional<long> seconds;
    if (auto value = parsed.Value("seconds")) {
        seconds = ParseInteger("--seconds", *value, 0, 86400);
    }
    const std::string& input = parsed.Operands()[1];
    CDib picture;
    LoadPicture(picture, input);
    CWnd owner;
    if (!owner.Create(nullptr, "orvel clipboard", WS_OVERLAPPED, CRect(0, 0, 1, 1), nullptr, 0)) {
        throw Failure("cannot make the clipboard's owner window: " +
                      StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
    }
    RequireSuccess(picture.SetClipboard(&owner), picture, "put on the clipboard", input);
    if (!IsDesktopReal()) {
        return kExitSuccess; // nobody else could read it: the process's own clipboard ends with it
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(seconds.value_or(0));
    while (GetClipboardOwner() == owner.GetSafeHwnd() &&
           (!seconds || std::chrono::steady_clock::now() < deadline)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return kExitSuccess;
}

int RunGet(const ParsedArguments& parsed) {
    if (parsed.Operands().size() != 1) {
        throw UsageError("'orvel clipboard get' takes no file operands; use -o OUT.bmp");
    }
    if (parsed.Has("seconds")) {
        throw UsageError("--seconds belongs to 'orvel clipboard put'");
    }
    const std::optional<std::string> output = parsed.Value("output");
    if (!output) {
        throw UsageError("no output given: use -o OUT.bmp");
    }
    if (!IsClipboardFormatAvailable(CF_DIB)) {
        throw Failure("the clipboard holds no picture");
    }
    AtomicOutput out(*output);
    CDib picture;
    if (!picture.GetClipboard(nullptr)) {
        throw Failure("cannot read the clipboard's picture: " +
                      StatusInWords(picture, StatusSource::Picture));
    }
    SavePicture(picture, out);
    out.Commit();
    return kExitSuccess;
}

int RunClipboard(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed =
        ParseArguments(arguments, {{"output", 'o', true}, {"seconds", 0, true}});
    const std::vector<std::string>& operands = parsed.Operands();
    if (operands.empty() || (operands[0] != "put" && operands[0] != "get")) {
        throw UsageError("expected 'put FILE' or 'get -o OUT.bmp'");
    }
    return operands[0] == "put" ? RunPut(parsed) : RunGet(parsed);
}

} // namespace

const Command& ClipboardCommand() {
    static const Command command{
        "clipboard", "put a picture on the clipboard, or save the clipboard's picture",
        "orvel clipboard put FILE [--seconds N]\n"
        "       orvel clipboard get -o OUT.bmp",
        "put: puts the picture on the clipboard and serves it to other programs (as image/png\n"
        "     and image/bmp) until another program takes the clipboard, or until N seconds have\n"
        "     passed.\n"
        "get: writes the picture on the clipboard, whichever program put it there, as a BMP\n"
        "     file. Exits with 1 when the clipboard holds no picture.\n"
        "\n"
        "  --seconds N    put: stop serving after N seconds\n"
        "  -o OUT.bmp     get: the file to write\n"
        "\n"
        "Without an X server (no DISPLAY, or ORVEL_HEADLESS set) the clipboard is the process's\n"
        "own and ends with it.\n",
        RunClipboard};
    return command;
}

} // namespace orvel::cli
