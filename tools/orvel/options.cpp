#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace orvel::cli {
namespace {

const OptionRule* FindLong(const std::vector<OptionRule>& rules, const std::string& name) {
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [&](const OptionRule& rule) { return rule.name == name; });
    return found == rules.end() ? nullptr : &*found;
}

const OptionRule* FindShort(const std::vector<OptionRule>& rules, char name) {
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [&](const OptionRule& rule) { return rule.shortName == name; });
    return found == rules.end() ? nullptr : &*found;
}

// Splits "a,b,c" (or "axb") into its parts; empty parts are kept so that "3," is refused.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

// A signed decimal number with nothing around it; nothing when the text is anything else.
std::optional<long> ReadLong(const std::string& text) {
    if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<std::string> ParsedArguments::Value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

ParsedArguments ParseArguments(const std::vector<std::string>& arguments,
                               const std::vector<OptionRule>& rules) {
    ParsedArguments parsed;
    auto record = [&](const OptionRule& rule, const std::string& shown, std::string value) {
        if (!parsed.values_.emplace(rule.name, std::move(value)).second) {
            throw UsageError(shown + " is given twice");
        }
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            parsed.operands_.insert(parsed.operands_.end(),
                                    arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                    arguments.end());
            break;
        }
        const OptionRule* rule = nullptr;
        std::string shown;
        std::optional<std::string> inlineValue;
        if (argument.rfind("--", 0) == 0) {
            const auto equals = argument.find('=');
            const std::string name =
                argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            rule = FindLong(rules, name);
            shown = "--" + name;
            if (rule == nullptr) {
                throw UsageError("unknown option '" + shown + "'");
            }
            if (equals != std::string::npos) {
                inlineValue = argument.substr(equals + 1);
            }
        } else if (argument.size() >= 2 && argument[0] == '-' &&
                   (argument[1] < '0' || argument[1] > '9')) {
            // "-5" stays an operand-like value; "-o" is an option.
            rule = argument.size() == 2 ? FindShort(rules, argument[1]) : nullptr;
            shown = argument;
            if (rule == nullptr) {
                throw UsageError("unknown option '" + argument + "'");
            }
        } else {
            parsed.operands_.push_back(argument);
            continue;
        }
        if (!rule->takesValue) {
            if (inlineValue) {
                throw UsageError(shown + " takes no value");
            }
            record(*rule, shown, {});
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                throw UsageError(shown + " needs a value");
            }
            inlineValue = arguments[++i];
        }
        record(*rule, shown, *inlineValue);
    }
    return parsed;
}

long ParseInteger(const std::string& what, const std::string& text, long minimum, long maximum) {
    const std::optional<long> value = ReadLong(text);
    if (!value) {
        throw UsageError(what + " expects a whole number, not '" + text + "'");
    }
    if (*value < minimum || *value > maximum) {
        throw UsageError(what + " must be from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not " + text);
    }
    return *value;
}

Extent ParseExtent(const std::string& what, const std::string& text, long minimum, long maximum) {
    const std::vector<std::string> parts = Split(text, 'x');
    if (parts.size() != 2 || !ReadLong(parts[0]) || !ReadLong(parts[1])) {
        throw UsageError(what + " expects WIDTHxHEIGHT, for example 640x480, not '" + text + "'");
    }
    return {ParseInteger(what + " width", parts[0], minimum, maximum),
            ParseInteger(what + " height", parts[1], minimum, maximum)};
}

Position ParsePosition(const std::string& what, const std::string& text) {
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 2 || !ReadLong(parts[0]) || !ReadLong(parts[1])) {
        throw UsageError(what + " expects X,Y, for example 10,-4, not '" + text + "'");
    }
    constexpr long kLimit = 1L << 30;
    return {ParseInteger(what + " x", parts[0], -kLimit, kLimit),
            ParseInteger(what + " y", parts[1], -kLimit, kLimit)};
}

Area ParseArea(const std::string& what, const std::string& text) {
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 4 || !std::all_of(parts.begin(), parts.end(),
                                          [](const std::string& p) { return ReadLong(p); })) {
        throw UsageError(what + " expects X,Y,WIDTH,HEIGHT, for example 0,0,64,48, not '" + text +
                         "'");
    }
    // Coordinates stay well inside 32 bits so that right = x + width cannot overflow.
    constexpr long kLimit = 1L << 30;
    return {ParseInteger(what + " x", parts[0], -kLimit, kLimit),
            ParseInteger(what + " y", parts[1], -kLimit, kLimit),
            ParseInteger(what + " width", parts[2], -kLimit, kLimit),
            ParseInteger(what + " height", parts[3], -kLimit, kLimit)};
}

std::uint32_t ParseColour(const std::string& what, const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw UsageError(what +
                         " expects a colour RRGGBB in hexadecimal, for example ff8000, not '" +
                         text + "'");
    }
    const auto rgb = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    const std::uint32_t red = (rgb >> 16) & 0xFF;
    const std::uint32_t green = (rgb >> 8) & 0xFF;
    const std::uint32_t blue = rgb & 0xFF;
    return red | (green << 8) | (blue << 16);
}

} // namespace orvel::cli
