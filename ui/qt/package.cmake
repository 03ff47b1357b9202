# `make package`: a .deb that puts Quenby in the desktop's application menu.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenby)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quenby")
set(CPACK_PACKAGE_CONTACT "Quenby maintainers <quenby@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Renames the files of an MP3 playlist so they play in its order")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Library dependencies are read off the built program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
