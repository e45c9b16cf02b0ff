# Release package: `cmake --build --preset windows --target package` makes
# build/windows/wayfold-1.0.0-win64.zip, a folder holding wayfold.exe and the
# usage notes in French (LISEZMOI.txt) and English (README.txt).
install(TARGETS wayfold RUNTIME DESTINATION . COMPONENT release)
install(FILES doc/LISEZMOI.txt doc/README.txt DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME wayfold)
set(CPACK_PACKAGE_VENDOR wayFOLD)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME wayfold-${PROJECT_VERSION}-win64)
# Only the release component: test helpers that install themselves stay out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};wayFOLD;release;/")
# Unpacks into a folder of its own rather than among the user's files.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
