# The Debian package: `cpack -G DEB` in a build folder (see the README).
# What goes in is what the install rules name: the program, its desktop
# entry, icon and metainfo, the stand-in gadget, the demo's preparation
# script, the manual page and the package's copyright and changelog.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanto)
set(CPACK_PACKAGE_VENDOR "Morvelt")
set(CPACK_PACKAGE_CONTACT "Orvanto developers <orvanto@morvelt.com.br>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for ERP indicator gadgets")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvanto starts the gadget programs that show an ERP installation's indicators\n\
and edits the settings it shares with them: where the Firebird database lives,\n\
the database user, the gadgets folder and the company branch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Binaries are stripped with their debug information split off into a
# separate debug-symbols package (orvanto-dbgsym, a .ddeb beside the .deb).
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# The Qt libraries come from the binaries themselves. The Firebird client is
# opened with dlopen, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2")
# The embedded engine opens local database files; the server package makes
# the group firebird, whose members share the demo database and the
# engine's lock folder, and serves the connection to a server on this
# machine; isql-fb creates the demo database; Tahoma is the panel's font;
# Qt's Portuguese texts (choosers, context menus) match the program's own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "firebird3.0-server-core, firebird3.0-server, firebird3.0-utils, fonts-wine, qt6-translations-l10n")
# The demo database's shared folder is made for the engine's group at
# install time and goes with a purge, as does the demo's alias: the purge
# script carries its own copy of the alias functions, since the package's
# files are gone when it runs.
file(READ "${PROJECT_SOURCE_DIR}/scripts/lib/demo-alias.sh" DEMO_ALIAS_FUNCTIONS)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/scripts/lib/demo-alias.sh")
configure_file("${PROJECT_SOURCE_DIR}/packaging/debian/postrm.in" "${CMAKE_BINARY_DIR}/packaging-debian/postrm"
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                      WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/packaging/debian/postinst;${CMAKE_BINARY_DIR}/packaging-debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Documentation files are installed compressed, as Debian policy wants
# (gzip -n: no name or time stamp, so the package builds reproducibly).
find_program(ORVANTO_GZIP gzip REQUIRED)
set(orvanto_docs "${CMAKE_BINARY_DIR}/packaging-doc")
# The manual page points at the README installed beside the changelog.
foreach(doc packaging/doc/changelog packaging/doc/orvanto.1 README.md)
  get_filename_component(name "${doc}" NAME)
  add_custom_command(OUTPUT "${orvanto_docs}/${name}.gz"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${orvanto_docs}"
    COMMAND ${ORVANTO_GZIP} -9n -c "${PROJECT_SOURCE_DIR}/${doc}" > "${orvanto_docs}/${name}.gz"
    DEPENDS "${PROJECT_SOURCE_DIR}/${doc}" VERBATIM)
endforeach()
add_custom_target(orvanto_package_docs ALL
  DEPENDS "${orvanto_docs}/changelog.gz" "${orvanto_docs}/orvanto.1.gz" "${orvanto_docs}/README.md.gz")
install(FILES "${orvanto_docs}/changelog.gz" "${orvanto_docs}/README.md.gz"
              "${PROJECT_SOURCE_DIR}/packaging/doc/copyright"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvanto)
install(FILES "${orvanto_docs}/orvanto.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The compiler's identification note is no use in an installed program.
install(CODE "
  foreach(program \"${CMAKE_INSTALL_BINDIR}/orvanto\" \"${CMAKE_INSTALL_LIBEXECDIR}/orvanto/orvanto-gadget\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")
include(CPack)
