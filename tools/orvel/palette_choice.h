// The --palette option: which colours indexed targets map onto.
#pragma once

#include <orvel/orvel.h>

#include <string>
#include <vector>

namespace orvel::cli {

/// A palette named on the command line: bw, 16, halftone, or the colour table of an indexed BMP
/// file. Without --palette the library's fixed palette for the target depth applies.
class PaletteChoice {
public:
    /// No --palette: the library chooses by target depth.
    PaletteChoice() = default;

    /// Reads the option's value; a file is loaded at once, so that a bad palette file is
    /// reported before any work starts. Throws Failure for a file the library refuses or that
    /// has no colour table, UsageError for nothing to read.
    static PaletteChoice Parse(const std::string& text);

    bool IsGiven() const noexcept { return kind_ != Kind::LibraryDefault; }
    /// The option's value as the user wrote it.
    const std::string& Name() const noexcept { return name_; }
    /// The number of colours: 2, 16, the halftone palette's size, or the file's table length.
    std::size_t EntryCount() const noexcept { return entryCount_; }
    /// The smallest indexed depth that can address every colour: 1, 4 or 8.
    int NaturalDepth() const noexcept;

    /// Makes this palette into an empty palette object. Each picture gets its own object, so
    /// pictures converted on different threads share nothing. Throws Failure when the system
    /// refuses the palette.
    void Make(CPalette& palette) const;

private:
    enum class Kind { LibraryDefault, BlackWhite, Sixteen, Halftone, FromFile };
    Kind kind_ = Kind::LibraryDefault;
    std::string name_;
    std::size_t entryCount_ = 0;
    std::vector<PALETTEENTRY> colours_;
};

} // namespace orvel::cli
