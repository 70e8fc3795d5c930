// Pictures in and out of the tool's files, with failures in words.
#pragma once

#include "failure.h"

#include <orvel/orvel.h>

#include <string>
#include <vector>

namespace orvel::cli {

class AtomicOutput;

/// A file the formats module refused: `Reason()` is its sentence alone.
class FormatRefusal : public Failure {
public:
    FormatRefusal(const std::string& path, std::string reason)
        : Failure("cannot load '" + path + "': " + reason), reason_(std::move(reason)) {}
    const std::string& Reason() const noexcept { return reason_; }

private:
    std::string reason_;
};

/// Loads a BMP of any common version, a PNG or a JPEG through the formats module. Throws
/// Failure "cannot load 'path': <the reason in words>", also when the file layer raises a read
/// error; a FormatRefusal when the module refuses the file.
void LoadPicture(CDib& picture, const std::string& path);

/// How a picture is written: the format (unknown: by the output's extension, BMP for any other)
/// and the PNG and JPEG options.
struct SaveOptions {
    formats::Format format = formats::Format::unknown;
    formats::WriteOptions write;
};

/// Writes the picture as a BMP, PNG or JPEG file that appears whole or not at all. Throws
/// Failure "cannot save 'path': ...".
void SavePicture(CDib& picture, const std::string& path, const SaveOptions& options = {});

/// Writes the picture to an output reserved by the caller, who commits it.
void SavePicture(CDib& picture, AtomicOutput& output, const SaveOptions& options = {});

/// Throws Failure "cannot <operation> '<path>': <status in words>" when the result is 0 or the
/// record is failed. Conversions return 1 once their work ran even when installing the result
/// failed, so the record, not the result alone, tells whether the picture changed.
void RequireSuccess(BOOL result, const CHTErr& record, const std::string& operation,
                    const std::string& path);

/// The colour-table entries of a picture as palette entries; empty for a direct-colour
/// picture without a table.
std::vector<PALETTEENTRY> PictureColours(const CDib& picture);

/// Every pixel's colour as a COLORREF, row by row from the top. 16-bit pixels widen as a
/// display surface widens them, (v << 3) | (v >> 2).
std::vector<COLORREF> PictureColourRefs(const CDib& picture);

/// Whether two pictures hold the same header, colour table and pixel bytes.
bool SamePicture(const CDib& first, const CDib& second);

/// Whether two colour lists hold the same colours in the same order (flags are not colours).
bool SameColours(const std::vector<PALETTEENTRY>& first, const std::vector<PALETTEENTRY>& second);

/// A new logical palette made from `colours` (at most 256) into an empty palette object.
/// Throws Failure when the system refuses it.
void MakePaletteFrom(const std::vector<PALETTEENTRY>& colours, CPalette& palette);

/// "640x480, 24 bits".
std::string DescribePicture(const CDib& picture);

} // namespace orvel::cli
