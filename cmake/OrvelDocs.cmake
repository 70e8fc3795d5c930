# The HTML API reference (target `docs`, not part of ALL): Doxygen reads the headers an
# application includes and writes ${PROJECT_BINARY_DIR}/docs/html/index.html. A public member
# without documentation, like any other Doxygen warning, fails the target.
find_package(Doxygen)
if(DOXYGEN_FOUND)
    set(ORVEL_DOCS_OUTPUT_DIR "${PROJECT_BINARY_DIR}/docs")
    configure_file("${PROJECT_SOURCE_DIR}/docs/Doxyfile.in" "${ORVEL_DOCS_OUTPUT_DIR}/Doxyfile" @ONLY)
    add_custom_target(docs
        COMMAND Doxygen::doxygen "${ORVEL_DOCS_OUTPUT_DIR}/Doxyfile"
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        COMMENT "Building the API reference: ${ORVEL_DOCS_OUTPUT_DIR}/html/index.html"
        VERBATIM)
else()
    message(STATUS "Doxygen not found: no docs target")
endif()
