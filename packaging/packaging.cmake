# What an installation holds, and the Debian package made of it (scripts/package.sh runs
# `cpack -G DEB` in the build folder). Installed under /usr:
#   bin/tarvest, bin/tarvest-admin
#   share/applications/tarvest.desktop, share/icons/hicolor/{scalable,48x48,256x256}/apps/tarvest.*
#   share/tarvest/layouts/          the printed forms as the program has them built in: the
#                                   originals an office copies to its layout folder to edit
#   share/man/man1/tarvest.1.gz, tarvest-admin.1.gz
#   share/doc/tarvest/              copyright, changelog.Debian.gz, README.md
include(GNUInstallDirs)
# Installing (and so CPack) does not build the whole tree first: scripts/package.sh builds
# what the package holds, and the tests and benchmarks are not needed for it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TARVEST_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS tarvest tarvest-admin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TARVEST_PACKAGING_DIR}/tarvest.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TARVEST_PACKAGING_DIR}/icons/tarvest.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${TARVEST_PACKAGING_DIR}/icons/tarvest-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tarvest.png)
endforeach()
# The program reads its forms from its own resources (and the office's folder first), so it
# needs none of these files to print; they are there to be copied and edited.
install(FILES ${TARVEST_LAYOUT_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvest/layouts)

# Manual pages and the changelog go in compressed, as Debian's policy asks (-n: no name or
# time in the header, so the same sources give the same package).
find_program(TARVEST_GZIP gzip REQUIRED)
set(TARVEST_GZ_DIR ${CMAKE_BINARY_DIR}/packaging)
set(TARVEST_GZ_FILES)
foreach(src man/tarvest.1 man/tarvest-admin.1 changelog)
  get_filename_component(name ${src} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  add_custom_command(OUTPUT ${TARVEST_GZ_DIR}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TARVEST_GZ_DIR}
    COMMAND ${TARVEST_GZIP} -9nc ${TARVEST_PACKAGING_DIR}/${src} > ${TARVEST_GZ_DIR}/${name}.gz
    DEPENDS ${TARVEST_PACKAGING_DIR}/${src} VERBATIM)
  list(APPEND TARVEST_GZ_FILES ${TARVEST_GZ_DIR}/${name}.gz)
endforeach()
add_custom_target(tarvest_package_docs ALL DEPENDS ${TARVEST_GZ_FILES})
install(FILES ${TARVEST_GZ_DIR}/tarvest.1.gz ${TARVEST_GZ_DIR}/tarvest-admin.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TARVEST_PACKAGING_DIR}/copyright ${TARVEST_GZ_DIR}/changelog.Debian.gz ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvest)

# The package. Depends: the shared libraries the two programs link are read from the built
# binaries by dpkg-shlibdeps (Qt 6, libxlsxwriter, libsodium, minizip, libpq, SQLite);
# what they load or use at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvest)
set(CPACK_PACKAGE_VENDOR "Tarvest developers")
# The maintainer named in the package (and in packaging/changelog's entries).
set(TARVEST_PACKAGE_MAINTAINER "Tarvest developers <tarvest@example.org>" CACHE STRING
    "Maintainer of the Debian package: name <address>")
set(CPACK_PACKAGE_CONTACT "${TARVEST_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "case register of the land-use change office (Persian)")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvest records the applications to change the use of village land that
come before the commission, with their valuation, fee documents, land
prices, land identification surveys, the village gazetteer, messages and
users. It is a Persian, right-to-left desktop program with Jalali dates,
keeping its data in an embedded SQLite file or on a PostgreSQL server
shared by many workstations.
.
The package holds the program, its command-line companion tarvest-admin
(database provisioning, server set-up, imports and backups) and the
layouts of the printed forms.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tarvest)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Version <project version>-<release>; packaging/changelog's newest entry names the same.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(TARVEST_RUNTIME_DEPENDS
    # Qt's SQL drivers: QSQLITE for the embedded file, QPSQL for a server.
    libqt6sql6-sqlite libqt6sql6-psql
    # The faces of the screens and forms: Noto Naskh Arabic UI for the screens; Nazli, Titr,
    # Homa, Noto Naskh Arabic and Noto Nastaliq Urdu for the forms; DejaVu Serif for
    # "Times New Roman".
    fonts-noto-ui-core fonts-farsiweb fonts-noto-core fonts-dejavu-core
    # qtbase_fa.qm: the Persian captions of Qt's standard buttons.
    qt6-translations-l10n
    # pg_dump and pg_restore for the backup of a server database.
    postgresql-client)
list(JOIN TARVEST_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Exports open in the desktop's spreadsheet program, and xdg-utils asks the desktop for it
# and opens the file; without them the program still writes the file and names its path.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Folders as Debian wants them whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
