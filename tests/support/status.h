// The status record of an object as one value: its (kind, code) pair and its success flag,
// comparable and printable in a single assertion.
#pragma once

#include <orvel/orvel.h>

#include <ostream>
#include <string>

namespace orvel::test {

struct Status {
    unsigned kind = 0;
    unsigned long code = 0;
    BOOL succeeded = FALSE; ///< failures leave it out when they are written as {kind, code}
    friend bool operator==(const Status&, const Status&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Status& s) {
        return out << "(kind " << s.kind << ", code " << s.code << ", flag " << s.succeeded << ")";
    }
};

inline Status StatusOf(const CHTErr& record) {
    Status s{};
    s.succeeded = record.GetLastError(s.kind, s.code);
    return s;
}

constexpr Status kSuccess{HTERR_FILE, 0, TRUE};
constexpr Status ClassError(unsigned long code) {
    return {HTERR_CLASS, code, FALSE};
}
constexpr Status SystemError(unsigned long code) {
    return {HTERR_SYSTEM, code, FALSE};
}
constexpr Status FileError(unsigned long cause) {
    return {HTERR_FILE, cause, FALSE};
}
constexpr Status kProgError14{HTERR_PROG, 14, FALSE};

/// Names a parameterised test after its case's `name`.
inline constexpr auto CaseName = [](const auto& test) { return std::string(test.param.name); };

} // namespace orvel::test
