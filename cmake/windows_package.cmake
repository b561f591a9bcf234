# The Windows distribution as one .zip: the distribution folder, which a Windows user unpacks and
# runs the setup from, with the two programs and the eleven files the setup installs (what
# pulsaro_install_distribution puts in the component "distribution_archive"), a short readme and
# the licence, both with the line ends of Windows.
#   cmake --build <Windows build> --target package  ->  pulsaro-zentra-<version>-windows.zip
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in README.txt @ONLY
               NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
        DESTINATION . COMPONENT distribution_archive EXCLUDE_FROM_ALL)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pulsaro-zentra)
set(CPACK_PACKAGE_VENDOR "Pulsaro Zentra")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL distribution_archive)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# One folder in the archive, so unpacking never scatters the files among others.
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-windows")
# Debugging information stays in the build; users get the programs alone.
set(CPACK_STRIP_FILES ON)
include(CPack)
