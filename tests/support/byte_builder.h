// Builds byte sequences field by field, little-endian, for pictures made byte by byte in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace orvel::test {

class ByteBuilder {
public:
    ByteBuilder& U8(std::uint8_t value) {
        bytes_.push_back(value);
        return *this;
    }
    ByteBuilder& U16(std::uint16_t value) { return U8(value & 0xFF).U8(value >> 8); }
    ByteBuilder& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    ByteBuilder& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    ByteBuilder& Bytes(std::initializer_list<std::uint8_t> values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    ByteBuilder& Bytes(const std::vector<std::uint8_t>& values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    ByteBuilder& Fill(std::size_t count, std::uint8_t value) {
        bytes_.insert(bytes_.end(), count, value);
        return *this;
    }
    std::size_t Size() const noexcept { return bytes_.size(); }
    const std::vector<std::uint8_t>& Get() const noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace orvel::test
