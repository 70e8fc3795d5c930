# Compiler settings shared by every target of the project.

if(ORVEL_SANITIZE)
    list(JOIN ORVEL_SANITIZE "," _orvel_sanitizers)
    add_compile_options(-fsanitize=${_orvel_sanitizers} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${_orvel_sanitizers})
endif()

# Warnings apply to the project's own code only, never to consumers of the installed package.
function(orvel_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(ORVEL_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Adds the .cpp files of the calling directory (not of its subdirectories' own CMakeLists) to a
# target. Each folder holds one part of the library; a new file joins its folder's part.
function(orvel_add_folder_sources target)
    file(GLOB _sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    foreach(sub IN LISTS ARGN)
        file(GLOB _sub_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp")
        list(APPEND _sources ${_sub_sources})
    endforeach()
    target_sources(${target} PRIVATE ${_sources})
endfunction()
