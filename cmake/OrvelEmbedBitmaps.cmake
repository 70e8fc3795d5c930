# The build-time step of orvel_add_bitmap_resources: checks that each file is a BMP and writes a
# C++ source holding each one as a packed DIB (the file without its 14-byte file header), with a
# static object that registers them with the resource service when the module is loaded.
#
#   cmake -DORVEL_MANIFEST=<bitmaps_N.cmake> -DORVEL_OUTPUT=<bitmaps_N.cpp> -P OrvelEmbedBitmaps.cmake

cmake_minimum_required(VERSION 3.20)

if(NOT ORVEL_MANIFEST OR NOT ORVEL_OUTPUT)
    message(FATAL_ERROR "OrvelEmbedBitmaps: ORVEL_MANIFEST and ORVEL_OUTPUT must be given")
endif()
include("${ORVEL_MANIFEST}")

# A little-endian field of `bytes` bytes at byte `offset` of a hex dump, as an unsigned number.
function(_orvel_field hex offset bytes out)
    math(EXPR _at "${offset} * 2")
    set(_value "")
    foreach(_byte RANGE 1 ${bytes})
        string(SUBSTRING "${hex}" ${_at} 2 _pair)
        string(PREPEND _value "${_pair}")
        math(EXPR _at "${_at} + 2")
    endforeach()
    math(EXPR _value "0x${_value}" OUTPUT_FORMAT DECIMAL)
    set(${out} ${_value} PARENT_SCOPE)
endfunction()

# The same field read as a signed number.
function(_orvel_signed_field hex offset bytes out)
    _orvel_field("${hex}" ${offset} ${bytes} _value)
    math(EXPR _limit "1 << (${bytes} * 8 - 1)")
    if(_value GREATER_EQUAL _limit)
        math(EXPR _value "${_value} - 2 * ${_limit}")
    endif()
    set(${out} ${_value} PARENT_SCOPE)
endfunction()

# Refuses, with a message naming the file, whatever is not a BMP file whose headers and pixels
# fit inside it. Warns about BMP files that CDib would not read back as they look.
function(_orvel_check_bmp file hex)
    string(LENGTH "${hex}" _hex_length)
    math(EXPR _file_bytes "${_hex_length} / 2")
    if(_file_bytes LESS 18)
        message(FATAL_ERROR "${file}: not a BMP file (only ${_file_bytes} bytes)")
    endif()
    string(SUBSTRING "${hex}" 0 4 _signature)
    if(NOT _signature STREQUAL "424d")
        message(FATAL_ERROR "${file}: not a BMP file (it does not begin with \"BM\")")
    endif()

    _orvel_field("${hex}" 14 4 _header_bytes)
    if(NOT _header_bytes MATCHES "^(12|40|52|56|64|108|124)$")
        message(FATAL_ERROR "${file}: not a BMP file (unknown information header size "
                            "${_header_bytes})")
    endif()
    math(EXPR _headers_end "14 + ${_header_bytes}")
    if(_file_bytes LESS _headers_end)
        message(FATAL_ERROR "${file}: truncated BMP file (its ${_header_bytes}-byte information "
                            "header ends past the end of the file)")
    endif()

    if(_header_bytes EQUAL 12)
        _orvel_field("${hex}" 18 2 _width)
        _orvel_field("${hex}" 20 2 _height)
        _orvel_field("${hex}" 24 2 _bit_count)
        set(_compression 0)
        set(_colours_used 0)
        set(_colours_important 0)
    else()
        _orvel_signed_field("${hex}" 18 4 _width)
        _orvel_signed_field("${hex}" 22 4 _height)
        _orvel_field("${hex}" 28 2 _bit_count)
        _orvel_field("${hex}" 30 4 _compression)
        _orvel_field("${hex}" 46 4 _colours_used)
        _orvel_field("${hex}" 50 4 _colours_important)
    endif()
    if(_width LESS_EQUAL 0 OR _height EQUAL 0)
        message(FATAL_ERROR "${file}: damaged BMP file (size ${_width} x ${_height})")
    endif()
    if(NOT _bit_count MATCHES "^(1|4|8|16|24|32)$")
        message(FATAL_ERROR "${file}: damaged BMP file (${_bit_count} bits per pixel)")
    endif()

    _orvel_field("${hex}" 10 4 _pixel_offset)
    if(_pixel_offset LESS _headers_end OR _pixel_offset GREATER _file_bytes)
        message(FATAL_ERROR "${file}: damaged BMP file (its pixels start at offset "
                            "${_pixel_offset}, outside the ${_headers_end} to ${_file_bytes} "
                            "bytes after its headers)")
    endif()
    # Uncompressed rows must all be there; run-length pixels end where their codes say.
    if(_compression EQUAL 0 OR _compression EQUAL 3)
        if(_height LESS 0)
            math(EXPR _height "-(${_height})")
        endif()
        math(EXPR _pixel_bytes "((${_width} * ${_bit_count} + 31) / 32) * 4 * ${_height}")
        math(EXPR _pixels_end "${_pixel_offset} + ${_pixel_bytes}")
        if(_pixels_end GREATER _file_bytes)
            message(FATAL_ERROR "${file}: truncated BMP file (its pixel rows need "
                                "${_pixels_end} bytes, the file has ${_file_bytes})")
        endif()
    endif()

    # CDib reads a bitmap resource as a 40-byte header, a colour table (the full one of its depth,
    # or the biClrUsed entries the resource's size shows it stores) and the pixels right after it.
    # Other layouts are embedded as they are, but deserve a word at build time.
    if(NOT _header_bytes EQUAL 40)
        message(WARNING "${file}: its ${_header_bytes}-byte information header is embedded as "
                        "it is, but CDib loads only bitmap resources with a 40-byte header")
        return()
    endif()
    if(_bit_count LESS_EQUAL 8)
        math(EXPR _entries "1 << ${_bit_count}")
    elseif(NOT _colours_important EQUAL 0)
        math(EXPR _entries "${_colours_important} & 0xFFFF")
    else()
        math(EXPR _entries "${_colours_used} & 0xFFFF")
    endif()
    math(EXPR _packed_offset "54 + 4 * ${_entries}")
    math(EXPR _short_offset "54 + 4 * ${_colours_used}")
    if(_bit_count LESS_EQUAL 8 AND _colours_used GREATER 0 AND _colours_used LESS _entries
       AND _pixel_offset EQUAL _short_offset)
        return() # a shorter table of biClrUsed colours, as the format allows
    endif()
    if(NOT _pixel_offset EQUAL _packed_offset)
        message(WARNING "${file}: its pixels start at offset ${_pixel_offset}, but CDib expects "
                        "them after a full colour table of ${_entries} entries, at offset "
                        "${_packed_offset}")
    endif()
endfunction()

# The bytes of a hex dump as lines of a C++ array initialiser, 16 bytes to a line.
function(_orvel_hex_to_initialiser hex out)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${hex}")
    set(_line_pattern "")
    foreach(_i RANGE 1 16)
        string(APPEND _line_pattern "0x[0-9a-f][0-9a-f],")
    endforeach()
    string(REGEX REPLACE "(${_line_pattern})" "    \\1\n" _bytes "${_bytes}")
    # The last, shorter line has no indent and no break yet.
    string(FIND "${_bytes}" "\n" _last_break REVERSE)
    math(EXPR _tail_at "${_last_break} + 1")
    string(SUBSTRING "${_bytes}" ${_tail_at} -1 _tail)
    if(NOT _tail STREQUAL "")
        string(SUBSTRING "${_bytes}" 0 ${_tail_at} _bytes)
        string(APPEND _bytes "    ${_tail}\n")
    endif()
    set(${out} "${_bytes}" PARENT_SCOPE)
endfunction()

set(_arrays "")
set(_entries "")
math(EXPR _last "${ORVEL_BITMAP_COUNT} - 1")
foreach(_i RANGE 0 ${_last})
    set(_file "${ORVEL_BITMAP_${_i}_FILE}")
    if(NOT EXISTS "${_file}" OR IS_DIRECTORY "${_file}")
        message(FATAL_ERROR "${_file}: no such BMP file")
    endif()
    file(READ "${_file}" _hex HEX)
    string(TOLOWER "${_hex}" _hex)
    _orvel_check_bmp("${_file}" "${_hex}")

    # The packed DIB: everything after the 14-byte file header.
    string(SUBSTRING "${_hex}" 28 -1 _packed)
    string(LENGTH "${_packed}" _packed_length)
    math(EXPR _packed_bytes "${_packed_length} / 2")
    _orvel_hex_to_initialiser("${_packed}" _initialiser)
    string(APPEND _arrays
        "// ${ORVEL_BITMAP_${_i}_LABEL}: ${_file}\n"
        "alignas(4) const BYTE kBitmap${_i}[${_packed_bytes}] = {\n${_initialiser}};\n\n")

    if(NOT ORVEL_BITMAP_${_i}_ID STREQUAL "")
        set(_name "${ORVEL_BITMAP_${_i}_ID}, nullptr")
    else()
        set(_name "0, \"${ORVEL_BITMAP_${_i}_NAME}\"")
    endif()
    string(APPEND _entries
        "    {2, nullptr, ${_name}, kBitmap${_i}, sizeof kBitmap${_i}},\n")
endforeach()

file(WRITE "${ORVEL_OUTPUT}" "\
// Generated by orvel_add_bitmap_resources from the BMP files named below; do not edit.
#include <orvel/platform/resource/compiled_resources.h>

namespace {

${_arrays}\
const orvel::resource::CompiledResource kBitmaps[] = {
${_entries}\
};

// Registers the bitmaps with this module while it is loaded.
class BitmapRegistration {
public:
    BitmapRegistration() noexcept {
        orvel::resource::RegisterModuleResources(kBitmaps, kBitmaps, ${ORVEL_BITMAP_COUNT});
    }
    ~BitmapRegistration() { orvel::resource::UnregisterModuleResources(kBitmaps); }
    BitmapRegistration(const BitmapRegistration&) = delete;
    BitmapRegistration& operator=(const BitmapRegistration&) = delete;
};

const BitmapRegistration g_bitmapRegistration;

} // namespace
")
