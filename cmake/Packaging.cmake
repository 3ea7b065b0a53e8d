# The Debian package (cpack -G DEB in the build folder): the program, its two tools, a desktop
# entry for the window and a systemd unit that runs it without one, as system user lumaro-sync
# in the program folder /var/lib/lumaro-sync (made by the maintainer scripts in packaging/).
include(GNUInstallDirs)

install(TARGETS lumaro-sync lumaro-mdb lumaro-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumaro-sync.service
        DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaro-sync)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "loyalty data exchange between the stores of a chain (Jet snapshots over FTP)")
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
