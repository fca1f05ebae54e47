# The Debian package: from the build folder, `cpack -G DEB` writes
# kelvo-tools_<version>_amd64.deb. Its dependencies are those of the binaries
# (dpkg-shlibdeps) and of what they run: GNU parallel, jq and the MariaDB
# command-line client for kelvo_reprocess, the DejaVu fonts for the pictures.
# The database server is not one of them: it may run on another machine.
# adduser creates the kelvo group that may read the bootstrap file in /etc.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KELVO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "kelvo_tools developers <kelvo-tools@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measures shipped goods scanned by a 3D camera")
# The synopsis above is the description's first line; CPack indents the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "kelvo_tools measures one scanned object per run: it finds the object's row in
a MySQL or MariaDB database, loads its point cloud (a PCD file), removes the
pallet and/or splits the cloud into the goods standing side by side, and
stores the sizes and volumes in the row. It writes PCD, VRML and JSON files
and, when asked, a picture of every measurement.

The package also holds kelvo_calibrate (sets a station up: floor plane,
reference box, check box), kelvo_scangen (scans with known answers) and
kelvo_reprocess (reruns many rows through GNU parallel).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, parallel, jq, mariadb-client-core, fonts-dejavu-core")
# Our own maintainer scripts: the bootstrap file's group and mode. CPack
# writes none then, so no ldconfig call either: the one library is a module
# the tool opens by its path, outside the linker's folders.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/cmake/debian/conffiles ${CMAKE_SOURCE_DIR}/cmake/debian/postinst
    ${CMAKE_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
