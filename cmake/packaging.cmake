# The release ZIP: skyswap.exe, skyswap.com, README.TXT and nosky.jpg side by side at the top,
# as the player unpacks them into a sub-folder of the game folder. Build it with `cpack` (or the `package`
# target) in the Windows build tree.

get_filename_component(SKYSWAP_PKG_DIR ${CMAKE_CURRENT_LIST_DIR}/../pkg ABSOLUTE)
install(FILES ${SKYSWAP_PKG_DIR}/README.TXT ${SKYSWAP_PKG_DIR}/nosky.jpg DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME SkySwap)
set(CPACK_PACKAGE_VENDOR SkySwap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SkySwap sky texture manager for EAW")
set(CPACK_PACKAGE_FILE_NAME SkySwap-${PROJECT_VERSION}-win64)
# No SkySwap-1.0.0-win64/ folder inside the ZIP: unpacking into C:\Games\EAW\SkySwap must put
# skyswap.exe directly there.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)
# No source package: the release is the program and its two files.
set(CPACK_SOURCE_GENERATOR "")

include(CPack)
