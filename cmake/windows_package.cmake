# The Windows distribution as one .zip: the folder a Windows user unpacks and runs the setup
# from, holding the two programs and the eleven files the setup installs.
#   cmake --build <Windows build> --target package   ->  <Windows build>/pulsaro_zentra-1.0-win64.zip
set(packaged_programs setup_pulsaro_zentra pulsaro_windows_main_app_standin)
if(TARGET pulsaro_zentra_update)
  list(APPEND packaged_programs pulsaro_zentra_update)
else()
  message(STATUS "The Windows .zip goes without the updater, which this tree does not build")
endif()
install(TARGETS ${packaged_programs} RUNTIME DESTINATION .)
install(TARGETS pulsaro_windows_control_MSWINSCK pulsaro_windows_control_MSINET
                pulsaro_windows_control_MSCOMCTL LIBRARY DESTINATION .)
install(FILES ${PULSARO_DIST_FILES} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pulsaro_zentra)
set(CPACK_PACKAGE_VERSION 1.0)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_VENDOR "Pulsaro Zentra")
# One folder in the archive, so unpacking never scatters the files among others.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Debugging information stays in the build; users get the programs alone.
set(CPACK_STRIP_FILES ON)
include(CPack)
