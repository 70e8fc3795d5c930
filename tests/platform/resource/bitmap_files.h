// What the resource tests compare against: the BMP files the build embedded, read from the
// source tree, and a resource's bytes read through the service.
#pragma once

#include <orvel/orvel.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orvel::test {

/// The bytes of one of the tests' BMP files; empty when it cannot be read.
inline std::vector<BYTE> ReadBitmapFile(const std::string& fileName) {
    std::ifstream in(std::string(ORVEL_TEST_RESOURCE_DATA_DIR) + "/" + fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A BMP file without its 14-byte file header: the packed DIB a resource compiler stores.
inline std::vector<BYTE> PackedDibOfFile(const std::string& fileName) {
    std::vector<BYTE> bytes = ReadBitmapFile(fileName);
    bytes.erase(bytes.begin(), bytes.begin() + std::min<std::size_t>(14, bytes.size()));
    return bytes;
}

/// A bitmap resource's bytes through FindResourceA, LoadResource, LockResource and
/// SizeofResource; empty when any of them fails.
inline std::vector<BYTE> BitmapResourceBytes(HMODULE module, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, RT_BITMAP);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (data == nullptr) {
        return {};
    }
    return {data, data + SizeofResource(module, found)};
}

} // namespace orvel::test
