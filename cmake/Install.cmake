# Installed layout (freedesktop / Debian): the program in bin/, its data under share/.
# Nothing but the program goes into bin/: the shipped fixture library lives in
# share/quiltmark/, where an installed program looks for it after the user's own copy.

# `cmake --install` and cpack copy what was built; they never build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(QUILTMARK_MAINTAINER "Quiltmark developers <quiltmark@kelvra.example>"
  CACHE STRING "Maintainer line of the Debian package")

# Manual pages and the package's changelog are installed compressed, without a time stamp.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(QUILTMARK_MAN_GZ ${CMAKE_BINARY_DIR}/share/quiltmark.1.gz)
set(QUILTMARK_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/share/changelog.gz)
add_custom_command(OUTPUT ${QUILTMARK_MAN_GZ} ${QUILTMARK_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share
  COMMAND ${GZIP_EXECUTABLE} -9n -c ${CMAKE_SOURCE_DIR}/resources/man/quiltmark.1 > ${QUILTMARK_MAN_GZ}
  COMMAND ${GZIP_EXECUTABLE} -9n -c ${CMAKE_SOURCE_DIR}/resources/debian/changelog
    > ${QUILTMARK_CHANGELOG_GZ}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/man/quiltmark.1 ${CMAKE_SOURCE_DIR}/resources/debian/changelog
  VERBATIM)
add_custom_target(man_page ALL DEPENDS ${QUILTMARK_MAN_GZ} ${QUILTMARK_CHANGELOG_GZ})

install(TARGETS quiltmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/metalib.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/quiltmark)
# Desktop integration: the desktop opens .patch files with Quiltmark, without /register.
install(FILES resources/desktop/quiltmark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/quiltmark-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME quiltmark.xml)
install(FILES resources/icons/quiltmark.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/icons/quiltmark.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes RENAME application-x-quiltmark.svg)
install(FILES resources/metainfo/com.kelvra.quiltmark.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILTMARK_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/debian/copyright ${QUILTMARK_CHANGELOG_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quiltmark)

# ---- Debian package (cpack -G DEB, see scripts/package.sh) ---------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quiltmark)
set(CPACK_PACKAGE_VENDOR Kelvra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUILTMARK_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILTMARK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends come from the libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DMX patch planner for LED matrix walls")
# The synopsis comes from the summary above; this is the long text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quiltmark plans the DMX patch of LED walls and screens built from
many identical LED fixtures. Every tile gets a DMX universe and start
address, automatically or by hand; the universes are connected to the
ports of output devices, and the result is shown as an editable matrix
with wiring lines and DIP-switch pictures.
.
It saves XML project files, prints patch plans and device lists, exports
patch lists and ASCII patch schemes, and works without a window for
batch use.")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
