# `make package`: the .deb, built by Debian's own tools from debian/ on a
# copy of the sources (scripts/build-deb.sh). It is made again only when a
# file that goes into it has changed.
execute_process(COMMAND dpkg --print-architecture
  OUTPUT_VARIABLE deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QUENBY_DEB ${CMAKE_BINARY_DIR}/quenby_${PROJECT_VERSION}_${deb_arch}.deb)
set(QUENBY_DEB_DIR ${CMAKE_BINARY_DIR}/deb)
file(GLOB_RECURSE deb_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/debian/*
  ${PROJECT_SOURCE_DIR}/engine/*
  ${PROJECT_SOURCE_DIR}/res/*
  ${PROJECT_SOURCE_DIR}/ui/qt/*)
# A file removed changes this list, and so builds the package again too.
file(CONFIGURE OUTPUT ${QUENBY_DEB_DIR}-sources.txt CONTENT "${deb_sources}")
add_custom_command(
  OUTPUT ${QUENBY_DEB}
  COMMAND ${CMAKE_COMMAND} -E env JOBS=2
          sh ${PROJECT_SOURCE_DIR}/scripts/build-deb.sh
          ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}
  DEPENDS ${deb_sources} ${QUENBY_DEB_DIR}-sources.txt
          ${PROJECT_SOURCE_DIR}/CMakeLists.txt
          ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/scripts/build-deb.sh
  COMMENT "Building the Debian package with dpkg-buildpackage"
  VERBATIM
)
add_custom_target(deb DEPENDS ${QUENBY_DEB})
