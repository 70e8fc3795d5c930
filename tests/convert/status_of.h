// The (kind, code) pair of a status record, comparable in one assertion.
#pragma once

#include <orvel/orvel.h>

namespace orvel::test {

struct Status {
    unsigned kind = 0;
    unsigned long code = 0;
    friend bool operator==(const Status&, const Status&) = default;
};

inline Status StatusOf(const CHTErr& object) {
    Status status;
    object.GetLastError(status.kind, status.code);
    return status;
}

} // namespace orvel::test
