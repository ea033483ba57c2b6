# Installing like a desktop program: the executable, a desktop entry that offers
# itself for CSV files, the icon in the hicolor theme and the AppStream metainfo.
# `bash tools/package.sh` turns the same rules into a Debian package in dist/.
include(GNUInstallDirs)

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

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tervane640)
set(CPACK_PACKAGE_VENDOR "The Tervane640 developers")
set(CPACK_PACKAGE_CONTACT "The Tervane640 developers <tervane640@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fetch and view the files of a KZ640TL data logger")
set(CPACK_PACKAGE_DESCRIPTION
    "Tervane640 fetches the CSV day files of a KZ640TL data logger from an FTP server into a local\nfolder and shows them as a table, overview charts and one chart page per channel, with alarm\nlevels, merged spans of days, analog multipliers and printing.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin; libqt6gui6 only recommends them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
include(CPack)
