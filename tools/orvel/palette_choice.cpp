#include "palette_choice.h"

#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

namespace orvel::cli {
namespace {

void MakeStandard(CPalette& palette, WORD bitCount, const std::string& name) {
    if (!CDibSupport::MakeNewPalette(palette, bitCount) || palette.GetSafeHandle() == nullptr) {
        throw Failure("cannot make the " + name + " palette: " +
                      StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
    }
}

} // namespace

PaletteChoice PaletteChoice::Parse(const std::string& text) {
    PaletteChoice choice;
    choice.name_ = text;
    if (text == "bw") {
        choice.kind_ = Kind::BlackWhite;
        choice.entryCount_ = 2;
    } else if (text == "16") {
        choice.kind_ = Kind::Sixteen;
        choice.entryCount_ = 16;
    } else if (text == "halftone") {
        choice.kind_ = Kind::Halftone;
        CPalette halftone;
        MakeStandard(halftone, 8, "halftone");
        choice.entryCount_ = static_cast<std::size_t>(halftone.GetEntryCount());
    } else if (text.empty()) {
        throw UsageError("--palette expects bw, 16, halftone or an indexed BMP file");
    } else {
        choice.kind_ = Kind::FromFile;
        CDib source;
        LoadPicture(source, text);
        if (source.GetColorNum() > 8) {
            throw Failure("cannot use '" + text + "' as a palette: it has " +
                          std::to_string(source.GetColorNum()) +
                          " bits per pixel; a palette comes from a 1-, 4- or 8-bit picture");
        }
        choice.colours_ = PictureColours(source);
        choice.entryCount_ = choice.colours_.size();
    }
    return choice;
}

int PaletteChoice::NaturalDepth() const noexcept {
    if (entryCount_ <= 2) {
        return 1;
    }
    return entryCount_ <= 16 ? 4 : 8;
}

void PaletteChoice::Make(CPalette& palette) const {
    switch (kind_) {
    case Kind::LibraryDefault:
        break;
    case Kind::BlackWhite:
        MakeStandard(palette, 1, "black-and-white");
        break;
    case Kind::Sixteen:
        MakeStandard(palette, 4, "sixteen-colour");
        break;
    case Kind::Halftone:
        MakeStandard(palette, 8, "halftone");
        break;
    case Kind::FromFile:
        MakePaletteFrom(colours_, palette);
        break;
    }
}

} // namespace orvel::cli
