// Command-line options of the subcommands: parsing, and the values the tool's options take.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvel::cli {

/// A command line the tool cannot act on: an unknown option, a missing or malformed value. The
/// tool prints the message with a short usage line and exits with 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One option a subcommand accepts.
struct OptionRule {
    std::string name;   ///< the long name without dashes, e.g. "depth"
    char shortName = 0; ///< e.g. 'o' for -o; 0 when there is none
    bool takesValue = false;
};

/// What a command line gave: options by long name, and the operands in order.
class ParsedArguments {
public:
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    /// The value of an option, or nothing when it was not given.
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Operands() const noexcept { return operands_; }

private:
    friend ParsedArguments ParseArguments(const std::vector<std::string>& arguments,
                                          const std::vector<OptionRule>& rules);
    std::map<std::string, std::string> values_;
    std::vector<std::string> operands_;
};

/// Parses `--name value`, `--name=value`, `-o value` and flags; everything else is an operand,
/// and so is everything after `--`. An option given twice is refused rather than letting the
/// last one win silently, since that is almost always a slip. Throws UsageError.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments,
                               const std::vector<OptionRule>& rules);

/// A whole number in [minimum, maximum]; `what` names the option in the message.
long ParseInteger(const std::string& what, const std::string& text, long minimum, long maximum);

/// Width and height, written WIDTHxHEIGHT.
struct Extent {
    long width = 0;
    long height = 0;
};
/// WIDTHxHEIGHT with both sides in [minimum, maximum].
Extent ParseExtent(const std::string& what, const std::string& text, long minimum, long maximum);

/// A position, written X,Y.
struct Position {
    long x = 0;
    long y = 0;
};
Position ParsePosition(const std::string& what, const std::string& text);

/// A rectangle, written X,Y,WIDTH,HEIGHT.
struct Area {
    long x = 0;
    long y = 0;
    long width = 0;
    long height = 0;
};
Area ParseArea(const std::string& what, const std::string& text);

/// A colour written RRGGBB in hexadecimal (a leading # is allowed), as a COLORREF value.
std::uint32_t ParseColour(const std::string& what, const std::string& text);

} // namespace orvel::cli
