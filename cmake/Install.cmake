# Installed layout (cmake --install BUILD --prefix P, and the Debian package):
#   P/bin/                     kelvo_tools, kelvo_calibrate, kelvo_scangen, kelvo_reprocess
#   P/lib/kelvo_tools/         libkelvo_snapshot.so, found by the tool from its own folder
#   P/share/kelvo-tools/       schema.sql, station-seed.sql (a new station's rows) and
#                              run-settings.sql (the demo's settings)
#   P/share/doc/kelvo-tools/   README, docs/, examples/kelvo_tools.json, copyright, changelog.gz
#   P/share/man/man1/          the four manual pages, compressed
#   /etc/kelvo-tools/          kelvo_tools.json, the bootstrap file a run reads when the
#                              working folder has none (KELVO_SYSCONF_DIR: another folder,
#                              e.g. a relative one for an install without root)
set(KELVO_PACKAGE_NAME kelvo-tools)
set(KELVO_DOC_DIR share/doc/${KELVO_PACKAGE_NAME})
set(KELVO_SYSCONF_DIR /etc/kelvo-tools CACHE STRING "Folder of the installed bootstrap file")

install(TARGETS kelvo_tools kelvo_calibrate kelvo_scangen RUNTIME DESTINATION bin)
install(TARGETS kelvo_snapshot LIBRARY DESTINATION ${KELVO_MODULE_DIR})

# The reprocess command: the checkout's script with the version filled in.
configure_file(scripts/reprocess.sh ${CMAKE_BINARY_DIR}/installed/kelvo_reprocess @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/installed/kelvo_reprocess DESTINATION bin)

install(FILES scripts/schema.sql scripts/station-seed.sql scripts/run-settings.sql
        DESTINATION share/${KELVO_PACKAGE_NAME})
# The source tree's README is about building; a station gets the guide to the installed docs.
install(FILES cmake/debian/README DESTINATION ${KELVO_DOC_DIR})
install(DIRECTORY docs/ DESTINATION ${KELVO_DOC_DIR}/docs
        PATTERN man EXCLUDE PATTERN examples EXCLUDE)
install(FILES docs/examples/kelvo_tools.json DESTINATION ${KELVO_DOC_DIR}/examples)
# It will hold the database password: the package's postinst makes it root:kelvo
# 0640 with dpkg-statoverride, as Debian asks, rather than shipping that mode.
install(FILES docs/examples/kelvo_tools.json DESTINATION ${KELVO_SYSCONF_DIR})
install(FILES cmake/debian/copyright DESTINATION ${KELVO_DOC_DIR})

# Debian keeps manual pages and changelogs compressed, without a time stamp
# in the gzip header so that two builds give the same bytes.
find_program(KELVO_GZIP gzip REQUIRED)
set(KELVO_COMPRESSED)
foreach(page kelvo_tools kelvo_calibrate kelvo_scangen kelvo_reprocess)
  configure_file(docs/man/${page}.1 ${CMAKE_BINARY_DIR}/installed/${page}.1 @ONLY)
  list(APPEND KELVO_COMPRESSED ${CMAKE_BINARY_DIR}/installed/${page}.1)
endforeach()
configure_file(cmake/debian/changelog ${CMAKE_BINARY_DIR}/installed/changelog @ONLY)
list(APPEND KELVO_COMPRESSED ${CMAKE_BINARY_DIR}/installed/changelog)
set(KELVO_COMPRESSED_GZ)
foreach(file ${KELVO_COMPRESSED})
  add_custom_command(OUTPUT ${file}.gz
                     COMMAND ${KELVO_GZIP} -9nc ${file} > ${file}.gz
                     DEPENDS ${file} VERBATIM)
  list(APPEND KELVO_COMPRESSED_GZ ${file}.gz)
endforeach()
add_custom_target(kelvo_compressed_docs ALL DEPENDS ${KELVO_COMPRESSED_GZ})
list(FILTER KELVO_COMPRESSED_GZ INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${KELVO_COMPRESSED_GZ} DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/installed/changelog.gz DESTINATION ${KELVO_DOC_DIR})
