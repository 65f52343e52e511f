# The Debian package: `cpack -G DEB` in a build folder (see the README).
# What goes in is what the install rules name: the program, its desktop
# entry and icon, the stand-in gadget and the demo's preparation script.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanto)
set(CPACK_PACKAGE_VENDOR "Morvelt")
set(CPACK_PACKAGE_CONTACT "Orvanto developers <orvanto@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for ERP indicator gadgets")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvanto starts the gadget programs that show an ERP installation's indicators\n\
and edits the settings it shares with them: where the Firebird database lives,\n\
the database user, the gadgets folder and the company branch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the binaries themselves. The Firebird client is
# opened with dlopen, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2")
# The embedded engine opens local database files; Tahoma is the panel's
# font; isql-fb creates the demo database.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-server-core, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-utils")
include(CPack)
