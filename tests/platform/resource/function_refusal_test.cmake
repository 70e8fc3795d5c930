# orvel_add_bitmap_resources refuses, when the project is configured, every call it could not
# honour: targets that cannot hold resources, ids that are not ids, and resources or names given
# twice. Each case configures a small project and expects the call's message.
#
#   cmake -DRESOURCES_MODULE=... -DDATA_DIR=... -DWORK_DIR=... -P function_refusal_test.cmake

file(REMOVE_RECURSE "${WORK_DIR}")

function(expect_refused case_name expected)
    list(JOIN ARGN "\n" calls)
    set(dir "${WORK_DIR}/${case_name}")
    file(WRITE "${dir}/CMakeLists.txt"
        "cmake_minimum_required(VERSION 3.25)\n"
        "project(refusal LANGUAGES NONE)\n"
        "include([==[${RESOURCES_MODULE}]==])\n"
        "set(bmp [==[${DATA_DIR}/rgb24_5x3.bmp]==])\n"
        "${calls}\n")
    execute_process(COMMAND "${CMAKE_COMMAND}" -S "${dir}" -B "${dir}/build"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX REPLACE "[ \n]+" " " text "${out}${err}")
    if(rc EQUAL 0)
        message(FATAL_ERROR "${case_name}: the call was accepted")
    endif()
    if(NOT text MATCHES "${expected}")
        message(FATAL_ERROR "${case_name}: refused without \"${expected}\": ${text}")
    endif()
endfunction()

# The function's checks all come before it attaches anything, so the targets need no sources.
set(shared "add_library(shared SHARED)")

expect_refused(no_target "there is no target nothing"
    "orvel_add_bitmap_resources(nothing 1 \${bmp})")
expect_refused(imported_target "not an alias or imported target"
    "add_library(prebuilt SHARED IMPORTED)"
    "orvel_add_bitmap_resources(prebuilt 1 \${bmp})")
expect_refused(alias_target "not an alias or imported target"
    "${shared}"
    "add_library(Other::shared ALIAS shared)"
    "orvel_add_bitmap_resources(Other::shared 1 \${bmp})")
expect_refused(static_library "a STATIC_LIBRARY cannot hold resources"
    "add_library(archive STATIC)"
    "orvel_add_bitmap_resources(archive 1 \${bmp})")
expect_refused(interface_library "a INTERFACE_LIBRARY cannot hold resources"
    "add_library(headers INTERFACE)"
    "orvel_add_bitmap_resources(headers 1 \${bmp})")
expect_refused(odd_arguments "expected pairs of a resource id and a BMP file"
    "${shared}"
    "orvel_add_bitmap_resources(shared 1 \${bmp} 2)")
expect_refused(no_bitmaps "expected pairs of a resource id and a BMP file"
    "${shared}"
    "orvel_add_bitmap_resources(shared HEADER ids.h)")
expect_refused(id_zero "resource id 0 is outside 1 to 65535"
    "${shared}"
    "orvel_add_bitmap_resources(shared 0 \${bmp})")
expect_refused(id_beyond_sixteen_bits "resource id IDB_BIG=65536 is outside 1 to 65535"
    "${shared}"
    "orvel_add_bitmap_resources(shared IDB_BIG=65536 \${bmp})")
expect_refused(not_an_id "\"12abc\" is not a resource id"
    "${shared}"
    "orvel_add_bitmap_resources(shared 12abc \${bmp})")
expect_refused(same_integer_in_two_calls "the bitmap resource IDB_LOGO=101 appears twice"
    "${shared}"
    "orvel_add_bitmap_resources(shared 101 \${bmp})"
    "orvel_add_bitmap_resources(shared IDB_LOGO=101 \${bmp})")
expect_refused(same_string_in_another_case "the bitmap resource LOGO appears twice"
    "${shared}"
    "orvel_add_bitmap_resources(shared Logo \${bmp} LOGO \${bmp})")
expect_refused(name_defined_twice "IDB_LOGO is already defined \\(IDB_LOGO 101\\)"
    "${shared}"
    "orvel_add_bitmap_resources(shared IDB_LOGO=101 \${bmp} IDB_LOGO=102 \${bmp})")
expect_refused(header_renamed "the target's header is already named resource.h"
    "${shared}"
    "orvel_add_bitmap_resources(shared IDB_A=1 \${bmp})"
    "orvel_add_bitmap_resources(shared HEADER other.h IDB_B=2 \${bmp})")
