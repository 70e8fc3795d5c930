// A failed operation of the tool: the library refused an input or an operation, or the system
// refused a file. The message names the file, the operation and the reason; the tool prints it
// after "orvel: " and exits with 1.
#pragma once

#include <stdexcept>

namespace orvel::cli {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvel::cli
