// The framework's string class, as far as a picture library passes strings: paths and titles.
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
    CString(const char* text) : text_(text != nullptr ? text : "") {} // NOLINT: implicit by design
    CString(std::string text) : text_(std::move(text)) {}             // NOLINT: implicit by design
    CString(std::string_view text) : text_(text) {}                   // NOLINT: implicit by design

    /// The characters, NUL-terminated; valid until the string changes.
    operator LPCSTR() const noexcept { return text_.c_str(); } // NOLINT: published conversion
    LPCSTR GetString() const noexcept { return text_.c_str(); }

    int GetLength() const noexcept { return static_cast<int>(text_.size()); }
    BOOL IsEmpty() const noexcept { return text_.empty() ? TRUE : FALSE; }
    void Empty() noexcept { text_.clear(); }

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

    const std::string& str() const noexcept { return text_; }

private:
    std::string text_;
};
