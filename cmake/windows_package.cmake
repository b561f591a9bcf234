# The Windows distribution as one .zip: the distribution folder, which a Windows user unpacks and
# runs the setup from, with the two programs and the eleven files the setup installs (what
# pulsaro_install_distribution puts in the component "distribution_archive").
#   cmake --build <Windows build> --target package  ->  pulsaro-zentra-<version>-windows.zip
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
