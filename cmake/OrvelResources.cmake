# Bitmap resources: BMP files compiled into an executable or shared library, found at run time
# with FindResourceA / AfxFindResourceHandle and loaded with CDib(id) as on Windows.
#
#   orvel_add_bitmap_resources(<target> [HEADER <file name>] <id> <file.bmp> [<id> <file.bmp> ...])
#
# Each <id> names one RT_BITMAP resource of <target>'s module:
#   101            the integer resource 101 (MAKEINTRESOURCE(101));
#   IDB_LOGO=101   the integer resource 101, and `#define IDB_LOGO 101` in the generated header;
#   LOGO           the string resource "LOGO" (names compare without regard to case), which is
#                  what a resource compiler makes of a name that no header defines.
# Integers run from 1 to 65535; names are C identifiers. A resource may appear once per target.
#
# The resource holds the file without its 14-byte file header, a packed DIB, as resource
# compilers store bitmaps. The bytes are generated into a C++ source at build time and again
# whenever a BMP file changes; a file that is not a BMP stops the build with a message naming it.
#
# When any <id> has the NAME=value form, the generated header (default name resource.h, or the
# HEADER given) defines every such name of the target; it is on the target's private include
# path, so the application writes #include "resource.h" as it would on Windows.
#
# The target must be an executable, a shared or module library, or an object library: a static
# library's registration would be dropped by the linker, as nothing refers to it.

if(CMAKE_VERSION VERSION_LESS 3.20)
    message(FATAL_ERROR "orvel_add_bitmap_resources needs CMake 3.20 or newer")
endif()

function(orvel_add_bitmap_resources target)
    cmake_parse_arguments(PARSE_ARGV 1 _orvel "" "HEADER" "")
    set(_pairs ${_orvel_UNPARSED_ARGUMENTS})
    set(_fn "orvel_add_bitmap_resources(${target})")

    if(NOT TARGET ${target})
        message(FATAL_ERROR "${_fn}: there is no target ${target}")
    endif()
    get_target_property(_aliased ${target} ALIASED_TARGET)
    get_target_property(_imported ${target} IMPORTED)
    if(_aliased OR _imported)
        message(FATAL_ERROR "${_fn}: the target must be one this project builds, not an alias "
                            "or imported target")
    endif()
    get_target_property(_type ${target} TYPE)
    if(NOT _type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
        message(FATAL_ERROR "${_fn}: a ${_type} cannot hold resources (a static library's "
                            "resources would be dropped by the linker); embed them into the "
                            "executable or shared library instead")
    endif()

    list(LENGTH _pairs _argc)
    math(EXPR _odd "${_argc} % 2")
    if(_argc EQUAL 0 OR _odd)
        message(FATAL_ERROR "${_fn}: expected pairs of a resource id and a BMP file")
    endif()

    get_target_property(_keys ${target} ORVEL_BITMAP_RESOURCE_KEYS)
    get_target_property(_defines ${target} ORVEL_BITMAP_RESOURCE_DEFINES)
    get_target_property(_header ${target} ORVEL_BITMAP_RESOURCE_HEADER)
    get_target_property(_calls ${target} ORVEL_BITMAP_RESOURCE_CALLS)
    # An unset property reads as <name>-NOTFOUND; a key list can hold any name, so test for that
    # rather than for a false value.
    foreach(_var _keys _defines _header)
        if(${_var} MATCHES "-NOTFOUND$")
            set(${_var} "")
        endif()
    endforeach()
    if(_calls MATCHES "-NOTFOUND$")
        set(_calls 0)
    endif()
    # The header's name is settled by the first call that names it or writes it.
    if(_orvel_HEADER)
        if(NOT _header STREQUAL "" AND NOT _header STREQUAL _orvel_HEADER)
            message(FATAL_ERROR "${_fn}: the target's header is already named ${_header}")
        endif()
        set(_header "${_orvel_HEADER}")
    endif()

    # The manifest tells the build-time step what to embed; it is rewritten only when it changes,
    # so an unchanged configuration rebuilds nothing.
    get_target_property(_target_binary_dir ${target} BINARY_DIR)
    set(_dir "${_target_binary_dir}/orvel_resources/${target}")
    set(_manifest_text "")
    set(_files "")
    set(_index 0)
    math(EXPR _last "${_argc} - 1")
    foreach(_at RANGE 0 ${_last} 2)
        math(EXPR _file_at "${_at} + 1")
        list(GET _pairs ${_at} _id)
        list(GET _pairs ${_file_at} _file)

        set(_number "")
        set(_string "")
        if(_id MATCHES "^[0-9]+$")
            set(_number "${_id}")
        elseif(_id MATCHES "^([A-Za-z_][A-Za-z0-9_]*)=([0-9]+)$")
            set(_macro "${CMAKE_MATCH_1}")
            set(_number "${CMAKE_MATCH_2}")
        elseif(_id MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
            set(_string "${_id}")
        else()
            message(FATAL_ERROR "${_fn}: \"${_id}\" is not a resource id (write 101, "
                                "IDB_LOGO=101 or LOGO)")
        endif()
        if(NOT _number STREQUAL "")
            math(EXPR _number "${_number}")
            if(_number LESS 1 OR _number GREATER 65535)
                message(FATAL_ERROR "${_fn}: resource id ${_id} is outside 1 to 65535")
            endif()
            set(_key "#${_number}")
        else()
            string(TOUPPER "${_string}" _key)
        endif()
        if(_key IN_LIST _keys)
            message(FATAL_ERROR "${_fn}: the bitmap resource ${_id} appears twice")
        endif()
        list(APPEND _keys "${_key}")
        if(_id MATCHES "=")
            foreach(_define IN LISTS _defines)
                if(_define MATCHES "^${_macro} ")
                    message(FATAL_ERROR "${_fn}: ${_macro} is already defined (${_define})")
                endif()
            endforeach()
            list(APPEND _defines "${_macro} ${_number}")
        endif()

        cmake_path(ABSOLUTE_PATH _file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
                   NORMALIZE OUTPUT_VARIABLE _file)
        list(APPEND _files "${_file}")
        string(APPEND _manifest_text
            "set(ORVEL_BITMAP_${_index}_ID \"${_number}\")\n"
            "set(ORVEL_BITMAP_${_index}_NAME \"${_string}\")\n"
            "set(ORVEL_BITMAP_${_index}_LABEL \"${_id}\")\n"
            "set(ORVEL_BITMAP_${_index}_FILE [==[${_file}]==])\n")
        math(EXPR _index "${_index} + 1")
    endforeach()
    string(PREPEND _manifest_text "set(ORVEL_BITMAP_COUNT ${_index})\n")

    set(_manifest "${_dir}/bitmaps_${_calls}.cmake")
    set(_source "${_dir}/bitmaps_${_calls}.cpp")
    file(WRITE "${_manifest}.new" "${_manifest_text}")
    configure_file("${_manifest}.new" "${_manifest}" COPYONLY)
    file(REMOVE "${_manifest}.new")

    set(_script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/OrvelEmbedBitmaps.cmake")
    add_custom_command(OUTPUT "${_source}"
        COMMAND "${CMAKE_COMMAND}" "-DORVEL_MANIFEST=${_manifest}" "-DORVEL_OUTPUT=${_source}"
                -P "${_script}"
        DEPENDS "${_script}" "${_manifest}" ${_files}
        COMMENT "Embedding bitmap resources into ${target}"
        VERBATIM)

    # A custom command's rule belongs to targets of the directory that declares it. For a target
    # of another directory, a helper target of this directory runs the step first.
    get_target_property(_target_source_dir ${target} SOURCE_DIR)
    if(NOT _target_source_dir STREQUAL CMAKE_CURRENT_SOURCE_DIR)
        add_custom_target(${target}_orvel_bitmaps_${_calls} DEPENDS "${_source}")
        add_dependencies(${target} ${target}_orvel_bitmaps_${_calls})
        set_source_files_properties("${_source}" TARGET_DIRECTORY ${target}
                                    PROPERTIES GENERATED TRUE)
    endif()
    target_sources(${target} PRIVATE "${_source}")
    # The registration calls the platform layer; LINK_LIBRARIES is appended directly so that a
    # target linked with either target_link_libraries signature accepts it.
    set_property(TARGET ${target} APPEND PROPERTY LINK_LIBRARIES Orvel::platform)

    # The header is written once, when the build system is generated, with the names of every
    # call: rewriting it at each call would touch it at every configure and rebuild its users.
    get_target_property(_header_written ${target} ORVEL_BITMAP_RESOURCE_HEADER_WRITTEN)
    if(_defines AND NOT _header_written)
        if(_header STREQUAL "")
            set(_header "resource.h")
        endif()
        file(GENERATE OUTPUT "${_dir}/include/${_header}" CONTENT "\
// Generated by orvel_add_bitmap_resources: the bitmap resource ids of ${target}.
#pragma once

#define $<JOIN:$<TARGET_PROPERTY:${target},ORVEL_BITMAP_RESOURCE_DEFINES>,\n#define >
")
        target_include_directories(${target} PRIVATE "${_dir}/include")
        set_target_properties(${target} PROPERTIES ORVEL_BITMAP_RESOURCE_HEADER_WRITTEN TRUE)
    endif()

    math(EXPR _calls "${_calls} + 1")
    set_target_properties(${target} PROPERTIES
        ORVEL_BITMAP_RESOURCE_KEYS "${_keys}"
        ORVEL_BITMAP_RESOURCE_DEFINES "${_defines}"
        ORVEL_BITMAP_RESOURCE_HEADER "${_header}"
        ORVEL_BITMAP_RESOURCE_CALLS "${_calls}")
endfunction()
