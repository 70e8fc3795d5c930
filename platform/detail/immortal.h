// Storage for a process-wide object that is made before any code runs and never destroyed.
//
// A service whose table is reached on every call of a hot function keeps it in such storage
// rather than behind a function-local static: constant initialisation needs no guard to test on
// each call, and since the destructor never runs, objects that other static destructors release
// at exit still find their table.
#pragma once

namespace orvel::platform::detail {

template <class T>
union Immortal {
    constexpr Immortal() noexcept(noexcept(T())) : value() {}
    ~Immortal() {}
    Immortal(const Immortal&) = delete;
    Immortal& operator=(const Immortal&) = delete;

    T value;
};

} // namespace orvel::platform::detail
