# The Debian package (cpack -G DEB in the build folder): the program, its three tools with their
# manual pages, the example settings file, a desktop entry for the window and a systemd unit
# that runs it without one, as system user lumaro-sync in the program folder
# /var/lib/lumaro-sync (made by the maintainer scripts in packaging/).
include(GNUInstallDirs)

set(programas lumaro-sync lumaro-mdb lumaro-db lumaro-cadena)
install(TARGETS ${programas} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.service
        DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.cfg.ejemplo
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lumaro-sync)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the Debian changelog, compressed as Debian ships them.
set(comprimidos)
foreach(origen IN LISTS programas ITEMS changelog)
  if(origen STREQUAL "changelog")
    set(fuente ${CMAKE_SOURCE_DIR}/packaging/changelog)
    set(gz ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
  else()
    set(fuente ${CMAKE_SOURCE_DIR}/packaging/man/${origen}.1)
    set(gz ${CMAKE_BINARY_DIR}/packaging/${origen}.1.gz)
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  add_custom_command(OUTPUT ${gz} COMMAND gzip -9n -c ${fuente} > ${gz} DEPENDS ${fuente}
                     VERBATIM)
  list(APPEND comprimidos ${gz})
endforeach()
add_custom_target(paquete_comprimidos ALL DEPENDS ${comprimidos})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaro-sync)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "loyalty data exchange between the stores of a chain (Jet snapshots over FTP)")
set(CPACK_PACKAGE_DESCRIPTION
    "Every store of the chain runs lumaro-sync once or twice a day, unattended:
it copies the rows of its loyalty databases (clients, cards, movements,
birthdays, contacts) that changed into a dated snapshot, a Jet 4.0 .mdb file
with DBF side files, uploads it to the chain's FTP server, fetches the other
stores' snapshots and merges them into its own databases (SQL Server through
ODBC, or embedded SQLite files). The principal store also feeds a MySQL mirror.

The package holds the program (a window, or a systemd service without one),
lumaro-mdb (looks inside Jet files), lumaro-db (the transfer ledger),
lumaro-cadena (which stores of a chain are late, as text, JSON or an HTML
page) and an example settings file with every key.")
set(CPACK_PACKAGE_CONTACT "lumaro-sync maintainers <lumaro-sync@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link (Qt 6, curl, shapelib, SQLite, ...) come from dpkg-shlibdeps;
# what is loaded at run time is named here: the SQLite driver of Qt SQL (the ledger and the
# embedded databases) and the window's platform plugins; SQL Server and MySQL drivers where used.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-odbc, libqt6sql6-mysql, tdsodbc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/prerm
    ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
