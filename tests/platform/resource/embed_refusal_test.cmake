# The build-time step of orvel_add_bitmap_resources stops with a message naming the file for
# every file that is not a whole BMP file, and writes no source for it; a good file passes.
#
#   cmake -DEMBED_SCRIPT=... -DDATA_DIR=... -DWORK_DIR=... -P embed_refusal_test.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Runs the step on one file; sets rc and output in the caller.
function(embed file)
    set(manifest "${WORK_DIR}/manifest.cmake")
    file(WRITE "${manifest}"
        "set(ORVEL_BITMAP_COUNT 1)\n"
        "set(ORVEL_BITMAP_0_ID 1)\n"
        "set(ORVEL_BITMAP_0_NAME \"\")\n"
        "set(ORVEL_BITMAP_0_LABEL 1)\n"
        "set(ORVEL_BITMAP_0_FILE [==[${file}]==])\n")
    file(REMOVE "${WORK_DIR}/out.cpp")
    execute_process(
        COMMAND "${CMAKE_COMMAND}" "-DORVEL_MANIFEST=${manifest}"
                "-DORVEL_OUTPUT=${WORK_DIR}/out.cpp" -P "${EMBED_SCRIPT}"
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX REPLACE "[ \n]+" " " text "${out}${err}")
    set(rc "${result}" PARENT_SCOPE)
    set(output "${text}" PARENT_SCOPE)
endfunction()

function(expect_refused name expected)
    embed("${DATA_DIR}/${name}")
    if(rc EQUAL 0)
        message(FATAL_ERROR "${name} was embedded; it should have been refused")
    endif()
    if(NOT output MATCHES "${name}: ${expected}")
        message(FATAL_ERROR "${name} was refused without the expected message "
                            "\"${expected}\": ${output}")
    endif()
    if(EXISTS "${WORK_DIR}/out.cpp")
        message(FATAL_ERROR "${name} was refused but a source was written")
    endif()
endfunction()

embed("${DATA_DIR}/rgb24_5x3.bmp")
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK_DIR}/out.cpp")
    message(FATAL_ERROR "a good BMP file was refused: ${output}")
endif()

expect_refused(not_a_bitmap.bmp "not a BMP file \\(it does not begin with \"BM\"\\)")
expect_refused(unknown_header.bmp "not a BMP file \\(unknown information header size 20\\)")
expect_refused(truncated_rows.bmp
    "truncated BMP file \\(its pixel rows need 102 bytes, the file has 80\\)")
expect_refused(no_such_file.bmp "no such BMP file")
