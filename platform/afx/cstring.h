/// @file
/// The framework's string class, as far as a picture library passes strings: paths and titles.
#pragma once

#include "../export.h"
#include "../win/types.h"

#include <string>
#include <string_view>
#include <utility>

/// A narrow-character string that converts from and to `const char*`.
class ORVEL_PLATFORM_API CString {
public:
    CString() = default;
    /// A copy of `text`; a null pointer gives the empty string. Implicit, as published.
    CString(const char* text) : text_(text != nullptr ? text : "") {} // NOLINT: implicit by design
    /// Takes `text` over. Implicit.
    CString(std::string text) : text_(std::move(text)) {} // NOLINT: implicit by design
    /// A copy of `text`. Implicit.
    CString(std::string_view text) : text_(text) {} // NOLINT: implicit by design

    /// The characters, NUL-terminated; valid until the string changes.
    operator LPCSTR() const noexcept { return text_.c_str(); } // NOLINT: published conversion
    /// The characters, NUL-terminated; valid until the string changes.
    LPCSTR GetString() const noexcept { return text_.c_str(); }

    /// The number of bytes (not characters: the text is taken as bytes, UTF-8 in practice).
    int GetLength() const noexcept { return static_cast<int>(text_.size()); }
    /// TRUE for the empty string.
    BOOL IsEmpty() const noexcept { return text_.empty() ? TRUE : FALSE; }
    /// Makes the string empty.
    void Empty() noexcept { text_.clear(); }

    /// Appends `other`.
    CString& operator+=(const CString& other) {
        text_ += other.text_;
        return *this;
    }
    friend CString operator+(CString left, const CString& right) {
        left += right;
        return left;
    }
    friend bool operator==(const CString& left, const CString& right) noexcept {
        return left.text_ == right.text_;
    }

    /// The characters as a std::string, for code on this platform.
    const std::string& str() const noexcept { return text_; }

private:
    std::string text_;
};
