# Installs the built project into a fresh prefix, then builds and runs a consumer against it
# twice: through the CMake package (which also embeds a bitmap resource with the package's
# orvel_add_bitmap_resources) and through pkg-config.

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
    set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# find_package(Orvel CONFIG REQUIRED) + target_link_libraries(app Orvel::orvel)
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run("${WORK_DIR}/build/orvel_consumer")
if(NOT RUN_OUTPUT MATCHES "orvel consumer: ok")
    message(FATAL_ERROR "the consumer did not report success: ${RUN_OUTPUT}")
endif()
# The package's orvel_add_bitmap_resources embedded logo.bmp, and the program found it.
if(NOT RUN_OUTPUT MATCHES "orvel consumer: embedded bitmap found")
    message(FATAL_ERROR "the consumer did not find its embedded bitmap: ${RUN_OUTPUT}")
endif()

# pkg-config --cflags --libs orvel
file(GLOB_RECURSE pc_files "${prefix}/*/orvel.pc")
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
run(pkg-config --cflags --libs orvel)
string(STRIP "${RUN_OUTPUT}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
get_filename_component(libdir "${pc_dir}" DIRECTORY)
separate_arguments(extra UNIX_COMMAND "${CXX_FLAGS}")
run("${CXX_COMPILER}" ${extra} "${CONSUMER_DIR}/main.cpp" -o "${WORK_DIR}/pkg_consumer" ${flags}
    "-Wl,-rpath,${libdir}")
run("${WORK_DIR}/pkg_consumer")
if(NOT RUN_OUTPUT MATCHES "orvel consumer: ok")
    message(FATAL_ERROR "the pkg-config consumer did not report success: ${RUN_OUTPUT}")
endif()
