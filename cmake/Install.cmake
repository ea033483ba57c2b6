# SPDX-License-Identifier: GPL-3.0-or-later
# Installing like a desktop program: the executable, a desktop entry that offers
# itself for CSV files, the icon in the hicolor theme and the AppStream metainfo,
# the manual page, the systemd user units of the unattended fetch, the licence and
# Debian's copyright file and changelog.
# `bash tools/package.sh` turns the same rules into a Debian package in dist/.
include(GNUInstallDirs)

# Who the package names as its maintainer: -DTERVANE_MAINTAINER="Name <address>".
set(TERVANE_MAINTAINER "The Tervane640 developers <tervane640@localhost>"
    CACHE STRING "The package maintainer, \"Name <address>\"")

set(TERVANE_APP_ID org.tervane640.Tervane640)

install(TARGETS tervane640 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/${TERVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${TERVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/tervane640.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TERVANE_APP_ID}.svg)
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/tervane640-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TERVANE_APP_ID}.png)
endforeach()

# The manual page and the changelog compressed as Debian wants them (no name or time stamp inside).
find_program(TERVANE_GZIP gzip REQUIRED)
set(TERVANE_GENERATED ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${TERVANE_GENERATED}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${TERVANE_GENERATED}/tervane640.1.gz ${TERVANE_GENERATED}/changelog.Debian.gz
  COMMAND sh -c "${TERVANE_GZIP} -9nc '${PROJECT_SOURCE_DIR}/data/man/tervane640.1' > tervane640.1.gz"
  COMMAND sh -c "${TERVANE_GZIP} -9nc changelog.Debian > changelog.Debian.gz"
  WORKING_DIRECTORY ${TERVANE_GENERATED}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/man/tervane640.1 ${TERVANE_GENERATED}/changelog.Debian
  VERBATIM)
add_custom_target(tervane_packaging_files ALL DEPENDS ${TERVANE_GENERATED}/tervane640.1.gz
                                                       ${TERVANE_GENERATED}/changelog.Debian.gz)
install(FILES ${TERVANE_GENERATED}/tervane640.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${TERVANE_GENERATED}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tervane640)
install(FILES ${PROJECT_SOURCE_DIR}/data/systemd/tervane640-fetch.service
              ${PROJECT_SOURCE_DIR}/data/systemd/tervane640-fetch.timer
              ${PROJECT_SOURCE_DIR}/data/systemd/tervane640-fetch@.service
              ${PROJECT_SOURCE_DIR}/data/systemd/tervane640-fetch@.timer
        DESTINATION lib/systemd/user)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tervane640)
set(CPACK_PACKAGE_VENDOR "The Tervane640 developers")
set(CPACK_PACKAGE_CONTACT "${TERVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TERVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fetch and view the files of a KZ640TL data logger")
# Debian's description lines stay within 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Tervane640 fetches the CSV day files of a KZ640TL data logger from an FTP\nserver into a local folder and shows them as a table, overview charts and one\nchart page per channel, with alarm levels, merged spans of days, analog\nmultipliers and printing. It can also fetch new files unattended, from a\nsystemd user timer or cron.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin; libqt6gui6 only recommends them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
include(CPack)
