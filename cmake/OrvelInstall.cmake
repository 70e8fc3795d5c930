# Installation: headers, both libraries, a CMake package (find_package(Orvel CONFIG)) and a
# pkg-config file.
include(CMakePackageConfigHelpers)

set(ORVEL_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Orvel")

foreach(dir IN LISTS ORVEL_HEADER_DIRS)
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/${dir}/"
        DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/orvel/${dir}"
        COMPONENT Orvel_Development
        FILES_MATCHING PATTERN "*.h"
        PATTERN "detail" EXCLUDE)
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/library/orvel.h"
    DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/orvel"
    COMPONENT Orvel_Development)

install(TARGETS orvel_platform orvel
    EXPORT OrvelTargets
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Orvel_Runtime
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Orvel_Development
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Orvel_Runtime
    INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

install(EXPORT OrvelTargets
    NAMESPACE Orvel::
    DESTINATION "${ORVEL_INSTALL_CMAKEDIR}"
    COMPONENT Orvel_Development)

configure_package_config_file(
    "${PROJECT_SOURCE_DIR}/cmake/OrvelConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/OrvelConfig.cmake"
    INSTALL_DESTINATION "${ORVEL_INSTALL_CMAKEDIR}")
write_basic_package_version_file(
    "${PROJECT_BINARY_DIR}/OrvelConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES
    "${PROJECT_BINARY_DIR}/OrvelConfig.cmake"
    "${PROJECT_BINARY_DIR}/OrvelConfigVersion.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/OrvelResources.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/OrvelEmbedBitmaps.cmake"
    DESTINATION "${ORVEL_INSTALL_CMAKEDIR}"
    COMPONENT Orvel_Development)

# The .pc file names its prefix relative to where it is installed, so the package can be moved.
file(RELATIVE_PATH ORVEL_PC_PREFIX_FROM_PCDIR
    "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file("${PROJECT_SOURCE_DIR}/cmake/orvel.pc.in" "${PROJECT_BINARY_DIR}/orvel.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/orvel.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
    COMPONENT Orvel_Development)
